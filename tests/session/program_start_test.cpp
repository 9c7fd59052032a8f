// How the desktop program starts, alike for every front end: what its command line
// means, and where Help > Index finds the user guide in a build tree and in an
// install, moved or not.

#include <gtest/gtest.h>

#include <filesystem>

#include "session/user_guide.h"
#include "session/window_arguments.h"
#include "tessaly/version.h"
#include "tests/engine/engine_test_support.h"

namespace tessaly::test {
namespace {

using Action = WindowArguments::Action;

TEST(WindowArgumentsTest, AnExportToOpenOrAnAnswerOrAUsageLine) {
  struct Case {
    std::vector<std::string> arguments;
    Action action;
    std::optional<std::string> exportPath;
  };
  const Case cases[] = {
      {{}, Action::kRun, std::nullopt},
      {{"contacts.csv"}, Action::kRun, "contacts.csv"},
      {{"/home/José/Kontakte.csv"}, Action::kRun, "/home/José/Kontakte.csv"},
      {{"--", "-odd.csv"}, Action::kRun, "-odd.csv"},
      {{"--", "--help"}, Action::kRun, "--help"},
      {{"--help"}, Action::kHelp, std::nullopt},
      {{"contacts.csv", "--version"}, Action::kVersion, std::nullopt},
      // The desktop passes one file; a second, the standard input, an option it
      // does not know or an empty name is refused rather than half obeyed.
      {{"a.csv", "b.csv"}, Action::kRefuse, std::nullopt},
      {{"-"}, Action::kRefuse, std::nullopt},
      {{"-platform", "offscreen"}, Action::kRefuse, std::nullopt},
      {{"--open"}, Action::kRefuse, std::nullopt},
      {{""}, Action::kRefuse, std::nullopt},
      {{"--parse"}, Action::kRefuse, std::nullopt},
      {{"a.csv", "--screenshot"}, Action::kRefuse, std::nullopt},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& argument : c.arguments) shown += "[" + argument + "]";
    const WindowArguments parsed = ParseWindowArguments(c.arguments);
    EXPECT_EQ(parsed.action, c.action) << shown;
    EXPECT_EQ(parsed.exportPath, c.exportPath) << shown;
    if (parsed.action == Action::kRefuse) {
      const std::string refusal = WindowRefusal(parsed);
      EXPECT_EQ(refusal.rfind("tessaly: ", 0), 0u) << refusal;
      EXPECT_NE(refusal.find(std::string("\n") + kWindowUsage + "\n"), std::string::npos)
          << refusal;
    }
  }

  const WindowArguments script =
      ParseWindowArguments({"--screenshot", "shot.png", "cards.csv", "--parse"});
  EXPECT_EQ(script.action, Action::kRun);
  EXPECT_EQ(script.exportPath, "cards.csv");
  EXPECT_TRUE(script.parse);
  EXPECT_EQ(script.screenshot, "shot.png");

  EXPECT_EQ(WindowHelp().rfind(std::string(kWindowUsage) + "\n", 0), 0u);
  EXPECT_EQ(WindowVersion(), std::string("tessaly ") + kVersion + "\n");
}

class UserGuideTest : public ScratchFolderTest {
 protected:
  // root/ACTUAL as the system writes it.
  std::string At(const std::filesystem::path& relative) const {
    return (dir_ / relative).lexically_normal().make_preferred().string();
  }
  void PutGuide(const std::filesystem::path& folder) const {
    std::filesystem::create_directories(dir_ / folder);
    WriteFile(dir_ / folder / kUserGuideName, "guide");
  }
};

TEST_F(UserGuideTest, TheCurrentFolderFirstThenBesideTheProgramThenWhereAnInstallPutsIt) {
  // An install under root: the program in root/bin, the guide where the install
  // rules put it relative to the program (beside it on Windows).
  const std::filesystem::path program = "prefix/bin";
  const std::filesystem::path installed = program / kGuideFromProgram;
  std::filesystem::create_directories(dir_ / program);
  std::filesystem::create_directories(dir_ / "cwd");
  const std::string cwd = At("cwd"), bin = At(program);

  // Nothing anywhere: the place looked first, for the message to name.
  EXPECT_EQ(UserGuidePath(cwd, bin), At("cwd" / std::filesystem::path(kUserGuideName)));

  PutGuide(installed);
  const std::string guide = UserGuidePath(cwd, bin);
  EXPECT_EQ(guide, At(installed / kUserGuideName));
  // Shown to the user and handed to a viewer: no "bin/.." in it.
  EXPECT_EQ(guide.find(".."), std::string::npos) << guide;

  // A moved install: the same relative place still works.
  std::filesystem::rename(dir_ / "prefix", dir_ / "moved");
  const std::string moved = UserGuidePath(cwd, At("moved/bin"));
  EXPECT_EQ(moved, At("moved/bin" / std::filesystem::path(kGuideFromProgram) / kUserGuideName));

  PutGuide("moved/bin");  // a build tree keeps its copy beside the program
  EXPECT_EQ(UserGuidePath(cwd, At("moved/bin")), At("moved/bin" / std::filesystem::path(kUserGuideName)));

  PutGuide("cwd");
  EXPECT_EQ(UserGuidePath(cwd, At("moved/bin")), At("cwd" / std::filesystem::path(kUserGuideName)));
  // A folder given with its separator at the end reads the same.
  EXPECT_EQ(UserGuidePath(cwd + "/", At("moved/bin")), At("cwd" / std::filesystem::path(kUserGuideName)));
}

}  // namespace
}  // namespace tessaly::test
