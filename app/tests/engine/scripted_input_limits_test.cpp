// Scripts at the edges of what they can hold: motion sums beyond 32 bits, endless files.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/scripted_input_source.h"

namespace vantra::engine {

TEST(ScriptedInputLimits, MotionSumsInSixtyFourBitsAndSaturates) {
  struct Case {
    const char* why;
    const char* script;
    std::int32_t x;
    std::int32_t y;
  };
  const Case cases[] = {
      {"sums past both ends saturate",
       "0 mouse 2147483647 -2147483648\n0 mouse 2147483647 -2147483648\n0 mouse 5 -5\n", INT32_MAX,
       INT32_MIN},
      {"a sum that passes the end on the way comes back exactly",
       "0 mouse 2147483647 -2147483648\n0 mouse 10 -10\n0 mouse -20 20\n", 2147483637, -2147483638},
  };
  for (const Case& c : cases) {
    platform::ScriptedInputSource source;
    std::string error;
    ASSERT_TRUE(source.parse(c.script, &error)) << c.why << ": " << error;
    std::uint8_t keys[256];
    DIMOUSESTATE mouse{};
    source.readKeyboard(keys);
    source.readMouse(&mouse);
    EXPECT_EQ(mouse.lX, c.x) << c.why;
    EXPECT_EQ(mouse.lY, c.y) << c.why;
  }
}

TEST(ScriptedInputLimits, RefusesAnEndlessScript) {
  platform::ScriptedInputSource source;
  std::string error;
  EXPECT_FALSE(source.load("/dev/zero", &error));
  EXPECT_EQ(error, "\"/dev/zero\" is larger than 16 MiB");
}

TEST(ScriptedInputLimits, ErrorsShowTokensEscapedAndCut) {
  struct Case {
    const char* why;
    std::string script;
    std::string error;
  };
  const Case cases[] = {
      {"an escape sequence that would retitle and clear the terminal",
       "0 key F1\x1b]0;owned\x07\x1b[2J down\n",
       "line 1: unknown key name \"F1\\x1B]0;owned\\x07\\x1B[2J\""},
      {"a 10 MB token", "0 key " + std::string(10'000'000, 'Q') + " down\n",
       "line 1: unknown key name \"" + std::string(64, 'Q') + "\" (9999936 more bytes cut)"},
  };
  for (const Case& c : cases) {
    platform::ScriptedInputSource source;
    std::string error;
    EXPECT_FALSE(source.parse(c.script, &error)) << c.why;
    EXPECT_EQ(error, c.error) << c.why;
  }
}

}  // namespace vantra::engine
