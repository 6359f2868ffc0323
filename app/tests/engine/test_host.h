// The engine's surroundings for tests: an off-screen window, recorded message boxes, a
// scripted engine run, and a device made directly on the test thread.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/d3d.h"
#include "engine/host.h"
#include "platform/d3d9.h"
#include "platform/event_input_source.h"
#include "platform/headless_window.h"
#include "platform/scripted_input_source.h"
#include "render_target.h"

namespace vantra::engine {

class Object;

class TestHost : public Host {
 public:
  // Without a context the window cannot render, as on a machine without OpenGL.
  TestHost(platform::InputSource& input, bool withContext = true);

  platform::RenderWindow* createRendererWindow(const std::string& title) override;
  int messageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void reportProgress(int, int) override {}

  // "caption: text" of every message box so far.
  std::vector<std::string> messages() const;
  std::string windowTitle() const { return _title; }

 private:
  platform::InputSource& _input;
  const bool _withContext;
  std::unique_ptr<platform::RenderWindow> _window;
  std::string _title;
  mutable std::mutex _lock;
  std::vector<std::string> _messages;
};

// The real engine, fed by a script whose quit ends the frame loop after that frame.
class ScriptedEngine {
 public:
  explicit ScriptedEngine(const std::string& script, std::vector<Object*> extraObjects = {},
                          bool withContext = true);
  ~ScriptedEngine();

  // Blocks until the render thread has ended; the engine still exists.
  D3D& finish();
  D3D& engine() { return *_engine; }
  TestHost& host() { return _host; }

 private:
  platform::ScriptedInputSource _input;
  TestHost _host;
  std::mutex _lock;
  std::condition_variable _published;
  D3D* _engine = nullptr;
};

}  // namespace vantra::engine
