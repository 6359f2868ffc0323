// The six statistics lines once the frame timers have completed blocks of 200 frames, read
// back with the formats that print them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/d3d.h"
#include "engine/object.h"
#include "test_host.h"

namespace vantra::engine {

namespace {

using vantra::Vector;

// The values of one run's last six lines: rate and milliseconds of the first three, then
// the three averaged phase times.
struct Statistics {
  float theoreticalFps, theoreticalMs;
  float actualFps, actualMs;
  float frameFps, frameMs;
  float updateMs, renderMs, presentationMs;
};

// Draws a quad every frame, so that the render pass has measurable work to time.
class QuadDrawer : public Object {
 public:
  void hook(std::uint32_t) override {}
  const GUID* classId() const override { return &kId; }
  void reset(EngineServices* engine, IDirect3DDevice9*) override { _engine = engine; }
  void update() override {}
  void render() override {
    _engine->drawQuad(Vector(-1, -1, 10), Vector(-1, 1, 10), Vector(1, 1, 10), Vector(1, -1, 10));
  }

 private:
  static constexpr GUID kId = {0x51, 0x52, 0x53, {0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B}};
  EngineServices* _engine = nullptr;
};

// Runs the engine for the given number of frames and parses the lines of the last one.
Statistics RunFrames(int frames) {
  ScriptedEngine run(std::to_string(frames - 1) + " quit\n", {new QuadDrawer()});
  run.finish();
  EXPECT_EQ(run.engine().framesRendered(), frames);
  char lines[D3D::kStatisticsLines][D3D::kStatisticsLineSize];
  run.engine().lastFrameStatistics(lines);
  Statistics s{};
  EXPECT_EQ(std::sscanf(lines[0], "Theoretical (averaged) --- fps: %f frame_time (ms): %f",
                        &s.theoreticalFps, &s.theoreticalMs),
            2)
      << lines[0];
  EXPECT_EQ(std::sscanf(lines[1], "Actual  (Averaged) --- fps: %f frame_time (ms): %f",
                        &s.actualFps, &s.actualMs),
            2)
      << lines[1];
  EXPECT_EQ(std::sscanf(lines[2], "Per Frame Timing: --- fps: %f frame_time (ms): %f", &s.frameFps,
                        &s.frameMs),
            2)
      << lines[2];
  EXPECT_EQ(std::sscanf(lines[3], "Update time (CPU) (ms): %f", &s.updateMs), 1) << lines[3];
  EXPECT_EQ(std::sscanf(lines[4], "Render time (CPU) (ms): %f", &s.renderMs), 1) << lines[4];
  EXPECT_EQ(std::sscanf(lines[5], "Presentation time (GPU) (ms): %f", &s.presentationMs), 1)
      << lines[5];
  return s;
}

// A timer publishes when its 200th interval stops. Update and render stop before the lines
// are drawn, so the 200th frame shows their averages; the theoretical, actual and
// presentation timers stop after the text, so theirs show from the 201st frame on.
TEST(FrameStatistics, AveragesPublishOnceTheirFirstBlockIsComplete) {
  struct Case {
    int frames;
    bool wholeFrame;
    bool phases;
  };
  for (const Case& c : {Case{199, false, false}, Case{200, false, true}, Case{201, true, true}}) {
    const Statistics s = RunFrames(c.frames);
    const float wholeFrame[] = {s.theoreticalFps, s.theoreticalMs, s.actualFps, s.actualMs,
                                s.presentationMs};
    for (float value : wholeFrame)
      EXPECT_EQ(value > 0.0f, c.wholeFrame) << "after " << c.frames << " frames: " << value;
    for (float value : {s.updateMs, s.renderMs})
      EXPECT_EQ(value > 0.0f, c.phases) << "after " << c.frames << " frames: " << value;
  }
}

// Rate and milliseconds print with 2 and 4 decimals; their product is 1000 up to what those
// roundings can change.
void ExpectRateMatchesTime(float fps, float ms, const char* line) {
  EXPECT_TRUE(std::isfinite(fps)) << line;
  EXPECT_GT(ms, 0.0f) << line;
  const float tolerance = 0.005f * ms + 0.00005f * fps + 0.001f;
  EXPECT_NEAR(fps * ms, 1000.0f, tolerance) << line << ": " << fps << " fps, " << ms << " ms";
}

TEST(FrameStatistics, AveragesAgreeWithEachOtherAfterTwoBlocks) {
  const Statistics s = RunFrames(401);
  ExpectRateMatchesTime(s.theoreticalFps, s.theoreticalMs, "theoretical");
  ExpectRateMatchesTime(s.actualFps, s.actualMs, "actual");
  ExpectRateMatchesTime(s.frameFps, s.frameMs, "per frame: finite after the first frame");
  EXPECT_GT(s.updateMs, 0.0f);
  EXPECT_GT(s.renderMs, 0.0f);
  EXPECT_GT(s.presentationMs, 0.0f);
  // Update and render lie inside the theoretical frame, which presentation extends into
  // the actual one; each printed value may be rounded by half its last place. The actual
  // timer starts just after the theoretical one, so a pause of the render thread between
  // the two starts counts in the theoretical time only; on a busy machine that can outweigh
  // a presentation of a hundredth of a millisecond, hence the 5 % allowance.
  const float rounding = 0.00015f;
  EXPECT_LE(s.updateMs + s.renderMs, s.theoreticalMs + rounding);
  EXPECT_LE(s.theoreticalMs, s.actualMs * 1.05f + rounding);
}

}  // namespace

}  // namespace vantra::engine
