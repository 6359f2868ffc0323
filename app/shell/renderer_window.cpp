#include "shell/renderer_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <cstdio>

#include "engine/d3d.h"
#include "shell/key_mapping.h"
#include "shell/vantra_test_app.h"

namespace vantra::shell {

namespace {

QSurfaceFormat WindowFormat(int major = 3, int minor = 3) {
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setVersion(major, minor);
  format.setProfile(QSurfaceFormat::CoreProfile);
  // The device draws into its own framebuffer object with a depth buffer and copies the
  // picture to the window, so the window needs colour only.
  format.setDepthBufferSize(0);
  format.setStencilBufferSize(0);
  format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  // Frames are presented as fast as they are drawn, without waiting for the retrace.
  format.setSwapInterval(0);
  return format;
}

// X11 and Wayland report evdev key codes, which are Linux input codes plus 8.
bool HasLinuxKeyCodes() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

// The DIK_ code of a key event, or -1 for keys a PC keyboard does not have.
int KeyCodeOf(const QKeyEvent& event) {
  if (HasLinuxKeyCodes() && event.nativeScanCode() > 8) {
    const int code = DikFromLinuxKeyCode(static_cast<int>(event.nativeScanCode()) - 8);
    if (code >= 0) return code;
  }
  return DikFromQtKey(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
}

}  // namespace

RendererWindow::RendererWindow(const QString& title) {
  setTitle(title);
  setSurfaceType(QSurface::OpenGLSurface);
  setFormat(WindowFormat());
  resize(640, 480);
  _storeSize();
}

// The render thread has ended by now (the engine is deleted first), so the context is no
// longer in use; it is destroyed before the native window.
RendererWindow::~RendererWindow() { _context.reset(); }

bool RendererWindow::makeCurrent() {
  // 4.0 brings the tessellation shaders that draw N-patches; the device also runs on 3.3.
  QSurfaceFormat offered;
  for (const auto& version : {qMakePair(4, 0), qMakePair(3, 3)}) {
    if (_context) break;
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(WindowFormat(version.first, version.second));
    if (!context->create()) continue;
    offered = context->format();
    if (offered.profile() != QSurfaceFormat::CoreProfile || offered.version() < version) continue;
    // The context is destroyed on the GUI thread after the render thread has ended. Its
    // share group would then be handed to the ended thread to delete later, which never
    // happens, so the group lives on the GUI thread from the start.
    context->shareGroup()->moveToThread(QCoreApplication::instance()->thread());
    _context = std::move(context);
  }
  if (!_context) {
    if (offered.majorVersion() <= 0)
      std::fputs("VantraTest: no OpenGL 3.3 core context: the display offers none\n", stderr);
    else
      std::fprintf(stderr, "VantraTest: no OpenGL 3.3 core context: the display offers %d.%d%s\n",
                   offered.majorVersion(), offered.minorVersion(),
                   offered.profile() == QSurfaceFormat::CoreProfile ? " core" : "");
    return false;
  }
  return _context->makeCurrent(this);
}

void RendererWindow::doneCurrent() {
  if (_context) _context->doneCurrent();
}

long RendererWindow::screenFramebuffer() const {
  return _context ? static_cast<long>(_context->defaultFramebufferObject()) : 0;
}

void RendererWindow::swapBuffers() {
  if (_context) _context->swapBuffers(this);
}

void RendererWindow::clientRect(RECT* rect) const {
  rect->left = 0;
  rect->top = 0;
  rect->right = _width.load(std::memory_order_relaxed);
  rect->bottom = _height.load(std::memory_order_relaxed);
}

platform::InputSource& RendererWindow::inputSource() { return _input; }

void RendererWindow::focusInEvent(QFocusEvent* event) {
  QWindow::focusInEvent(event);
  _setAcquired(true);
}

void RendererWindow::focusOutEvent(QFocusEvent* event) {
  QWindow::focusOutEvent(event);
  // Releases that happen elsewhere never reach this window: forget what is held now so
  // that no key or button stays down when the focus comes back.
  _input.releaseAll();
  _hasLastPointer = false;
  _setAcquired(false);
}

// The window stays until the engine, and with it the render thread, is gone: the quit is
// queued and the exit path destroys the window afterwards.
void RendererWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  CVantraTestApp::PostQuit(0);
}

void RendererWindow::resizeEvent(QResizeEvent* event) {
  QWindow::resizeEvent(event);
  _storeSize();
}

void RendererWindow::keyPressEvent(QKeyEvent* event) {
  const int code = KeyCodeOf(*event);
  if (code >= 0) _input.setKey(static_cast<std::uint8_t>(code), true);
  event->accept();
}

void RendererWindow::keyReleaseEvent(QKeyEvent* event) {
  // A held key repeats as release and press pairs; only the real release counts.
  if (event->isAutoRepeat()) return;
  const int code = KeyCodeOf(*event);
  if (code >= 0) _input.setKey(static_cast<std::uint8_t>(code), false);
  event->accept();
}

void RendererWindow::mouseMoveEvent(QMouseEvent* event) {
  const QPointF pointer = event->globalPosition() * devicePixelRatio();
  if (_hasLastPointer) {
    const QPointF delta = pointer - _lastPointer;
    _input.addMotion(qRound(delta.x()), qRound(delta.y()));
  }
  _lastPointer = pointer;
  _hasLastPointer = true;
  event->accept();
}

void RendererWindow::mousePressEvent(QMouseEvent* event) {
  _setButtons(event->buttons());
  event->accept();
}

void RendererWindow::mouseReleaseEvent(QMouseEvent* event) {
  _setButtons(event->buttons());
  event->accept();
}

void RendererWindow::_setAcquired(bool on) {
  if (engine::D3D* engine = CVantraTestApp::instance()->engine()) engine->setInputAcquired(on);
}

void RendererWindow::_storeSize() {
  const qreal ratio = devicePixelRatio();
  _width.store(qRound(width() * ratio), std::memory_order_relaxed);
  _height.store(qRound(height() * ratio), std::memory_order_relaxed);
}

void RendererWindow::_setButtons(Qt::MouseButtons buttons) {
  // Button order of the mouse state: left, right, middle, then the first side button.
  static constexpr Qt::MouseButton kButtons[4] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton,
                                                  Qt::BackButton};
  for (int i = 0; i < 4; ++i) _input.setButton(i, buttons.testFlag(kButtons[i]));
}

}  // namespace vantra::shell
