// The "3D App" window: a top-level OpenGL window that the engine renders into from its
// own thread, and whose keyboard and mouse events feed the engine's input source.
#pragma once

#include <QPointF>
#include <QWindow>
#include <atomic>
#include <memory>

#include "platform/event_input_source.h"
#include "platform/render_window.h"

class QOpenGLContext;

namespace vantra::shell {

class RendererWindow : public QWindow, public platform::RenderWindow {
  Q_OBJECT

 public:
  explicit RendererWindow(const QString& title);
  ~RendererWindow() override;

  bool makeCurrent() override;
  void doneCurrent() override;
  long screenFramebuffer() const override;
  void swapBuffers() override;
  void clientRect(RECT* rect) const override;
  platform::InputSource& inputSource() override;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void _setAcquired(bool on);
  void _storeSize();
  void _setButtons(Qt::MouseButtons buttons);

  // Created by the render thread on its first makeCurrent and used by it only.
  std::unique_ptr<QOpenGLContext> _context;
  platform::EventInputSource _input;
  // Client size in device pixels, written on resize and read by the render thread.
  std::atomic<int> _width{0};
  std::atomic<int> _height{0};
  // Last pointer position in device pixels, for relative motion.
  QPointF _lastPointer;
  bool _hasLastPointer = false;
};

}  // namespace vantra::shell
