// One small file per user and terminal in shared memory, locked while read
// or changed, names the processes using the terminal and holds the settings
// the first one found. A user that died without leaving is no longer counted.
#include "platform/posix/terminal/terminal_users.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace standin {
namespace {

constexpr unsigned kMagic = 0x76746d31;  // this layout's mark
constexpr int kMostUsers = 64;

struct Record {
    unsigned magic;
    int count;
    pid_t users[kMostUsers];
    struct termios settings;
};

int recordFd = -1;
char recordPath[96];

// Alive and on the same terminal session: a number reused by an unrelated
// process is not taken for a user.
bool StillUsing(pid_t pid) {
    if (pid == getpid()) return true;
    if (kill(pid, 0) != 0 && errno != EPERM) return false;
    return getsid(pid) == getsid(0);
}

bool ReadRecord(int fd, Record &r) {
    ssize_t n = pread(fd, &r, sizeof r, 0);
    if (n != static_cast<ssize_t>(sizeof r) || r.magic != kMagic || r.count < 0 || r.count > kMostUsers) {
        std::memset(&r, 0, sizeof r);
        r.magic = kMagic;
        return false;
    }
    return true;
}

void DropUser(Record &r, pid_t pid) {
    int kept = 0;
    for (int i = 0; i < r.count; ++i)
        if (r.users[i] != pid && StillUsing(r.users[i])) r.users[kept++] = r.users[i];
    r.count = kept;
}

// Locks the record that is linked under its name: one that the last user
// unlinked while we waited for its lock is opened afresh.
int OpenLocked(const char *path) {
    for (int tries = 0; tries < 8; ++tries) {
        int fd = open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return -1;
        struct stat s {};
        if (fstat(fd, &s) != 0 || s.st_uid != getuid() || !S_ISREG(s.st_mode) || flock(fd, LOCK_EX) != 0) {
            close(fd);
            return -1;  // not ours: another user's file, or no locking there
        }
        if (fstat(fd, &s) == 0 && s.st_nlink > 0) {
            if (fd <= STDERR_FILENO) {  // never on a standard stream's number
                int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
                close(fd);
                if (moved < 0 || flock(moved, LOCK_EX) != 0) return -1;
                fd = moved;
            }
            return fd;
        }
        close(fd);
    }
    return -1;
}

}  // namespace

bool JoinTerminalUsers(int terminalFd, struct termios &settings) {
    struct stat terminal {};
    if (recordFd >= 0 || fstat(terminalFd, &terminal) != 0) return false;
    const char *folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    // The terminal itself: a descriptor opened through /dev/tty gives that
    // file's device number, the same for every terminal of the machine.
    unsigned device = 0;
    if (ioctl(terminalFd, TIOCGDEV, &device) != 0) device = static_cast<unsigned>(terminal.st_rdev);
    std::snprintf(recordPath, sizeof recordPath, "%s/velmorin-terminal-%u-%x", folder, static_cast<unsigned>(getuid()),
                  device);
    recordFd = OpenLocked(recordPath);
    if (recordFd < 0) return false;
    Record r;
    ReadRecord(recordFd, r);
    DropUser(r, getpid());
    bool joined = r.count < kMostUsers;
    if (r.count == 0 && tcgetattr(terminalFd, &r.settings) != 0) joined = false;
    if (joined) {
        r.users[r.count++] = getpid();
        joined = pwrite(recordFd, &r, sizeof r, 0) == static_cast<ssize_t>(sizeof r);
    }
    if (joined) settings = r.settings;
    flock(recordFd, LOCK_UN);
    if (!joined) {
        close(recordFd);
        recordFd = -1;
    }
    return joined;
}

void LeaveTerminalUsers(int terminalFd, const struct termios &settings) {
    int fd = recordFd;
    recordFd = -1;
    if (fd < 0) {
        tcsetattr(terminalFd, TCSADRAIN, &settings);
        return;
    }
    // The lock is this open file's: a signal that arrives while we hold it
    // takes it again at once instead of waiting on itself.
    flock(fd, LOCK_EX);
    Record r;
    bool known = ReadRecord(fd, r);
    DropUser(r, getpid());
    bool last = !known || r.count == 0 || pwrite(fd, &r, sizeof r, 0) != static_cast<ssize_t>(sizeof r);
    if (last) {
        // Under the lock, so that a program joining meanwhile finds the
        // user's settings on the terminal, not ours.
        unlink(recordPath);
        tcsetattr(terminalFd, TCSADRAIN, &settings);
    }
    flock(fd, LOCK_UN);
    close(fd);
}

}  // namespace standin
