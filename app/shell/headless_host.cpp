#include "shell/headless_host.h"

#include <unistd.h>

#include <cstdio>

#include "platform/headless_window.h"

namespace vantra::shell {

HeadlessHost::HeadlessHost(int width, int height, platform::InputSource& input,
                           std::function<void(long)> onPresented)
    : _width(width),
      _height(height),
      _input(input),
      _onPresented(std::move(onPresented)),
      _terminal(isatty(fileno(stderr)) == 1) {}

HeadlessHost::~HeadlessHost() = default;

platform::RenderWindow* HeadlessHost::createRendererWindow(const std::string&) {
  _window = std::make_unique<platform::HeadlessWindow>(_width, _height, _input);
  _window->setPresentCallback(_onPresented);
  return _window.get();
}

int HeadlessHost::messageBox(const std::string& text, const std::string& caption, unsigned) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return IDOK;
}

void HeadlessHost::objectRemoved(const std::string& name) {
  if (_onObjectRemoved) _onObjectRemoved(name);
}

void HeadlessHost::setObjectRemovedCallback(std::function<void(const std::string&)> callback) {
  _onObjectRemoved = std::move(callback);
}

void HeadlessHost::reportProgress(int done, int total) {
  if (total <= 0) return;
  const bool finished = done >= total;
  if (_terminal) {
    // One line redrawn in place whenever the percentage changes; the last state ends it.
    const int percent = static_cast<int>(100LL * done / total);
    const bool changed = _lastPercent.exchange(finished ? -1 : percent) != percent;
    if (changed || finished)
      std::fprintf(stderr, "\rBuilding the terrain: %d of %d leaves built%s", done, total,
                   finished ? "\n" : "");
  } else if (finished) {
    _building.store(false);
    std::fprintf(stderr, "Building the terrain: %d of %d leaves built\n", done, total);
  } else if (!_building.exchange(true)) {
    // A log gets one line as the build starts and one as it ends.
    std::fprintf(stderr, "Building the terrain: %d leaves\n", total);
  }
}

}  // namespace vantra::shell
