// The engine: renderer window, scene, render thread and frame loop, and the services that
// scene objects call while they update and draw.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine_services.h"
#include "engine/host.h"
#include "engine/scene_objects.h"
#include "engine/thread.h"
#include "platform/com_ref.h"
#include "platform/d3d9.h"
#include "platform/d3dx9.h"
#include "vantra/matrix.h"
#include "vantra/vector.h"

namespace vantra::platform {
class RenderWindow;
}

namespace vantra::engine {

class InputDevices;

// Created and deleted on the GUI thread. The constructor opens the renderer window, has the
// scene made and starts the render thread, which creates the device, the input devices and
// every object's resources, then renders frames until a stop is requested. The device,
// the scene objects and the stacks belong to the render thread between construction and
// destruction.
class D3D : public vantrautils::Thread, public EngineServices {
 public:
  // Makes the scene; called once by the constructor, after the renderer window is open.
  using SceneFactory = std::function<SceneObjects()>;

  static constexpr int kStatisticsLines = 6;
  static constexpr std::size_t kStatisticsLineSize = 256;

  D3D(Host& host, const SceneFactory& makeScene);
  // Stops and joins the render thread, then frees the scene and the device.
  ~D3D() override;

  D3D(const D3D&) = delete;
  D3D& operator=(const D3D&) = delete;

  // Shows a message box whose text is format filled with the arguments, printf style.
  int reportError(const char* caption, const char* format, ...)
      __attribute__((format(printf, 3, 4)));

  // Services for scene objects, on the render thread.
  Host& host() override { return _host; }
  InputDevices* input() override { return _input.get(); }
  Camera* activeCamera() override;
  void multiplyWorldMatrix(const vantra::Matrix& m) override;
  void pushWorldMatrix() override;
  void popWorldMatrix() override;
  void pushMaterial() override;
  void popMaterial() override;
  void setMaterial(float r, float g, float b, float a) override;
  void drawQuad(const vantra::Vector& a, const vantra::Vector& b, const vantra::Vector& c,
                const vantra::Vector& d) override;
  void drawText(const char* text, int top) override;

  // GUI thread (focus changes): acquires or unacquires the keyboard, then the mouse, when
  // the input devices exist; safe against their creation and deletion on the render thread.
  void setInputAcquired(bool acquired);
  // Any thread: the input devices exist and both are acquired.
  bool isInputAcquired() const;

  // Any thread: the six statistics lines of the last frame drawn (empty before the first).
  void lastFrameStatistics(char lines[kStatisticsLines][kStatisticsLineSize]) const;
  // Any thread: frames completed (presented) so far.
  long framesRendered() const { return _framesRendered.load(); }
  // What run returned: 0 after a normal stop, the thrown result code when initialisation
  // failed, -1 after any other failure. Meaningful once the render thread has ended.
  std::int32_t runResult() const { return _runResult.load(); }

 protected:
  std::int32_t run() override;

 private:
  void initialise();
  HRESULT createDevice();
  void handleKeys();
  void updateObjects();
  void renderObjects();
  void releaseInput();
  void captureScreen();
  void createFont();
  void publishStatistics();

  Host& _host;
  platform::ComRef<IDirect3D9> _d3d;
  platform::ComRef<IDirect3DDevice9> _device;
  std::vector<vantra::Matrix> _worldStack;
  std::vector<D3DMATERIAL9> _materialStack;
  std::unique_ptr<InputDevices> _input;
  float _frameTime = 0.0f;
  platform::RenderWindow* _window = nullptr;
  std::vector<std::unique_ptr<Object>> _objects;
  std::vector<std::unique_ptr<Camera>> _cameras;
  // The object handed the first camera after the resets (the terrain), one of _objects;
  // null once its reset has failed and it has been deleted.
  Object* _cameraFollower = nullptr;
  std::function<void(Camera*)> _followCamera;
  std::int32_t _activeCamera = 0;
  platform::ComRef<ID3DXFont> _font;

  // State of the key handling and the material service.
  float _nPatchSegments = 0.0f;
  bool _lighting = false;
  bool _wireframe = false;
  D3DMATERIAL9 _material = {};
  // Why the last screen capture failed; empty after one that worked.
  std::string _captureFailure;

  // Guards _input's creation and deletion against the GUI thread's acquire requests.
  mutable std::mutex _inputLock;

  // The statistics text, formatted into one reused buffer every frame, and the copy that
  // other threads read.
  char _text[kStatisticsLines][kStatisticsLineSize] = {};
  mutable std::mutex _statisticsLock;
  char _lastStatistics[kStatisticsLines][kStatisticsLineSize] = {};
  std::atomic<long> _framesRendered{0};
  std::atomic<std::int32_t> _runResult{0};
};

}  // namespace vantra::engine
