// A scene object that throws from update or render in a given frame, for the tests of the
// frame loop's and the headless program's way out of a failing frame.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "engine/object.h"

namespace vantra::engine {

enum class Phase { kUpdate, kRender };

// What a failing object saw before the engine stopped calling it.
struct Calls {
  int updates = 0;
  int renders = 0;
};

// Throws from update or render in the frame given, either a result code or something else.
class FailingObject : public Object {
 public:
  FailingObject(Calls& calls, Phase phase, int frame, bool resultCode)
      : _calls(calls), _phase(phase), _frame(frame), _resultCode(resultCode) {}
  void hook(std::uint32_t) override {}
  const GUID* classId() const override { return &kId; }
  void reset(EngineServices*, IDirect3DDevice9*) override {}
  void update() override {
    ++_calls.updates;
    if (_phase == Phase::kUpdate) _failInFrame(_calls.updates - 1);
  }
  void render() override {
    ++_calls.renders;
    if (_phase == Phase::kRender) _failInFrame(_calls.renders - 1);
  }

  static constexpr std::int32_t kCode = static_cast<std::int32_t>(D3DERR_INVALIDCALL);

 private:
  void _failInFrame(int frame) {
    if (frame != _frame) return;
    if (_resultCode) throw kCode;
    throw std::runtime_error("lost a resource");
  }

  static constexpr GUID kId = {0x61, 0x62, 0x63, {0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B}};
  Calls& _calls;
  const Phase _phase;
  const int _frame;
  const bool _resultCode;
};

}  // namespace vantra::engine
