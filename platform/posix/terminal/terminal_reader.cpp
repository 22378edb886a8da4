// Reading the terminal without waiting, and the keyboard protocol's
// negotiation: CSI ? u asks for its flags, and CSI c, which every terminal
// answers, tells that an answer to the first will not come.
#include "platform/posix/terminal/terminal_reader.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace standin {

namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kMostPerPump = 64 * 1024;

}  // namespace

void TerminalReader::Ask(const std::string &questions) {
    ssize_t written;
    do {
        written = write(fd_, questions.data(), questions.size());
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(questions.size())) {
        protocol_ = Protocol::Off;  // a terminal we cannot ask will not answer either
        return;
    }
    ++owed_;
    askedAt_ = clock_();
}

// Reads what is there, waiting at most timeoutMs for the first byte.
bool TerminalReader::Read(int timeoutMs) {
    bool got = false;
    std::size_t total = 0;
    while (!hungUp_ && total < kMostPerPump) {
        pollfd p{fd_, POLLIN, 0};
        int ready = poll(&p, 1, got ? 0 : timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        if (!(p.revents & POLLIN)) {
            hungUp_ = (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
            break;
        }
        char buffer[kReadChunk];
        ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        // Nothing where the terminal said there was something: another
        // program reading the same terminal took it first. Only a terminal
        // that also reports its hang-up has gone.
        if (n == 0 && !(p.revents & (POLLHUP | POLLERR))) break;
        if (n <= 0) {
            hungUp_ = true;  // the terminal has gone: no more keys will come
            break;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
        total += static_cast<std::size_t>(n);
        got = true;
    }
    if (got) lastArrival_ = clock_();
    return got;
}

void TerminalReader::Decode(bool final, std::vector<INPUT_RECORD> &out, std::vector<TypedText> *typed) {
    if (pending_.empty()) return;
    KeyReports reports = protocol_ == Protocol::On && (flags_ & kReportReleases) ? KeyReports::PressesAndReleases
                                                                  : KeyReports::PressesOnly;
    TerminalReplies replies;
    std::size_t used = DecodeKeys(reinterpret_cast<const unsigned char *>(pending_.data()), pending_.size(), final,
                                  reports, out, &replies, typed);
    pending_.erase(0, used);
    Answered(replies);
}

void TerminalReader::Answered(const TerminalReplies &replies) {
    if (replies.keyboardFlags >= 0) {
        if (protocol_ == Protocol::Asked && leaving_) {
            protocol_ = Protocol::Off;  // too late to switch it on
        } else if (protocol_ == Protocol::Asked) {
            // Push our flags, and ask again to learn which of them it took.
            protocol_ = Protocol::On;
            flags_ = kProtocolFlags;
            Ask(std::string(kProtocolOn) + kProtocolQuery);
        } else if (protocol_ == Protocol::On) {
            flags_ = replies.keyboardFlags;
        }
    }
    if (replies.deviceAttributes) {
        if (owed_ > 0) --owed_;
        if (protocol_ == Protocol::Asked) protocol_ = Protocol::Off;
    }
}

void TerminalReader::Pump(std::vector<INPUT_RECORD> &out, std::vector<TypedText> *typed) {
    if (protocol_ == Protocol::NotAsked) {
        protocol_ = Protocol::Asked;
        Ask(kProtocolQuery);
    }
    Read(0);
    bool waitedEnough = clock_() - lastArrival_ >= kEscWait;
    Decode(hungUp_ || waitedEnough, out, typed);
    if (protocol_ == Protocol::Asked && clock_() - askedAt_ >= kReplyWait) protocol_ = Protocol::Off;
}

void TerminalReader::Wait(int timeoutMs) {
    if (hungUp_) return;
    if (!pending_.empty()) {
        Millis waited = clock_() - lastArrival_;
        if (waited >= kEscWait) return;
        timeoutMs = std::min(timeoutMs, static_cast<int>(kEscWait - waited));
    }
    pollfd p{fd_, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) < 0 && errno == EINTR) {
    }
}

void TerminalReader::Leave(std::vector<INPUT_RECORD> &out, std::vector<TypedText> *typed) {
    leaving_ = true;
    while (owed_ > 0 && !hungUp_) {
        Millis now = clock_();
        if (now - askedAt_ >= kReplyWaitAtExit) break;
        if (!Read(static_cast<int>(askedAt_ + kReplyWaitAtExit - now))) break;
        Decode(false, out, typed);
    }
    if (protocol_ == Protocol::On) {
        ssize_t ignored = write(fd_, kProtocolOff, std::strlen(kProtocolOff));
        (void)ignored;
    }
    protocol_ = Protocol::Off;
    Read(0);
    Decode(true, out, typed);
}

}  // namespace standin
