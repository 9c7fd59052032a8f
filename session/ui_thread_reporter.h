#pragma once

// Hands the reports of a conversion running on another thread to `target` on the
// window's thread, one at a time and in order. The run waits for each, as it waits
// for a message box on the window's own thread.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/reporter.h"

namespace tessaly {

class UiThreadReporter : public Reporter {
 public:
  using Post = std::function<void(std::function<void()>)>;
  // Reports made on the thread that constructs it go straight to `target`.
  UiThreadReporter(Reporter& target, Post post)
      : target_(target), post_(std::move(post)), uiThread_(std::this_thread::get_id()) {}

  void Show(const std::string& text, Icon icon) override;
  bool ShowCard(const std::string& text, Icon icon, const CardRef& card) override;
  void ShowAt(const std::string& text, Icon icon, const LineRef& where) override;

  // The window's thread will run nothing more: reports waiting or to come are
  // dropped, so the run can end.
  void Shutdown();

 private:
  template <typename Call>
  void OnUiThread(Call call);

  Reporter& target_;
  Post post_;
  std::thread::id uiThread_;
  std::mutex mutex_;
  std::condition_variable answered_;
  bool shutdown_ = false;
};

}  // namespace tessaly
