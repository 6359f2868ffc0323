// End-to-end: the real program flies the timed flight headless, as a user comparing
// machines would run it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "program_run_directory.h"

namespace vantra::shell {

namespace {

namespace fs = std::filesystem;

// A run directory with the terrain bitmaps the build put beside the program.
class RunDirectory : public engine::ProgramRunDirectory {
 public:
  RunDirectory() { linkMaps(fs::path(VANTRA_PROGRAM).parent_path()); }

  engine::ProgramResult run(const std::string& arguments) const {
    return runCommand(std::string("'") + VANTRA_PROGRAM + "' " + arguments);
  }
};

struct CsvFrame {
  long frame;
  double frameMs, updateMs, renderMs, presentMs;
  long triangles;
  double lodError;
};

// The facts of the run, from the "# Label: value" lines ahead of the header.
using Facts = std::map<std::string, std::string>;

std::vector<CsvFrame> ReadCsv(const fs::path& path, Facts* facts = nullptr) {
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line) && line.rfind("# ", 0) == 0) {
    const std::size_t colon = line.find(": ");
    if (facts != nullptr && colon != std::string::npos)
      (*facts)[line.substr(2, colon - 2)] = line.substr(colon + 2);
  }
  EXPECT_EQ(line, "frame,frame_ms,update_ms,render_ms,present_ms,triangles,lod_error_px");
  std::vector<CsvFrame> frames;
  while (std::getline(file, line)) {
    CsvFrame f{};
    char tail = 0;
    const int fields =
        std::sscanf(line.c_str(), "%ld,%lf,%lf,%lf,%lf,%ld,%lf%c", &f.frame, &f.frameMs,
                    &f.updateMs, &f.renderMs, &f.presentMs, &f.triangles, &f.lodError, &tail);
    EXPECT_EQ(fields, 7) << "malformed line: " << line;
    frames.push_back(f);
  }
  return frames;
}

// The number following label in the summary, or -1 when it is missing.
double SummaryValue(const std::string& summary, const std::string& label) {
  std::smatch match;
  if (!std::regex_search(summary, match, std::regex(label + " ([0-9.]+)"))) return -1.0;
  return std::stod(match[1]);
}

class TimeDemoTest : public ::testing::Test {
 protected:
  // Two runs of the flight with their per-frame files, shared by the tests below.
  static void SetUpTestSuite() {
    for (int i = 0; i < 2; ++i) {
      runs[i] = new RunDirectory();
      results[i] = runs[i]->run("--timedemo --timedemo-csv frames.csv --size 160x120");
      csv[i] = ReadCsv(runs[i]->path() / "frames.csv", &facts[i]);
    }
  }
  static void TearDownTestSuite() {
    for (RunDirectory*& run : runs) {
      delete run;
      run = nullptr;
    }
  }

  static RunDirectory* runs[2];
  static engine::ProgramResult results[2];
  static std::vector<CsvFrame> csv[2];
  static Facts facts[2];
};

RunDirectory* TimeDemoTest::runs[2] = {};
engine::ProgramResult TimeDemoTest::results[2] = {};
std::vector<CsvFrame> TimeDemoTest::csv[2] = {};
Facts TimeDemoTest::facts[2] = {};

// Only the times may differ between runs: the frames and what they draw are the same.
TEST_F(TimeDemoTest, TwoRunsDrawTheSameTrianglesInTheSameFrames) {
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(results[i].exitCode, 0) << results[i].err;
    ASSERT_GT(csv[i].size(), 100u) << "run " << i;
  }
  ASSERT_EQ(csv[0].size(), csv[1].size());
  bool drewTerrain = false;
  for (std::size_t k = 0; k < csv[0].size(); ++k) {
    EXPECT_EQ(csv[0][k].frame, static_cast<long>(k));
    EXPECT_EQ(csv[1][k].frame, static_cast<long>(k));
    EXPECT_EQ(csv[0][k].triangles, csv[1][k].triangles) << "frame " << k;
    drewTerrain = drewTerrain || csv[0][k].triangles > 0;
  }
  EXPECT_TRUE(drewTerrain);
}

// The frame time covers its update, render and presentation, so it is never shorter than
// their sum (within the file's rounding): the columns are in their documented order.
TEST_F(TimeDemoTest, FrameTimeHoldsItsPhases) {
  for (const CsvFrame& f : csv[0]) {
    EXPECT_GE(f.updateMs, 0.0);
    EXPECT_GE(f.renderMs, 0.0);
    EXPECT_GE(f.presentMs, 0.0);
    EXPECT_GE(f.frameMs + 1e-3, f.updateMs + f.renderMs + f.presentMs) << "frame " << f.frame;
  }
}

// The summary describes the frames the file lists, and the flight draws every level of
// detail of the terrain.
TEST_F(TimeDemoTest, SummaryMatchesTheFramesAndUsesEveryLevel) {
  const std::string& summary = results[0].out;
  const std::vector<CsvFrame>& frames = csv[0];
  ASSERT_FALSE(frames.empty());
  EXPECT_NE(summary.find("Timedemo: " + std::to_string(frames.size()) + " frames at 160x120"),
            std::string::npos)
      << summary;
  std::vector<double> times;
  double sum = 0.0;
  for (const CsvFrame& f : frames) {
    times.push_back(f.frameMs);
    sum += f.frameMs;
  }
  std::sort(times.begin(), times.end());
  EXPECT_NEAR(SummaryValue(summary, "mean"), sum / frames.size(), 2e-3);
  EXPECT_NEAR(SummaryValue(summary, "min"), times.front(), 2e-3);
  EXPECT_NEAR(SummaryValue(summary, "max"), times.back(), 2e-3);
  const double median = SummaryValue(summary, "median");
  const double p95 = SummaryValue(summary, "95th percentile");
  const double p99 = SummaryValue(summary, "99th percentile");
  EXPECT_LE(times.front(), median);
  EXPECT_LE(median, p95);
  EXPECT_LE(p95, p99);
  EXPECT_LE(p99, times.back() + 1e-3);

  std::smatch match;
  ASSERT_TRUE(
      std::regex_search(summary, match, std::regex("Leaves drawn per level of detail:(.*)")))
      << summary;
  const std::string levels = match[1];
  for (int level = 0; level <= 6; ++level)
    EXPECT_TRUE(std::regex_search(levels, std::regex(" " + std::to_string(level) + ": [0-9.]+ %")))
        << "level " << level << " unused: " << levels;

  // The distance rule draws everything at full detail near the ground and lets the error
  // grow high above: the summary's largest error is the file's.
  double largest = 0.0;
  for (const CsvFrame& f : frames) largest = std::max(largest, f.lodError);
  EXPECT_EQ(frames.front().lodError, 0.0) << "the start pose draws full detail";
  EXPECT_GT(largest, 1.0);
  ASSERT_TRUE(std::regex_search(
      summary, match,
      std::regex("LOD error \\(px\\): mean [0-9.]+  95th percentile [0-9.]+  max ([0-9.]+)")))
      << summary;
  EXPECT_NEAR(std::stod(match[1]), largest, 6e-3);
}

// The pixel-error rule bounds every frame's error by its tolerance, where the distance rule
// lets it grow far beyond (checked above).
TEST(TimeDemoLodError, EveryFrameStaysWithinTheTolerance) {
  RunDirectory directory;
  const engine::ProgramResult run =
      directory.run("--timedemo --timedemo-csv frames.csv --size 160x120 --lod-error 1.5");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  Facts facts;
  const std::vector<CsvFrame> frames = ReadCsv(directory.path() / "frames.csv", &facts);
  EXPECT_NE(facts["Terrain"].find("levels by projected error within 1.5 px"), std::string::npos)
      << facts["Terrain"];
  ASSERT_GT(frames.size(), 100u);
  double largest = 0.0;
  for (const CsvFrame& f : frames) largest = std::max(largest, f.lodError);
  EXPECT_LE(largest, 1.5);
  EXPECT_GT(largest, 1.0) << "high above, the tolerance should be used";
}

// The file and the summary say what made the run, in the same words: the renderer the device
// really used, the processor, the size and the build.
TEST_F(TimeDemoTest, FileAndSummaryNameWhatMadeTheRun) {
  const Facts& fileFacts = facts[0];
  for (const char* label : {"Version", "Build type", "GL vendor", "GL renderer", "GL version",
                            "CPU", "Logical cores", "Size", "Terrain", "Date"}) {
    const auto fact = fileFacts.find(label);
    ASSERT_NE(fact, fileFacts.end()) << label << " missing from the file";
    EXPECT_FALSE(fact->second.empty()) << label;
    EXPECT_NE(fact->second, "unknown") << label;
    EXPECT_NE(results[0].out.find(std::string(label) + ": " + fact->second + "\n"),
              std::string::npos)
        << label << " differs in the summary:\n"
        << results[0].out;
  }
  EXPECT_EQ(fileFacts.at("Size"), "160x120");
  EXPECT_GE(std::stoi(fileFacts.at("Logical cores")), 1);
  EXPECT_TRUE(
      std::regex_match(fileFacts.at("Date"), std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}Z")));
  EXPECT_NE(fileFacts.at("Terrain").find("heightMap.bmp, levels by distance"), std::string::npos);
}

// A shorter run samples the same flight evenly: with 25 frames, frame k stands where the
// whole flight's frame 30 k does (720 steps in 24), from the start pose to the last. The
// strips then match; the edge fans may not, since a leaf out of view keeps the level it was
// last drawn at, so the counts agree within a few per cent.
TEST_F(TimeDemoTest, FewerFramesSampleTheSameFlight) {
  const long whole = static_cast<long>(csv[0].size());
  ASSERT_EQ((whole - 1) % 24, 0) << "the flight's length changed; pick another sample count";
  const RunDirectory directory;
  const engine::ProgramResult run =
      directory.run("--timedemo-frames 25 --timedemo-csv short.csv --size 160x120");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Timedemo: 25 frames at 160x120"), std::string::npos) << run.out;
  const std::vector<CsvFrame> sampled = ReadCsv(directory.path() / "short.csv");
  ASSERT_EQ(sampled.size(), 25u);
  const long step = (whole - 1) / 24;
  EXPECT_EQ(sampled[0].triangles, csv[0][0].triangles);
  for (std::size_t k = 1; k < sampled.size(); ++k)
    EXPECT_NEAR(sampled[k].triangles, csv[0][k * step].triangles, 0.05 * csv[0][k * step].triangles)
        << "sampled frame " << k;
}

// Starts the flight in dir, waits until the terrain is built and the flight under way, sends
// signal and returns the wait status.
int InterruptedFlight(const RunDirectory& dir, int signal) {
  const fs::path errors = dir.path() / "flight.err";
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(dir.path().c_str()) != 0 || !freopen(errors.c_str(), "w", stderr) ||
        !freopen("/dev/null", "w", stdout))
      _exit(127);
    execl(VANTRA_PROGRAM, VANTRA_PROGRAM, "--timedemo", "--timedemo-csv", "old.csv", "--size",
          "640x480", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (engine::ReadFile(errors).find("leaves built") == std::string::npos &&
         waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  kill(child, signal);
  waitpid(child, &status, 0);
  return status;
}

TEST(TimeDemoSignals, EndTheFlightCleanlyAndKeepThePreviousFile) {
  struct Case {
    int signal;
    int status;
    const char* name;
  };
  const Case cases[] = {{SIGINT, 130, "SIGINT"}, {SIGTERM, 143, "SIGTERM"}};
  for (const Case& c : cases) {
    RunDirectory dir;
    std::ofstream(dir.path() / "old.csv") << "previous run\n";
    const int status = InterruptedFlight(dir, c.signal);
    ASSERT_TRUE(WIFEXITED(status)) << c.name << " ended the process instead of the frame loop";
    EXPECT_EQ(WEXITSTATUS(status), c.status) << c.name;
    EXPECT_NE(engine::ReadFile(dir.path() / "flight.err").find(std::string("stopped by ") + c.name),
              std::string::npos)
        << c.name;
    EXPECT_EQ(engine::ReadFile(dir.path() / "old.csv"), "previous run\n") << c.name;
    for (const auto& entry : fs::directory_iterator(dir.path()))
      EXPECT_NE(entry.path().extension(), ".tmp") << c.name << ": " << entry.path();
  }
}

TEST(TimeDemoArguments, RefusesWhatWouldChangeTheFlightOrLoseItsRecord) {
  RunDirectory directory;
  struct Case {
    const char* arguments;
    const char* message;
  };
  const Case cases[] = {
      {"--timedemo --script input.txt", "takes no --script"},
      {"--timedemo-csv /nonexistent/directory/frames.csv", "cannot write"},
      {"--timedemo-json /nonexistent/directory/summary.json", "cannot write"},
      {"--timedemo-frames 0", "--timedemo-frames needs a whole number"},
      {"--timedemo-frames 12x", "--timedemo-frames needs a whole number"},
      {"--timedemo-frames 100001", "--timedemo-frames needs a whole number"},
      {"--timedemo --lod-error -1", "--lod-error needs a number of pixels"},
      {"--timedemo --lod-error 2px", "--lod-error needs a number of pixels"},
  };
  for (const Case& c : cases) {
    const engine::ProgramResult run = directory.run(c.arguments);
    EXPECT_EQ(run.exitCode, 2) << c.arguments;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
    EXPECT_EQ(run.out.find("Timedemo"), std::string::npos) << c.arguments;
  }
}

}  // namespace

}  // namespace vantra::shell
