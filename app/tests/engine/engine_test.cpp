#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/d3d.h"
#include "engine/object.h"
#include "platform/com_ref.h"
#include "scene/app_camera.h"
#include "scene/test_light.h"
#include "test_host.h"

namespace vantra::engine {

namespace {

using vantra::Matrix;

// The tests run where the terrain's bitmaps are not: the terrain fails its reset and leaves
// the scene with this message, which also shows that the engine stops using it.
const std::string kResetFailed = "during obejct reset(): error";
using vantra::Vector;

// What the device holds in each frame, read after the engine's key handling.
struct Sample {
  DWORD fillMode;
  DWORD lighting;
  float nPatchSegments;
  Matrix projection;
  bool cameraActive;
};

// A scene object that records device state; the samples live with the test because the
// engine deletes its objects.
class DeviceProbe : public Object {
 public:
  explicit DeviceProbe(std::vector<Sample>& samples) : _samples(samples) {
    _scrambled.scale(3.0f, 3.0f, 3.0f);
  }
  void hook(std::uint32_t) override {}
  const GUID* classId() const override { return &kId; }
  void reset(EngineServices* engine, IDirect3DDevice9* device) override {
    _engine = engine;
    _device.retain(device);
  }
  void update() override {
    Sample s;
    _device->GetRenderState(D3DRS_FILLMODE, &s.fillMode);
    _device->GetRenderState(D3DRS_LIGHTING, &s.lighting);
    s.nPatchSegments = _device->GetNPatchMode();
    _device->GetTransform(D3DTS_PROJECTION, &s.projection);
    s.cameraActive = _engine->activeCamera()->isActive();
    _samples.push_back(s);
  }
  // Overwrites the projection so that a frame that sets it again shows.
  void render() override { _device->SetTransform(D3DTS_PROJECTION, &_scrambled); }

 private:
  static constexpr GUID kId = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  std::vector<Sample>& _samples;
  EngineServices* _engine = nullptr;
  platform::ComRef<IDirect3DDevice9> _device;
  Matrix _scrambled;
};

TEST(Engine, BuildsTheSceneAndItsWindow) {
  ScriptedEngine run("0 quit\n");
  run.finish();
  EXPECT_EQ(run.host().windowTitle(), "3D App");
  EXPECT_EQ(run.engine().runResult(), 0);
  EXPECT_EQ(run.engine().framesRendered(), 1);
  EXPECT_EQ(run.host().messages(), std::vector<std::string>{kResetFailed})
      << "only the terrain, without its bitmaps, failed";
}

TEST(Engine, KeysChangeTheDeviceStateInTheirFrame) {
  std::vector<Sample> samples;
  ScriptedEngine run(
      "1 key W down\n2 key W up\n3 key W down\n4 key W up\n"
      "5 key L down\n6 key L up\n7 key L down\n8 key L up\n"
      "9 key N down\n12 key N up\n12 key M down\n13 key M up\n"
      "14 key F5 down\n14 key W down\n15 key F5 up\n15 key W up\n"
      "16 quit\n",
      {new DeviceProbe(samples)});
  run.finish();
  ASSERT_EQ(samples.size(), 17u);

  struct Case {
    int frame;
    DWORD fillMode;
    const char* why;
  };
  const Case fills[] = {{0, D3DFILL_SOLID, "solid at start"},
                        {1, D3DFILL_WIREFRAME, "first W"},
                        {2, D3DFILL_WIREFRAME, "stays until the next W"},
                        {3, D3DFILL_SOLID, "second W"},
                        {14, D3DFILL_SOLID, "F5 comes first, W is not looked at"}};
  for (const Case& c : fills) EXPECT_EQ(samples[c.frame].fillMode, c.fillMode) << c.why;

  EXPECT_EQ(samples[5].lighting, 1u) << "the first L leaves lighting on";
  EXPECT_EQ(samples[6].lighting, 1u);
  EXPECT_EQ(samples[7].lighting, 0u) << "the second L turns it off";

  EXPECT_FLOAT_EQ(samples[9].nPatchSegments, 0.1f);
  EXPECT_FLOAT_EQ(samples[11].nPatchSegments, 0.3f);
  EXPECT_EQ(samples[12].nPatchSegments, 0.0f) << "M after N is exactly 0";

  EXPECT_EQ(samples[13].projection(0, 0), 3.0f) << "the probe's projection stays";
  EXPECT_EQ(samples[14].projection(2, 3), 1.0f) << "F5 re-applies the only camera's projection";
  EXPECT_NE(samples[14].projection(0, 0), 3.0f);
  EXPECT_TRUE(samples[14].cameraActive) << "with one camera F5 keeps it active";
  EXPECT_EQ(samples[15].projection(0, 0), 3.0f);
}

// The results of the engine's services, checked inside a frame on the render thread.
struct ServiceResults {
  bool emptyPopGivesIdentity = false;
  bool popRestoresPushed = false;
  Vector multiplied;
  D3DMATERIAL9 startMaterial = {};
  bool materialRestored = false;
  bool emptyMaterialPopKeepsMaterial = false;
};

class ServiceProbe : public Object {
 public:
  explicit ServiceProbe(ServiceResults& results) : _results(results) {}
  void hook(std::uint32_t) override {}
  const GUID* classId() const override { return &kId; }
  void reset(EngineServices* engine, IDirect3DDevice9* device) override {
    _engine = engine;
    _device = device;
    _device->GetMaterial(&_results.startMaterial);
  }
  void update() override {}
  void render() override {
    if (_done) return;
    _done = true;
    Matrix moved;
    moved.translate(Vector(1, 2, 3));
    Matrix world;

    _device->SetTransform(D3DTS_WORLD, &moved);
    _engine->popWorldMatrix();
    _device->GetTransform(D3DTS_WORLD, &world);
    _results.emptyPopGivesIdentity = world.isIdentity();

    _device->SetTransform(D3DTS_WORLD, &moved);
    _engine->pushWorldMatrix();
    Matrix other;
    other.scale(2, 2, 2);
    _device->SetTransform(D3DTS_WORLD, &other);
    _engine->popWorldMatrix();
    _device->GetTransform(D3DTS_WORLD, &world);
    _results.popRestoresPushed = world == moved;

    // The given matrix applies before the current world transform.
    Matrix along;
    along.translate(Vector(1, 0, 0));
    _device->SetTransform(D3DTS_WORLD, &along);
    Matrix turn;
    turn.rotateY(3.14159265f / 2);
    _engine->multiplyWorldMatrix(turn);
    _device->GetTransform(D3DTS_WORLD, &world);
    _results.multiplied = Vector(0, 0, 1);
    _results.multiplied.transform(world);

    _engine->pushMaterial();
    _engine->setMaterial(1, 0, 0, 1);
    _engine->popMaterial();
    D3DMATERIAL9 material;
    _device->GetMaterial(&material);
    _results.materialRestored = material.Diffuse.g == _results.startMaterial.Diffuse.g;
    _engine->setMaterial(0, 0, 1, 1);
    _engine->popMaterial();
    _device->GetMaterial(&material);
    _results.emptyMaterialPopKeepsMaterial = material.Diffuse.b == 1.0f;
    Matrix identity;
    identity.makeIdentity();
    _device->SetTransform(D3DTS_WORLD, &identity);
  }

 private:
  static constexpr GUID kId = {5, 6, 7, {8, 9, 10, 11, 12, 13, 14, 15}};
  ServiceResults& _results;
  EngineServices* _engine = nullptr;
  IDirect3DDevice9* _device = nullptr;
  bool _done = false;
};

TEST(Engine, WorldAndMaterialServices) {
  ServiceResults results;
  ScriptedEngine run("0 quit\n", {new ServiceProbe(results)});
  run.finish();
  EXPECT_TRUE(results.emptyPopGivesIdentity);
  EXPECT_TRUE(results.popRestoresPushed);
  EXPECT_NEAR(results.multiplied.x, 2.0f, 1e-5f) << "turned, then moved";
  EXPECT_NEAR(results.multiplied.z, 0.0f, 1e-5f);
  const D3DMATERIAL9& m = results.startMaterial;
  EXPECT_FLOAT_EQ(m.Diffuse.r, 0.3f);
  EXPECT_FLOAT_EQ(m.Diffuse.g, 0.7f);
  EXPECT_FLOAT_EQ(m.Diffuse.b, 0.5f);
  EXPECT_EQ(m.Diffuse.a, 0.0f);
  EXPECT_EQ(std::memcmp(&m.Ambient, &m.Diffuse, sizeof(m.Diffuse)), 0);
  EXPECT_EQ(m.Specular.r + m.Specular.g + m.Emissive.b + m.Power, 0.0f);
  EXPECT_TRUE(results.materialRestored);
  EXPECT_TRUE(results.emptyMaterialPopKeepsMaterial);
}

std::atomic<int> thrownObjectUpdates{0};
std::atomic<bool> thrownObjectDeleted{false};

class ThrowingObject : public Object {
 public:
  ~ThrowingObject() override { thrownObjectDeleted = true; }
  void hook(std::uint32_t) override {}
  const GUID* classId() const override { return &kId; }
  void reset(EngineServices*, IDirect3DDevice9*) override {
    throw std::runtime_error("no resources");
  }
  void update() override { ++thrownObjectUpdates; }
  void render() override {}

 private:
  static constexpr GUID kId = {9, 9, 9, {9, 9, 9, 9, 9, 9, 9, 9}};
};

TEST(Engine, ObjectWhoseResetThrowsLeavesTheScene) {
  std::vector<Sample> samples;
  ScriptedEngine run("2 quit\n", {new ThrowingObject(), new DeviceProbe(samples)});
  run.finish();
  EXPECT_TRUE(thrownObjectDeleted.load());
  EXPECT_EQ(thrownObjectUpdates.load(), 0);
  EXPECT_EQ(samples.size(), 3u) << "the object after it was reset and updated";
  EXPECT_EQ(run.host().messages(), (std::vector<std::string>{kResetFailed, kResetFailed}))
      << "the terrain's failure and the object's";
  EXPECT_EQ(run.engine().runResult(), 0);
}

TEST(Engine, TestLightFollowsTheCameraFromTheFirstFrame) {
  const std::int32_t engineLight = scene::TestLight().lightIndex() + 1;
  struct LightProbe : Object {
    std::int32_t index;
    D3DLIGHT9 light = {};
    Vector forward;
    EngineServices* engine = nullptr;
    IDirect3DDevice9* device = nullptr;
    void hook(std::uint32_t) override {}
    const GUID* classId() const override { return &scene::kAppCameraClassId; }
    void reset(EngineServices* e, IDirect3DDevice9* d) override {
      engine = e;
      device = d;
    }
    void update() override {
      device->GetLight(index, &light);
      const Matrix& m = engine->activeCamera()->cameraWorldMatrix();
      forward = Vector(m(2, 0), m(2, 1), m(2, 2));
    }
    void render() override {}
  };
  auto* probe = new LightProbe();
  probe->index = engineLight;
  ScriptedEngine run("0 quit\n", {probe});
  run.finish();
  EXPECT_FLOAT_EQ(probe->light.Diffuse.r, 200.0f / 255.0f);
  EXPECT_EQ(probe->light.Direction.x, probe->forward.x);
  EXPECT_EQ(probe->light.Direction.y, probe->forward.y);
  EXPECT_EQ(probe->light.Direction.z, probe->forward.z);
  EXPECT_LT(probe->forward.y, 0.0f) << "the start pose looks slightly down";
}

TEST(Engine, FirstFrameStatistics) {
  ScriptedEngine run("0 quit\n");
  run.finish();
  char lines[D3D::kStatisticsLines][D3D::kStatisticsLineSize];
  run.engine().lastFrameStatistics(lines);
  const char* expected[] = {
      "Theoretical (averaged) --- fps:   0.00            frame_time (ms): 0.0000",
      "Actual  (Averaged) --- fps:   0.00                frame_time (ms): 0.0000",
      "Per Frame Timing: --- fps:    inf                frame_time (ms): 0.0000",
      "Update time (CPU) (ms):  0.0000",
      "Render time (CPU) (ms):  0.0000",
      "Presentation time (GPU) (ms): 0.0000",
  };
  for (int i = 0; i < D3D::kStatisticsLines; ++i) EXPECT_STREQ(lines[i], expected[i]);
}

TEST(Engine, DeviceCreationFailureEndsTheRenderThread) {
  ScriptedEngine run("0 quit\n", {}, false);
  run.finish();
  EXPECT_LT(run.engine().runResult(), 0);
  EXPECT_EQ(run.engine().framesRendered(), 0);
  EXPECT_FALSE(run.engine().isInputAcquired());
  const std::vector<std::string> messages = run.host().messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("error: ", 0), 0u) << messages[0];
}

// Focus changes arrive on another thread while the render thread creates, polls and
// deletes the input devices.
TEST(Engine, FocusChangesFromAnotherThreadWhileRendering) {
  ScriptedEngine run("30 quit\n");
  std::atomic<bool> stop{false};
  std::thread gui([&] {
    for (int i = 0; !stop; ++i) {
      run.engine().setInputAcquired(i % 2 == 0);
      run.engine().isInputAcquired();
    }
  });
  run.finish();
  stop = true;
  gui.join();
  EXPECT_FALSE(run.engine().isInputAcquired()) << "the input is gone after the loop";
  run.engine().setInputAcquired(true);
  EXPECT_FALSE(run.engine().isInputAcquired());
}

TEST(Engine, ReportErrorFormatsTextOfAnyLength) {
  ScriptedEngine run("0 quit\n");
  run.finish();
  const std::string longText(10000, 'x');
  run.engine().reportError("Fatal", "%s and %d", longText.c_str(), 42);
  EXPECT_EQ(run.host().messages().back(), "Fatal: " + longText + " and 42");
}

}  // namespace

}  // namespace vantra::engine
