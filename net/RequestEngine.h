#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <utility>

#include "net/LineSession.h"
#include "net/NetErrors.h"
#include "net/TcpSocket.h"
#include "platform/EventLoop.h"

namespace mf {

// Where a mail client is in carrying out a request.
enum class ClientState {
  Ready,
  DnsLookup,
  Connecting,
  Connected,
  InternalReady,  // between two steps of one request or chain
  WaitingBanner,
  WaitingResponse,
  Aborting,
};

// The number at the start of a reply line ("250-..." gives 250), and
// whether a "-" after it marks a continuation line.
int ParseReplyNumber(const std::string& line, bool& continuation);

// The request lifecycle both mail clients share: one request at a time,
// refused with `Misuse` while another runs; its completion posted once on
// the event loop, never inside the call that started it; chains of requests
// (Open, Mail) that run their steps one after another and complete once;
// abort and the inactivity time-out; the display of what is said.
// The client owns the protocol: it starts each request, judges its replies
// and calls Complete.
template <typename Request, typename Misuse>
class RequestEngine {
 public:
  // Where SMTP and POP3 chains part ways.
  struct ChainRules {
    // A later failing step (QUIT after a refused recipient) gives the chain
    // its error, not the first one.
    bool lastErrorCounts = false;
    // A step that refuses to start ends the chain without its QUIT.
    bool refusalEndsChain = false;
    // Put before the refusal's text in ErrorMessage.
    std::string refusalPrefix;
  };

  struct Hooks {
    std::function<void(Request type, std::uint16_t error)> completed;  // from the loop
    std::function<void(Request step)> runStep;
    // A failing step; true when the client found another way on (it may
    // replace the remaining steps), false for the common one: only QUIT
    // is still said.
    std::function<bool(Request step, int error)> stepFailed;
    std::function<void(const std::string& text)> display;
    std::function<void()> stateChanged;
    // The request is finishing: still inside, before the completion is posted.
    std::function<void()> finishing;
  };

  RequestEngine(platform::EventLoop& loop, LineSession& session, std::string protocol,
                std::string failurePrefix, Request quit, ChainRules rules)
      : loop_(loop),
        session_(session),
        protocol_(std::move(protocol)),
        failurePrefix_(std::move(failurePrefix)),
        quit_(quit),
        rules_(std::move(rules)) {}

  Hooks hooks;

  // What the last reply or failure left for the caller to read.
  std::string lastResponse;
  std::string errorMessage;
  int statusCode = 0;
  int result = 0;  // of the request in progress: 0, a reply code or an error number
  bool connected = false;

  ClientState State() const { return state_; }
  void SetState(ClientState state) {
    if (state_ == state) return;
    state_ = state;
    if (hooks.stateChanged) hooks.stateChanged();
  }

  bool Done() const { return done_; }
  bool Chaining() const { return chaining_; }
  Request Type() const { return type_; }

  void CheckReady() const {
    if (state_ != ClientState::Ready && state_ != ClientState::InternalReady) {
      throw Misuse(protocol_ + " component not ready");
    }
  }
  void CheckConnected() const {
    if (!connected) throw Misuse(protocol_ + " component not connected");
  }

  void Display(const std::string& text) const {
    if (hooks.display) hooks.display(text);
  }

  // Starts a request. A step within the request in progress (the next
  // recipient, the log-in after a greeting) or within a chain keeps the
  // type the caller will be told about.
  void Begin(Request type) {
    if (!chaining_ && done_) type_ = type;
    done_ = false;
    result = 0;
  }

  // "500 <text> (socket error #n)" or "-ERR ...": a failure of the network
  // or the connection's security, recorded as the request's outcome.
  std::string FailureResponse(int error) const { return NetErrorResponse(failurePrefix_, error); }
  void RecordFailure(int error, int resultValue) {
    lastResponse = FailureResponse(error);
    statusCode = 500;
    result = resultValue;
  }

  // Ends the request in progress once; inside a chain, the chain goes on.
  void Complete(int error) {
    if (done_) return;
    done_ = true;
    if (chaining_) {
      if (state_ != ClientState::Aborting) SetState(ClientState::InternalReady);
      StepDone(error);
      return;
    }
    Finish(type_, error);
  }

  // Ends the request in progress and any chain it is part of: nothing more
  // is said to a server that stopped answering or cannot be understood.
  void GiveUp(int error) {
    steps_.clear();
    givingUp_ = true;
    Complete(error);
    givingUp_ = false;
  }

  void StartChain(Request type, std::deque<Request> steps) {
    CheckReady();
    type_ = type;
    lastResponse.clear();
    errorMessage.clear();
    chaining_ = true;
    chainResult_ = 0;
    steps_ = std::move(steps);
    step_ = steps_.front();
    steps_.pop_front();
    try {
      if (hooks.runStep) hooks.runStep(step_);
    } catch (...) {
      // Misuse found by the first step is the caller's to see.
      chaining_ = false;
      steps_.clear();
      throw;
    }
  }

  // Another way on for a chain whose step failed (from Hooks::stepFailed).
  void ReplaceSteps(std::deque<Request> steps) { steps_ = std::move(steps); }

  // Runs the time-out again; `seconds` <= 0, or no request pending, stops it.
  void ArmTimeout(int seconds) {
    if (seconds <= 0 || done_) {
      session_.StopTimeout();
      return;
    }
    session_.ArmTimeout(seconds);
  }

  // The time-out of the pending request: 10060, shown as given.
  void TimedOut(const std::string& shownPrefix) {
    if (done_) return;
    RecordFailure(wsa::kTimedOut, wsa::kTimedOut);
    if (errorMessage.empty()) errorMessage = lastResponse;
    Display(shownPrefix + lastResponse);
    // Completing moves the state on: the lookup result is ignored from now on.
    const bool lookingUp = state_ == ClientState::DnsLookup;
    GiveUp(wsa::kTimedOut);
    if (lookingUp) {
      try {
        session_.CancelLookup();
      } catch (const ESocketException&) {
        // Nothing left to cancel.
      }
    }
    if (session_.Open()) session_.Abort();
  }

  // Drops the session at once; a pending request completes (10004, or 426
  // inside a chain).
  void Abort() {
    const bool lookingUp = state_ == ClientState::DnsLookup;
    SetState(ClientState::Aborting);
    if (lookingUp) {
      try {
        session_.CancelLookup();
      } catch (const ESocketException&) {
        // Nothing left to cancel.
      }
    }
    session_.Abort();
    connected = false;
    // A request caught before the socket was open has no close to end it.
    if (!done_) Complete(wsa::kInterrupted);
    session_.StopTimeout();
    SetState(ClientState::Ready);
  }

 private:
  void StepDone(int error) {
    if (state_ == ClientState::Aborting) {
      steps_.clear();
      chainResult_ = 426;
      errorMessage = "426 Operation aborted.";
    } else if (givingUp_) {
      RecordChainError(error);
    } else if (error != 0 && !(hooks.stepFailed && hooks.stepFailed(step_, error))) {
      RecordChainError(error);
      KeepOnlyQuit();
    }
    RunNextStep();
  }

  void RunNextStep() {
    while (!steps_.empty()) {
      step_ = steps_.front();
      steps_.pop_front();
      try {
        if (hooks.runStep) hooks.runStep(step_);
        return;  // the step's own completion carries the chain on
      } catch (const std::exception& refused) {
        // The chain runs from socket events: a step refusing to start ends
        // up in the completion instead of escaping into the socket.
        if (!rules_.refusalEndsChain && !dynamic_cast<const Misuse*>(&refused)) throw;
        if (errorMessage.empty()) errorMessage = rules_.refusalPrefix + refused.what();
        if (rules_.refusalEndsChain) {
          steps_.clear();
          chainResult_ = 500;
        } else {
          RecordChainError(500);
          KeepOnlyQuit();
        }
      }
    }
    chaining_ = false;
    done_ = true;
    Finish(type_, chainResult_);
  }

  void RecordChainError(int error) {
    if (rules_.lastErrorCounts || chainResult_ == 0) chainResult_ = error;
  }

  void KeepOnlyQuit() {
    bool quitPending = false;
    for (Request step : steps_) quitPending = quitPending || step == quit_;
    steps_.clear();
    if (quitPending && step_ != quit_) steps_.push_back(quit_);
  }

  void Finish(Request type, int error) {
    session_.StopTimeout();
    if (hooks.finishing) hooks.finishing();
    SetState(ClientState::Ready);
    // The caller's handler returns first, then the completion arrives.
    loop_.Post(guard_.Bind([this, type, error] {
      if (hooks.completed) hooks.completed(type, static_cast<std::uint16_t>(error));
    }));
  }

  platform::EventLoop& loop_;
  platform::LifetimeGuard guard_;
  LineSession& session_;
  const std::string protocol_;
  const std::string failurePrefix_;
  const Request quit_;
  const ChainRules rules_;

  ClientState state_ = ClientState::Ready;
  Request type_{};
  bool done_ = true;
  bool givingUp_ = false;

  bool chaining_ = false;
  std::deque<Request> steps_;
  Request step_{};
  int chainResult_ = 0;
};

}  // namespace mf
