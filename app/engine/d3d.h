// The engine: renderer window, scene, render thread and frame loop, and the services that
// scene objects call while they update and draw.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/host.h"
#include "engine/thread.h"
#include "platform/d3d9.h"
#include "platform/d3dx9.h"
#include "vantra/matrix.h"
#include "vantra/vector.h"

class AppCamera;
class InputDevices;
class Object;
class RenderWindow;
class Terrain;

// Created and deleted on the GUI thread. The constructor opens the renderer window, builds
// the scene and starts the render thread, which creates the device, the input devices and
// every object's resources, then renders frames until a stop is requested. The device,
// the scene objects and the stacks belong to the render thread between construction and
// destruction.
class D3D : public vantrautils::Thread {
 public:
  static constexpr int kStatisticsLines = 6;
  static constexpr std::size_t kStatisticsLineSize = 256;

  explicit D3D(Host& host);
  // The standard scene followed by extraObjects, which the engine then owns.
  D3D(Host& host, std::vector<Object*> extraObjects);
  // Stops and joins the render thread, then frees the scene and the device.
  ~D3D() override;

  D3D(const D3D&) = delete;
  D3D& operator=(const D3D&) = delete;

  // Shows a message box whose text is format filled with the arguments, printf style.
  int reportError(const char* caption, const char* format, ...)
      __attribute__((format(printf, 3, 4)));
  Host& host() { return _host; }

  // Services for scene objects, on the render thread.
  InputDevices* input() { return _input; }
  AppCamera* activeCamera();
  // The scene's terrain; null once its reset has failed.
  Terrain* terrain() { return _terrain; }
  // Applies m before the current world transform.
  void multiplyWorldMatrix(const vantra::Matrix& m);
  void pushWorldMatrix();
  // Pops into the world transform; an empty stack gives the identity.
  void popWorldMatrix();
  void pushMaterial();
  // Does nothing on an empty stack.
  void popMaterial();
  // A material whose diffuse and ambient colours are (r, g, b, a), all else zero.
  void setMaterial(float r, float g, float b, float a);
  // Draws the quad a, b, c, d as a fan of four triangles around its centre.
  void drawQuad(const vantra::Vector& a, const vantra::Vector& b, const vantra::Vector& c,
                const vantra::Vector& d);

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
  void createFont();
  void drawText(const char* text, int top);
  void publishStatistics();

  Host& _host;
  IDirect3D9* _d3d = nullptr;
  IDirect3DDevice9* _device = nullptr;
  std::vector<vantra::Matrix> _worldStack;
  std::vector<D3DMATERIAL9> _materialStack;
  InputDevices* _input = nullptr;
  float _frameTime = 0.0f;
  RenderWindow* _window = nullptr;
  std::vector<Object*> _objects;
  std::vector<AppCamera*> _cameras;
  Terrain* _terrain = nullptr;
  std::int32_t _activeCamera = 0;
  ID3DXFont* _font = nullptr;

  // State of the key handling and the material service.
  float _nPatchSegments = 0.0f;
  bool _lighting = false;
  bool _wireframe = false;
  D3DMATERIAL9 _material = {};

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
