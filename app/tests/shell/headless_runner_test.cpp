// The headless program's answer to a scene object that fails in a frame: exit status 1, no
// frame after the failing one, and the last presented frame's lines still printed.
#include "shell/headless_runner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "engine/object.h"
#include "shell/standard_scene.h"

namespace {

enum class Phase { Update, Render };

struct Calls {
  int updates = 0;
  int renders = 0;
};

// Throws from update or render in frame 3, either a result code or something else.
class FailingObject : public Object {
 public:
  FailingObject(Calls& calls, Phase phase, bool resultCode)
      : _calls(calls), _phase(phase), _resultCode(resultCode) {}
  void hook(std::uint32_t) override {}
  const GUID* classId() const override { return &kId; }
  void reset(EngineServices*, IDirect3DDevice9*) override {}
  void update() override {
    if (++_calls.updates == 4 && _phase == Phase::Update) _fail();
  }
  void render() override {
    if (++_calls.renders == 4 && _phase == Phase::Render) _fail();
  }

 private:
  void _fail() {
    if (_resultCode) throw static_cast<std::int32_t>(D3DERR_INVALIDCALL);
    throw std::runtime_error("lost a resource");
  }

  static constexpr GUID kId = {0x71, 0x72, 0x73, {0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B}};
  Calls& _calls;
  const Phase _phase;
  const bool _resultCode;
};

TEST(HeadlessRunner, AnObjectFailingInAFrameEndsTheRunWithStatusOne) {
  struct Case {
    Phase phase;
    bool resultCode;
    int renders;
    const char* why;
  };
  const Case cases[] = {
      {Phase::Update, true, 3, "a result code thrown from update"},
      {Phase::Render, false, 4, "another exception thrown from render"},
  };
  for (const Case& c : cases) {
    Calls calls;
    HeadlessOptions options;
    options.frames = 50;
    options.width = 160;
    options.height = 120;
    options.dataDir = VANTRA_BIN_DIR;
    HeadlessRunner runner(options, [&] {
      SceneObjects scene = MakeStandardScene();
      scene.objects.push_back(std::make_unique<FailingObject>(calls, c.phase, c.resultCode));
      return scene;
    });
    ::testing::internal::CaptureStdout();
    const int status = runner.run();
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(status, 1) << c.why;
    EXPECT_EQ(calls.updates, 4) << c.why << ": no frame after the failing one";
    EXPECT_EQ(calls.renders, c.renders) << c.why;
    std::istringstream lines(out);
    std::string first;
    std::getline(lines, first);
    EXPECT_EQ(first.rfind("Theoretical (averaged) --- fps:", 0), 0u) << c.why << "\n" << out;
    int count = 1;
    for (std::string line; std::getline(lines, line);) ++count;
    EXPECT_EQ(count, 6) << c.why << ": the six statistics lines\n" << out;
  }
}

}  // namespace
