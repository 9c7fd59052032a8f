#pragma once

// The main window as designed, for every front end: caption, menus, toolbar
// buttons, status panels and the sizes of its controls in twips (1/1440 inch).

#include <array>
#include <cstddef>

namespace tessaly::design {

inline constexpr const char* kMainCaption = "Dask Orvane Tessaly";

// What a menu item or toolbar button runs.
enum class Command { kNone, kOpen, kSaveAs, kExit, kParse, kNotesToJournal, kHelpIndex, kHelpAbout };

struct MenuItem {
  const char* name;     // mnuFileOpen ...
  const char* caption;  // "&Open"; "-" is a separator
  char ctrlKey;         // Ctrl+key, or 0 for none
  bool enabledAtStart;
  Command command;
};

struct Menu {
  const char* name;
  const char* caption;
  const MenuItem* items;
  size_t count;
};

inline constexpr MenuItem kFileItems[] = {
    {"mnuFileOpen", "&Open", 'O', true, Command::kOpen},
    {"mnuFileSaveAs", "&Save as...", 'S', false, Command::kSaveAs},
    {"mnuBar1", "-", 0, true, Command::kNone},
    {"mnuExit", "E&xit", 'Q', true, Command::kExit},
};
inline constexpr MenuItem kEditItems[] = {
    {"mnuEditParse", "&Parse records", 'P', false, Command::kParse},
    {"mnuNotesToJournal", "Notes to &Journal", 0, true, Command::kNotesToJournal},
};
inline constexpr MenuItem kHelpItems[] = {
    {"mnuHelpIndex", "&Index...", 0, true, Command::kHelpIndex},
    {"mnuHelpAbout", "&About", 'A', true, Command::kHelpAbout},
};
inline constexpr std::array<Menu, 3> kMenus = {{
    {"mnuFile", "&File", kFileItems, std::size(kFileItems)},
    {"mnuEdit", "&Edit", kEditItems, std::size(kEditItems)},
    {"mnuHelp", "&Help", kHelpItems, std::size(kHelpItems)},
}};

inline bool IsSeparator(const MenuItem& item) { return item.command == Command::kNone; }

// Runs a command on a window that has the menu items' handlers.
template <typename Window>
void RunCommand(Window& window, Command command) {
  switch (command) {
    case Command::kOpen:
      return window.mnuFileOpen_Click();
    case Command::kSaveAs:
      return window.mnuFileSaveAs_Click();
    case Command::kExit:
      return window.mnuExit_Click();
    case Command::kParse:
      return window.mnuEditParse_Click();
    case Command::kNotesToJournal:
      return window.mnuNotesToJournal_Click();
    case Command::kHelpIndex:
      return window.mnuHelpIndex_Click();
    case Command::kHelpAbout:
      return window.mnuHelpAbout_Click();
    case Command::kNone:
      return;
  }
}

struct ToolbarButton {
  const char* key;  // also its picture's key
  const char* toolTip;
  Command command;
};
inline constexpr std::array<ToolbarButton, 3> kToolbarButtons = {{
    {"Open", "Open Card export file", Command::kOpen},
    {"Parse", "Parse CSV file into MDB file", Command::kParse},
    {"Save", "Save MDB file", Command::kSaveAs},
}};

// The status bar's panels, in the order of Panel; each keeps its width.
struct StatusPanel {
  const char* key;
  double width;
};
inline constexpr std::array<StatusPanel, 3> kStatusPanels = {{
    {"CSVfile", 2000},
    {"Progress", 3200},
    {"MDBfile", 2000},
}};

// Sizes as designed, in twips.
inline constexpr double kClientWidth = 7875;
inline constexpr double kClientHeight = 4800;
inline constexpr double kToolbarHeight = 450;
inline constexpr double kListsTop = 480;
inline constexpr double kListsHeight = 3975;
inline constexpr double kStatusBarTop = 4485;
inline constexpr double kStatusBarHeight = 315;
inline constexpr double kCsvWidth = 2055;
inline constexpr double kCsvColumnWidth = 1755;
inline constexpr double kMdbLeft = 2040;  // overlaps lvCSV by 15 twips
inline constexpr double kMdbWidth = 5835;
inline constexpr double kIndexColumnWidth = 600;
inline constexpr double kFieldColumnWidth = 1000;

inline constexpr const char* kCsvColumnHeader = "Orvane Fields";

}  // namespace tessaly::design
