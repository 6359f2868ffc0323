// What the engine asks of the desktop: the renderer window, message boxes on the GUI
// thread and the terrain's build progress in the main frame's status bar.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/host.h"

namespace vantra::shell {

class CMainFrame;
class RendererWindow;

class DesktopHost : public QObject, public engine::Host {
  Q_OBJECT

 public:
  explicit DesktopHost(CMainFrame& frame);
  ~DesktopHost() override;

  platform::RenderWindow* createRendererWindow(const std::string& title) override;
  int messageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void reportProgress(int done, int total) override;
  // On standard error, and in the main frame's status bar.
  void reportStatus(const std::string& text) override;

  RendererWindow* rendererWindow() const { return _window.get(); }

  // Answers IDOK to every message box another thread is waiting for, and to every later
  // request, so that the render thread can be joined once the event loop has ended.
  void cancelMessageBoxes();

 private:
  struct Answer {
    bool ready = false;
    int value = 0;
  };

  void _showProgress();

  CMainFrame& _frame;
  std::unique_ptr<RendererWindow> _window;

  std::mutex _mutex;
  std::condition_variable _answered;
  bool _cancelled = false;

  // Latest progress as done in the low and total in the high 32 bits, and whether a
  // status bar update is already queued.
  std::atomic<std::uint64_t> _progress{0};
  std::atomic<bool> _progressQueued{false};
};

}  // namespace vantra::shell
