// Both clients run over an in-process transport, without a socket: the
// peer answers each command the client writes, in the same loop.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "platform/PollEventLoop.h"
#include "tests/net/support/PipeTransport.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::PipeTransport;
using test::ScriptedPipePeer;

TEST(ClientsOverPipeTest, Pop3RetrievesAMessageWithALongLine) {
  platform::PollEventLoop loop;
  ScriptedPipePeer server(loop);
  for (const char* reply : {"+OK ready\r\n", "+OK\r\n", "+OK\r\n"}) server.Say(reply).ExpectLine();
  server.Say("+OK\r\n..dot\r\n" + std::string(5000, 'x') + "\r\n.\r\n").ExpectLine();
  server.Say("+OK bye\r\n").CloseConnection();
  Pop3Client client(loop, std::make_unique<PipeTransport>(loop, server.peer));
  client.SetHost("pop.example.jp");
  client.SetUserName("alice");
  client.SetPassWord("secret");
  client.SetMsgNum(1);
  std::vector<std::string> lines;
  std::vector<std::pair<Pop3Request, int>> done;
  client.OnMessageLine = [&](Pop3Client& c) { lines.push_back(c.LastResponse()); };
  client.OnRequestDone = [&](Pop3Client& c, Pop3Request type, std::uint16_t error) {
    done.emplace_back(type, error);
    if (error != 0) return;
    if (type == Pop3Request::Open) c.Retr();
    if (type == Pop3Request::Retr) c.Quit();
  };
  client.Open();
  ASSERT_TRUE(loop.RunUntil([&] { return !done.empty() && done.back().first == Pop3Request::Quit; }, 5s));
  EXPECT_EQ(done, (std::vector<std::pair<Pop3Request, int>>{
                      {Pop3Request::Open, 0}, {Pop3Request::Retr, 0}, {Pop3Request::Quit, 0}}));
  EXPECT_EQ(lines, (std::vector<std::string>{".dot", std::string(4093, 'x'), std::string(907, 'x')}));
  EXPECT_EQ(server.ReceivedLines(), (std::vector<std::string>{"USER alice", "PASS secret", "RETR 1", "QUIT"}));
}

TEST(ClientsOverPipeTest, SmtpSendsAMailInBatchesWithDotStuffing) {
  platform::PollEventLoop loop;
  ScriptedPipePeer server(loop);
  for (const char* reply : {"220 ready\r\n", "250 hi\r\n", "250 ok\r\n", "250 ok\r\n"}) {
    server.Say(reply).ExpectLine();
  }
  server.Say("354 go\r\n").ExpectThrough("\r\n.\r\n").Say("250 queued\r\n").ExpectLine();
  server.Say("221 bye\r\n").CloseConnection();
  SmtpClient client(loop, std::make_unique<PipeTransport>(loop, server.peer));
  client.Host = "smtp.example.jp";
  client.SignOn = "client.test";
  client.EnvelopeFrom = "a@example.jp";
  client.EnvelopeTo = {"b@example.jp"};
  // More lines than one batch holds, one of them a lone dot.
  client.Message = [lineNum = 0](std::string& line) mutable {
    ++lineNum;
    line = lineNum == 1000 ? "." : std::string(40, 'b');
    return lineNum <= 2000;
  };
  std::vector<std::pair<SmtpRequest, int>> done;
  client.OnRequestDone = [&](SmtpClient& c, SmtpRequest type, std::uint16_t error) {
    done.emplace_back(type, error);
    if (error != 0) return;
    if (type == SmtpRequest::Connect) c.Helo();
    if (type == SmtpRequest::Helo) c.Mail();
    if (type == SmtpRequest::Mail) c.Quit();
  };
  client.Connect();
  ASSERT_TRUE(loop.RunUntil([&] { return !done.empty() && done.back().first == SmtpRequest::Quit; }, 5s));
  EXPECT_EQ(done, (std::vector<std::pair<SmtpRequest, int>>{
                      {SmtpRequest::Connect, 0},
                      {SmtpRequest::Helo, 0},
                      {SmtpRequest::Mail, 0},
                      {SmtpRequest::Quit, 0}}));
  const std::string& written = server.Received();
  const std::size_t data = written.find("DATA\r\n") + 6;
  const std::size_t end = written.find("\r\n.\r\n", data);
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(end + 5, written.find("QUIT\r\n"));
  EXPECT_EQ(end - data + 2, 1999 * 42 + 4) << "every line once, the lone dot doubled";
  EXPECT_NE(written.find("\r\n..\r\n", data), std::string::npos);
}

}  // namespace
}  // namespace mf
