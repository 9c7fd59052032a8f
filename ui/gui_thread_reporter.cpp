#include "ui/gui_thread_reporter.h"

#include <QThread>

namespace tessaly {

template <typename Call>
void GuiThreadReporter::OnContextThread(Call call) {
  if (QThread::currentThread() == context_.thread()) {
    call();
  } else {
    QMetaObject::invokeMethod(&context_, call, Qt::BlockingQueuedConnection);
  }
}

void GuiThreadReporter::Show(const std::string& text, Icon icon) {
  OnContextThread([&] { target_.Show(text, icon); });
}

bool GuiThreadReporter::ShowCard(const std::string& text, Icon icon, const CardRef& card) {
  bool more = true;
  OnContextThread([&] { more = target_.ShowCard(text, icon, card); });
  return more;
}

}  // namespace tessaly
