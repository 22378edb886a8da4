// On Windows: the child is this program again, told by its environment to run
// only the current test's piece; the default Ctrl+C handling ends a process
// with STATUS_CONTROL_C_EXIT.
#include <gtest/gtest.h>

#include <string>

#include "platform/windows.h"
#include "tests/support/child_run.h"

namespace {

constexpr const char *kChildVariable = "VELMORIN_TEST_CHILD";
constexpr DWORD kControlCExit = 0xC000013A;

// A Ctrl+C from the console reaches every process attached to it, this one
// too; this one has a child to wait for. Left in place once installed: the
// event may arrive after the child has gone.
BOOL WINAPI OutliveCtrlC(DWORD event) { return event == CTRL_C_EVENT ? TRUE : FALSE; }

}  // namespace

ChildEnding RunInChild(void (*piece)()) {
    char flag[4] = {};
    if (GetEnvironmentVariableA(kChildVariable, flag, sizeof flag) > 0) {
        piece();
        ExitProcess(0);
    }
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    char self[MAX_PATH] = {};
    if (test == nullptr || GetModuleFileNameA(nullptr, self, MAX_PATH) == 0) return ChildEnding::Otherwise;
    std::string command = std::string("\"") + self + "\" --gtest_filter=" + test->test_suite_name() + "." +
                          test->name();
    SetConsoleCtrlHandler(OutliveCtrlC, TRUE);
    SetEnvironmentVariableA(kChildVariable, "1");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process);
    SetEnvironmentVariableA(kChildVariable, nullptr);
    if (!started) return ChildEnding::Otherwise;
    DWORD code = 0;
    bool ended = WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!ended) return ChildEnding::Otherwise;
    if (code == kControlCExit) return ChildEnding::ByCtrlC;
    return code == 0 ? ChildEnding::Normally : ChildEnding::Otherwise;
}
