#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "engine/high_res_clock.h"
#include "engine/named_timer.h"

namespace vantra::engine {

namespace {

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }

TEST(HighResClock, MeasuresOnlyBetweenStartAndStop) {
  HighResClock clock;
  clock.stop();
  EXPECT_EQ(clock.elapsedMilliseconds(), 0.0f) << "stop without start reads nothing";

  clock.start();
  Pause();
  clock.stop();
  const float first = clock.elapsedMilliseconds();
  EXPECT_GE(first, 2.0f);
  EXPECT_LT(first, 2000.0f);
  Pause();
  clock.stop();
  EXPECT_EQ(clock.elapsedMilliseconds(), first) << "a second stop keeps the first reading";
  EXPECT_FLOAT_EQ(clock.elapsedSeconds() * 1000.0f, first);

  clock.reset();
  EXPECT_EQ(clock.elapsedMilliseconds(), 0.0f);
}

TEST(NamedTimer, PublishesAveragesOnlyPerCompletedBlock) {
  NamedTimer timer("Update", 3);
  float sum = 0.0f;
  for (int interval = 1; interval <= 3; ++interval) {
    EXPECT_EQ(timer.averageMilliseconds(), 0.0f) << "before interval " << interval;
    EXPECT_EQ(timer.averageRate(), 0.0f);
    timer.start();
    Pause();
    timer.stop();
    sum += timer.lastMilliseconds();
  }
  EXPECT_FLOAT_EQ(timer.averageMilliseconds(), sum / 3.0f);
  EXPECT_FLOAT_EQ(timer.averageRate(), 1000.0f / (sum / 3.0f));

  const float published = timer.averageMilliseconds();
  timer.start();
  timer.stop();
  EXPECT_EQ(timer.averageMilliseconds(), published) << "a partial block changes nothing";
}

TEST(NamedTimer, BlockOfOneFollowsEveryInterval) {
  NamedTimer timer("Actual", 1);
  for (int i = 0; i < 3; ++i) {
    timer.start();
    Pause();
    timer.stop();
    EXPECT_EQ(timer.averageMilliseconds(), timer.lastMilliseconds());
    EXPECT_FLOAT_EQ(timer.averageRate(), 1000.0f / timer.lastMilliseconds());
  }
}

TEST(NamedTimer, SecondStopAddsTheSameIntervalAgain) {
  NamedTimer timer("Render", 2);
  timer.start();
  Pause();
  timer.stop();
  const float interval = timer.lastMilliseconds();
  Pause();
  timer.stop();
  EXPECT_EQ(timer.lastMilliseconds(), interval);
  EXPECT_FLOAT_EQ(timer.averageMilliseconds(), interval) << "the block completed with it twice";
}

TEST(NamedTimer, StopWithoutStartAddsZero) {
  NamedTimer timer("Presentation", 1);
  timer.stop();
  EXPECT_EQ(timer.averageMilliseconds(), 0.0f);
  EXPECT_TRUE(std::isinf(timer.averageRate())) << "a zero average gives an infinite rate";
}

}  // namespace

}  // namespace vantra::engine
