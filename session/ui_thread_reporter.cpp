#include "session/ui_thread_reporter.h"

#include <memory>

namespace tessaly {

template <typename Call>
void UiThreadReporter::OnUiThread(Call call) {
  if (std::this_thread::get_id() == uiThread_) {
    call();
    return;
  }
  // Shared with the posted task, which may run after a dropped report returned.
  auto done = std::make_shared<bool>(false);
  std::unique_lock lock(mutex_);
  if (shutdown_) return;
  lock.unlock();
  post_([this, done, call] {
    call();
    const std::lock_guard guard(mutex_);
    *done = true;
    answered_.notify_all();
  });
  lock.lock();
  answered_.wait(lock, [&] { return *done || shutdown_; });
}

void UiThreadReporter::Show(const std::string& text, Icon icon) {
  OnUiThread([this, text, icon] { target_.Show(text, icon); });
}

bool UiThreadReporter::ShowCard(const std::string& text, Icon icon, const CardRef& card) {
  auto more = std::make_shared<bool>(true);
  OnUiThread([this, text, icon, card, more] { *more = target_.ShowCard(text, icon, card); });
  return *more;
}

void UiThreadReporter::ShowAt(const std::string& text, Icon icon, const LineRef& where) {
  OnUiThread([this, text, icon, where] { target_.ShowAt(text, icon, where); });
}

void UiThreadReporter::Shutdown() {
  const std::lock_guard guard(mutex_);
  shutdown_ = true;
  answered_.notify_all();
}

}  // namespace tessaly
