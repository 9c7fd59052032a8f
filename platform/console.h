#pragma once

// What a console program needs alike on every system: its arguments as UTF-8 (on
// Windows from the wide command line, since the narrow one is in the ANSI code
// page and loses what it cannot hold), UTF-8 output, and whether an output is a
// terminal.

#include <cstdio>
#include <string>
#include <vector>

namespace tessaly {

// argv[1..argc) as UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// Makes the console show UTF-8 output as such.
void UseUtf8Console();
bool IsTerminal(std::FILE* stream);

}  // namespace tessaly
