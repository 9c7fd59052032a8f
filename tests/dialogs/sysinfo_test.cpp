#include "platform/sysinfo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "platform/os_version.h"
#include "platform/process.h"
#include "tests/outlook/failure_of.h"
#include "tests/support/recording_reporter.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

// Answers from `values`, keyed "key|name", under HKEY_LOCAL_MACHINE only.
struct FakeRegistry : Registry {
  bool GetKeyValue(int32_t root, const std::string& key, const std::string& name,
                   std::string& value) override {
    const auto found = values.find(key + "|" + name);
    const bool known = root == kHKeyLocalMachine && found != values.end();
    value = known ? found->second : "";
    return known;
  }
  std::map<std::string, std::string> values;
};

class SysInfoTest : public testing::Test {
 protected:
  std::string MakeFile(const fs::path& path, const std::string& text, bool executable) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
    ::chmod(path.c_str(), executable ? 0755 : 0644);
    return path.string();
  }
  QTemporaryDir temp_;
  const fs::path dir_ = temp_.path().toStdString();
};

TEST_F(SysInfoTest, StartSysInfoOrderOfAttempts) {
  const std::string missing = (dir_ / "missing").string();
  const std::string program = (dir_ / "MSINFO32.EXE").string();
  const std::string kPath = std::string(kMsInfoKey) + "|PATH";
  const std::string kLocation = std::string(kSharedToolsLocationKey) + "|MSINFO";
  const std::map<std::string, std::string> both = {{kPath, missing}, {kLocation, dir_.string()}};
  const std::map<std::string, std::string> location = {{kLocation, dir_.string()}};
  struct Case {
    std::map<std::string, std::string> values;
    bool programThere, startFails;
    std::vector<std::string> started;
  };
  // "PATH" is started as it stands, even when the file is missing.
  for (const Case& c : {Case{both, true, false, {missing}}, Case{both, true, true, {missing}},
                        Case{location, true, false, {program}}, Case{location, false, false, {}},
                        Case{{}, true, false, {}}}) {
    fs::remove(program);
    if (c.programThere) MakeFile(program, "", true);
    FakeRegistry registry;
    registry.values = c.values;
    test::RecordingReporter reporter;
    std::vector<std::string> started;
    const auto start = [&](const std::string& commandLine) {
      started.push_back(commandLine);
      if (c.startFails) throw Failure(err::kFileNotFound, "File not found");
    };
    StartSysInfo(registry, start, reporter);
    EXPECT_EQ(started, c.started);
    const bool unavailable = c.startFails || c.started.empty();
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>(unavailable ? 1 : 0, kSysInfoUnavailable));
    for (const auto& report : reporter.reports) EXPECT_EQ(report.icon, Icon::None);
  }
}

TEST_F(SysInfoTest, StandInRegistryAnswersPathWithTheFirstInstalledProgram) {
  MakeFile(dir_ / "a" / "gnome-system-monitor", "", true);
  MakeFile(dir_ / "b" / "hardinfo2", "", false);  // not executable
  const std::string hardinfo = MakeFile(dir_ / "b" / "hardinfo", "", true);
  StandInRegistry registry(":" + (dir_ / "a").string() + "::" + (dir_ / "b").string() + "/");
  std::string value = "previous";
  EXPECT_TRUE(registry.GetKeyValue(kHKeyLocalMachine, "software\\microsoft\\shared tools\\msinfo",
                                   "Path", value));
  EXPECT_EQ(value, hardinfo);
  EXPECT_FALSE(registry.GetKeyValue(kHKeyLocalMachine, kSharedToolsLocationKey, "MSINFO", value));
  EXPECT_EQ(value, "");
  EXPECT_FALSE(registry.GetKeyValue(0, kMsInfoKey, "PATH", value));  // another root
  EXPECT_FALSE(StandInRegistry("").GetKeyValue(kHKeyLocalMachine, kMsInfoKey, "PATH", value));
}

TEST_F(SysInfoTest, StartProgramPassesArgumentsAndReportsWhatCannotStart) {
  const fs::path done = dir_ / "done";
  const std::string script = MakeFile(
      dir_ / "tool", "#!/bin/sh\necho \"$1\" > \"$2.part\" && mv \"$2.part\" \"$2\"\n", true);
  StartProgram(script, {"a b", done.string()});
  for (int i = 0; i < 200 && !fs::exists(done); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // it runs on its own
  std::string line;
  std::getline(std::ifstream(done), line);
  EXPECT_EQ(line, "a b");

  const std::pair<std::string, int32_t> failing[] = {
      {(dir_ / "missing").string(), err::kFileNotFound},
      {"tessaly-no-such-program", err::kFileNotFound},
      {MakeFile(dir_ / "plain", "", false), err::kPermissionDenied},
      // Exists and is executable; only the exec itself fails.
      {MakeFile(dir_ / "broken", "#!/nonexistent/interpreter\n", true), err::kFileNotFound},
  };
  for (const auto& [program, number] : failing)
    EXPECT_EQ(FailureOf([&] { StartCommandLine(program); }).Number(), number) << program;
}

TEST(SysInfoText, RegistryStringsAndBuildNumbers) {
  EXPECT_EQ(CutRegistryString(std::string_view("abc\0\0", 5), 4), "abc");
  EXPECT_EQ(CutRegistryString(std::string_view("abcd\0", 5), 4), "abcd");
  EXPECT_EQ(CutRegistryString(std::string_view("\0", 1), 0), "");
  EXPECT_EQ(CutRegistryString("ab", 9), "ab");
  EXPECT_EQ(RegistryNumberText(0xDEADBEEF), "&hDEADBEEF");
  const std::tuple<const char*, const char*, int32_t> unames[] = {
      {"6.1.0-18-amd64", "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1", 1},
      {"6.2.17", "SMP", 17},
      {"6.2", "", 0},
      {"1.2.99999999999", "#-3", 0}};
  for (const auto& [release, version, build] : unames)
    EXPECT_EQ(BuildFromUname(release, version), build) << release;
}

}  // namespace
}  // namespace tessaly
