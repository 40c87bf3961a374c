#pragma once

// Drives a mail client through a fixed list of requests against the test
// servers, the way a program would from its completion handler.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/PollEventLoop.h"

namespace mf::test {

// Runs requests one after another, each started when the previous one
// completed without error; returns the failing request's text, or "".
template <typename RequestType, typename Client>
std::string RunChain(platform::PollEventLoop& loop, Client& client, std::vector<std::function<void()>> steps,
                     std::chrono::milliseconds wait = std::chrono::seconds(20)) {
  std::size_t next = 0;
  std::string failure;
  bool finished = false;
  // A step whose check failed starts no request: the chain ends there, not
  // at the end of the wait.
  const auto runStep = [&] {
    steps[next++]();
    if (::testing::Test::HasFatalFailure()) {
      failure = "a step's check failed";
      finished = true;
    }
  };
  client.OnRequestDone = [&](auto&, RequestType type, std::uint16_t error) {
    if (error != 0) {
      failure = "request " + std::to_string(static_cast<int>(type)) + " failed with " + std::to_string(error) + ": " +
                client.LastResponse() + " / " + client.ErrorMessage();
      finished = true;
    } else if (next < steps.size()) {
      runStep();
    } else {
      finished = true;
    }
  };
  runStep();
  if (!loop.RunUntil([&] { return finished; }, wait)) failure = "no completion";
  client.OnRequestDone = nullptr;
  return failure;
}

}  // namespace mf::test
