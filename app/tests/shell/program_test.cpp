// The real program on the test's X display: its windows, its pictures, its keys and the
// ways to end it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "x11_session.h"

namespace vantra::shell {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr std::uint8_t kClearColour[3] = {0xC6, 0xC0, 0xF2};

bool IsClearColour(const std::uint8_t* p) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(p[i] - kClearColour[i]) > 8) return false;
  return true;
}

// Share of the pixels in rows [top, bottom) that show the clear colour.
double ClearShare(const Picture& picture, int top, int bottom) {
  long clear = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < picture.width; ++x) clear += IsClearColour(picture.at(x, y));
  return static_cast<double>(clear) / (static_cast<double>(bottom - top) * picture.width);
}

// Pixels of the statistics text in rows [top, bottom): the half-transparent dark grey
// darkens whatever lies under it, clear colour or terrain, to well below the rows between
// the second and the third line, which hold no text.
long TextPixels(const Picture& picture, int top, int bottom) {
  long dark = 0;
  for (int x = 10; x < 300 && x < picture.width; ++x) {
    int background = 0;
    for (int y = 51; y < 58 && y < picture.height; ++y) {
      const std::uint8_t* p = picture.at(x, y);
      background = std::max(background, p[0] + p[1] + p[2]);
    }
    for (int y = top; y < bottom && y < picture.height; ++y) {
      const std::uint8_t* p = picture.at(x, y);
      dark += p[0] + p[1] + p[2] < background * 4 / 5;
    }
  }
  return dark;
}

// The engine has presented frames: the statistics lines stand on the picture.
bool ShowsStatistics(const Picture& picture) {
  return picture.width > 0 && TextPixels(picture, 10, 50) > 100 && TextPixels(picture, 60, 80) > 50;
}

// Share of the lower half that shows something other than the clear colour.
double LowerHalfCovered(const Picture& picture) {
  return 1.0 - ClearShare(picture, picture.height / 2, picture.height);
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// One run of VantraTest in a directory of its own that holds the terrain's bitmaps.
class ProgramRun {
 public:
  ProgramRun() {
    char pattern[] = "/tmp/vantra-shell-XXXXXX";
    _dir = mkdtemp(pattern);
    for (const char* name : {"heightMap.bmp", "textureMap.bmp", "detailMap.bmp"})
      fs::copy_file(fs::path(VANTRA_BIN_DIR) / name, _dir / name);
    _pid = fork();
    if (_pid == 0) {
      if (chdir(_dir.c_str()) != 0) _exit(127);
      setenv("XDG_CONFIG_HOME", _dir.c_str(), 1);
      setenv("QT_QPA_PLATFORM", "xcb", 1);
      const std::string log = (_dir / "stderr.txt").string();
      if (!freopen(log.c_str(), "w", stderr)) _exit(127);
      execl(VANTRA_PROGRAM, VANTRA_PROGRAM, static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  ~ProgramRun() {
    if (_pid > 0 && !_exited) {
      kill(_pid, SIGKILL);
      waitpid(_pid, nullptr, 0);
    }
    std::error_code ignored;
    fs::remove_all(_dir, ignored);
  }

  const fs::path& dir() const { return _dir; }

  // Waits up to timeout for the program to end; its wait status goes to status.
  bool waitForExit(std::chrono::milliseconds timeout, int* status) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
      if (waitpid(_pid, status, WNOHANG) == _pid) return _exited = true;
      std::this_thread::sleep_for(5ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }

  std::string errors() const {
    std::ifstream in(_dir / "stderr.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Grabs the window until accept takes the picture; the last picture after timeout.
  template <typename Accept>
  Picture waitForPicture(unsigned long window, Accept accept, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Picture picture;
    do {
      picture = GrabWindow(window);
      if (accept(picture)) break;
      std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return picture;
  }

 private:
  fs::path _dir;
  pid_t _pid = -1;
  bool _exited = false;
};

}  // namespace

TEST(Program, ShowsItsWindowsDrawsTheTerrainAndObeysKeys) {
  ProgramRun program;
  const unsigned long frame = FindWindow("Untitled - VantraTest", 20s);
  const unsigned long renderer = FindWindow("3D App", 20s);
  ASSERT_NE(frame, 0u) << program.errors();
  ASSERT_NE(renderer, 0u) << program.errors();
  EXPECT_TRUE(WindowViewable(frame));
  EXPECT_TRUE(WindowViewable(renderer));
  int width = 0, height = 0;
  ASSERT_TRUE(WindowSize(renderer, &width, &height));
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  ASSERT_TRUE(fs::exists(program.dir() / "debug.txt"));
  EXPECT_EQ(fs::file_size(program.dir() / "debug.txt"), 0u);

  const Picture first = program.waitForPicture(renderer, ShowsStatistics, 60s);
  ASSERT_TRUE(ShowsStatistics(first)) << program.errors();

  // The camera starts 0.2 units above the valley floor at the terrain's centre. F1 selects the move
  // mode, in which dragging with the right button moves it sideways and up: 250 pixels right and 60
  // down put it over the terrain, which then fills the lower half of the view.
  ASSERT_TRUE(FocusWindow(renderer));
  PressKeys("F1", 300ms);
  const std::string id = std::to_string(renderer);
  RunCommand("xdotool mousemove --window " + id + " --sync 100 200 mousedown 3");
  for (int step = 1; step <= 5; ++step) {
    RunCommand("xdotool mousemove --window " + id + " --sync " + std::to_string(100 + 50 * step) +
               " " + std::to_string(200 + 12 * step));
    std::this_thread::sleep_for(50ms);
  }
  RunCommand("xdotool mouseup 3");
  const Picture solid = program.waitForPicture(
      renderer, [](const Picture& p) { return p.width > 0 && LowerHalfCovered(p) > 0.9; }, 10s);
  const double solidCovered = LowerHalfCovered(solid);
  EXPECT_GT(solidCovered, 0.9) << "the terrain fills the lower half";
  EXPECT_TRUE(ShowsStatistics(solid)) << "the statistics stay over the terrain";

  const fs::path capture = program.dir() / "screen-capture.bmp";
  EXPECT_FALSE(fs::exists(capture));
  RunCommand("xdotool keydown F12");
  EXPECT_TRUE(WaitUntil([&] { return fs::exists(capture); }, 10s)) << "F12 writes the capture";
  RunCommand("xdotool keyup F12");

  // W toggles the fill mode in every frame it is held: while it is held, some frames show
  // the terrain as lines, with the clear colour between them.
  RunCommand("xdotool keydown w");
  const Picture lines = program.waitForPicture(
      renderer,
      [&](const Picture& p) { return p.width > 0 && LowerHalfCovered(p) < solidCovered - 0.2; },
      10s);
  RunCommand("xdotool keyup w");
  EXPECT_LT(LowerHalfCovered(lines), solidCovered - 0.2) << "wireframe frames while W is held";

  ASSERT_TRUE(RequestClose(renderer));
  int status = 0;
  ASSERT_TRUE(program.waitForExit(2s, &status)) << "closing \"3D App\" ends the program";
  ASSERT_TRUE(WIFEXITED(status)) << program.errors();
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Program, ClosingTheMainFrameOrFileExitEndsTheProgram) {
  struct Case {
    const char* how;
    bool useMenu;
  };
  const Case cases[] = {{"closing the main frame", false}, {"File, Exit", true}};
  for (const Case& c : cases) {
    ProgramRun program;
    const unsigned long frame = FindWindow("Untitled - VantraTest", 20s);
    const unsigned long renderer = FindWindow("3D App", 20s);
    ASSERT_NE(frame, 0u) << program.errors();
    ASSERT_NE(renderer, 0u) << program.errors();
    ASSERT_TRUE(ShowsStatistics(program.waitForPicture(renderer, ShowsStatistics, 60s)))
        << program.errors();
    if (c.useMenu) {
      ASSERT_TRUE(FocusWindow(frame));
      PressKeys("alt+f", 50ms);
      std::this_thread::sleep_for(200ms);
      PressKeys("x", 50ms);
    } else {
      ASSERT_TRUE(RequestClose(frame));
    }
    int status = 0;
    ASSERT_TRUE(program.waitForExit(2s, &status)) << c.how;
    ASSERT_TRUE(WIFEXITED(status)) << c.how << "\n" << program.errors();
    EXPECT_EQ(WEXITSTATUS(status), 0) << c.how << "\n" << program.errors();
  }
}

}  // namespace vantra::shell
