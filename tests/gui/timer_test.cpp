// The timer's arming rules, measured on the real event loop.
#include "gui/timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "gui/application.h"
#include "gui/box_capture.h"
#include "platform/exceptions.h"
#include "support/program_text.h"

namespace kel {
namespace {

using test::ProgramText;

using std::chrono::milliseconds;

// Milliseconds since the clock was made.
class ElapsedClock {
 public:
  long long elapsed() const {
    return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start_)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Processes events until `done` or `limit` has passed; returns the time waited.
long long PumpUntil(const std::function<bool()>& done, long long limit_ms) {
  ElapsedClock clock;
  while (!done() && clock.elapsed() < limit_ms) {
    Application.ProcessMessages();
    std::this_thread::sleep_for(milliseconds(1));
  }
  return clock.elapsed();
}

void Pump(long long ms) {
  PumpUntil([] { return false; }, ms);
}

class TimerTest : public testing::Test {
 protected:
  TimerTest() {
    timer.SetInterval(0);
    timer.SetOnTimer([this](TComponent* sender) {
      EXPECT_EQ(sender, &timer);
      ++ticks;
    });
  }
  TTimer timer{nullptr};
  int ticks = 0;
};

TEST_F(TimerTest, IntervalZeroStandsStill) {
  EXPECT_FALSE(timer.Armed());
  Pump(150);
  EXPECT_EQ(ticks, 0);

  timer.SetInterval(20);
  PumpUntil([&] { return ticks >= 2; }, 2000);
  EXPECT_GE(ticks, 2);
  timer.SetInterval(0);
  EXPECT_FALSE(timer.Armed());
  const int stopped_at = ticks;
  Pump(150);
  EXPECT_EQ(ticks, stopped_at);
}

TEST_F(TimerTest, WithoutHandlerOrWhenDisabledNothingIsArmed) {
  timer.SetOnTimer(nullptr);
  timer.SetInterval(20);
  EXPECT_FALSE(timer.Armed());
  timer.SetOnTimer([this](TComponent*) { ++ticks; });
  EXPECT_TRUE(timer.Armed());
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Armed());
  Pump(120);
  EXPECT_EQ(ticks, 0);
}

// Assigning the value the timer already has must not restart the period: the first tick still
// comes one period after the first assignment.
TEST_F(TimerTest, TheSameIntervalChangesNothing) {
  ElapsedClock clock;
  timer.SetInterval(400);
  Pump(250);
  timer.SetInterval(400);
  PumpUntil([&] { return ticks > 0; }, 2000);
  ASSERT_EQ(ticks, 1);
  EXPECT_LT(clock.elapsed(), 250 + 400 - 60);  // a restart would tick at 650 ms at the earliest
}

// A new positive value starts the period anew: no tick before a whole new period has passed.
TEST_F(TimerTest, ANewIntervalRestartsThePeriod) {
  ElapsedClock clock;
  timer.SetInterval(400);
  Pump(250);
  const long long changed_at = clock.elapsed();
  timer.SetInterval(450);
  EXPECT_EQ(ticks, 0);
  PumpUntil([&] { return ticks > 0; }, 3000);
  ASSERT_EQ(ticks, 1);
  EXPECT_GE(clock.elapsed() - changed_at, 450 - 5);  // the old period would have ended at 400
}

TEST_F(TimerTest, TickExceptionReachesTheErrorDisplayAndTheTimerGoesOn) {
  test::BoxCapture capture;
  Application.Title = "Kelvarin";
  timer.SetOnTimer([this](TComponent*) {
    ++ticks;
    throw EInOutError(5);
  });
  timer.SetInterval(15);
  PumpUntil([&] { return ticks >= 2; }, 2000);
  timer.SetInterval(0);
  ASSERT_GE(capture.boxes.size(), 2u);
  EXPECT_EQ(capture.boxes[0].Text, ProgramText("ファイルへのアクセスが拒否されました."));
  EXPECT_EQ(capture.boxes[0].Caption, "Kelvarin");
  Application.Title.clear();
}

TEST_F(TimerTest, RefusedTimerRaisesOutOfResourcesAndStaysStopped) {
  // Longer than the platform timer can count: it refuses it.
  try {
    timer.SetInterval(0x80000000u);
    FAIL() << "no exception";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), ProgramText("タイマーを取得できません"));
  }
  EXPECT_FALSE(timer.Armed());
  timer.SetInterval(20);
  EXPECT_TRUE(timer.Armed());
}

TEST(TimerOwnership, OwnerDestroysTheTimerAndItsTicksStop) {
  int ticks = 0;
  {
    TComponent owner(nullptr);
    auto* timer = new TTimer(&owner);
    timer->SetInterval(10);
    timer->SetOnTimer([&](TComponent*) { ++ticks; });
    EXPECT_EQ(owner.ComponentCount(), 1);
  }
  Pump(100);
  EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace kel
