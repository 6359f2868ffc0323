#include "test_host.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/d3dx9.h"
#include "shell/standard_scene.h"

namespace vantra::engine {

namespace {

// A window whose OpenGL context cannot be made.
class WindowWithoutContext : public platform::RenderWindow {
 public:
  explicit WindowWithoutContext(platform::InputSource& input) : _input(input) {}
  bool makeCurrent() override { return false; }
  void doneCurrent() override {}
  long screenFramebuffer() const override { return -1; }
  void swapBuffers() override {}
  void clientRect(RECT* rect) const override { *rect = RECT{0, 0, 64, 48}; }
  platform::InputSource& inputSource() override { return _input; }

 private:
  platform::InputSource& _input;
};

}  // namespace

TestHost::TestHost(platform::InputSource& input, bool withContext)
    : _input(input), _withContext(withContext) {}

platform::RenderWindow* TestHost::createRendererWindow(const std::string& title) {
  _title = title;
  if (_withContext)
    _window = std::make_unique<platform::HeadlessWindow>(64, 48, _input);
  else
    _window = std::make_unique<WindowWithoutContext>(_input);
  return _window.get();
}

int TestHost::messageBox(const std::string& text, const std::string& caption, unsigned) {
  std::lock_guard<std::mutex> lock(_lock);
  _messages.push_back(caption + ": " + text);
  return IDOK;
}

std::vector<std::string> TestHost::messages() const {
  std::lock_guard<std::mutex> lock(_lock);
  return _messages;
}

ScriptedEngine::ScriptedEngine(const std::string& script, std::vector<Object*> extraObjects,
                               bool withContext)
    : _host(_input, withContext) {
  std::string error;
  EXPECT_TRUE(_input.parse(script, &error)) << error;
  _input.setQuitCallback([this] {
    std::unique_lock<std::mutex> lock(_lock);
    _published.wait(lock, [this] { return _engine != nullptr; });
    _engine->requestStop();
  });
  D3D* engine = new D3D(_host, [&extraObjects] {
    SceneObjects scene = shell::MakeStandardScene();
    for (Object* object : extraObjects) scene.objects.emplace_back(object);
    return scene;
  });
  std::lock_guard<std::mutex> lock(_lock);
  _engine = engine;
  _published.notify_all();
}

ScriptedEngine::~ScriptedEngine() { delete _engine; }

D3D& ScriptedEngine::finish() {
  _engine->wait();
  return *_engine;
}

}  // namespace vantra::engine
