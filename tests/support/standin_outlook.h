#pragma once

// The project's stand-in for Outlook's automation server, outlook-standin.dll
// beside the test program, registered as "Outlook.Application" in the test's Wine
// prefix while a test needs it. It serves the folder store file it is given.

#ifdef _WIN32

#include <filesystem>
#include <string>

#include "platform/win32.h"

namespace tessaly::test {

class StandInOutlook {
 public:
  StandInOutlook();
  // Unregisters, removes the store file and unloads.
  ~StandInOutlook();
  StandInOutlook(const StandInOutlook&) = delete;
  StandInOutlook& operator=(const StandInOutlook&) = delete;

  // Registers it; false, with the reason in `why`, when it cannot be loaded or
  // refuses (it registers itself only under Wine).
  bool Register(std::string& why);
  void Unregister();

  // The folder store it serves from the next GetNamespace on, as JSON text.
  void Serve(const std::string& json);
  // No store at all: GetNamespace fails as a logon would.
  void ServeNothing();

  // Its automation objects not yet released by their users.
  long LiveObjects() const;

 private:
  HMODULE module_ = nullptr;
  std::filesystem::path store_;
};

}  // namespace tessaly::test

#endif
