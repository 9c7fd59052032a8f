#pragma once

// One converter session behind every front end: the commands Open, Parse records,
// Save as and Exit over the converter, what they enable, what the status panels
// say, and the conversion's own thread. A window only draws what it is told and
// forwards what the user chooses; it implements SessionView. No toolkit here.
//
// Everything but the conversion runs on the window's thread (the one that made
// the session); the conversion runs on a thread of its own and ends back there.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/reporter.h"
#include "session/record_list.h"
#include "session/session_view.h"
#include "session/ui_thread_reporter.h"

namespace tessaly {

class modCSV;
struct RunSummary;

class Session {
 public:
  // The converter and the view outlive the session.
  Session(modCSV& csv, Reporter& reporter, SessionView& view);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // File > Open: asks the view for an export, then opens it.
  void Open();
  void Open(const std::string& path);
  // Edit > Parse records: starts converting the opened export; it ends later, on
  // the window's thread (see Converting).
  void Parse();
  // File > Save as: asks the view for a name, then saves there.
  void SaveAs();
  void SaveAs(const std::string& path);
  // File > Exit, or the window asked to close: closes the card database and quits,
  // at once or, during a conversion, at its end.
  void Close();

  bool Converting() const { return converting_; }
  const RecordList& Records() const { return records_; }

  // Derives what each command allows from the state; every command ends with it.
  void UpdateActions();

 private:
  void FinishParse(bool converted);
  void ShowRunPanel();
  // Runs task on the window's thread unless the session is gone by then.
  void Post(std::function<void()> task);
  // The conversion's progress, from its thread: shown after half a second, at most
  // ten times a second.
  void Progress(uint64_t done, uint64_t total);

  modCSV& csv_;
  Reporter& reporter_;
  SessionView& view_;
  // Posted tasks check this still lives before they touch the session.
  std::shared_ptr<bool> alive_;
  UiThreadReporter relay_;
  RecordList records_;
  std::thread worker_;

  // An opened export waits for its conversion.
  bool exportUnconverted_ = false;
  // lvMDB lists what the temporary database holds.
  bool listShowsDatabase_ = false;
  // A conversion runs: the converter is its thread's until it ends.
  bool converting_ = false;
  // Closing was asked for during a conversion; it happens at the conversion's end.
  bool closeRequested_ = false;
  // Where the last save went, for the "MDBfile" panel.
  std::string savedPath_;

  std::chrono::steady_clock::time_point convertStart_;
  // Only the conversion's thread touches this.
  std::chrono::steady_clock::time_point lastProgress_;
};

}  // namespace tessaly
