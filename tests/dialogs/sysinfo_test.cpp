#include "session/sysinfo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <thread>

#include "platform/os_version.h"
#include "tests/outlook/failure_of.h"
#include "tests/support/recording_reporter.h"
#include "ui/frmAbt.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

const std::string kPath = std::string(kMsInfoKey) + "|PATH";
const std::string kLocation = std::string(kSharedToolsLocationKey) + "|MSINFO";

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
  // A copy of the probe program at `path`.
  static fs::path Probe(const fs::path& path) {
    fs::create_directories(path.parent_path());
    fs::copy_file(TESSALY_PROCESS_PROBE, path);
    return path;
  }
  // What the probe at `probe` was started with, once it has run; nothing if it has
  // not within `waitMs`. It runs on its own.
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
  QTemporaryDir temp_;
  const fs::path dir_ = temp_.path().toStdString();
};

TEST_F(SysInfoTest, StartSysInfoOrderOfAttempts) {
  const std::string missing = (dir_ / "missing").string();
  const std::string program = (dir_ / "MSINFO32.EXE").string();
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

// The real program starter: an unquoted path is one path, blanks and all, so a
// program at "<dir>/Program" never runs in place of "<dir>/Program Files/...".
TEST_F(SysInfoTest, AnUnquotedPathWithBlanksStartsThatProgramOnly) {
  const fs::path trap = Probe(dir_ / "Program");
  const fs::path probe = Probe(dir_ / "Program Files" / "Info Tool" / "probe");
  FakeRegistry registry;
  registry.values = {{kPath, probe.string()}};
  test::RecordingReporter reporter;
  StartSysInfo(registry, StartCommandLine, reporter);
  EXPECT_EQ(Ran(probe, 10000), "");
  EXPECT_EQ(Ran(trap, 0), std::nullopt);
  EXPECT_TRUE(reporter.reports.empty());
}

// A bare name runs from PATH only, never from the current folder that an empty
// entry would name.
TEST_F(SysInfoTest, ABareNameIsLookedUpInPath) {
  struct Restore {
    fs::path folder = fs::current_path();
    QByteArray path = qgetenv("PATH");
    ~Restore() { fs::current_path(folder), qputenv("PATH", path); }
  } restore;
  const fs::path here = Probe(dir_ / "here" / "tessaly-probe");
  fs::current_path(here.parent_path());
  qputenv("PATH", QByteArray::fromStdString(":" + (dir_ / "bin").string() + "::"));
  FailureOf([] { StartCommandLine("tessaly-probe"); });  // only the current folder holds it
  const fs::path probe = Probe(dir_ / "bin" / "tessaly-probe");
  StartCommandLine("tessaly-probe");
  EXPECT_EQ(Ran(probe, 10000), "");
  EXPECT_EQ(Ran(here, 0), std::nullopt);
}

TEST_F(SysInfoTest, WhatCannotStartIsReportedAsUnavailable) {
  for (const std::string& program : {
           (dir_ / "missing").string(),
           std::string("tessaly-no-such-program"),
           MakeFile(dir_ / "plain", "", false),
           // Exists and is executable; only the exec itself fails.
           MakeFile(dir_ / "broken", "#!/nonexistent/interpreter\n", true),
       }) {
    FakeRegistry registry;
    registry.values = {{kPath, program}};
    test::RecordingReporter reporter;
    StartSysInfo(registry, StartCommandLine, reporter);
    ASSERT_EQ(reporter.Texts(), std::vector<std::string>{kSysInfoUnavailable}) << program;
    EXPECT_EQ(reporter.reports[0].icon, Icon::None);
  }
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
