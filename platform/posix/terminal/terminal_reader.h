// The terminal's keyboard side as the console input reads it: what has
// arrived is read without waiting and decoded, a lone Esc is told from the
// start of a sequence by a short pause, and the keyboard protocol is asked
// for, switched on when the terminal answers, and off again when leaving.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/keys/key_decoder.h"

namespace standin {

class TerminalReader {
public:
    using Millis = std::uint64_t;
    using Clock = Millis (*)();

    // Bytes left waiting this long after the last arrival are what they are:
    // an Esc alone is the Esc key, not the start of a sequence.
    static constexpr Millis kEscWait = 40;
    // A terminal that has not answered a question by then is taken not to
    // know the keyboard protocol: the program goes on without it.
    static constexpr Millis kReplyWait = 300;
    // When the keyboard is handed back, answers still owed are waited for
    // until this long after the question, so that a slow terminal's (one
    // over a slow link) do not reach the next program's input; a terminal
    // that never answers costs at most this at exit.
    static constexpr Millis kReplyWaitAtExit = 1500;
    // Asked of the keyboard protocol: disambiguated keys (1), press, repeat
    // and release events (2), shifted keys (4), every key including modifiers
    // alone (8), and the text a key types (16).
    static constexpr int kProtocolFlags = 31;
    // What switches the protocol on with those flags, and off again.
    static constexpr const char *kProtocolOn = "\x1b[>31u";
    static constexpr const char *kProtocolOff = "\x1b[<u";
    // The question: which protocol flags are on, then the device attributes,
    // which every terminal answers, so that a terminal without the protocol
    // is known as soon as that answer comes.
    static constexpr const char *kProtocolQuery = "\x1b[?u\x1b[c";
    // The flag that has the terminal report key releases too.
    static constexpr int kReportReleases = 2;

    enum class Protocol { NotAsked, Asked, On, Off };

    // fd is the terminal, read and written; clock gives monotonic milliseconds.
    TerminalReader(int fd, Clock clock) : fd_(fd), clock_(clock) {}

    // Asks about the protocol the first time, reads what the terminal has
    // sent, decodes it and appends the records, and the text of the keys
    // that typed text. Never waits.
    void Pump(std::vector<INPUT_RECORD> &out, std::vector<TypedText> *typed = nullptr);

    // Waits at most timeoutMs for the terminal to send something; at once
    // when the terminal is gone, and while bytes wait to be decoded only
    // until their pause has run out.
    void Wait(int timeoutMs);

    // Hands the keyboard back: waits, at most until kReplyWaitAtExit after
    // the last question, for answers still owed so that none is left for the
    // next program to read; switches the protocol off; and appends the
    // records (and typed text) of everything read and still waiting.
    void Leave(std::vector<INPUT_RECORD> &out, std::vector<TypedText> *typed = nullptr);

    Protocol protocol() const { return protocol_; }
    // Answers to the questions still to come from the terminal, while they
    // may still come: a terminal silent that long is taken never to answer.
    int owed() const { return clock_() - askedAt_ < kReplyWaitAtExit ? owed_ : 0; }
    // The terminal has hung up, and everything it sent has been decoded.
    bool gone() const { return hungUp_ && pending_.empty(); }
    int fd() const { return fd_; }

private:
    void Ask(const std::string &questions);
    bool Read(int timeoutMs);
    void Decode(bool final, std::vector<INPUT_RECORD> &out, std::vector<TypedText> *typed);
    void Answered(const TerminalReplies &replies);

    int fd_;
    Clock clock_;
    std::string pending_;
    Millis lastArrival_ = 0;
    Protocol protocol_ = Protocol::NotAsked;
    int flags_ = 0;  // the protocol's flags as the terminal last reported them
    int owed_ = 0;   // device attribute answers still to come: one per round of questions
    Millis askedAt_ = 0;
    bool hungUp_ = false;
    bool leaving_ = false;
};

}  // namespace standin
