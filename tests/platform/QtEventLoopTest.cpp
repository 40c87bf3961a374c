#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <unistd.h>

#include "platform/qt/QtEventLoop.h"

namespace mf::platform {
namespace {

using namespace std::chrono_literals;

bool ProcessUntil(const std::function<bool()>& done, int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < milliseconds) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

class QtEventLoopTest : public ::testing::Test {
 protected:
  QtEventLoop loop;
};

TEST_F(QtEventLoopTest, PostedCallsRunLaterInOrder) {
  std::vector<int> order;
  loop.Post([&] {
    order.push_back(1);
    loop.Post([&] { order.push_back(3); });
  });
  loop.Post([&] { order.push_back(2); });
  EXPECT_TRUE(order.empty());
  EXPECT_TRUE(ProcessUntil([&] { return order.size() == 3; }, 1000));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(QtEventLoopTest, TimersWatchesAndBackgroundJobs) {
  int once = 0;
  Timer single(loop);
  single.Start(5ms, EventLoop::Repeat::Once, [&] { ++once; });
  EXPECT_TRUE(ProcessUntil([&] { return once == 1; }, 1000));
  EXPECT_FALSE(single.IsActive());

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  bool readable = false;
  FdWatch watch(loop);
  watch.Start(fds[0], EventLoop::Readiness::Read, [&] {
    char c;
    readable = read(fds[0], &c, 1) == 1;
  });
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  EXPECT_TRUE(ProcessUntil([&] { return readable; }, 1000));
  watch.Stop();
  close(fds[0]);
  close(fds[1]);

  bool done = false;
  loop.RunInBackground([&]() -> EventLoop::Callback { return [&] { done = true; }; });
  EXPECT_TRUE(ProcessUntil([&] { return done; }, 2000));
}

}  // namespace
}  // namespace mf::platform
