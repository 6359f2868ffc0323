#include "platform/headless_window.h"

#include <epoxy/egl.h>

#include <cstdio>
#include <cstring>

namespace vantra::platform {

namespace {

bool HasExtension(const char* extensions, const char* name) {
  if (extensions == nullptr) return false;
  const std::size_t length = std::strlen(name);
  for (const char* p = std::strstr(extensions, name); p != nullptr;
       p = std::strstr(p + length, name)) {
    const bool startsWord = p == extensions || p[-1] == ' ';
    const bool endsWord = p[length] == ' ' || p[length] == '\0';
    if (startsWord && endsWord) return true;
  }
  return false;
}

// Names the step that failed on standard error; the device reports the failure itself.
bool ContextFailed(const char* step) {
  std::fprintf(stderr, "VantraTest: no OpenGL 3.3 core context: %s failed (EGL error 0x%04X)\n",
               step, static_cast<unsigned>(eglGetError()));
  return false;
}

}  // namespace

HeadlessWindow::HeadlessWindow(int width, int height, InputSource& input)
    : _width(width > 0 ? width : 1), _height(height > 0 ? height : 1), _input(input) {}

HeadlessWindow::~HeadlessWindow() {
  if (_display == nullptr) return;
  // Destroying a context that is still current elsewhere is deferred by EGL until it is
  // released; the display stays initialised because other targets may share it.
  if (_context != nullptr && eglGetCurrentContext() == _context)
    eglMakeCurrent(_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (_context != nullptr) eglDestroyContext(_display, _context);
  if (_surface != nullptr) eglDestroySurface(_display, _surface);
}

bool HeadlessWindow::_createContext() {
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  EGLDisplay display = EGL_NO_DISPLAY;
  bool surfaceless = false;
  if (HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    surfaceless = display != EGL_NO_DISPLAY;
  }
  if (display == EGL_NO_DISPLAY) display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (display == EGL_NO_DISPLAY) return ContextFailed("eglGetDisplay");
  EGLint major = 0;
  EGLint minor = 0;
  if (!eglInitialize(display, &major, &minor)) return ContextFailed("eglInitialize");
  if (!eglBindAPI(EGL_OPENGL_API)) return ContextFailed("eglBindAPI");
  _display = display;

  surfaceless = surfaceless && HasExtension(eglQueryString(display, EGL_EXTENSIONS),
                                            "EGL_KHR_surfaceless_context");
  EGLConfig config = EGL_NO_CONFIG_KHR;
  if (!surfaceless) {
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1)
      return ContextFailed("eglChooseConfig");
    // The device renders into framebuffer objects; the surface only satisfies EGL.
    const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
    _surface = eglCreatePbufferSurface(display, config, pbufferAttributes);
    if (_surface == EGL_NO_SURFACE) return ContextFailed("eglCreatePbufferSurface");
  }
  // 4.0 brings the tessellation shaders that draw N-patches; the device also runs on 3.3.
  EGLContext context = EGL_NO_CONTEXT;
  for (const EGLint major : {4, 3}) {
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                        major,
                                        EGL_CONTEXT_MINOR_VERSION,
                                        major == 4 ? 0 : 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context != EGL_NO_CONTEXT) break;
  }
  if (context == EGL_NO_CONTEXT) return ContextFailed("eglCreateContext");
  _context = context;
  return true;
}

bool HeadlessWindow::makeCurrent() {
  if (_failed) return false;
  if (_context == nullptr && !_createContext()) {
    _failed = true;
    return false;
  }
  EGLSurface surface = _surface != nullptr ? _surface : EGL_NO_SURFACE;
  return eglMakeCurrent(_display, surface, surface, _context) == EGL_TRUE;
}

void HeadlessWindow::doneCurrent() {
  if (_display != nullptr) eglMakeCurrent(_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void HeadlessWindow::swapBuffers() {
  const long frames = ++_presentedFrames;
  if (_presentCallback) _presentCallback(frames);
}

void HeadlessWindow::clientRect(RECT* rect) const {
  if (rect == nullptr) return;
  *rect = RECT{0, 0, _width, _height};
}

void HeadlessWindow::setPresentCallback(std::function<void(long)> callback) {
  _presentCallback = std::move(callback);
}

}  // namespace vantra::platform
