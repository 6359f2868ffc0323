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
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "program_run_directory.h"

namespace {

namespace fs = std::filesystem;

// A run directory with the terrain bitmaps the build put beside the program.
class RunDirectory : public ProgramRunDirectory {
 public:
  RunDirectory() { linkMaps(fs::path(VANTRA_PROGRAM).parent_path()); }

  ProgramResult run(const std::string& arguments) const {
    return runCommand(std::string("'") + VANTRA_PROGRAM + "' " + arguments);
  }
};

struct CsvFrame {
  long frame;
  double frameMs, updateMs, renderMs, presentMs;
  long triangles;
};

std::vector<CsvFrame> ReadCsv(const fs::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  EXPECT_EQ(line, "frame,frame_ms,update_ms,render_ms,present_ms,triangles");
  std::vector<CsvFrame> frames;
  while (std::getline(file, line)) {
    CsvFrame f{};
    char tail = 0;
    const int fields = std::sscanf(line.c_str(), "%ld,%lf,%lf,%lf,%lf,%ld%c", &f.frame, &f.frameMs,
                                   &f.updateMs, &f.renderMs, &f.presentMs, &f.triangles, &tail);
    EXPECT_EQ(fields, 6) << "malformed line: " << line;
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
      csv[i] = ReadCsv(runs[i]->path() / "frames.csv");
    }
  }
  static void TearDownTestSuite() {
    for (RunDirectory*& run : runs) {
      delete run;
      run = nullptr;
    }
  }

  static RunDirectory* runs[2];
  static ProgramResult results[2];
  static std::vector<CsvFrame> csv[2];
};

RunDirectory* TimeDemoTest::runs[2] = {};
ProgramResult TimeDemoTest::results[2] = {};
std::vector<CsvFrame> TimeDemoTest::csv[2] = {};

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
  while (ReadFile(errors).find("leaves built") == std::string::npos &&
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
    EXPECT_NE(ReadFile(dir.path() / "flight.err").find(std::string("stopped by ") + c.name),
              std::string::npos)
        << c.name;
    EXPECT_EQ(ReadFile(dir.path() / "old.csv"), "previous run\n") << c.name;
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
  };
  for (const Case& c : cases) {
    const ProgramResult run = directory.run(c.arguments);
    EXPECT_EQ(run.exitCode, 2) << c.arguments;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
    EXPECT_EQ(run.out.find("Timedemo"), std::string::npos) << c.arguments;
  }
}

}  // namespace
