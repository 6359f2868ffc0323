// Each job runs twice, once with Vantra and once with GLM doing the same work
// on the same seeded data; the table at the end gives the time ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtx/euler_angles.hpp>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "vantra/vantra.h"

namespace {

using vantra::Matrix;
using vantra::Vector;

constexpr int kCount = 1024;

std::mt19937& Engine() {
  static std::mt19937 engine(2024);
  return engine;
}

float Uniform(float lo, float hi) {
  return std::uniform_real_distribution<float>(lo, hi)(Engine());
}
Vector RandomVector(float extent) {
  return Vector(Uniform(-extent, extent), Uniform(-extent, extent), Uniform(-extent, extent));
}
glm::vec3 ToGlm(const Vector& v) { return glm::vec3(v.x, v.y, v.z); }

// Rigid transforms in both forms; GLM's column-major matrix is the transpose.
struct Transforms {
  std::vector<Matrix> vantra;
  std::vector<glm::mat4> glm;
  Transforms() {
    for (int i = 0; i < kCount; ++i) {
      Matrix m;
      m.rotateHPR(Uniform(-3, 3), Uniform(-3, 3), Uniform(-3, 3));
      const Vector t = RandomVector(100);
      m(3, 0) = t.x;
      m(3, 1) = t.y;
      m(3, 2) = t.z;
      vantra.push_back(m);
      glm::mat4 g;
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) g[r][c] = m(r, c);
      glm.push_back(g);
    }
  }
};

const Transforms& SharedTransforms() {
  static const Transforms transforms;
  return transforms;
}

struct Points {
  std::vector<Vector> vantra;
  std::vector<glm::vec3> glm;
  explicit Points(int n) {
    for (int i = 0; i < n; ++i) {
      vantra.push_back(RandomVector(100));
      glm.push_back(ToGlm(vantra.back()));
    }
  }
};

void Product_Vantra(benchmark::State& state) {
  const auto& t = SharedTransforms();
  std::vector<Matrix> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = t.vantra[i] * t.vantra[(i + 1) % kCount];
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void Product_GLM(benchmark::State& state) {
  const auto& t = SharedTransforms();
  std::vector<glm::mat4> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = t.glm[(i + 1) % kCount] * t.glm[i];
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void TransformPoints_Vantra(benchmark::State& state) {
  static const Points points(kCount);
  const Matrix m = SharedTransforms().vantra[0];
  std::vector<Vector> out(kCount);
  for (auto _ : state) {
    Vector::TransformPoints(out.data(), points.vantra.data(), kCount, m);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void TransformPoints_GLM(benchmark::State& state) {
  static const Points points(kCount);
  const glm::mat4 m = SharedTransforms().glm[0];
  std::vector<glm::vec3> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = glm::vec3(m * glm::vec4(points.glm[i], 1.0f));
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void RigidInverse_Vantra(benchmark::State& state) {
  const auto& t = SharedTransforms();
  std::vector<Matrix> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      out[i] = t.vantra[i];
      out[i].inverse();
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void RigidInverse_GLM(benchmark::State& state) {
  const auto& t = SharedTransforms();
  std::vector<glm::mat4> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = glm::affineInverse(t.glm[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

struct Angles {
  std::vector<Vector> hpr;
  Angles() {
    for (int i = 0; i < kCount; ++i) hpr.push_back(RandomVector(3));
  }
};

void RotateHPR_Vantra(benchmark::State& state) {
  static const Angles angles;
  std::vector<Matrix> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i)
      out[i].rotateHPR(angles.hpr[i].x, angles.hpr[i].y, angles.hpr[i].z);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void RotateHPR_GLM(benchmark::State& state) {
  static const Angles angles;
  std::vector<glm::mat4> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i)
      out[i] = glm::yawPitchRoll(angles.hpr[i].x, angles.hpr[i].y, angles.hpr[i].z);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

struct Rotations {
  std::vector<vantra::Quat> vantra;
  std::vector<glm::quat> glm;
  std::vector<float> t;
  Rotations() {
    for (int i = 0; i < kCount; ++i) {
      const vantra::Quat q(RandomVector(1), Uniform(-3, 3));
      vantra.push_back(q);
      glm.push_back(glm::quat(q.w, q.x, q.y, q.z));
      t.push_back(Uniform(0, 1));
    }
  }
};

void Slerp_Vantra(benchmark::State& state) {
  static const Rotations r;
  std::vector<vantra::Quat> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i)
      out[i].interpolateSpherical(r.vantra[i], r.vantra[(i + 1) % kCount], r.t[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void Slerp_GLM(benchmark::State& state) {
  static const Rotations r;
  std::vector<glm::quat> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = glm::slerp(r.glm[i], r.glm[(i + 1) % kCount], r.t[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void PlaneFromPoints_Vantra(benchmark::State& state) {
  static const Points points(kCount + 2);
  std::vector<vantra::Plane> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i)
      out[i].create(points.vantra[i], points.vantra[i + 1], points.vantra[i + 2]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void PlaneFromPoints_GLM(benchmark::State& state) {
  static const Points points(kCount + 2);
  std::vector<glm::vec4> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      const glm::vec3& p0 = points.glm[i];
      const glm::vec3 n =
          glm::normalize(glm::cross(points.glm[i + 1] - p0, points.glm[i + 2] - p0));
      out[i] = glm::vec4(n, -glm::dot(n, p0));
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

// Boxes scattered around a frustum so that all three outcomes occur. GLM
// gets them as eight corners (the same algorithm as the library's) and as
// centre and half extent (the usual two dot products per plane).
struct Boxes {
  std::vector<vantra::BoundingBox> vantra;
  std::vector<std::array<glm::vec3, 8>> glm;
  std::vector<glm::vec3> glmCenters;
  std::vector<glm::vec3> glmExtents;
  vantra::Plane planes[6];
  glm::vec4 glmPlanes[6];
  Boxes() {
    const vantra::Frustum frustum(1.2f, 0.75f, 1, 400);
    for (int k = 0; k < 6; ++k) {
      planes[k] = frustum.planes()[k];
      const float d = planes[k].distanceFromPoint(Vector(0.0f));
      glmPlanes[k] = glm::vec4(planes[k].distanceFromPoint(Vector(1, 0, 0)) - d,
                               planes[k].distanceFromPoint(Vector(0, 1, 0)) - d,
                               planes[k].distanceFromPoint(Vector(0, 0, 1)) - d, d);
    }
    for (int i = 0; i < kCount; ++i) {
      const Vector center(Uniform(-300, 300), Uniform(-200, 200), Uniform(-50, 450));
      const Vector half(Uniform(1, 40), Uniform(1, 40), Uniform(1, 40));
      vantra.emplace_back(center - half, center + half);
      std::array<glm::vec3, 8> corners;
      for (int k = 0; k < 8; ++k) corners[k] = ToGlm(vantra.back().corner(k));
      glm.push_back(corners);
      glmCenters.push_back((corners[0] + corners[4]) * 0.5f);
      glmExtents.push_back((corners[4] - corners[0]) * 0.5f);
    }
  }
};

void ClassifyBoxes_Vantra(benchmark::State& state) {
  static const Boxes boxes;
  std::vector<int> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      int result = vantra::IntersectionCodes::INSIDE;
      for (const vantra::Plane& plane : boxes.planes) {
        const int code = boxes.vantra[i].testIntersectionWithPlane(plane, nullptr);
        if (code == vantra::IntersectionCodes::OUTSIDE) {
          result = code;
          break;
        }
        if (code == vantra::IntersectionCodes::INTERSECTING) result = code;
      }
      out[i] = result;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void ClassifyBoxesEightCorners_Vantra(benchmark::State& state) { ClassifyBoxes_Vantra(state); }

int GlmBoxSide(const std::array<glm::vec3, 8>& corners, const glm::vec4& plane) {
  const glm::vec3 n(plane);
  const int side = glm::dot(n, corners[0]) + plane.w > 0.0f ? 1 : -1;
  for (int k = 1; k < 8; ++k)
    if ((glm::dot(n, corners[k]) + plane.w > 0.0f ? 1 : -1) != side) return 0;
  return side;
}

void ClassifyBoxesEightCorners_GLM(benchmark::State& state) {
  static const Boxes boxes;
  std::vector<int> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      int result = -1;
      for (const glm::vec4& plane : boxes.glmPlanes) {
        const int code = GlmBoxSide(boxes.glm[i], plane);
        if (code == 1) {
          result = code;
          break;
        }
        if (code == 0) result = code;
      }
      out[i] = result;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

int GlmBoxSide(const glm::vec3& center, const glm::vec3& extent, const glm::vec4& plane) {
  const float s = glm::dot(glm::vec3(plane), center) + plane.w;
  const float r = glm::dot(glm::abs(glm::vec3(plane)), extent);
  if (s - r > 0.0f) return 1;
  return s + r > 0.0f ? 0 : -1;
}

void ClassifyBoxes_GLM(benchmark::State& state) {
  static const Boxes boxes;
  std::vector<int> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      int result = -1;
      for (const glm::vec4& plane : boxes.glmPlanes) {
        const int code = GlmBoxSide(boxes.glmCenters[i], boxes.glmExtents[i], plane);
        if (code == 1) {
          result = code;
          break;
        }
        if (code == 0) result = code;
      }
      out[i] = result;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

constexpr int kSets = 64;
constexpr int kSetSize = 64;

void FitSphere_Vantra(benchmark::State& state) {
  static const Points points(kSets * kSetSize);
  std::vector<vantra::BoundingSphere> out(kSets);
  std::vector<Vector> set(kSetSize);
  for (auto _ : state) {
    for (int s = 0; s < kSets; ++s) {
      std::copy_n(points.vantra.begin() + s * kSetSize, kSetSize, set.begin());
      out[s] = vantra::BoundingSphere(set);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void FitSphere_GLM(benchmark::State& state) {
  static const Points points(kSets * kSetSize);
  std::vector<glm::vec4> out(kSets);
  std::vector<glm::vec3> set(kSetSize);
  for (auto _ : state) {
    for (int s = 0; s < kSets; ++s) {
      std::copy_n(points.glm.begin() + s * kSetSize, kSetSize, set.begin());
      glm::vec3 sum = set[0];
      for (int i = 1; i < kSetSize; ++i) sum += set[i];
      const glm::vec3 center = sum * (1.0f / kSetSize);
      float smallest = glm::dot(center - set[0], center - set[0]), largest = smallest;
      int farthest = 0;
      for (int i = 1; i < kSetSize; ++i) {
        const float d = glm::dot(center - set[i], center - set[i]);
        if (d < smallest)
          smallest = d;
        else if (d > largest) {
          largest = d;
          farthest = i;
        }
      }
      out[s] = glm::vec4(center, glm::distance(center, set[farthest]));
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

#define VANTRA_JOB(name)    \
  BENCHMARK(name##_Vantra); \
  BENCHMARK(name##_GLM)

VANTRA_JOB(Product);
VANTRA_JOB(TransformPoints);
VANTRA_JOB(RigidInverse);
VANTRA_JOB(RotateHPR);
VANTRA_JOB(Slerp);
VANTRA_JOB(PlaneFromPoints);
VANTRA_JOB(ClassifyBoxes);
VANTRA_JOB(ClassifyBoxesEightCorners);
VANTRA_JOB(FitSphere);

// Keeps the console output and collects each job's CPU time for the ratio
// table; CPU time is steadier than wall time on a shared machine. With
// repetitions the table uses the median of the repetitions, which is robust
// against the odd run disturbed by other load.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.run_name.str();
      if (run.run_type == Run::RT_Iteration)
        _samples[name].push_back(run.GetAdjustedCPUTime());
      else if (run.aggregate_name == "median")
        _medians[name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf("\n%-26s %14s %14s %12s\n", "job", "Vantra CPU ns", "GLM CPU ns", "Vantra/GLM");
    const std::map<std::string, double> times = Times();
    for (const auto& [name, vantraTime] : times) {
      const std::string suffix = "_Vantra";
      if (name.size() <= suffix.size() ||
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        continue;
      const std::string job = name.substr(0, name.size() - suffix.size());
      const auto peer = times.find(job + "_GLM");
      if (peer == times.end()) continue;
      std::printf("%-26s %14.0f %14.0f %12.2f\n", job.c_str(), vantraTime, peer->second,
                  vantraTime / peer->second);
    }
  }

 private:
  // The reported median where there is one (it is the only number left when
  // only aggregates are reported), else the median of the collected runs.
  std::map<std::string, double> Times() const {
    std::map<std::string, double> times = _medians;
    for (const auto& [name, samples] : _samples) {
      if (times.count(name) != 0) continue;
      std::vector<double> sorted = samples;
      std::sort(sorted.begin(), sorted.end());
      const size_t n = sorted.size();
      times[name] = n % 2 == 1 ? sorted[n / 2] : 0.5 * (sorted[n / 2 - 1] + sorted[n / 2]);
    }
    return times;
  }

  std::map<std::string, std::vector<double>> _samples;
  std::map<std::string, double> _medians;
};

// Unless the command line asks otherwise, each job runs nine short times in
// random order with its peer, so that a slow spell of a shared machine falls
// on both sides of a ratio alike, and only the aggregates are printed.
std::vector<char*> WithSteadyDefaults(int argc, char** argv) {
  static char defaults[][48] = {"--benchmark_repetitions=9", "--benchmark_min_time=0.05",
                                "--benchmark_enable_random_interleaving=true",
                                "--benchmark_report_aggregates_only=true"};
  std::vector<char*> args(argv, argv + argc);
  const bool repetitionsGiven = std::any_of(args.begin(), args.end(), [](const char* a) {
    return std::string(a).rfind("--benchmark_repetitions", 0) == 0;
  });
  if (!repetitionsGiven) args.insert(args.begin() + 1, std::begin(defaults), std::end(defaults));
  return args;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args = WithSteadyDefaults(argc, argv);
  argc = static_cast<int>(args.size());
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
