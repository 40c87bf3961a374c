#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/PollEventLoop.h"

namespace mf::platform {
namespace {

using namespace std::chrono_literals;

TEST(PollEventLoop, APostedCallNeverRunsInsideThePostingCall) {
  PollEventLoop loop;
  std::vector<std::string> order;
  loop.Post([&] {
    order.push_back("first");
    loop.Post([&] { order.push_back("nested"); });
    order.push_back("first done");
  });
  loop.Post([&] { order.push_back("second"); });
  EXPECT_TRUE(order.empty());
  loop.RunUntilIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"first", "first done", "second", "nested"}));
}

TEST(PollEventLoop, SingleShotAndRepeatingTimers) {
  PollEventLoop loop;
  int once = 0, repeated = 0;
  Timer single(loop), repeating(loop);
  single.Start(10ms, EventLoop::Repeat::Once, [&] { ++once; });
  repeating.Start(5ms, EventLoop::Repeat::Repeating, [&] { ++repeated; });
  EXPECT_TRUE(single.IsActive());
  loop.RunFor(80ms);
  EXPECT_EQ(once, 1);
  EXPECT_FALSE(single.IsActive());
  EXPECT_GE(repeated, 3);
  repeating.Stop();
  int stoppedAt = repeated;
  loop.RunFor(30ms);
  EXPECT_EQ(repeated, stoppedAt);
}

TEST(PollEventLoop, ATimerMayStopOrRestartItselfFromItsCallback) {
  PollEventLoop loop;
  Timer timer(loop);
  int fired = 0;
  std::function<void()> callback = [&] {
    if (++fired < 3) timer.Start(1ms, EventLoop::Repeat::Once, callback);
  };
  timer.Start(1ms, EventLoop::Repeat::Once, callback);
  EXPECT_TRUE(loop.RunUntil([&] { return fired == 3; }, 1s));
  loop.RunFor(20ms);
  EXPECT_EQ(fired, 3);

  Timer repeating(loop);
  int ticks = 0;
  repeating.Start(1ms, EventLoop::Repeat::Repeating, [&] {
    if (++ticks == 2) repeating.Stop();
  });
  loop.RunFor(30ms);
  EXPECT_EQ(ticks, 2);
}

TEST(PollEventLoop, DestroyedTimerNeverFires) {
  PollEventLoop loop;
  bool fired = false;
  {
    Timer timer(loop);
    timer.Start(1ms, EventLoop::Repeat::Once, [&] { fired = true; });
  }
  loop.RunFor(20ms);
  EXPECT_FALSE(fired);
}

TEST(PollEventLoop, ReadinessOfADescriptor) {
  PollEventLoop loop;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string got;
  FdWatch watch(loop);
  watch.Start(fds[0], EventLoop::Readiness::Read, [&] {
    char buffer[16];
    auto n = read(fds[0], buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
  });
  loop.RunUntilIdle();
  EXPECT_TRUE(got.empty());
  ASSERT_EQ(write(fds[1], "hi", 2), 2);
  EXPECT_TRUE(loop.RunUntil([&] { return got == "hi"; }, 1s));
  watch.Stop();
  close(fds[0]);
  close(fds[1]);
}

TEST(PollEventLoop, BackgroundJobResultArrivesOnTheLoopThread) {
  PollEventLoop loop;
  std::thread::id loopThread = std::this_thread::get_id();
  std::thread::id jobThread, resultThread;
  bool done = false;
  loop.RunInBackground([&]() -> EventLoop::Callback {
    jobThread = std::this_thread::get_id();
    return [&] {
      resultThread = std::this_thread::get_id();
      done = true;
    };
  });
  EXPECT_TRUE(loop.RunUntil([&] { return done; }, 2s));
  EXPECT_NE(jobThread, loopThread);
  EXPECT_EQ(resultThread, loopThread);
}

TEST(PollEventLoop, BackgroundResultAfterTheLoopIsGoneIsDropped) {
  std::atomic<bool> release{false}, finished{false};
  {
    PollEventLoop loop;
    loop.RunInBackground([&]() -> EventLoop::Callback {
      while (!release) std::this_thread::sleep_for(1ms);
      finished = true;
      return [] { FAIL() << "ran after the loop was destroyed"; };
    });
  }
  release = true;
  while (!finished) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(5ms);
}

TEST(LifetimeGuard, CallbacksOfADeadOwnerDoNothing) {
  PollEventLoop loop;
  int calls = 0;
  {
    LifetimeGuard guard;
    loop.Post(guard.Bind([&] { ++calls; }));
  }
  LifetimeGuard alive;
  loop.Post(alive.Bind([&] { ++calls; }));
  loop.RunUntilIdle();
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace mf::platform
