#pragma once

// Starting another program, as Help > Index and the About box do.

#include <string>

namespace tessaly::winui {

// Starts a command line (a program, in quotes where it holds blanks, and its
// arguments) in a normal window that takes the focus, without waiting. Throws
// Failure when nothing starts.
void StartProgram(const std::string& commandLine);

// The command line that opens `path` in Notepad.
std::string NotepadCommandLine(const std::string& path);

}  // namespace tessaly::winui
