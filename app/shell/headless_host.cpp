#include "shell/headless_host.h"

#include <unistd.h>

#include <cstdio>

#include "platform/headless_window.h"

HeadlessHost::HeadlessHost(int width, int height, InputSource& input,
                           std::function<void(long)> onPresented)
    : _width(width), _height(height), _input(input), _onPresented(std::move(onPresented)) {}

HeadlessHost::~HeadlessHost() = default;

RenderWindow* HeadlessHost::createRendererWindow(const std::string&) {
  _window = std::make_unique<HeadlessWindow>(_width, _height, _input);
  _window->setPresentCallback(_onPresented);
  return _window.get();
}

int HeadlessHost::messageBox(const std::string& text, const std::string& caption, unsigned) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return IDOK;
}

void HeadlessHost::reportProgress(int done, int total) {
  if (total <= 0) return;
  const int percent = static_cast<int>(100LL * done / total);
  if (_lastPercent.exchange(percent) == percent) return;
  // A terminal sees one line rewritten in place; a log gets a line per step.
  const bool rewrite = done < total && isatty(fileno(stderr));
  std::fprintf(stderr, "Building the terrain: %d of %d leaves built%c", done, total,
               rewrite ? '\r' : '\n');
}
