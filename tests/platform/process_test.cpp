// Starting the system-information program from the text the registry holds.

#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/test_platform.h"

namespace tessaly::test {
namespace {

namespace fs = std::filesystem;

class StartCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessaly-process-" + std::to_string(ProcessId()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "Program Files" / "Info Tool");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  // A copy of the probe at path.
  fs::path Probe(const fs::path& path) {
    fs::copy_file(TESSALY_PROCESS_PROBE, path);
    return path;
  }
  // What the probe at path was started with, once it has run; nothing if it has not
  // within a few seconds.
  static std::optional<std::string> Ran(const fs::path& probe, int waitMs) {
    const fs::path ran = probe.string() + ".ran";
    for (int waited = 0; waited <= waitMs; waited += 50) {
      if (fs::exists(ran)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let it finish writing
        std::ifstream in(ran, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
  }

  fs::path dir_;
};

// The unquoted-path hazard: a program at "<dir>\Program.exe" must never run in place
// of "<dir>\Program Files\Info Tool\probe.exe".
TEST_F(StartCommandLineTest, AnUnquotedPathWithBlanksStartsThatProgramOnly) {
  const char* suffix = kWindows ? ".exe" : "";
  const fs::path trap = Probe(dir_ / (std::string("Program") + suffix));
  const fs::path probe =
      Probe(dir_ / "Program Files" / "Info Tool" / (std::string("probe") + suffix));
  StartCommandLine(probe.string());
  EXPECT_EQ(Ran(probe, 10000), "");
  EXPECT_EQ(Ran(trap, 0), std::nullopt);

  // Windows registries also quote the program and add arguments.
  if (kWindows) {
    fs::remove(probe.string() + ".ran");
    StartCommandLine("\"" + probe.string() + "\" /report \"a b\"");
    EXPECT_EQ(Ran(probe, 10000), "/report\na b\n");
    EXPECT_EQ(Ran(trap, 0), std::nullopt);
  }
}

}  // namespace
}  // namespace tessaly::test
