#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "engine/input_devices.h"
#include "platform/dinput_keys.h"
#include "platform/event_input_source.h"
#include "platform/scripted_input_source.h"

namespace vantra::engine {

namespace {

struct Devices {
  platform::EventInputSource source;
  InputDevices input;
  Devices() { input.create(&source); }
  void poll() {
    input.pollKeyboard();
    input.pollMouse();
  }
};

TEST(InputDevices, ReadIdleUntilAcquiredAndAfterUnacquired) {
  Devices d;
  EXPECT_EQ(d.input.isKeyDown(DIK_W), 0) << "before the first poll";
  d.source.setKey(DIK_W, true);
  d.source.setButton(0, true);
  d.source.addMotion(5, -3);
  d.poll();
  EXPECT_EQ(d.input.isKeyDown(DIK_W), 0) << "unacquired keyboard";
  EXPECT_EQ(d.input.isMouseButtonDown(0), 0) << "unacquired mouse";
  EXPECT_EQ(d.input.mouseDeltaX(), 0);

  d.input.setKeyboardAcquired(true);
  d.input.setMouseAcquired(true);
  d.source.addMotion(2, 1);
  d.poll();
  EXPECT_EQ(d.input.isKeyDown(DIK_W), 1);
  EXPECT_EQ(d.input.isKeyDown(DIK_Q), 0);
  EXPECT_EQ(d.input.isMouseButtonDown(0), 1);
  EXPECT_EQ(d.input.mouseDeltaX(), 2) << "motion made while unacquired is dropped";
  EXPECT_EQ(d.input.mouseDeltaY(), 1);

  d.input.setKeyboardAcquired(false);
  d.input.setMouseAcquired(false);
  d.poll();
  EXPECT_EQ(d.input.isKeyDown(DIK_W), 0) << "a key held while focus went reads up";
  EXPECT_EQ(d.input.isMouseButtonDown(0), 0);
}

TEST(InputDevices, AcquiringTwiceNeedsOneUnacquire) {
  Devices d;
  d.source.setKey(DIK_SPACE, true);
  d.input.setKeyboardAcquired(true);
  d.input.setKeyboardAcquired(true);
  EXPECT_TRUE(d.input.isKeyboardAcquired());
  EXPECT_FALSE(d.input.isMouseAcquired()) << "the devices are acquired separately";
  d.input.setKeyboardAcquired(false);
  d.poll();
  EXPECT_FALSE(d.input.isKeyboardAcquired());
  EXPECT_EQ(d.input.isKeyDown(DIK_SPACE), 0);
}

TEST(InputDevices, MotionIsRelativeToThePreviousPoll) {
  Devices d;
  d.input.setMouseAcquired(true);
  d.source.addMotion(3, 4);
  d.source.addMotion(-1, 1);
  d.poll();
  EXPECT_EQ(d.input.mouseDeltaX(), 2);
  EXPECT_EQ(d.input.mouseDeltaY(), 5);
  d.poll();
  EXPECT_EQ(d.input.mouseDeltaX(), 0);
  EXPECT_EQ(d.input.mouseDeltaY(), 0);
}

TEST(InputDevices, ReleasedDevicesReadIdle) {
  Devices d;
  d.input.setKeyboardAcquired(true);
  d.source.setKey(DIK_A, true);
  d.input.release();
  d.poll();
  EXPECT_EQ(d.input.isKeyDown(DIK_A), 0);
}

TEST(EventInputSource, ReleaseAllLiftsKeysAndButtons) {
  platform::EventInputSource source;
  source.setKey(DIK_LSHIFT, true);
  source.setButton(3, true);
  source.setButton(4, true);  // no such button: ignored
  source.releaseAll();
  std::uint8_t keys[256];
  DIMOUSESTATE mouse;
  source.readKeyboard(keys);
  source.readMouse(&mouse);
  EXPECT_EQ(keys[DIK_LSHIFT], 0);
  EXPECT_EQ(mouse.rgbButtons[3], 0);
}

// A press and release that both fall between two frames' polls still count once, as a key
// held across them counts at each.
TEST(EventInputSource, ATapBetweenTwoReadsReadsAsDownOnce) {
  Devices d;
  d.input.setKeyboardAcquired(true);
  d.input.setMouseAcquired(true);
  d.source.setKey(DIK_E, true);
  d.source.setKey(DIK_E, false);
  d.source.setButton(1, true);
  d.source.setButton(1, false);
  d.source.setKey(DIK_W, true);
  d.poll();
  EXPECT_EQ(d.input.isKeyDown(DIK_E), 1);
  EXPECT_EQ(d.input.isMouseButtonDown(1), 1);
  d.poll();
  EXPECT_EQ(d.input.isKeyDown(DIK_E), 0) << "the tap counts once";
  EXPECT_EQ(d.input.isMouseButtonDown(1), 0);
  EXPECT_EQ(d.input.isKeyDown(DIK_W), 1) << "a held key stays down";

  d.source.setKey(DIK_C, true);
  d.source.setKey(DIK_C, false);
  d.source.releaseAll();
  d.poll();
  EXPECT_EQ(d.input.isKeyDown(DIK_C), 0) << "losing the focus drops unread taps";
  EXPECT_EQ(d.input.isKeyDown(DIK_W), 0);
}

// The GUI thread writes events while the render thread polls: no motion may be lost or
// counted twice, and the acquire flags may change under the poll.
TEST(EventInputSource, EventsFromAnotherThreadAreNeitherLostNorRepeated) {
  Devices d;
  d.input.setMouseAcquired(true);
  d.input.setKeyboardAcquired(true);
  constexpr int kEvents = 20000;
  std::atomic<bool> done{false};
  std::thread gui([&] {
    for (int i = 0; i < kEvents; ++i) {
      d.source.addMotion(1, 2);
      d.source.setKey(DIK_UP, i % 2 == 0);
      if (i % 1000 == 0) d.input.setKeyboardAcquired(true);
    }
    done = true;
  });
  long sumX = 0;
  long sumY = 0;
  for (bool last = false; !last;) {
    last = done.load();
    d.poll();
    sumX += d.input.mouseDeltaX();
    sumY += d.input.mouseDeltaY();
  }
  gui.join();
  EXPECT_EQ(sumX, kEvents);
  EXPECT_EQ(sumY, 2L * kEvents);
}

TEST(ScriptedInputSource, RejectsBadScriptsNamingTheLine) {
  struct Case {
    const char* script;
    const char* expected;  // start of the message
    const char* why;
  };
  const Case cases[] = {
      {"0 key F12 down\n\nx key W down\n", "line 3:", "frame is not a number"},
      {"0 key NOPE down\n", "line 1: unknown key name \"NOPE\"", "unknown key name"},
      {"# start\n0 key 0x100 down\n", "line 2:", "key code beyond 0xFF"},
      {"0 key W sideways\n", "line 1:", "neither down nor up"},
      {"0 key W\n", "line 1:", "missing word"},
      {"0 key W down now\n", "line 1:", "extra word"},
      {"5 quit\n4 quit\n", "line 2: frame 4 comes after frame 5", "frames out of order"},
      {"0 mouse 1\n", "line 1:", "one motion value"},
      {"0 mouse 1 two\n", "line 1:", "motion not a number"},
      {"0 button 4 down\n", "line 1:", "button beyond 3"},
      {"-1 quit\n", "line 1:", "negative frame"},
      {"0 jump\n", "line 1:", "unknown event"},
  };
  for (const Case& c : cases) {
    platform::ScriptedInputSource source;
    std::string error;
    EXPECT_FALSE(source.parse(c.script, &error)) << c.why;
    EXPECT_EQ(error.rfind(c.expected, 0), 0u) << c.why << ": " << error;
  }
}

TEST(ScriptedInputSource, PlaysEachFrameAtItsPoll) {
  platform::ScriptedInputSource source;
  std::string error;
  ASSERT_TRUE(
      source.parse("# frames count from 0\n"
                   "0 key F12 down   # held for one frame\n"
                   "1 key f12 up\n"
                   "1 key 0x11 down\n"
                   "1 mouse 4 -2\n"
                   "1 mouse 1 1\n"
                   "2 button 1 down\n"
                   "3 quit\n",
                   &error))
      << error;
  int quits = 0;
  source.setQuitCallback([&] { ++quits; });
  struct Frame {
    bool f12, w, button1;
    int dx, dy;
    bool quit;
  };
  const Frame frames[] = {
      {true, false, false, 0, 0, false}, {false, true, false, 5, -1, false},
      {false, true, true, 0, 0, false},  {false, true, true, 0, 0, true},
      {false, true, true, 0, 0, true},
  };
  for (const Frame& expected : frames) {
    const int index = static_cast<int>(&expected - frames);
    std::uint8_t keys[256];
    DIMOUSESTATE mouse;
    source.readKeyboard(keys);
    source.readMouse(&mouse);
    EXPECT_EQ(keys[DIK_F12] == 0x80, expected.f12) << "frame " << index;
    EXPECT_EQ(keys[DIK_W] == 0x80, expected.w) << "frame " << index;
    EXPECT_EQ(mouse.rgbButtons[1] == 0x80, expected.button1) << "frame " << index;
    EXPECT_EQ(mouse.lX, expected.dx) << "frame " << index;
    EXPECT_EQ(mouse.lY, expected.dy) << "frame " << index;
    EXPECT_EQ(source.quitRequested(), expected.quit) << "frame " << index;
  }
  EXPECT_EQ(quits, 1);
}

TEST(ScriptedInputSource, FailedParseLeavesNoEvents) {
  platform::ScriptedInputSource source;
  std::string error;
  ASSERT_TRUE(source.parse("0 key A down\n", &error));
  EXPECT_FALSE(source.parse("0 key A down\n0 oops\n", &error));
  std::uint8_t keys[256];
  source.readKeyboard(keys);
  EXPECT_EQ(keys[DIK_A], 0);
}

TEST(ScriptedInputSource, MissingFileIsReported) {
  platform::ScriptedInputSource source;
  std::string error;
  EXPECT_FALSE(source.load("/nonexistent/script.txt", &error));
  EXPECT_NE(error.find("/nonexistent/script.txt"), std::string::npos) << error;
}

}  // namespace

}  // namespace vantra::engine
