// How a program's start on the stand-in reaches the process services.
#pragma once

// Records the program's arguments as its command line, each quoted as Windows
// would quote it. Called once, first.
extern "C" __attribute__((visibility("default"))) void StandinProcessStarting(int argc, char **argv);
