// How a program's start on the stand-in reaches the process services.
#pragma once

#include <string>

// Records the program's arguments as its command line. Called once, first.
__attribute__((visibility("default"))) void StandinProcessStarting(int argc, char **argv);
// The arguments as one command line, each quoted as Windows would quote it.
__attribute__((visibility("default"))) std::string StandinQuoteCommandLine(int argc, char **argv);
