// Prints failure and skip messages for the Windows test programs in place of
// GoogleTest's own printer, which hands them on to the debugger output too:
// under 32-bit Wine through qemu that path kills the process right after the
// first message. Every other event still goes to GoogleTest's printer.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

using namespace ::testing;

class PlainPartPrinter : public TestEventListener {
public:
    explicit PlainPartPrinter(TestEventListener *inner) : inner_(inner) {}

    void OnTestPartResult(const TestPartResult &result) override {
        if (result.type() == TestPartResult::kSuccess) return;
        std::printf("%s:%d: %s\n%s\n", result.file_name() != nullptr ? result.file_name() : "unknown file",
                    result.line_number(), result.skipped() ? "Skipped" : "Failure", result.message());
        std::fflush(stdout);
    }

    void OnTestProgramStart(const UnitTest &u) override { inner_->OnTestProgramStart(u); }
    void OnTestIterationStart(const UnitTest &u, int i) override { inner_->OnTestIterationStart(u, i); }
    void OnEnvironmentsSetUpStart(const UnitTest &u) override { inner_->OnEnvironmentsSetUpStart(u); }
    void OnEnvironmentsSetUpEnd(const UnitTest &u) override { inner_->OnEnvironmentsSetUpEnd(u); }
    void OnTestSuiteStart(const TestSuite &s) override { inner_->OnTestSuiteStart(s); }
    void OnTestCaseStart(const TestCase &s) override { inner_->OnTestCaseStart(s); }
    void OnTestStart(const TestInfo &t) override { inner_->OnTestStart(t); }
    void OnTestEnd(const TestInfo &t) override { inner_->OnTestEnd(t); }
    void OnTestSuiteEnd(const TestSuite &s) override { inner_->OnTestSuiteEnd(s); }
    void OnTestCaseEnd(const TestCase &s) override { inner_->OnTestCaseEnd(s); }
    void OnEnvironmentsTearDownStart(const UnitTest &u) override { inner_->OnEnvironmentsTearDownStart(u); }
    void OnEnvironmentsTearDownEnd(const UnitTest &u) override { inner_->OnEnvironmentsTearDownEnd(u); }
    void OnTestIterationEnd(const UnitTest &u, int i) override { inner_->OnTestIterationEnd(u, i); }
    void OnTestProgramEnd(const UnitTest &u) override { inner_->OnTestProgramEnd(u); }

private:
    std::unique_ptr<TestEventListener> inner_;
};

// Installed while the program loads, before gtest_main's main runs the tests.
const bool installed = [] {
    TestEventListeners &listeners = UnitTest::GetInstance()->listeners();
    listeners.Append(new PlainPartPrinter(listeners.Release(listeners.default_result_printer())));
    return true;
}();

}  // namespace
