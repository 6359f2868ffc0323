#include "shell/time_demo_flight.h"

#include <iterator>

#include "engine/camera.h"
#include "engine/engine_services.h"
#include "terrain/terrain.h"
#include "vantra/matrix.h"

namespace vantra::shell {

using vantra::Vector;

namespace {

constexpr GUID kTimeDemoFlightClassId = {
    0x5B0E7C1A, 0x93D4, 0x4E2F, {0xA6, 0x1B, 0x7C, 0x30, 0xE8, 0x52, 0x9D, 0x46}};

// The start pose stands this high above the grid centre; every height of the flight counts
// from there, so that the flight takes off from exactly that pose.
constexpr float kStartHeight = 0.2f;

// A point of the flight: x and z in half the grid's width and depth from its centre, y in
// the terrain's top height. The camera reaches the waypoint `frames` frames after the one
// before it.
struct Waypoint {
  float eyeX, eyeY, eyeZ;
  float lookX, lookY, lookZ;
  long frames;
};

// Take off straight up from the start pose, fly out over the valley and the hills ahead,
// over the ridges to a corner and along two edges of the grid, then climb high above the
// centre looking down and back away until the far side is drawn at the coarsest level.
// The low legs stay above the highest height a map can give, and the far point keeps the
// whole grid within the camera's far plane.
constexpr Waypoint kWaypoints[] = {
    {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0},       {0.0f, 1.3f, 0.0f, 0.0f, 0.6f, 0.6f, 60},
    {0.1f, 1.3f, 0.65f, 0.4f, 0.3f, 1.2f, 90},     {0.75f, 1.3f, 0.75f, 1.2f, 0.3f, 0.2f, 90},
    {0.95f, 1.3f, -0.8f, 0.95f, 0.4f, -1.4f, 120}, {-0.8f, 1.3f, -0.95f, -1.4f, 0.4f, -0.7f, 120},
    {0.0f, 20.0f, 0.05f, 0.0f, 0.0f, 0.0f, 120},   {0.0f, 20.0f, -2.0f, 0.0f, 0.0f, 0.0f, 90},
    {0.0f, 20.0f, -2.0f, 0.0f, 0.0f, 0.0f, 30},
};

// Eases in and out, so that the camera does not jerk at a waypoint.
float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }

}  // namespace

long TimeDemoFlight::FrameCount() {
  long frames = 1;
  for (const Waypoint& waypoint : kWaypoints) frames += waypoint.frames;
  return frames;
}

void TimeDemoFlight::Pose(double frame, float halfWidth, float halfDepth, float top, Vector* eye,
                          Vector* target) {
  const auto eyeOf = [&](const Waypoint& w) {
    return Vector(w.eyeX * halfWidth, w.eyeY * top + kStartHeight, w.eyeZ * halfDepth);
  };
  const auto targetOf = [&](const Waypoint& w) {
    return Vector(w.lookX * halfWidth, w.lookY * top + kStartHeight, w.lookZ * halfDepth);
  };
  const Waypoint* from = &kWaypoints[0];
  for (const Waypoint* to = from + 1; to != std::end(kWaypoints); from = to++) {
    if (frame < to->frames) {
      const float t = Smooth(static_cast<float>(frame / static_cast<double>(to->frames)));
      eye->interpolateLinear(eyeOf(*from), eyeOf(*to), t);
      target->interpolateLinear(targetOf(*from), targetOf(*to), t);
      return;
    }
    frame -= to->frames;
  }
  *eye = eyeOf(*from);
  *target = targetOf(*from);
}

TimeDemoFlight::TimeDemoFlight(DrawnCallback onDrawn, long frames)
    : _onDrawn(std::move(onDrawn)),
      _step(frames > 1 ? static_cast<double>(FrameCount() - 1) / static_cast<double>(frames - 1)
                       : 0.0) {}

void TimeDemoFlight::hook(std::uint32_t) {}

const GUID* TimeDemoFlight::classId() const { return &kTimeDemoFlightClassId; }

void TimeDemoFlight::update() {}

void TimeDemoFlight::render() {
  const terrain::Terrain* terrain = _terrain;
  if (terrain == nullptr) return;
  _onDrawn(_frame, terrain->quadtree()->lastDrawn());
  ++_frame;

  const Vector& scale = terrain->scale();
  Vector eye, target;
  Pose(static_cast<double>(_frame) * _step, (terrain->width() - 1) * 0.5f * scale.x,
       (terrain->depth() - 1) * 0.5f * scale.z, scale.y, &eye, &target);
  eye += terrain->position();
  target += terrain->position();
  Vector forward = target - eye;
  forward.normalize();
  // Looking straight down leaves no horizontal forward to take the right axis from.
  Vector right = Vector(0.0f, 1.0f, 0.0f) ^ forward;
  if (right.isZero()) right = Vector(1.0f, 0.0f, 0.0f);
  right.normalize();
  _engine->activeCamera()->cameraWorldMatrix() =
      vantra::Matrix(eye, right, forward ^ right, forward);
}

void TimeDemoFlight::reset(engine::EngineServices* engine, IDirect3DDevice9*) {
  _engine = engine;
  _frame = 0;
}

}  // namespace vantra::shell
