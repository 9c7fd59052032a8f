#pragma once

// What the session needs of a window: the toolkit's side of every command. The
// Qt window implements it on Linux, the common controls on Windows, a fake in tests.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

class RecordList;

// Which commands the user may choose; a menu item and its toolbar button alike.
struct CommandState {
  bool open = true;
  bool parse = false;
  bool saveAs = false;
  bool exit = true;
  bool operator==(const CommandState&) const = default;
};

// The status bar's panels, in order.
enum class Panel { kCsvFile, kProgress, kMdbFile };

// An Open or Save as dialog as the command sets it up.
struct FileChoice {
  std::string title;
  std::vector<std::string> filters;  // "CSV (*.csv)", ...
  int filterIndex = 0;               // the one selected, from 0
  std::string fileName;              // proposed; empty offers what the dialog held last
};

class SessionView {
 public:
  virtual ~SessionView() = default;

  // lvCSV: the export's field names, replacing what it listed.
  virtual void ShowFieldNames(const std::vector<std::u16string>& names) = 0;
  // lvMDB: `records` now lists something else (or nothing); read it afresh.
  virtual void ShowRecords(const RecordList& records) = 0;
  virtual void SetPanel(Panel panel, const std::string& text, const std::string& toolTip) = 0;
  // The hourglass while the window waits for a command.
  virtual void SetBusy(bool busy) = 0;
  virtual void EnableCommands(const CommandState& state) = 0;
  // The chosen path (UTF-8), or nothing when the user cancels.
  virtual std::optional<std::string> AskOpenPath(const FileChoice& choice) = 0;
  virtual std::optional<std::string> AskSavePath(const FileChoice& choice) = 0;
  // Runs `task` on the window's thread, after what was posted before it; callable
  // from any thread.
  virtual void RunOnUiThread(std::function<void()> task) = 0;
  // Ends the program once the current command returns.
  virtual void Quit() = 0;
};

}  // namespace tessaly
