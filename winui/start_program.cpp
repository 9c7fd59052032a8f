#include "winui/start_program.h"

#include <vector>

#include "platform/failure.h"
#include "platform/win32.h"

namespace tessaly::winui {

void StartProgram(const std::string& commandLine) {
  // CreateProcessW may write into the command line it is given.
  std::wstring wide = win32::Wide(commandLine);
  std::vector<wchar_t> line(wide.begin(), wide.end());
  line.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    const DWORD error = GetLastError();
    throw Failure(err::kPathFileAccess, "Cannot start \"" + commandLine + "\" (system error " +
                                            std::to_string(error) + ")");
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

std::string NotepadCommandLine(const std::string& path) {
  return "notepad.exe \"" + path + "\"";
}

}  // namespace tessaly::winui
