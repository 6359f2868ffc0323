// The engine when the system refuses it a render thread.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

#include "engine/d3d.h"
#include "shell/standard_scene.h"
#include "test_host.h"

namespace vantra::engine {

namespace {

// The sanitizers' own mappings do not fit under an address-space limit.
constexpr bool kSanitized =
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    true;
#else
    false;
#endif

// Bytes of address space the process holds now.
rlim_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  rlim_t pages = 0;
  statm >> pages;
  return pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

// Starts the engine with room for the scene objects but not for a thread's stack.
void StartWithoutRoomForAThread() {
  platform::ScriptedInputSource input;
  TestHost host(input);
  const rlim_t limit = AddressSpaceInUse() + 4 * 1024 * 1024;
  const rlimit bound = {limit, limit};
  setrlimit(RLIMIT_AS, &bound);
  D3D engine(host, [] { return shell::MakeStandardScene(); });
}

}  // namespace

TEST(EngineStartFailureDeathTest, ReportsAThreadThatCannotStartAndExits) {
  if (kSanitized) GTEST_SKIP() << "an address-space limit leaves no room for the sanitizers";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(StartWithoutRoomForAThread(), ::testing::ExitedWithCode(1),
              "cannot start the render thread: .+");
}

}  // namespace vantra::engine
