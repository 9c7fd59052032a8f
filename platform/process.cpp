#include "platform/process.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "platform/failure.h"

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tessaly {

namespace {

[[noreturn]] void CannotStart(const std::string& program, int error) {
  int32_t number = err::kPathFileAccess;
  if (error == ENOENT || error == ENOTDIR) number = err::kFileNotFound;
  if (error == EACCES || error == EPERM) number = err::kPermissionDenied;
  throw Failure(number,
                "Cannot start \"" + program + "\": " + std::generic_category().message(error));
}

}  // namespace

#ifdef _WIN32

namespace {

// The program is always named apart from the command line: given only a command
// line with an unquoted path, the system would try every blank as the path's end
// (C:\Program.exe first).
void Launch(const std::string& program, const std::string& commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info{};
  std::wstring line = win32::Wide(commandLine);
  if (!CreateProcessW(win32::Wide(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &info)) {
    CannotStart(program, win32::LastErrno());
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

std::wstring SearchedPath(const std::string& program) {
  wchar_t found[MAX_PATH + 1];
  const DWORD n =
      SearchPathW(nullptr, win32::Wide(program).c_str(), L".exe", MAX_PATH + 1, found, nullptr);
  return n == 0 || n > MAX_PATH ? std::wstring() : std::wstring(found, n);
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : text) {
    if (c == '\\') {
      ++backslashes;
    } else if (c == '"') {
      out.append(backslashes + 1, '\\');
      backslashes = 0;
    } else {
      backslashes = 0;
    }
    out += c;
  }
  out.append(backslashes, '\\');
  return out + "\"";
}

}  // namespace

void StartProgram(const std::string& program, const std::vector<std::string>& arguments) {
  std::string path = program;
  if (program.find_first_of("\\/:") == std::string::npos) {
    path = win32::Utf8(SearchedPath(program));
    if (path.empty()) CannotStart(program, ENOENT);
  }
  std::string commandLine = Quoted(program);
  for (const std::string& argument : arguments) {
    commandLine += ' ';
    commandLine += Quoted(argument);
  }
  Launch(path, commandLine);
}

void StartCommandLine(const std::string& commandLine) {
  // A quoted program may be followed by arguments; an unquoted text is one path,
  // blanks and all, as the registry often holds it.
  if (!commandLine.empty() && commandLine[0] == '"') {
    const size_t close = commandLine.find('"', 1);
    if (close != std::string::npos) {
      Launch(commandLine.substr(1, close - 1), commandLine);
      return;
    }
  }
  Launch(commandLine, Quoted(commandLine));
}

#else

std::string FindProgramInPath(const std::string& name, const std::string& searchPath) {
  size_t start = 0;
  while (start <= searchPath.size()) {
    size_t end = searchPath.find(':', start);
    if (end == std::string::npos) end = searchPath.size();
    if (end > start) {
      std::string candidate = searchPath.substr(start, end - start);
      if (candidate.back() != '/') candidate += '/';
      candidate += name;
      struct stat info {};
      if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
          access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return "";
}

void StartProgram(const std::string& program, const std::vector<std::string>& arguments) {
  std::string path = program;
  if (program.find('/') == std::string::npos) {
    const char* searchPath = std::getenv("PATH");
    path = FindProgramInPath(program, searchPath != nullptr ? searchPath : "");
    if (path.empty()) CannotStart(program, ENOENT);
  }
  // Everything the child needs is prepared here: between fork and exec it may only
  // make async-signal-safe calls.
  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // The exec failure comes back through a pipe that a successful exec closes.
  int fds[2];
#ifdef __linux__
  if (pipe2(fds, O_CLOEXEC) != 0) CannotStart(program, errno);
#else
  if (pipe(fds) != 0) CannotStart(program, errno);
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  fcntl(fds[1], F_SETFD, FD_CLOEXEC);
#endif
  const pid_t child = fork();
  if (child < 0) {
    const int error = errno;
    close(fds[0]);
    close(fds[1]);
    CannotStart(program, error);
  }
  if (child == 0) {
    // A grandchild runs the program, so that nobody has to wait for it.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const pid_t grandchild = fork();
    if (grandchild != 0) {
      if (grandchild < 0) {
        const int error = errno;
        [[maybe_unused]] const auto written = write(fds[1], &error, sizeof error);
      }
      _exit(0);
    }
    setsid();
    execv(path.c_str(), argv.data());
    const int error = errno;
    [[maybe_unused]] const auto written = write(fds[1], &error, sizeof error);
    _exit(127);
  }
  close(fds[1]);
  int error = 0;
  ssize_t got = 0;
  do {
    got = read(fds[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(fds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (got == static_cast<ssize_t>(sizeof error)) CannotStart(program, error);
}

void StartCommandLine(const std::string& commandLine) {
  StartProgram(commandLine);
}

#endif

}  // namespace tessaly
