// The terrain's T, D and S keys read through Terrain::update inside the real engine's frame
// loop, fed by a script, one sample of the device state per frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/d3d.h"
#include "terrain/terrain.h"
#include "terrain/terrain_quadtree.h"
#include "terrain_test_support.h"
#include "test_host.h"

namespace vantra::terrain {

namespace {

struct Sample {
  DWORD stage0;
  DWORD stage1;
  bool fansHighlighted;
  TerrainQuadtree::LodRule rule;
  bool levelsTinted;
};

// A small terrain that joins the engine's scene after the engine's own terrain, which finds
// no bitmaps and leaves; this one writes them first, so it is the only terrain reading keys.
class KeyedTerrain : public Terrain {
 public:
  explicit KeyedTerrain(std::vector<Sample>& samples)
      : Terrain(65, 65, 800.0f, 24240.0f, 800.0f), _samples(samples) {}
  void reset(engine::EngineServices* engine, IDirect3DDevice9* device) override {
    WriteTerrainMaps(16, [](int, int) { return 60; });
    _stateDevice = device;
    Terrain::reset(engine, device);
    setCamera(engine->activeCamera());
  }
  void update() override {
    Terrain::update();
    Sample s;
    _stateDevice->GetTextureStageState(0, D3DTSS_COLOROP, &s.stage0);
    _stateDevice->GetTextureStageState(1, D3DTSS_COLOROP, &s.stage1);
    s.fansHighlighted = quadtree()->highlightFans();
    s.rule = quadtree()->lodRule();
    s.levelsTinted = quadtree()->tintsLevels();
    _samples.push_back(s);
  }

 private:
  std::vector<Sample>& _samples;
  IDirect3DDevice9* _stateDevice = nullptr;
};

// Frames [from, to) in which a key is held.
struct Held {
  int from = 0;
  int to = 0;
  bool in(int frame) const { return frame >= from && frame < to; }
};

// A script holding each key over its frames and quitting after the last frame; events
// are listed in frame order, as scripts require.
std::string Script(const std::vector<std::pair<const char*, Held>>& keys, int lastFrame) {
  std::vector<std::pair<int, std::string>> events;
  for (const auto& [key, held] : keys) {
    if (held.to <= held.from) continue;
    events.emplace_back(held.from, std::string(" key ") + key + " down");
    events.emplace_back(held.to, std::string(" key ") + key + " up");
  }
  events.emplace_back(lastFrame, " quit");
  std::stable_sort(events.begin(), events.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string script;
  for (const auto& [frame, event] : events) script += std::to_string(frame) + event + "\n";
  return script;
}

// The colour-operation cursors are shared by every terrain for the life of the program, so
// each case starts where the one before it left them.
TEST(TerrainKeys, TAndDStepTheStagesAndSTogglesTheFanHighlight) {
  const DWORD* table = Terrain::kColourOperations;
  ASSERT_EQ(Terrain::colourCursor(0), 1) << "stage 0 starts at MODULATE";
  ASSERT_EQ(Terrain::colourCursor(1), 2) << "stage 1 starts at MODULATE2X";
  struct Case {
    Held t, d, s;
    DWORD stage0, stage1;
    bool highlighted;
    const char* why;
  };
  const Case cases[] = {
      {{1, 5},
       {},
       {},
       D3DTOP_MODULATE,
       D3DTOP_MODULATE2X,
       false,
       "four frames of T return stage 0 to where it was"},
      {{},
       {1, 3},
       {},
       D3DTOP_MODULATE,
       D3DTOP_DISABLE,
       false,
       "D twice: ADDSMOOTH, then stage 1 disabled"},
      {{1, 2},
       {1, 3},
       {},
       D3DTOP_MODULATE2X,
       D3DTOP_MODULATE,
       false,
       "T wins over D; D still held acts in the next frame"},
      {{},
       {},
       {1, 3},
       D3DTOP_MODULATE,
       D3DTOP_MODULATE2X,
       false,
       "S held for two frames leaves the fans plain"},
      {{},
       {},
       {1, 4},
       D3DTOP_MODULATE,
       D3DTOP_MODULATE2X,
       true,
       "S held for three frames highlights them"},
  };
  constexpr int kFrames = 7;
  for (const Case& c : cases) {
    int cursor0 = Terrain::colourCursor(0), cursor1 = Terrain::colourCursor(1);
    ScratchDirectory directory;
    std::vector<Sample> samples;
    engine::ScriptedEngine run(Script({{"T", c.t}, {"D", c.d}, {"S", c.s}}, kFrames - 1),
                               {new KeyedTerrain(samples)});
    run.finish();
    ASSERT_EQ(samples.size(), static_cast<std::size_t>(kFrames)) << c.why;
    EXPECT_EQ(run.host().messages().size(), 1u) << "only the engine's own terrain failed";

    // Reset sets MODULATE and MODULATE2X; every frame with T held advances stage 0, every
    // other frame with D held stage 1, and every frame with S held flips the highlight.
    DWORD stage0 = D3DTOP_MODULATE, stage1 = D3DTOP_MODULATE2X;
    bool highlighted = false;
    for (int frame = 0; frame < kFrames; ++frame) {
      if (c.t.in(frame)) {
        cursor0 = (cursor0 + 1) % 4;
        stage0 = table[cursor0];
      } else if (c.d.in(frame)) {
        cursor1 = (cursor1 + 1) % 4;
        stage1 = table[cursor1];
      }
      if (c.s.in(frame)) highlighted = !highlighted;
      const Sample& s = samples[frame];
      EXPECT_EQ(s.stage0, stage0) << c.why << ", frame " << frame;
      EXPECT_EQ(s.stage1, stage1) << c.why << ", frame " << frame;
      EXPECT_EQ(s.fansHighlighted, highlighted) << c.why << ", frame " << frame;
    }
    EXPECT_EQ(samples.back().stage0, c.stage0) << c.why;
    EXPECT_EQ(samples.back().stage1, c.stage1) << c.why;
    EXPECT_EQ(samples.back().fansHighlighted, c.highlighted) << c.why;
  }
}

// E and C act once per press however long the key is held: E switches between the
// distance rule and the pixel-error rule, C the tint by level.
TEST(TerrainKeys, EAndCSwitchOncePerPress) {
  using Rule = TerrainQuadtree::LodRule;
  ScratchDirectory directory;
  std::vector<Sample> samples;
  const std::string script =
      "1 key E down\n4 key E up\n4 key C down\n5 key C up\n"
      "6 key E down\n6 key C down\n7 key E up\n7 key C up\n8 quit\n";
  engine::ScriptedEngine run(script, {new KeyedTerrain(samples)});
  run.finish();
  ASSERT_EQ(samples.size(), 9u);
  const Rule rules[9] = {Rule::kDistance,   Rule::kPixelError, Rule::kPixelError,
                         Rule::kPixelError, Rule::kPixelError, Rule::kPixelError,
                         Rule::kDistance,   Rule::kDistance,   Rule::kDistance};
  const bool tinted[9] = {false, false, false, false, true, true, false, false, false};
  for (int frame = 0; frame < 9; ++frame) {
    EXPECT_EQ(samples[frame].rule, rules[frame]) << "frame " << frame;
    EXPECT_EQ(samples[frame].levelsTinted, tinted[frame]) << "frame " << frame;
  }
}

}  // namespace

}  // namespace vantra::terrain
