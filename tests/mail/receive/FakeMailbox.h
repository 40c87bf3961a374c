#pragma once

// A POP3 mailbox played by the scripted server: it answers USER, PASS,
// STAT, UIDL, RETR, DELE, QUIT and, when asked to, CAPA from its messages, commits deletions only
// on QUIT (RFC 1939 section 6) and keeps every command it was sent. One
// ScriptedServer serves one session; the mailbox outlives them. Tests read
// it only after ScriptedServer::Finish, when no session runs.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/net/support/ScriptedServer.h"

namespace mf::testing {

struct FakeMailbox {
  struct Message {
    std::string uidl;
    std::string text;  // with CR LF line ends
  };
  std::vector<Message> messages;
  bool supportsUidl = true;
  bool pipelining = false;  // CAPA announces PIPELINING (RFC 2449)
  std::string password = "secret";
  std::vector<std::string> commands;  // of every session, PASS included
  int sessions = 0;

  void Add(std::string uidl, std::string text) { messages.push_back({std::move(uidl), std::move(text)}); }

  // Scripts one session on `server`.
  void Serve(test::ScriptedServer& server) {
    server.Do([this](test::ScriptedServer::Peer& peer) { Session(peer); });
  }

 private:
  void Session(test::ScriptedServer::Peer& peer) {
    ++sessions;
    std::set<std::size_t> deleted;
    bool loggedIn = false;
    peer.Send("+OK fake mailbox ready\r\n");
    while (auto line = peer.ReadLine()) {
      commands.push_back(*line);
      const std::string word = line->substr(0, line->find(' '));
      const std::string argument = line->find(' ') == std::string::npos ? "" : line->substr(line->find(' ') + 1);
      const std::size_t n = static_cast<std::size_t>(std::atoi(argument.c_str()));
      const bool valid = n >= 1 && n <= messages.size() && deleted.count(n) == 0;
      if (word == "USER") {
        peer.Send("+OK\r\n");
      } else if (word == "PASS") {
        loggedIn = argument == password;
        peer.Send(loggedIn ? "+OK logged in\r\n" : "-ERR [AUTH] Authentication failed.\r\n");
      } else if (word == "CAPA" && pipelining) {
        peer.Send("+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n");
      } else if (!loggedIn && word != "QUIT") {
        peer.Send("-ERR not logged in\r\n");
      } else if (word == "STAT") {
        std::size_t size = 0;
        for (const auto& message : messages) size += message.text.size();
        peer.Send("+OK " + std::to_string(messages.size() - deleted.size()) + " " + std::to_string(size) + "\r\n");
      } else if (word == "UIDL" && supportsUidl) {
        std::string reply = "+OK\r\n";
        for (std::size_t i = 1; i <= messages.size(); ++i) {
          if (deleted.count(i) == 0) reply += std::to_string(i) + " " + messages[i - 1].uidl + "\r\n";
        }
        peer.Send(reply + ".\r\n");
      } else if (word == "RETR" && valid) {
        std::string reply = "+OK message follows\r\n";
        const std::string& text = messages[n - 1].text;
        std::size_t start = 0;
        while (start < text.size()) {
          std::size_t end = text.find("\r\n", start);
          if (end == std::string::npos) end = text.size();
          std::string body = text.substr(start, end - start);
          if (!body.empty() && body[0] == '.') reply += '.';
          reply += body + "\r\n";
          start = end + 2;
        }
        peer.Send(reply + ".\r\n");
      } else if (word == "DELE" && valid) {
        deleted.insert(n);
        peer.Send("+OK deleted\r\n");
      } else if (word == "QUIT") {
        std::vector<Message> kept;
        for (std::size_t i = 1; i <= messages.size(); ++i) {
          if (deleted.count(i) == 0) kept.push_back(messages[i - 1]);
        }
        messages = std::move(kept);
        peer.Send("+OK bye\r\n");
        peer.Close();
        return;
      } else {
        peer.Send("-ERR unknown command\r\n");
      }
    }
    // The client went away without QUIT: its deletions are void.
  }

};

}  // namespace mf::testing
