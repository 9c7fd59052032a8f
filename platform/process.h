#pragma once

// Starting other programs without waiting for them.

#include <string>
#include <vector>

namespace tessaly {

// Starts `program` with `arguments` in a normal window that takes the focus, and
// returns once it runs. A name without a folder is looked up in PATH. Throws
// Failure when the program cannot be started.
void StartProgram(const std::string& program, const std::vector<std::string>& arguments = {});

// Starts a command line as found in the registry: a program in quotes followed by
// its arguments, or else a program's path that may hold blanks. No part of an
// unquoted path is ever taken for the program.
void StartCommandLine(const std::string& commandLine);

#ifndef _WIN32
// The first executable file called `name` in the folders of `searchPath` (a
// PATH-style list), or empty. Empty entries (the current folder) are skipped.
std::string FindProgramInPath(const std::string& name, const std::string& searchPath);
#endif

}  // namespace tessaly
