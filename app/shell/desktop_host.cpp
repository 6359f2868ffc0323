#include "shell/desktop_host.h"

#include <QMessageBox>
#include <QThread>

#include "shell/main_frame.h"
#include "shell/renderer_window.h"

namespace vantra::shell {

namespace {

QMessageBox::Icon IconOf(unsigned type) {
  switch (type & 0xF0u) {
    case 0x10u:
      return QMessageBox::Critical;
    case 0x20u:
      return QMessageBox::Question;
    case 0x30u:
      return QMessageBox::Warning;
    case 0x40u:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) {
  QMessageBox box(IconOf(type), QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Ok);
  box.exec();
  return IDOK;
}

}  // namespace

DesktopHost::DesktopHost(CMainFrame& frame) : _frame(frame) {}

DesktopHost::~DesktopHost() { cancelMessageBoxes(); }

platform::RenderWindow* DesktopHost::createRendererWindow(const std::string& title) {
  _window = std::make_unique<RendererWindow>(QString::fromStdString(title));
  // Cascade from the main frame, as a new top-level window would by default.
  _window->setPosition(_frame.geometry().topLeft() + QPoint(48, 96));
  _window->showNormal();
  return _window.get();
}

int DesktopHost::messageBox(const std::string& text, const std::string& caption, unsigned type) {
  if (QThread::currentThread() == thread()) return ShowMessageBox(text, caption, type);

  auto answer = std::make_shared<Answer>();
  {
    std::lock_guard<std::mutex> lock(_mutex);
    if (_cancelled) return IDOK;
  }
  // Queued to this object, so the request is dropped if the host goes first.
  QMetaObject::invokeMethod(
      this,
      [this, answer, text, caption, type] {
        {
          std::lock_guard<std::mutex> lock(_mutex);
          if (_cancelled) return;
        }
        const int value = ShowMessageBox(text, caption, type);
        std::lock_guard<std::mutex> lock(_mutex);
        answer->ready = true;
        answer->value = value;
        _answered.notify_all();
      },
      Qt::QueuedConnection);

  std::unique_lock<std::mutex> lock(_mutex);
  _answered.wait(lock, [&] { return answer->ready || _cancelled; });
  return answer->ready ? answer->value : IDOK;
}

void DesktopHost::cancelMessageBoxes() {
  std::lock_guard<std::mutex> lock(_mutex);
  _cancelled = true;
  _answered.notify_all();
}

void DesktopHost::reportProgress(int done, int total) {
  _progress.store(static_cast<std::uint32_t>(done) |
                  (static_cast<std::uint64_t>(static_cast<std::uint32_t>(total)) << 32));
  // One queued update at a time: a fast builder does not flood the event queue.
  if (_progressQueued.exchange(true)) return;
  QMetaObject::invokeMethod(this, &DesktopHost::_showProgress, Qt::QueuedConnection);
}

void DesktopHost::reportStatus(const std::string& text) {
  engine::Host::reportStatus(text);
  QMetaObject::invokeMethod(
      this, [this, text] { _frame.showMessage(QString::fromStdString(text)); },
      Qt::QueuedConnection);
}

void DesktopHost::_showProgress() {
  _progressQueued.store(false);
  const std::uint64_t progress = _progress.load();
  _frame.showProgress(static_cast<int>(progress & 0xFFFFFFFFu), static_cast<int>(progress >> 32));
}

}  // namespace vantra::shell
