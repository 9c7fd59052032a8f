// Times Edit > Parse records in the real Windows window on a generated export: the
// conversion until it has ended on the window's thread (the list filled there),
// then the listing alone with the list's first paint, a jump to its last row, and
// the process's memory.
//
//   bench_winui [CARDS]        (default 100000)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "winui/common_controls.h"

#include <psapi.h>
#include "bench/window_bench.h"
#include "engine/modCSV.h"
#include "platform/win32.h"
#include "session/session.h"
#include "winui/file_dialogs.h"
#include "winui/frmTessaly.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Memory {
  double workingSetMb = 0;
  double peakMb = 0;
};

Memory ProcessMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return {static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0),
          static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0)};
}

class PresetDialogs : public tessaly::winui::FileDialogs {
 public:
  PresetDialogs(std::string open, std::string save) : open_(std::move(open)), save_(std::move(save)) {}
  std::optional<std::string> ShowOpen(const tessaly::FileChoice&) override { return open_; }
  std::optional<std::string> ShowSave(const tessaly::FileChoice&) override { return save_; }

 private:
  std::string open_;
  std::string save_;
};

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// A conversion ends on the window's thread, as the user would wait for it.
void WaitForConversion(tessaly::winui::frmTessaly& window) {
  while (window.session().Converting()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
    Pump();
  }
}

void Choose(tessaly::winui::frmTessaly& window, tessaly::design::Command command) {
  SendMessageW(window.Window(), WM_COMMAND, static_cast<WPARAM>(window.CommandId(command)), 0);
}

}  // namespace

int main(int argc, char* argv[]) {
  using tessaly::design::Command;
  const int cards = argc > 1 ? std::atoi(argv[1]) : 100000;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "bench_winui";
  std::filesystem::create_directories(dir);
  const std::string exportPath = (dir / "bench.csv").string();
  tessaly::bench::WriteTypicalExport(exportPath, cards);

  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  tessaly::bench::CountingReporter reporter;
  tessaly::modCSV csv(reporter);
  PresetDialogs dialogs(exportPath, (dir / "bench.mdb").string());
  tessaly::winui::frmTessaly window(csv, reporter, dialogs);
  window.quitWithWindow = false;
  if (!window.Create()) return 1;
  ShowWindow(window.Window(), SW_SHOWNORMAL);
  UpdateWindow(window.Window());
  Pump();

  Choose(window, Command::kOpen);
  const Memory before = ProcessMemory();
  auto start = Clock::now();
  Choose(window, Command::kParse);
  WaitForConversion(window);
  const double parseMs = MsSince(start);
  UpdateWindow(window.lvMDB);
  const double shownMs = MsSince(start);

  // The listing alone, to tell it from the conversion: what follows the
  // conversion's end on the window's thread, up to the list drawn.
  start = Clock::now();
  window.FillTableListView();
  UpdateWindow(window.lvMDB);
  const double listMs = MsSince(start);

  start = Clock::now();
  const int rows = ListView_GetItemCount(window.lvMDB);
  ListView_EnsureVisible(window.lvMDB, rows - 1, FALSE);
  UpdateWindow(window.lvMDB);
  const double lastRowsMs = MsSince(start);
  const Memory shown = ProcessMemory();

  start = Clock::now();
  Choose(window, Command::kSaveAs);
  const double saveMs = MsSince(start);
  const Memory saved = ProcessMemory();

  std::printf("cards                      %d (listed rows %d)\n", cards, rows);
  std::printf("export size                %.1f MB\n",
              static_cast<double>(std::filesystem::file_size(exportPath)) / (1024.0 * 1024.0));
  std::printf("parse records (to ended)   %.0f ms\n", parseMs);
  std::printf("  and first paint          %.0f ms\n", shownMs);
  std::printf("listing + first paint      %.1f ms\n", listMs);
  std::printf("jump to last row + paint   %.1f ms\n", lastRowsMs);
  std::printf("save as                    %.0f ms\n", saveMs);
  std::printf("working set                %.1f MB before, %.1f MB shown, %.1f MB saved, peak %.1f MB\n",
              before.workingSetMb, shown.workingSetMb, saved.workingSetMb, saved.peakMb);
  std::printf("reports                    %d\n", reporter.count);
  std::filesystem::remove_all(dir);
  return rows == cards && reporter.count == 0 ? 0 : 1;
}
