// The frame loop's order within a frame and its way out when a scene object fails.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/d3d.h"
#include "engine/object.h"
#include "failing_object.h"
#include "scene/app_camera.h"
#include "scene/test_light.h"
#include "test_host.h"

namespace vantra::engine {

namespace {

using vantra::Matrix;
using vantra::Vector;

// The terrain's bitmaps are not where these tests run: it leaves the scene at once.
const std::string kResetFailed = "during obejct reset(): error";

// A failure in frame 3 ends the loop there: frames 0 to 2 were presented, the failing frame
// is not, no later frame starts, the input is released and the last lines stay readable.
TEST(FrameLoop, ObjectFailureEndsTheLoopInItsFrame) {
  struct Case {
    Phase phase;
    bool resultCode;
    std::int32_t runResult;
    int renders;
    const char* why;
  };
  const Case cases[] = {
      {Phase::kUpdate, true, FailingObject::kCode, 3, "result code from update"},
      {Phase::kRender, true, FailingObject::kCode, 4, "result code from render"},
      {Phase::kUpdate, false, -1, 3, "other exception from update"},
      {Phase::kRender, false, -1, 4, "other exception from render"},
  };
  for (const Case& c : cases) {
    Calls calls;
    ScriptedEngine run("20 quit\n", {new FailingObject(calls, c.phase, 3, c.resultCode)});
    D3D& engine = run.finish();
    EXPECT_EQ(engine.runResult(), c.runResult) << c.why;
    EXPECT_EQ(engine.framesRendered(), 3) << c.why;
    EXPECT_EQ(calls.updates, 4) << c.why;
    EXPECT_EQ(calls.renders, c.renders) << c.why;
    EXPECT_EQ(engine.input(), nullptr) << c.why << ": input released";
    EXPECT_FALSE(engine.isInputAcquired()) << c.why;
    EXPECT_EQ(run.host().messages(), std::vector<std::string>{kResetFailed})
        << c.why << ": a failing frame shows no message box";
    char lines[D3D::kStatisticsLines][D3D::kStatisticsLineSize];
    engine.lastFrameStatistics(lines);
    EXPECT_EQ(std::strncmp(lines[0], "Theoretical (averaged) --- fps:", 31), 0) << c.why;
    EXPECT_EQ(std::strstr(lines[2], "inf"), nullptr)
        << c.why << ": the lines of frame 2, whose frame time is known: " << lines[2];
  }
}

// Records, while the scene is drawn, the direction of the engine's TestLight and the forward
// axis of the active camera: both were updated earlier in the same frame.
class LightAndCameraProbe : public Object {
 public:
  struct Sample {
    Vector light;
    Vector camera;
  };

  LightAndCameraProbe(std::int32_t lightIndex, std::vector<Sample>& samples)
      : _lightIndex(lightIndex), _samples(samples) {}
  void hook(std::uint32_t) override {}
  const GUID* classId() const override { return &kId; }
  void reset(EngineServices* engine, IDirect3DDevice9* device) override {
    _engine = engine;
    _device = device;
  }
  void update() override {}
  void render() override {
    D3DLIGHT9 light = {};
    _device->GetLight(_lightIndex, &light);
    const Matrix& m = _engine->activeCamera()->cameraWorldMatrix();
    _samples.push_back({Vector(light.Direction.x, light.Direction.y, light.Direction.z),
                        Vector(m(2, 0), m(2, 1), m(2, 2))});
  }

 private:
  static constexpr GUID kId = {0x71, 0x72, 0x73, {0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B}};
  const std::int32_t _lightIndex;
  std::vector<Sample>& _samples;
  EngineServices* _engine = nullptr;
  IDirect3DDevice9* _device = nullptr;
};

// Cameras are updated before objects: in frames 1 and 2 the camera turns (to pitch 1 and 2
// degrees), and the light already points along the new forward axis in the same frame.
TEST(FrameLoop, LightFollowsACameraThatMovesInTheSameFrame) {
  const std::int32_t engineLight = scene::TestLight().lightIndex() + 1;
  std::vector<LightAndCameraProbe::Sample> samples;
  ScriptedEngine run("1 key F2 down\n1 key UP down\n3 key F2 up\n3 key UP up\n4 quit\n",
                     {new LightAndCameraProbe(engineLight, samples)});
  run.finish();
  ASSERT_EQ(samples.size(), 5u);
  for (std::size_t frame = 0; frame < samples.size(); ++frame) {
    EXPECT_EQ(samples[frame].light.x, samples[frame].camera.x) << "frame " << frame;
    EXPECT_EQ(samples[frame].light.y, samples[frame].camera.y) << "frame " << frame;
    EXPECT_EQ(samples[frame].light.z, samples[frame].camera.z) << "frame " << frame;
  }
  for (std::size_t frame : {1u, 2u})
    EXPECT_GT(std::fabs(samples[frame].camera.y - samples[frame - 1].camera.y), 0.01f)
        << "the camera turned in frame " << frame;
}

}  // namespace

}  // namespace vantra::engine
