#include "platform/sysinfo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "platform/os_version.h"
#include "platform/process.h"
#include "recording_reporter.h"
#include "tests/outlook/failure_of.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

class FakeRegistry : public Registry {
 public:
  bool GetKeyValue(int32_t keyRoot, const std::string& keyName, const std::string& subKeyRef,
                   std::string& keyVal) override {
    asked.push_back(keyName + "|" + subKeyRef);
    const auto found = values.find(keyName + "|" + subKeyRef);
    if (keyRoot != kHKeyLocalMachine || found == values.end()) {
      keyVal.clear();
      return false;
    }
    keyVal = found->second;
    return true;
  }
  std::map<std::string, std::string> values;
  std::vector<std::string> asked;
};

class TempDir : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("tessaly_sysinfo_" + std::to_string(::getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string MakeFile(const fs::path& path, const std::string& text, bool executable) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
    ::chmod(path.c_str(), executable ? 0755 : 0644);
    return path.string();
  }
  fs::path dir_;
};

using StartSysInfoTest = TempDir;

TEST_F(StartSysInfoTest, OrderOfAttempts) {
  const std::string missing = (dir_ / "missing").string();
  const std::string folder = dir_.string();
  const std::string program = (dir_ / "MSINFO32.EXE").string();
  const std::string kPath = std::string(kMsInfoKey) + "|PATH";
  const std::string kLocation = std::string(kSharedToolsLocationKey) + "|MSINFO";
  struct Case {
    std::map<std::string, std::string> values;
    bool programThere;
    bool startFails;
    std::vector<std::string> asked;
    std::vector<std::string> started;
  };
  const Case cases[] = {
      // "PATH" is started as it stands, even when the file is missing.
      {{{kPath, missing}, {kLocation, folder}}, true, false, {kPath}, {missing}},
      {{{kPath, missing}, {kLocation, folder}}, true, true, {kPath}, {missing}},
      {{{kLocation, folder}}, true, false, {kPath, kLocation}, {program}},
      {{{kLocation, folder}}, false, false, {kPath, kLocation}, {}},
      {{}, true, false, {kPath, kLocation}, {}},
  };
  for (const Case& c : cases) {
    fs::remove(program);
    if (c.programThere) MakeFile(program, "", true);
    FakeRegistry registry;
    registry.values = c.values;
    RecordingReporter reporter;
    std::vector<std::string> started;
    StartSysInfo(
        registry,
        [&](const std::string& commandLine) {
          started.push_back(commandLine);
          if (c.startFails) throw Failure(err::kFileNotFound, "File not found");
        },
        reporter);
    EXPECT_EQ(registry.asked, c.asked);
    EXPECT_EQ(started, c.started);
    if (c.startFails || c.started.empty()) {
      ASSERT_EQ(reporter.reports.size(), 1u);
      EXPECT_EQ(reporter.reports[0].text, "System Information Is Unavailable At This Time");
      EXPECT_EQ(reporter.reports[0].icon, Icon::None);
    } else {
      EXPECT_TRUE(reporter.reports.empty());
    }
  }
}

using StandInRegistryTest = TempDir;

TEST_F(StandInRegistryTest, AnswersPathWithTheFirstInstalledProgram) {
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
  value = "previous";
  EXPECT_FALSE(registry.GetKeyValue(0, kMsInfoKey, "PATH", value));
  EXPECT_EQ(value, "");
  EXPECT_FALSE(StandInRegistry("").GetKeyValue(kHKeyLocalMachine, kMsInfoKey, "PATH", value));
}

TEST(RegistryText, CutsTheTerminatorOnlyWhenCounted) {
  EXPECT_EQ(CutRegistryString(std::string_view("abc\0\0", 5), 4), "abc");
  EXPECT_EQ(CutRegistryString(std::string_view("abcd\0", 5), 4), "abcd");
  EXPECT_EQ(CutRegistryString(std::string_view("\0", 1), 0), "");
  EXPECT_EQ(CutRegistryString("ab", 9), "ab");
  EXPECT_EQ(RegistryNumberText(0), "&h0");
  EXPECT_EQ(RegistryNumberText(0xDEADBEEF), "&hDEADBEEF");
}

using StartProgramTest = TempDir;

TEST_F(StartProgramTest, StartsWithoutWaitingAndReportsWhatCannotStart) {
  const fs::path marker = dir_ / "marker";
  const std::string script =
      MakeFile(dir_ / "tool", "#!/bin/sh\nsleep 1\necho \"$1\" > \"$2\"\n", true);
  const auto before = std::chrono::steady_clock::now();
  StartProgram(script, {"a b", marker.string()});
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(900));
  for (int i = 0; i < 100 && !fs::exists(marker); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::string line;
  std::getline(std::ifstream(marker), line);
  EXPECT_EQ(line, "a b");

  const std::pair<std::string, int32_t> failing[] = {
      {(dir_ / "missing").string(), err::kFileNotFound},
      {"tessaly-no-such-program", err::kFileNotFound},
      {MakeFile(dir_ / "plain", "", false), err::kPermissionDenied},
      // Exists and is executable; only the exec itself fails.
      {MakeFile(dir_ / "broken", "#!/nonexistent/interpreter\n", true), err::kFileNotFound},
  };
  for (const auto& [program, number] : failing) {
    EXPECT_EQ(FailureOf([&] { StartCommandLine(program); }).Number(), number) << program;
  }
}

TEST(OsVersion, BuildFromUname) {
  EXPECT_EQ(BuildFromUname("6.1.0-18-amd64", "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1"), 1);
  EXPECT_EQ(BuildFromUname("6.8.0-45-generic", "#45~22.04.1-Ubuntu SMP"), 45);
  EXPECT_EQ(BuildFromUname("23.1.0", "Darwin Kernel Version 23.1.0: Mon Oct 9"), 0);
  EXPECT_EQ(BuildFromUname("6.2.17", "SMP"), 17);
  EXPECT_EQ(BuildFromUname("6.2", ""), 0);
  EXPECT_EQ(BuildFromUname("1.2.99999999999", "#-3"), 0);
  EXPECT_EQ(PlatformNameFromId(1), "Win95");
}

}  // namespace
}  // namespace tessaly
