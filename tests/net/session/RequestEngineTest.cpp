// The request lifecycle under both mail clients, without a server: how a
// chain of steps ends under each client's rules, what abort and refusal
// leave for the caller, and the reply number at the start of a line.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/RequestEngine.h"
#include "platform/PollEventLoop.h"
#include "tests/net/support/PipeTransport.h"

namespace mf {
namespace {

enum class Step { Open, Connect, Greet, LogIn, Quit };

struct Refused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

using Engine = RequestEngine<Step, Refused>;

// A connection nobody answers on: the engine only stops its time-out.
std::unique_ptr<Transport> NewPipe(platform::EventLoop& loop) {
  return std::make_unique<test::PipeTransport>(loop, std::make_shared<test::PipeTransport::Peer>());
}

// What each step does when run: complete at once with a number, or refuse.
struct Script {
  std::vector<std::pair<Step, int>> outcomes;  // -1: refuses to start
};

struct ChainCase {
  const char* name;
  Engine::ChainRules rules;
  std::deque<Step> steps;
  Script script;
  std::vector<Step> expectedRun;
  int expectedError;
  std::string expectedMessage;
};

class RequestEngineTest : public ::testing::TestWithParam<ChainCase> {
 protected:
  std::unique_ptr<Engine> Make(const Engine::ChainRules& rules) {
    auto engine = std::make_unique<Engine>(loop_, session_, "TEST", "500 ", Step::Quit, rules);
    engine->hooks.completed = [this](Step type, std::uint16_t error) { done_.push_back({type, error}); };
    return engine;
  }

  platform::PollEventLoop loop_;
  LineSession session_{loop_, NewPipe(loop_)};
  std::vector<std::pair<Step, int>> done_;
};

TEST_P(RequestEngineTest, ChainEndsUnderItsRules) {
  const ChainCase& c = GetParam();
  auto engine = Make(c.rules);
  std::vector<Step> run;
  std::size_t next = 0;
  engine->hooks.runStep = [&](Step step) {
    run.push_back(step);
    const int outcome = next < c.script.outcomes.size() ? c.script.outcomes[next++].second : 0;
    if (outcome < 0) throw Refused("not now");
    engine->Begin(step);
    engine->Complete(outcome);
  };
  engine->StartChain(Step::Open, c.steps);
  EXPECT_TRUE(done_.empty()) << "never inside the call";
  loop_.RunUntilIdle();
  EXPECT_EQ(run, c.expectedRun);
  ASSERT_EQ(done_.size(), 1u);
  EXPECT_EQ(done_[0].first, Step::Open);
  EXPECT_EQ(done_[0].second, c.expectedError);
  EXPECT_EQ(engine->errorMessage, c.expectedMessage);
  EXPECT_EQ(engine->State(), ClientState::Ready);
}

const Engine::ChainRules kPop3Rules{};
const Engine::ChainRules kSmtpRules{true, true, "500 "};

INSTANTIATE_TEST_SUITE_P(
    Chains, RequestEngineTest,
    ::testing::Values(
        ChainCase{"AllSucceed", kPop3Rules, {Step::Connect, Step::Greet, Step::LogIn}, {},
                  {Step::Connect, Step::Greet, Step::LogIn}, 0, ""},
        // A failure skips to QUIT; the first failure is the chain's.
        ChainCase{"FirstErrorCounts", kPop3Rules, {Step::Connect, Step::Greet, Step::LogIn, Step::Quit},
                  {{{Step::Connect, 0}, {Step::Greet, 550}, {Step::Quit, 421}}},
                  {Step::Connect, Step::Greet, Step::Quit}, 550, ""},
        ChainCase{"LastErrorCounts", kSmtpRules, {Step::Connect, Step::Greet, Step::LogIn, Step::Quit},
                  {{{Step::Connect, 0}, {Step::Greet, 550}, {Step::Quit, 421}}},
                  {Step::Connect, Step::Greet, Step::Quit}, 421, ""},
        // A refusal is a failure of 500 with the refusal's text; SMTP's ends
        // the chain there, QUIT and all.
        ChainCase{"RefusalKeepsQuit", kPop3Rules, {Step::Connect, Step::LogIn, Step::Quit},
                  {{{Step::Connect, 0}, {Step::LogIn, -1}}}, {Step::Connect, Step::LogIn, Step::Quit}, 500,
                  "not now"},
        ChainCase{"RefusalEndsChain", kSmtpRules, {Step::Connect, Step::LogIn, Step::Quit},
                  {{{Step::Connect, 0}, {Step::LogIn, -1}}}, {Step::Connect, Step::LogIn}, 500, "500 not now"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RequestEngine, AbortInsideChainReports426AndStopsIt) {
  platform::PollEventLoop loop;
  LineSession session(loop, NewPipe(loop));
  Engine engine(loop, session, "TEST", "500 ", Step::Quit, {});
  std::vector<std::pair<Step, int>> done;
  std::vector<Step> run;
  engine.hooks.completed = [&](Step type, std::uint16_t error) { done.push_back({type, error}); };
  engine.hooks.runStep = [&](Step step) {
    run.push_back(step);
    engine.Begin(step);
    engine.SetState(ClientState::WaitingResponse);  // for a reply that never comes
  };
  engine.StartChain(Step::Open, {Step::Connect, Step::Greet, Step::Quit});
  EXPECT_THROW(engine.CheckReady(), Refused);
  engine.Abort();
  loop.RunUntilIdle();
  EXPECT_EQ(run, std::vector<Step>{Step::Connect});
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].second, 426);
  EXPECT_EQ(engine.errorMessage, "426 Operation aborted.");
  EXPECT_NO_THROW(engine.CheckReady());
}

TEST(RequestEngine, StepFailedHookFindsAnotherWay) {
  platform::PollEventLoop loop;
  LineSession session(loop, NewPipe(loop));
  Engine engine(loop, session, "TEST", "500 ", Step::Quit, {});
  std::vector<Step> run;
  int error = -1;
  engine.hooks.completed = [&](Step, std::uint16_t e) { error = e; };
  engine.hooks.runStep = [&](Step step) {
    run.push_back(step);
    engine.Begin(step);
    engine.Complete(step == Step::LogIn ? 502 : 0);
  };
  engine.hooks.stepFailed = [&](Step step, int) {
    if (step != Step::LogIn) return false;
    engine.ReplaceSteps({Step::Greet});
    return true;
  };
  engine.StartChain(Step::Open, {Step::Connect, Step::LogIn, Step::Quit});
  loop.RunUntilIdle();
  EXPECT_EQ(run, (std::vector<Step>{Step::Connect, Step::LogIn, Step::Greet}));
  EXPECT_EQ(error, 0);
}

TEST(RequestEngine, ReplyNumber) {
  struct Case {
    const char* line;
    int number;
    bool continuation;
  };
  const Case cases[] = {
      {"250 OK", 250, false},         {"250-PIPELINING", 250, true}, {"  354 go ahead", 354, false},
      {"", 0, false},                 {"abc", 0, false},             {"-12 odd", -12, false},
      {"99999999999 big", 999999, false},
  };
  for (const Case& c : cases) {
    bool continuation = !c.continuation;
    EXPECT_EQ(ParseReplyNumber(c.line, continuation), c.number) << c.line;
    EXPECT_EQ(continuation, c.continuation) << c.line;
  }
}

}  // namespace
}  // namespace mf
