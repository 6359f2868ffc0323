// The timed demo's camera flight: a scene object that flies the active camera along a fixed
// path over the terrain and reports what the terrain drew in every frame.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/object.h"
#include "terrain/terrain_quadtree.h"
#include "vantra/vector.h"

namespace vantra::terrain {
class Terrain;
}

namespace vantra::shell {

class TimeDemoFlight : public engine::Object {
 public:
  // Called on the render thread once per frame with the frame's number (from 0) and what
  // the terrain drew in it.
  using DrawnCallback =
      std::function<void(long frame, const terrain::TerrainQuadtree::DrawCounts&)>;

  // Frames from the start pose to the end of the flight.
  static long FrameCount();

  // Where the camera is and what it looks at at a point of the flight, counted in frames
  // from the start pose (0) and possibly between two frames, over a terrain whose grid
  // reaches halfWidth and halfDepth from its centre and whose heights reach top.
  static void Pose(double frame, float halfWidth, float halfDepth, float top, vantra::Vector* eye,
                   vantra::Vector* target);

  // Flies the whole flight in `frames` frames, from the start pose to the last one, evenly
  // spaced: FrameCount() flies every frame of it, fewer skip between them, more slow it down.
  TimeDemoFlight(DrawnCallback onDrawn, long frames);

  void hook(std::uint32_t value) override;
  const GUID* classId() const override;
  void update() override;
  // Runs after the terrain has drawn: reports the frame, then poses the camera for the next
  // one, so that its update and the terrain's culling in that frame see the new pose.
  void render() override;
  void reset(engine::EngineServices* engine, IDirect3DDevice9* device) override;

  // The terrain to fly over and report on; until it is given, the flight does nothing.
  void flyOver(const terrain::Terrain* terrain) { _terrain = terrain; }

 private:
  DrawnCallback _onDrawn;
  // The flight's frames that one frame of this run advances.
  double _step;
  engine::EngineServices* _engine = nullptr;
  const terrain::Terrain* _terrain = nullptr;
  long _frame = 0;
};

}  // namespace vantra::shell
