// The bitmap reader and writer against hostile files, without a device: these run under
// AddressSanitizer and under valgrind's memcheck (label "memcheck"),
// which sees pixels decoded from memory the file never filled.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "bitmap_bytes.h"
#include "platform/bitmap_file.h"
#include "platform/d3dx9.h"

namespace vantra::platform {

namespace {

namespace fs = std::filesystem;

struct Outcome {
  HRESULT result;
  std::string errors;  // what the reader wrote on standard error
  BitmapFile::Image image;
};

Outcome ReadBytes(const std::vector<BYTE>& bytes, UINT maxSide = BitmapFile::kMaxSide) {
  const std::string path = WriteTestFile("hostile.bmp", bytes);
  Outcome outcome;
  ::testing::internal::CaptureStderr();
  outcome.result = BitmapFile::Read(path.c_str(), &outcome.image, maxSide);
  outcome.errors = ::testing::internal::GetCapturedStderr();
  std::remove(path.c_str());
  return outcome;
}

std::vector<std::uint32_t> Words(const BitmapFile::Image& image) {
  std::vector<std::uint32_t> words;
  for (UINT y = 0; y < image.height; ++y)
    for (UINT x = 0; x < image.width; ++x) {
      std::uint32_t word;
      std::memcpy(&word, &image.pixels[y * image.pitch + 4 * x], 4);
      words.push_back(word);
    }
  return words;
}

std::vector<BYTE> Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(file), {});
}

// A full palette of distinct colours: entry i is 0x00iiii.
std::vector<std::uint32_t> Ramp(int entries) {
  std::vector<std::uint32_t> palette;
  for (int i = 0; i < entries; ++i) palette.push_back(0x010101u * i);
  return palette;
}

}  // namespace

TEST(BitmapFileRead, PalettisedFilesDecodeFromTheirOwnEntries) {
  struct Case {
    const char* why;
    PaletteLayout layout;
    std::vector<std::vector<BYTE>> rows;  // file rows
    std::vector<std::uint32_t> pixels;    // image rows, top first
  };
  const Case cases[] = {
      {"1-bit core header",
       {12, 1, {0x102030, 0xA0B0C0}},
       {{0xA0}, {0x40}},
       {0x102030, 0xA0B0C0, 0x102030, 0xA0B0C0, 0x102030, 0xA0B0C0}},
      {"4-bit core header, last of 16 entries",
       {12, 4, Ramp(16)},
       {{0xF0, 0x10}, {0x23, 0x40}},
       {0x020202, 0x030303, 0x040404, 0x0F0F0F, 0x000000, 0x010101}},
      {"8-bit core header, last of 256 entries",
       {12, 8, Ramp(256)},
       {{255, 254, 0}, {1, 2, 128}},
       {0x010101, 0x020202, 0x808080, 0xFFFFFF, 0xFEFEFE, 0x000000}},
      {"8-bit, 2 entries declared, top-down",
       {40, 8, {0x112233, 0x445566}, 2, true},
       {{0, 1, 0}, {1, 1, 0}},
       {0x112233, 0x445566, 0x112233, 0x445566, 0x445566, 0x112233}},
      {"4-bit, 3 entries declared, pixel data after a gap",
       {40, 4, {0x102030, 0x405060, 0x708090}, 3, false, 6},
       {{0x01, 0x20}, {0x22, 0x10}},
       {0x708090, 0x708090, 0x405060, 0x102030, 0x405060, 0x708090}},
      {"1-bit, palette size from the depth",
       {40, 1, {0x000000, 0xFFFFFF}, 0},
       {{0x20}, {0xC0}},
       {0xFFFFFF, 0xFFFFFF, 0x000000, 0x000000, 0x000000, 0xFFFFFF}},
  };
  for (const Case& c : cases) {
    const Outcome outcome = ReadBytes(MakePalettised(c.layout, c.rows));
    ASSERT_EQ(outcome.result, D3D_OK) << c.why << ": " << outcome.errors;
    EXPECT_EQ(outcome.errors, "") << c.why;
    EXPECT_EQ(outcome.image.format, D3DFMT_X8R8G8B8) << c.why;
    EXPECT_EQ(Words(outcome.image), c.pixels) << c.why;
  }
}

TEST(BitmapFileRead, HostileFilesFailWithOneLineNamingTheReason) {
  const std::vector<BYTE> good = MakeBitmap(BitmapLayout{}, {{1, 2, 3}, {4, 5, 6}});
  auto patched = [&](std::size_t at, std::uint32_t value, int bytes) {
    std::vector<BYTE> b = good;
    PutBytes(b, at, value, bytes);
    return b;
  };
  auto cut = [&](std::size_t size) { return std::vector<BYTE>(good.begin(), good.begin() + size); };
  auto palettised = [](PaletteLayout layout, std::vector<std::vector<BYTE>> rows) {
    return MakePalettised(layout, rows);
  };
  struct Case {
    const char* why;
    std::vector<BYTE> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"empty file", {}, "truncated (file ends at byte 0 of 18)"},
      {"truncated file header", cut(10), "truncated (file ends at byte 10 of 18)"},
      {"truncated info header", cut(30), "truncated (file ends at byte 30 of 54)"},
      {"truncated pixels", cut(good.size() - 1), "truncated (file ends at byte 77 of 78)"},
      {"wrong magic", patched(0, 'P' | ('K' << 8), 2), "not a bitmap"},
      {"zero width", patched(18, 0, 4), "no pixels (0 x 2)"},
      {"zero height", patched(22, 0, 4), "no pixels (3 x 0)"},
      {"negative width", patched(18, 0xFFFFFFFD, 4), "no pixels (-3 x 2)"},
      {"smallest height", patched(22, 0x80000000, 4), "exceeds the 16384 limit"},
      {"huge dimensions", patched(18, 100000, 4), "100000 x 2 pixels exceeds the 16384 limit"},
      {"huge width within the side limit", patched(18, 16000, 4), "truncated"},
      {"run-length compression", patched(30, 1, 4), "unsupported compression 1"},
      {"jpeg payload", patched(30, 4, 4), "unsupported compression 4"},
      {"bit fields on 24 bits", patched(30, 3, 4), "bit-field masks on a 24-bit bitmap"},
      {"unknown bit depth", patched(28, 7, 2), "unsupported depth of 7 bits"},
      {"two planes", patched(26, 2, 2), "2 colour planes"},
      {"unknown info header size", patched(14, 64, 4), "unknown info header size 64"},
      {"pixel data beyond the end", patched(10, 0xFFFFFF00, 4), "truncated"},
      {"palette larger than the depth allows",
       palettised({40, 8, std::vector<std::uint32_t>(257, 0), 257}, {{0}, {0}}),
       "palette of 257 entries, more than 8-bit pixels can use"},
      {"palette cut short", palettised({40, 8, {0, 0}, 200}, {{0}, {0}}), "truncated"},
      {"core palette cut short",
       [&] {
         std::vector<BYTE> b = palettised({12, 8, Ramp(256)}, {{0}, {0}});
         b.resize(100);
         return b;
       }(),
       "truncated (file ends at byte 100 of 794)"},
      {"8-bit pixel beyond 2 entries",
       palettised({40, 8, {0x0000FF, 0x00FF00}, 2}, {{0, 1, 5}, {0, 0, 0}}),
       "palette index 5 beyond the 2 entries the file holds"},
      {"8-bit pixel far beyond the entries",
       palettised({40, 8, {0x0000FF, 0x00FF00}, 2}, {{0, 0, 0}, {200, 0, 0}}),
       "palette index 200 beyond the 2 entries"},
      {"4-bit pixel beyond 3 entries",
       palettised({40, 4, {1, 2, 3}, 3}, {{0x00, 0x00}, {0x03, 0x00}}),
       "palette index 3 beyond the 3 entries"},
      {"1-bit pixel beyond a single entry", palettised({40, 1, {7}, 1}, {{0x00}, {0x20}}),
       "palette index 1 beyond the 1 entries"},
      {"pixel data inside the palette",
       palettised({40, 8, {0x0000FF, 0x00FF00}, 2, false, -4}, {{0, 1, 0}, {1, 0, 1}}),
       "pixel data at byte 58 lies inside the headers, which end at byte 62"},
      {"core pixel data inside the palette",
       palettised({12, 8, Ramp(256), 0, false, -2}, {{0, 1, 0}, {1, 0, 1}}),
       "lies inside the headers"},
      {"16-bit masks of no known layout",
       MakeBitmap(BitmapLayout{16, 3, 40, {0x000F, 0x00F0, 0x0F00}}, {{0, 0}, {0, 0}}),
       "16-bit masks 0000000F 000000F0 00000F00 00000000 are not a supported layout"},
      {"32-bit mask wider than 8 bits",
       MakeBitmap(BitmapLayout{32, 3, 40, {0xFFF00000, 0xFF00, 0xFF}}, {{0}, {0}}),
       "need 1 to 8 bits per colour"},
      {"32-bit without a blue mask",
       MakeBitmap(BitmapLayout{32, 3, 40, {0xFF0000, 0xFF00, 0}}, {{0}, {0}}),
       "need 1 to 8 bits per colour"},
  };
  const std::string path = ::testing::TempDir() + "hostile.bmp";
  for (const Case& c : cases) {
    const Outcome outcome = ReadBytes(c.bytes);
    EXPECT_EQ(outcome.result, D3DXERR_INVALIDDATA) << c.why;
    EXPECT_EQ(outcome.errors.rfind(path + ": ", 0), 0u) << c.why << ": " << outcome.errors;
    EXPECT_NE(outcome.errors.find(c.reason), std::string::npos) << c.why << ": " << outcome.errors;
    EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1) << c.why;
  }
  ::testing::internal::CaptureStderr();
  BitmapFile::Image image;
  EXPECT_EQ(BitmapFile::Read("no-such-file.bmp", &image), D3DERR_NOTFOUND);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "no-such-file.bmp: not found in " + std::filesystem::current_path().string() + "\n");
}

TEST(BitmapFileRead, RefusesWhatIsNoRegularFileWithoutWaiting) {
  const fs::path dir = fs::path(::testing::TempDir()) / "not-regular";
  fs::remove_all(dir);
  fs::create_directories(dir / "directory.bmp");
  const fs::path fifo = dir / "fifo.bmp";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string path;
    std::string line;
  };
  const Case cases[] = {
      {fifo.string(), fifo.string() + ": is not a regular file\n"},
      {(dir / "directory.bmp").string(), (dir / "directory.bmp").string() + ": is a directory\n"},
      {"/dev/null", "/dev/null: is not a regular file\n"},
  };
  for (const Case& c : cases) {
    auto reading = std::async(std::launch::async, [&] {
      ::testing::internal::CaptureStderr();
      BitmapFile::Image image;
      const HRESULT result = BitmapFile::Read(c.path.c_str(), &image);
      return std::make_pair(result, ::testing::internal::GetCapturedStderr());
    });
    // The refusal takes microseconds; five seconds only tell waiting from being slow.
    if (reading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      // A reader waiting for a writer is let go, so that the test can end.
      close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
      ADD_FAILURE() << c.path << ": still waiting after five seconds";
    }
    const auto [result, errors] = reading.get();
    EXPECT_EQ(result, D3DXERR_INVALIDDATA) << c.path;
    EXPECT_EQ(errors, c.line);
  }
  fs::remove_all(dir);
}

TEST(BitmapFileRead, RefusesSizesBeyondTheLimitsBeforeAllocating) {
  // Headers only: a reader that allocated before checking would take gigabytes here.
  auto header = [](int bits, std::uint32_t width, std::uint32_t height) {
    std::vector<BYTE> b = MakePalettised({40, bits, {0, 0xFFFFFF}, 2}, {});
    PutBytes(b, 18, width, 4);
    PutBytes(b, 22, height, 4);
    return b;
  };
  struct Case {
    const char* why;
    std::vector<BYTE> bytes;
    UINT maxSide;
    const char* reason;
  };
  const Case cases[] = {
      {"1-bit at the side limit: 1 GiB decoded", header(1, 16384, 16384), 16384,
       "16384 x 16384 pixels need 1024 MiB, more than the 256 MiB limit"},
      {"just over the decoded limit", header(8, 8192, 8193), 16384,
       "8192 x 8193 pixels need 257 MiB"},
      {"beyond the side limit", header(1, 20000, 20000), 16384,
       "20000 x 20000 pixels exceeds the 16384 limit"},
      {"beyond the device's textures", header(1, 10, 4097), 4096,
       "10 x 4097 pixels exceeds the 4096 limit"},
      {"at the decoded limit but short of pixels", header(8, 8192, 8192), 16384,
       "truncated (file ends at byte 62 of 67108926)"},
  };
  for (const Case& c : cases) {
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const Outcome outcome = ReadBytes(c.bytes, c.maxSide);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(outcome.result, D3DXERR_INVALIDDATA) << c.why;
    EXPECT_NE(outcome.errors.find(c.reason), std::string::npos) << c.why << ": " << outcome.errors;
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << c.why << ": peak KiB grew";
  }
}

TEST(BitmapFileWrite, AFailedWriteKeepsThePreviousFile) {
  const fs::path dir = fs::path(::testing::TempDir()) / "capture-test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path path = dir / "screen-capture.bmp";
  {
    const std::vector<BYTE> first(64 * 48 * 4, 0x40);
    ASSERT_EQ(BitmapFile::Write(path.c_str(), 64, 48, first.data(), 64 * 4), D3D_OK);
  }
  const std::vector<BYTE> kept = Contents(path);
  ASSERT_EQ(kept.size(), 54u + 64 * 48 * 3);

  // A larger capture in a child whose files may not grow past 4 KiB.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit bound = {4096, 4096};
    setrlimit(RLIMIT_FSIZE, &bound);
    // Everything the child allocates is freed before it exits, for valgrind's leak check.
    int status = 1;
    {
      const std::vector<BYTE> second(128 * 96 * 4, 0x80);
      status = BitmapFile::Write(path.c_str(), 128, 96, second.data(), 128 * 4) == E_FAIL ? 0 : 1;
    }
    _exit(status);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write past the limit must fail";
  EXPECT_EQ(Contents(path), kept) << "the previous file survives byte for byte";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
      << "no temporary file is left behind";

  std::vector<BYTE> replacement(64 * 48 * 4, 0x20);
  ASSERT_EQ(BitmapFile::Write(path.c_str(), 64, 48, replacement.data(), 64 * 4), D3D_OK);
  EXPECT_EQ(Contents(path)[54], 0x20) << "a complete write replaces the file";
  fs::remove_all(dir);
}

}  // namespace vantra::platform
