// The headless program's answer to a scene object that fails in a frame: exit status 1, no
// frame after the failing one, and the last presented frame's lines still printed.
#include "shell/headless_runner.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "failing_object.h"
#include "shell/standard_scene.h"

namespace vantra::shell {

namespace {

TEST(HeadlessRunner, AnObjectFailingInAFrameEndsTheRunWithStatusOne) {
  struct Case {
    engine::Phase phase;
    bool resultCode;
    int renders;
    const char* why;
  };
  const Case cases[] = {
      {engine::Phase::kUpdate, true, 3, "a result code thrown from update"},
      {engine::Phase::kRender, false, 4, "another exception thrown from render"},
  };
  for (const Case& c : cases) {
    engine::Calls calls;
    HeadlessOptions options;
    options.frames = 50;
    options.width = 160;
    options.height = 120;
    options.dataDir = VANTRA_BIN_DIR;
    HeadlessRunner runner(options, [&] {
      engine::SceneObjects scene = MakeStandardScene();
      scene.objects.push_back(
          std::make_unique<engine::FailingObject>(calls, c.phase, 3, c.resultCode));
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

}  // namespace vantra::shell
