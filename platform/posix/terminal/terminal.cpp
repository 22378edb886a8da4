// Terminal attachment, raw mode, and the restore at exit, on fatal signals
// and around a stop (Ctrl+Z) with its continue.
#include "platform/posix/terminal/terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <poll.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/terminal/terminal_users.h"

namespace standin {
namespace {

int displayFd = -1;
int keyboardFd = -1;
struct termios saved;
struct termios raw;
volatile sig_atomic_t rawWanted = 0;
// The console has drawn on the terminal or read its keys: from then on the
// terminal is raw while the process runs. A process that only passes bytes
// through its standard handles leaves the terminal to its own line
// discipline, and to the other programs of its pipeline.
volatile sig_atomic_t held = 0;
volatile sig_atomic_t rawOn = 0;
volatile sig_atomic_t finished = 0;  // handed back for good: the process is ending
volatile sig_atomic_t joinedUsers = 0;  // one of the terminal's users, until it leaves
volatile sig_atomic_t repliesOwed = 0;
std::atomic<bool> resized{false};
std::atomic<bool> continued{false};

// Double-buffered, so a signal handler always finds one whole copy.
constexpr std::size_t kHandBackMax = 64;
char handBack[2][kHandBackMax];
std::size_t handBackLength[2];
std::atomic<int> handBackSlot{-1};
// The keyboard's mode, and whether the terminal has it now.
char keyboardOn[16];
char keyboardOff[16];
volatile sig_atomic_t keyboardOnLength = 0;
volatile sig_atomic_t keyboardOffLength = 0;
volatile sig_atomic_t keyboardModeIn = 0;

bool headlessWanted = false;

// Every signal whose default action ends the process and that can be caught;
// the real-time signals are added at run time.
const int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGSEGV, SIGBUS, SIGFPE,  SIGILL,
                              SIGABRT, SIGUSR1, SIGUSR2, SIGALRM,   SIGPIPE, SIGXCPU, SIGXFSZ, SIGVTALRM,
                              SIGPROF, SIGSYS,  SIGTRAP, SIGSTKFLT, SIGIO,   SIGPWR};

void WriteAll(int fd, const char *bytes, std::size_t count) {
    while (count > 0) {
        ssize_t n = write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
}

// The user's settings and plain drawing state, for now or for good.
void GiveBack() {
    if (keyboardModeIn && keyboardFd >= 0) {
        keyboardModeIn = 0;
        WriteAll(keyboardFd, keyboardOff, static_cast<std::size_t>(keyboardOffLength));
    }
    if (finished && joinedUsers) {
        joinedUsers = 0;
        LeaveTerminalUsers(keyboardFd, saved);  // ours go back only when no other program uses it
        rawOn = 0;
    } else if (rawOn) {
        tcsetattr(keyboardFd, TCSADRAIN, &saved);
        rawOn = 0;
    }
    int slot = handBackSlot.exchange(-1);
    if (slot >= 0 && displayFd >= 0) WriteAll(displayFd, handBack[slot], handBackLength[slot]);
}

void ApplyRaw() {
    if (rawWanted && held && !finished && keyboardFd >= 0 && tcsetattr(keyboardFd, TCSADRAIN, &raw) == 0) rawOn = 1;
    if (rawOn && !keyboardModeIn && keyboardOnLength > 0) {
        keyboardModeIn = 1;
        WriteAll(keyboardFd, keyboardOn, static_cast<std::size_t>(keyboardOnLength));
    }
}

long long NowMs() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// How long an ending signal waits for the terminal's answers still owed.
constexpr int kOwedReplyWaitMs = 200;

// Reads and drops what the terminal sends until the device attribute
// answers still owed (CSI ? ... c) have come, or the wait is over: they must
// not reach the next program's input. Async-signal-safe.
void DrainOwedReplies() {
    int owed = repliesOwed;
    if (owed <= 0 || !rawOn || keyboardFd < 0) return;
    long long end = NowMs() + kOwedReplyWaitMs;
    int state = 0;  // 0 outside, 1 after Esc, 2 after Esc [, 3 in CSI ?
    while (owed > 0) {
        long long left = end - NowMs();
        if (left <= 0) break;
        struct pollfd p {keyboardFd, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || !(p.revents & POLLIN)) break;
        unsigned char buffer[256];
        ssize_t n = read(keyboardFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            unsigned char c = buffer[i];
            if (c == 0x1B) state = 1;
            else if (state == 1) state = c == '[' ? 2 : 0;
            else if (state == 2) state = c == '?' ? 3 : 0;
            else if (state == 3 && c == 'c') {
                --owed;
                state = 0;
            } else if (state == 3 && !((c >= '0' && c <= '9') || c == ';')) state = 0;
        }
    }
    repliesOwed = 0;
}

void OnEndingSignal(int signal) {
    int error = errno;
    DrainOwedReplies();
    RestoreTerminal();
    errno = error;
    // The handler was reset on entry: the signal, blocked until we return,
    // then ends the process as it would have without us.
    raise(signal);
}

void OnStop(int);

void CatchStops() {
    struct sigaction stop {};
    stop.sa_handler = OnStop;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, nullptr);
}

// The user's settings while stopped; ours again once continued. The stop
// happens inside this handler, so it also comes back here when the stop is
// dropped, as it is for a process group that no shell controls.
void OnStop(int) {
    int error = errno;
    GiveBack();
    ::signal(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGTSTP);
    CatchStops();
    ApplyRaw();
    continued = true;
    errno = error;
}

// Also after a stop that could not be caught: someone else drew meanwhile.
void OnContinue(int) {
    ApplyRaw();
    continued = true;
}

void OnResize(int) { resized = true; }

// Our handler goes in only where nobody has put one: a program that handles
// a signal itself keeps that, and the exit-time restore still runs.
void InstallIfDefault(int signal, void (*handler)(int), int flags) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
    if (current.sa_flags & SA_SIGINFO) return;
    struct sigaction ours {};
    ours.sa_handler = handler;
    ours.sa_flags = flags;
    sigemptyset(&ours.sa_mask);
    sigaction(signal, &ours, nullptr);
}

void RestoreAtExit() { RestoreTerminal(); }

// Descriptors 0, 1 and 2 are the process's standard streams, even while
// closed: a descriptor of ours that landed there would be taken for one.
int OwnDescriptor(int fd) {
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

// Raw mode from the user's settings, with or without the signal keys.
void MakeRaw(bool signalKeys) {
    raw = saved;
    raw.c_iflag &= ~(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
    raw.c_cflag |= CS8;
    raw.c_lflag &= ~(ECHO | ICANON | IEXTEN);
    if (!signalKeys) raw.c_lflag &= ~ISIG;
    // Reads return at once with what is there: the reader polls.
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
}

bool SameTerminal(int fd, int terminal) {
    struct stat a {}, b {};
    return isatty(fd) && fstat(fd, &a) == 0 && fstat(terminal, &b) == 0 && a.st_rdev == b.st_rdev;
}

}  // namespace

TerminalFds AttachTerminal(bool signalKeys) {
    TerminalFds fds;
    if (headlessWanted) {
        fds.console = true;
        return fds;
    }
    // Opening it fails exactly when the process has no controlling terminal.
    int controlling = OwnDescriptor(open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (controlling < 0) return fds;
    fds.console = true;
    if (SameTerminal(STDOUT_FILENO, controlling)) fds.display = STDOUT_FILENO;
    else if (SameTerminal(STDERR_FILENO, controlling)) fds.display = STDERR_FILENO;
    else fds.display = controlling;
    fds.keyboard = SameTerminal(STDIN_FILENO, controlling) ? STDIN_FILENO : controlling;
    if (fds.display != controlling && fds.keyboard != controlling) close(controlling);
    displayFd = fds.display;
    keyboardFd = fds.keyboard;

    std::atexit(RestoreAtExit);
    for (int signal : kEndingSignals) InstallIfDefault(signal, OnEndingSignal, SA_RESETHAND);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) InstallIfDefault(signal, OnEndingSignal, SA_RESETHAND);
    InstallIfDefault(SIGTSTP, OnStop, 0);
    InstallIfDefault(SIGCONT, OnContinue, 0);
    InstallIfDefault(SIGWINCH, OnResize, SA_RESTART);

    if (fds.keyboard >= 0 && tcgetattr(fds.keyboard, &saved) == 0) {
        MakeRaw(signalKeys);
        rawWanted = 1;
    }
    return fds;
}

bool TerminalSize(int fd, int &columns, int &rows) {
    struct winsize size {};
    if (fd < 0 || ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) return false;
    columns = size.ws_col;
    rows = size.ws_row;
    return true;
}

void SetSignalKeys(bool on) {
    if (!rawWanted) return;
    if (on) raw.c_lflag |= ISIG;
    else raw.c_lflag &= ~ISIG;
    if (rawOn) ApplyRaw();
}

void HoldTerminal() {
    if (held) return;
    // Only a program that changes the terminal's settings joins its users:
    // another program on the stand-in may have it raw already, and the
    // user's own settings are the ones the first of us found. One that only
    // passes bytes through (`velmorin f | less`) never puts any back.
    if (rawWanted && JoinTerminalUsers(keyboardFd, saved)) {
        joinedUsers = 1;
        MakeRaw((raw.c_lflag & ISIG) != 0);
    }
    held = 1;
    ApplyRaw();
}

bool TerminalHeld() { return held != 0; }

int SignalOfKey(unsigned char character) {
    if (!rawWanted || character == _POSIX_VDISABLE) return 0;
    if (character == saved.c_cc[VINTR]) return SIGINT;
    if (character == saved.c_cc[VQUIT]) return SIGQUIT;
    if (character == saved.c_cc[VSUSP]) return SIGTSTP;
    return 0;
}

void SetRepliesOwed(int count) { repliesOwed = count; }

void WriteTerminal(const std::string &bytes) {
    HoldTerminal();
    if (displayFd >= 0) WriteAll(displayFd, bytes.data(), bytes.size());
}

void SetHandBack(const std::string &bytes) {
    int slot = handBackSlot.load() == 0 ? 1 : 0;
    std::size_t count = bytes.size() < kHandBackMax ? bytes.size() : kHandBackMax;
    std::memcpy(handBack[slot], bytes.data(), count);
    handBackLength[slot] = count;
    handBackSlot = slot;
}

void SetKeyboardMode(const char *on, const char *off) {
    keyboardModeIn = 0;
    std::size_t onCount = std::strlen(on), offCount = std::strlen(off);
    if (onCount >= sizeof keyboardOn || offCount >= sizeof keyboardOff) return;
    std::memcpy(keyboardOn, on, onCount);
    std::memcpy(keyboardOff, off, offCount);
    keyboardOnLength = static_cast<sig_atomic_t>(onCount);
    keyboardOffLength = static_cast<sig_atomic_t>(offCount);
    keyboardModeIn = onCount > 0;  // the caller has switched it on
}

void RestoreTerminal() {
    finished = 1;
    GiveBack();
}

bool TakeResize() { return resized.exchange(false); }

bool TakeRedraw() { return continued.exchange(false); }

bool TerminalDisturbed() { return resized.load() || continued.load(); }

void UseHeadlessConsole() { headlessWanted = true; }

}  // namespace standin
