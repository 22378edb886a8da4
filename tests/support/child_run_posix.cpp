// On the stand-in: the child is a fork, and Ctrl+C ends it by SIGINT.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/child_run.h"

ChildEnding RunInChild(void (*piece)()) {
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer defers signals, so a process that re-raises SIGINT does
    // not end by it.
    (void)piece;
    return ChildEnding::Unsupported;
#else
    pid_t child = fork();
    if (child < 0) return ChildEnding::Otherwise;
    if (child == 0) {
        piece();
        _exit(0);
    }
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 || std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return ChildEnding::Otherwise;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) return ChildEnding::ByCtrlC;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return ChildEnding::Normally;
    return ChildEnding::Otherwise;
#endif
}
