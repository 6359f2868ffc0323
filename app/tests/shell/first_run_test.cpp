// What a new user meets in the first minute: the start view, the lines on standard error
// when something is missing, the build progress, and the installed program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include "program_run_directory.h"
#include "x11_session.h"

namespace vantra::shell {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const char* const kMaps[] = {"heightMap.bmp", "textureMap.bmp", "detailMap.bmp"};
// The default headless run, captured in frame 10 with no other input.
const char kCaptureScript[] = "10 key F12 down\n11 key F12 up\n12 quit\n";

long Count(const std::string& text, const std::string& part) {
  long count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

// A 24-bit bottom-up bitmap as the program's screen capture writes it.
Picture ReadCapture(const fs::path& path) {
  const std::string bytes = engine::ReadFile(path);
  Picture picture;
  if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0) return picture;
  std::int32_t offset, width, height;
  std::uint16_t bits;
  std::memcpy(&offset, &bytes[10], 4);
  std::memcpy(&width, &bytes[18], 4);
  std::memcpy(&height, &bytes[22], 4);
  std::memcpy(&bits, &bytes[28], 2);
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t(3);
  if (bits != 24 || width <= 0 || height <= 0 ||
      bytes.size() < static_cast<std::size_t>(offset) + rowBytes * height)
    return picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.resize(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        picture.rgb[(y * width + x) * 3 + c] =
            static_cast<std::uint8_t>(bytes[offset + (height - 1 - y) * rowBytes + x * 3 + 2 - c]);
  return picture;
}

// Share of the pixels in rows [top, bottom) within 8 levels of the clear colour 0xC6C0F2.
double ClearShare(const Picture& picture, int top, int bottom) {
  long clear = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = picture.at(x, y);
      clear +=
          std::abs(p[0] - 0xC6) <= 8 && std::abs(p[1] - 0xC0) <= 8 && std::abs(p[2] - 0xF2) <= 8;
    }
  return double(clear) / (double(bottom - top) * picture.width);
}

// The start view stands in the landscape: terrain fills most of the upper half, and the
// top rows show the sky above the hills at the end of the valley.
void ExpectLandscapeInView(const Picture& picture, const std::string& where) {
  ASSERT_GT(picture.width, 0) << where;
  const double upperTerrain = 1.0 - ClearShare(picture, 0, picture.height / 2);
  const double lowerClear = ClearShare(picture, picture.height / 2, picture.height);
  const double skyInTopRows = ClearShare(picture, 0, picture.height / 40);
  std::printf(
      "%s: upper half %.1f %% terrain, lower half %.1f %% clear colour, top rows %.1f %% sky\n",
      where.c_str(), 100.0 * upperTerrain, 100.0 * lowerClear, 100.0 * skyInTopRows);
  EXPECT_GE(upperTerrain, 0.20) << where;
  EXPECT_GT(skyInTopRows, 0.05) << where << ": sky above the hills";
  EXPECT_LT(skyInTopRows, 0.95) << where << ": hills in the top rows";
}

// A picture file in any format stb reads; empty when it cannot be read.
Picture ReadPicture(const fs::path& path) {
  Picture picture;
  int channels = 0;
  std::uint8_t* pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &channels, 3);
  if (pixels == nullptr) return Picture{};
  picture.rgb.assign(pixels, pixels + std::size_t(picture.width) * picture.height * 3);
  stbi_image_free(pixels);
  return picture;
}

// A fresh directory that the program runs in.
class RunDirectory : public engine::ProgramRunDirectory {
 public:
  void copyMaps() const {
    for (const char* map : kMaps) fs::copy_file(fs::path(VANTRA_BIN_DIR) / map, path() / map);
  }

  // The program headless at the default size with the capture script and any other options.
  engine::ProgramResult runHeadless(const std::string& program, const std::string& environment = "",
                                    const std::string& script = kCaptureScript,
                                    const std::string& options = "") const {
    std::ofstream(path() / "capture.script") << script;
    return runCommand(environment + " '" + program + "' --headless --script capture.script " +
                      options);
  }

  Picture capture() const { return ReadCapture(path() / "screen-capture.bmp"); }
};

}  // namespace

TEST(FirstRun, TheHeadlessStartViewShowsTheLandscape) {
  RunDirectory dir;
  dir.copyMaps();
  const engine::ProgramResult r = dir.runHeadless(VANTRA_PROGRAM);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Picture picture = dir.capture();
  ASSERT_EQ(picture.width, 800);
  ASSERT_EQ(picture.height, 600);
  ExpectLandscapeInView(picture, "headless capture");
}

// The README's pictures are what the program draws for their scripts in docs/: each capture
// matches its picture below the overlay, whose timings change from run to run. A change to
// the maps or the renderer that alters them calls for tools/capture-readme-pictures.sh.
TEST(FirstRun, TheReadmePicturesAreWhatTheProgramDraws) {
  constexpr int kBelowOverlay = 160;
  const fs::path docs = fs::path(VANTRA_SOURCE_DIR) / "docs";
  // The built-in terrain's pictures, then the elevation model's, flown over the synthetic
  // tile that tools/make-demo-elevation writes.
  for (const std::string name : {"landscape", "start-view", "your-terrain"}) {
    RunDirectory dir;
    dir.copyMaps();
    std::string options;
    if (name == "your-terrain") {
      const fs::path maker = fs::path(VANTRA_SOURCE_DIR) / "tools" / "make-demo-elevation";
      const engine::ProgramResult made = dir.runCommand("'" + maker.string() + "' .");
      ASSERT_EQ(made.exitCode, 0) << made.err;
      options = "--terrain N46E007.hgt";
    }
    const engine::ProgramResult r =
        dir.runHeadless(VANTRA_PROGRAM, "", engine::ReadFile(docs / (name + ".script")), options);
    ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
    const Picture capture = dir.capture();
    const Picture reference = ReadPicture(docs / (name + ".png"));
    ASSERT_EQ(capture.width, reference.width) << name;
    ASSERT_EQ(capture.height, reference.height) << name;
    long differing = 0;
    for (int y = kBelowOverlay; y < capture.height; ++y)
      for (int x = 0; x < capture.width; ++x)
        for (int c = 0; c < 3; ++c)
          if (std::abs(capture.at(x, y)[c] - reference.at(x, y)[c]) > 16) {
            ++differing;
            break;
          }
    const double share =
        double(differing) / (double(capture.height - kBelowOverlay) * capture.width);
    std::printf("%s: %.2f %% of the pixels differ from docs/%s.png\n", name.c_str(), 100.0 * share,
                name.c_str());
    EXPECT_LT(share, 0.01) << name;
  }
}

// The README's first step: in move mode one frame of Home lifts the eye by 1 unit, above
// the 0.42 units at which the flat valley floor under it lies beyond the near plane, and
// the floor then fills the lower half of the view as well.
TEST(FirstRun, OneStepUpTheValleyFloorFillsTheLowerHalf) {
  RunDirectory dir;
  dir.copyMaps();
  const engine::ProgramResult r =
      dir.runHeadless(VANTRA_PROGRAM, "",
                      std::string("0 key F1 down\n1 key F1 up\n2 key HOME down\n"
                                  "3 key HOME up\n") +
                          kCaptureScript);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Picture picture = dir.capture();
  ExpectLandscapeInView(picture, "one step up");
  EXPECT_LE(ClearShare(picture, picture.height / 2, picture.height), 0.05);
}

TEST(FirstRun, TheRendererWindowShowsTheLandscape) {
  RunDirectory dir;
  dir.copyMaps();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(127);
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (!freopen((dir.path() / "stderr.txt").c_str(), "w", stderr)) _exit(127);
    execl(VANTRA_PROGRAM, VANTRA_PROGRAM, static_cast<char*>(nullptr));
    _exit(127);
  }
  const unsigned long renderer = FindWindow("3D App", 20s);
  Picture picture;
  // The window stays black until the first frame; a frame of the start view shows the
  // clear colour somewhere.
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (renderer != 0 && std::chrono::steady_clock::now() < deadline) {
    picture = GrabWindow(renderer);
    if (picture.width > 0 && ClearShare(picture, 0, picture.height) > 0.01) break;
    std::this_thread::sleep_for(200ms);
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  ASSERT_NE(renderer, 0u) << engine::ReadFile(dir.path() / "stderr.txt");
  ExpectLandscapeInView(picture, "\"3D App\" window");
}

// Each start-up failure leaves one line on standard error that names what went wrong; the
// message boxes (printed headless as "caption: text") stay as they were.
TEST(FirstRun, StartUpFailuresSayWhatWentWrong) {
  struct Case {
    const char* why;
    bool withMaps;
    std::string environment;
    int exitCode;
    std::string line;
    std::string messageBox;
  };
  const Case cases[] = {
      {"no bitmaps anywhere", false, "", 1, "heightMap.bmp: not found in ",
       "during obejct reset(): error"},
      {"no OpenGL 3.3 context", true, "MESA_GL_VERSION_OVERRIDE=3.1", 1,
       "VantraTest: no OpenGL 3.3 core context: eglCreateContext failed", "error: "},
  };
  for (const Case& c : cases) {
    RunDirectory dir;
    if (c.withMaps) dir.copyMaps();
    const engine::ProgramResult r = dir.runHeadless(VANTRA_PROGRAM, c.environment);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.why << "\n" << r.err;
    EXPECT_EQ(Count(r.err, c.line), 1) << c.why << "\n" << r.err;
    EXPECT_NE(r.err.find(c.messageBox), std::string::npos) << c.why << "\n" << r.err;
    if (!c.withMaps) {
      EXPECT_NE(r.err.find(c.line + dir.path().string() + "\n"), std::string::npos) << r.err;
    }
  }
}

// A log gets one line as the terrain build starts and one as it ends; a terminal sees one
// line redrawn in place and ended once.
TEST(FirstRun, BuildProgressReadsWell) {
  RunDirectory dir;
  dir.copyMaps();
  const std::string program = "'" + std::string(VANTRA_PROGRAM) + "' --headless --frames 2";
  const engine::ProgramResult logged = dir.runCommand(program);
  ASSERT_EQ(logged.exitCode, 0) << logged.err;
  EXPECT_EQ(logged.err,
            "Building the terrain: 64 leaves\nBuilding the terrain: 64 of 64 leaves built\n");

  // script gives the program a terminal; its output turns each newline into CR LF.
  const engine::ProgramResult terminal =
      dir.runCommand("script -qec \"" + program + " >/dev/null\" /dev/null");
  ASSERT_EQ(terminal.exitCode, 0) << terminal.err;
  const std::string& shown = terminal.out;
  EXPECT_EQ(Count(shown, "\n"), 1) << shown;
  EXPECT_GT(Count(shown, "\rBuilding the terrain: "), 1) << shown;
  const std::string ending = "Building the terrain: 64 of 64 leaves built\r\n";
  ASSERT_GE(shown.size(), ending.size());
  EXPECT_EQ(shown.substr(shown.size() - ending.size()), ending) << shown;
}

// Installed into a fresh prefix, the program runs from an empty directory on the installed
// bitmaps and says so once; a bitmap in the working directory still wins.
TEST(FirstRun, TheInstalledProgramFallsBackToItsData) {
  RunDirectory prefix;
  const engine::ProgramResult installed =
      prefix.runCommand("'" + std::string(VANTRA_CMAKE) + "' --install '" + VANTRA_BUILD_DIR +
                        "' --prefix '" + prefix.path().string() + "'");
  ASSERT_EQ(installed.exitCode, 0) << installed.out << installed.err;
  const std::string program = (prefix.path() / "bin" / "VantraTest").string();
  ASSERT_TRUE(fs::exists(program));
  for (const char* map : kMaps) EXPECT_TRUE(fs::exists(prefix.path() / "share" / "vantra" / map));

  RunDirectory empty;
  const engine::ProgramResult r = empty.runHeadless(program);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string fallback = "VantraTest: heightMap.bmp is not in " + empty.path().string() +
                               "; using the installed data files in " +
                               (prefix.path() / "share" / "vantra").string() + "\n";
  EXPECT_NE(r.err.find(fallback), std::string::npos) << r.err;
  EXPECT_EQ(Count(r.err, "installed"), 1) << r.err;
  ExpectLandscapeInView(empty.capture(), "installed program");

  // A broken height map in the working directory is read, not the installed one.
  RunDirectory own;
  std::ofstream(own.path() / "heightMap.bmp") << "not a bitmap";
  const engine::ProgramResult broken = own.runHeadless(program);
  EXPECT_NE(broken.err.find("during obejct reset(): error"), std::string::npos) << broken.err;
  EXPECT_EQ(broken.err.find("heightMap.bmp is not in"), std::string::npos) << broken.err;
  EXPECT_GT(ClearShare(own.capture(), 0, 600), 0.9) << "no terrain from a broken height map";

  // A bitmap missing in both places is named once, with the working directory.
  fs::remove(prefix.path() / "share" / "vantra" / "detailMap.bmp");
  const engine::ProgramResult missing = empty.runHeadless(program);
  EXPECT_EQ(Count(missing.err, "detailMap.bmp"), 1) << missing.err;
  EXPECT_NE(missing.err.find("detailMap.bmp: not found in " + empty.path().string() + "\n"),
            std::string::npos)
      << missing.err;
  EXPECT_NE(missing.err.find("during obejct reset(): error"), std::string::npos) << missing.err;
}

}  // namespace vantra::shell
