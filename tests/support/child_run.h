// Running a piece of a test in a process of its own, for behaviour that ends
// the process that shows it, and telling how that process ended.
#pragma once

enum class ChildEnding {
    Normally,   // the piece returned
    ByCtrlC,    // the process's Ctrl+C handling ended it, as by default
    Otherwise,  // any other exit, a crash, or no end within seconds
    Unsupported,  // this build cannot tell (its run-time takes over signals)
};

inline const char *ChildEndingName(ChildEnding ending) {
    switch (ending) {
    case ChildEnding::Normally: return "normally";
    case ChildEnding::ByCtrlC: return "by Ctrl+C";
    case ChildEnding::Otherwise: return "otherwise";
    case ChildEnding::Unsupported: return "unsupported";
    }
    return "?";
}

// Runs piece in a child process and waits for it to end. On Windows the
// child is this program again, running only the current test, so the
// current test must call this before anything it does not want done twice.
ChildEnding RunInChild(void (*piece)());
