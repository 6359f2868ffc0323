// F12 captures when the disk refuses a write: the previous capture must survive whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/object.h"
#include "test_host.h"

namespace vantra::engine {

namespace {

namespace fs = std::filesystem;

std::vector<char> Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(file), {});
}

// Keeps a copy of the capture on disk at a given frame, then lets no file grow past 1 KiB,
// as a full disk or a quota would.
class FileSizeLimiter : public Object {
 public:
  FileSizeLimiter(int frame, fs::path capture, fs::path copy)
      : _frame(frame), _capture(std::move(capture)), _copy(std::move(copy)) {}
  void hook(std::uint32_t) override {}
  const GUID* classId() const override { return &kId; }
  void update() override {
    if (_updates++ != _frame) return;
    fs::copy_file(_capture, _copy);
    const rlimit small = {1024, RLIM_INFINITY};
    setrlimit(RLIMIT_FSIZE, &small);
  }
  void render() override {}
  void reset(EngineServices*, IDirect3DDevice9*) override {}

 private:
  static constexpr GUID kId = {7, 7, 7, {7, 7, 7, 7, 7, 7, 7, 7}};
  const int _frame;
  const fs::path _capture;
  const fs::path _copy;
  int _updates = 0;
};

}  // namespace

TEST(ScreenCapture, AFailedCaptureKeepsThePreviousOne) {
  const fs::path before = fs::current_path();
  char name[] = "/tmp/vantra-capture-XXXXXX";
  const fs::path dir = mkdtemp(name);
  fs::current_path(dir);
  rlimit original{};
  getrlimit(RLIMIT_FSIZE, &original);
  // Past the limit a write fails instead of ending the process.
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);

  ScriptedEngine run("1 key F12 down\n2 key F12 up\n5 key F12 down\n6 key F12 up\n8 quit\n",
                     {new FileSizeLimiter(3, dir / "screen-capture.bmp", dir / "first.bmp")});
  run.finish();

  setrlimit(RLIMIT_FSIZE, &original);
  signal(SIGXFSZ, oldHandler);
  fs::current_path(before);
  const std::vector<char> first = Contents(dir / "first.bmp");
  EXPECT_GT(first.size(), 1024u) << "the first capture was written before the limit";
  EXPECT_EQ(Contents(dir / "screen-capture.bmp"), first)
      << "the failed second capture left the first byte for byte";
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"first.bmp", "screen-capture.bmp"}))
      << "no temporary file is left behind";
  fs::remove_all(dir);
}

}  // namespace vantra::engine
