// The main sequence of the demonstration program.
#include "demo/main_sequence.h"

#include "demo/console.h"
#include "demo/console_state.h"
#include "demo/key_waiting.h"
#include "demo/pace.h"
#include "include/velmorin.h"
#include "runtime/strings.h"

namespace {

constexpr auto kSentence = MakeLiteral("dit is een zin.");

}  // namespace

void Beep() {
    MessageBeep(0);
}

std::int32_t Main(HMODULE, std::int32_t, const char *, std::uint32_t) {
    CallFrame frame{};
    ClearScreen();
    Beep();

    // The argument cell owns the sentence's copy for the length of the call;
    // the caller, not the library, releases it afterwards.
    StringHandle argument;
    PushLiteral(frame, kSentence);
    PopInto(frame, argument);
    StringHandle capitalised = VELMORIN(&argument);
    FreeString(argument);

    PushOwned(frame, capitalised);
    WriteText(frame);  // releases the result once written
    WriteLineEnd();

    // Without a console input no key can ever come, and the wait would spin
    // for ever: a process started with no console at all goes straight on.
    if (Console.consoleInput != INVALID_HANDLE_VALUE) {
        while (KeyWaiting() != kTrue) {
        }
    }
    Beep();
    // Nothing in main sets a result: the process always exits with 0, also
    // after a run-time error.
    return 0;
}
