#include "session/session.h"

#include <system_error>
#include <utility>

#include "engine/engine_failure.h"
#include "engine/modCSV.h"
#include "platform/file.h"
#include "session/status_texts.h"

namespace tessaly {

namespace {

constexpr auto kProgressAfter = std::chrono::milliseconds(500);
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

const FileChoice kOpenChoice{"Open Orvane Card export file...", {"CSV (*.csv)", "All (*.*)"}, 0, ""};
const FileChoice kSaveChoice{
    "Save MDB Card data file...", {"MDB (*.mdb)", "All (*.*)"}, 0, "OrvaneCard.mdb"};

// The hourglass for the length of a scope, however the scope ends.
class Busy {
 public:
  explicit Busy(SessionView& view) : view_(view) { view_.SetBusy(true); }
  ~Busy() { view_.SetBusy(false); }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  SessionView& view_;
};

}  // namespace

Session::Session(modCSV& csv, Reporter& reporter, SessionView& view)
    : csv_(csv),
      reporter_(reporter),
      view_(view),
      alive_(std::make_shared<bool>(true)),
      relay_(reporter, [this](std::function<void()> task) { Post(std::move(task)); }),
      records_([this](const Failure& failure) {
        // Told while the list is read for painting: reported once that is over.
        Post([this, failure] {
          ReportFailure(reporter_, failure, Icon::Exclamation);
          UpdateActions();  // reading may have found the database damaged
        });
      }) {
  UpdateActions();
}

Session::~Session() {
  relay_.Shutdown();
  if (worker_.joinable()) worker_.join();
}

void Session::Post(std::function<void()> task) {
  view_.RunOnUiThread([alive = std::weak_ptr<bool>(alive_), task = std::move(task)] {
    if (alive.lock()) task();
  });
}

void Session::UpdateActions() {
  // During a conversion no command may touch the converter (nor is its state read).
  const bool idle = !converting_;
  CommandState state;
  state.open = idle;
  state.exit = idle;
  // Parse converts each opened export once: a second run would find it at its end
  // and replace the database with an empty one.
  state.parse = idle && exportUnconverted_ && csv_.mCardFileOpen();
  // Save as copies the temporary database, so only while it holds what is listed
  // and is complete.
  state.saveAs = idle && listShowsDatabase_ && !csv_.DatabaseDamaged();
  view_.EnableCommands(state);
  if (idle) {
    const CardFileReader* file = csv_.mCardFile();
    view_.SetPanel(Panel::kCsvFile, file ? NameOf(file->Path()) : "",
                   file ? file->Path() : "");
  }
}

void Session::Open() {
  if (const std::optional<std::string> path = view_.AskOpenPath(kOpenChoice)) Open(*path);
}

void Session::Open(const std::string& path) {
  if (converting_) return;
  exportUnconverted_ = false;
  Trap(reporter_, Icon::Critical, [&] {
    if (csv_.mCardFileOpen()) csv_.CloseCardFile();
    std::vector<std::u16string> mRecFlds;
    // A pipe or a device could keep the window waiting for good: only files on disk.
    if (csv_.OpenCardFile(path, mRecFlds, CardInput::kRegularFile)) {
      view_.ShowFieldNames(mRecFlds);
      exportUnconverted_ = true;
    } else {
      csv_.CloseCardFile();  // the refused file is not kept open for a conversion
    }
    return true;
  });
  UpdateActions();
}

void Session::Parse() {
  if (converting_) return;
  exportUnconverted_ = false;
  // The conversion closes the database the list shows; a failed one leaves the
  // list, which then no longer shows what the database holds.
  records_.Detach();
  listShowsDatabase_ = false;
  converting_ = true;
  UpdateActions();
  convertStart_ = lastProgress_ = std::chrono::steady_clock::now();
  RunOptions options;
  options.reporter = &relay_;
  options.progress = [this](uint64_t done, uint64_t total) { Progress(done, total); };
  try {
    worker_ = std::thread([this, options] {
      const bool converted = csv_.ConvertCardFile(options);
      Post([this, converted] { FinishParse(converted); });
    });
  } catch (const std::system_error&) {
    // No thread to be had: the conversion runs here, the window waiting for it.
    FinishParse(csv_.ConvertCardFile(options));
  }
}

void Session::Progress(uint64_t done, uint64_t total) {
  const auto now = std::chrono::steady_clock::now();
  if (total == 0 || now - convertStart_ < kProgressAfter || now - lastProgress_ < kProgressEvery) {
    return;
  }
  lastProgress_ = now;
  Post([this, text = status::Converting(done, total)] {
    if (converting_) view_.SetPanel(Panel::kProgress, text, "");
  });
}

void Session::FinishParse(bool converted) {
  if (worker_.joinable()) worker_.join();
  converting_ = false;
  savedPath_.clear();
  if (converted) {
    view_.SetPanel(Panel::kProgress, status::kTranslationComplete, "");
    records_.Show(csv_.mRst());
    view_.ShowRecords(records_);
    listShowsDatabase_ = true;
  } else {
    view_.SetPanel(Panel::kProgress, status::kTranslationIncomplete, "");
  }
  ShowRunPanel();
  UpdateActions();
  if (closeRequested_) Close();
}

void Session::ShowRunPanel() {
  const RunSummary& run = csv_.LastRun();
  std::string tip = status::RunCounts(run);
  if (savedPath_.empty()) {
    view_.SetPanel(Panel::kMdbFile, status::CardCounts(run), tip);
  } else {
    view_.SetPanel(Panel::kMdbFile, NameOf(savedPath_), savedPath_ + "\n" + tip);
  }
}

void Session::SaveAs() {
  if (converting_) return;
  view_.SetPanel(Panel::kProgress, "", "");
  if (const std::optional<std::string> path = view_.AskSavePath(kSaveChoice)) SaveAs(*path);
}

void Session::SaveAs(const std::string& path) {
  if (converting_) return;
  view_.SetPanel(Panel::kProgress, "", "");
  {
    const Busy busy(view_);
    Trap(reporter_, Icon::Critical, [&] {
      records_.Detach();  // saving closes the database the list shows
      if (!csv_.SaveCardDatabase(path)) return false;
      view_.SetPanel(Panel::kProgress, status::kMdbFileSaved, "");
      savedPath_ = path;
      ShowRunPanel();
      return true;
    });
  }
  UpdateActions();
}

void Session::Close() {
  // The converter is the conversion's until it ends; closing happens then.
  if (converting_) {
    closeRequested_ = true;
    return;
  }
  csv_.CloseCardDatabase();
  UpdateActions();
  view_.Quit();
}

}  // namespace tessaly
