#include "flight_scene.h"

#include <epoxy/gl.h>

#include <cmath>
#include <filesystem>
#include <stdexcept>

using vantra::Matrix;
using vantra::Vector;
using vantra::platform::ComRef;
using vantra::terrain::Terrain;

namespace {
constexpr D3DCOLOR kClearColour = 0xFFC6C0F2;
}  // namespace

FlightScene::FlightScene(int width, int height, int poses,
                         const std::function<void(IDirect3DDevice9*)>& configureDevice,
                         int gridSide, float spacing)
    : _poses(poses), _window(width, height, _input) {
  // The maps are generated next to the benchmark.
  std::filesystem::current_path(std::filesystem::read_symlink("/proc/self/exe").parent_path());
  _d3d = ComRef<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  D3DPRESENT_PARAMETERS parameters = {};
  parameters.SwapEffect = D3DSWAPEFFECT_FLIP;
  parameters.Windowed = 1;
  parameters.EnableAutoDepthStencil = 1;
  parameters.AutoDepthStencilFormat = D3DFMT_D32F_LOCKABLE;
  parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  if (FAILED(_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &_window,
                                D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, _device.out())))
    throw std::runtime_error("no device");
  configureDevice(_device.get());
  terrain = std::make_unique<Terrain>(gridSide, gridSide, spacing, 24240.0f, spacing);
  terrain->reset(nullptr, _device.get());
  camera.reset(nullptr, _device.get());
  camera.setActive(true);
  camera.setProjection();
  terrain->setCamera(&camera);
}

FlightScene::~FlightScene() {
  useDevice();
  terrain.reset();
  // An active camera sets its projection on reset, which needs a device.
  camera.setActive(false);
  camera.reset(nullptr, nullptr);
}

void FlightScene::aim(int pose) {
  const float angle = 6.2831853f * static_cast<float>(pose % _poses) / _poses;
  const Vector eye(450000.0f * std::sin(angle), 160000.0f, -450000.0f * std::cos(angle));
  Vector forward = Vector(0.0f, 0.0f, 0.0f) - eye;
  forward.normalize();
  Vector right = Vector(0.0f, 1.0f, 0.0f) ^ forward;
  right.normalize();
  camera.cameraWorldMatrix() = Matrix(eye, right, forward ^ right, forward);
  camera.steer(_idle);
}

void FlightScene::drawQueue() {
  _device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColour, 1.0f, 0);
  _device->BeginScene();
  camera.setView();
  tree().flush();
  _device->EndScene();
  _device->Present(nullptr, nullptr, nullptr, nullptr);
  glFinish();
}
