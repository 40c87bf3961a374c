#pragma once

// Real mail servers for tests: a private Postfix (SMTP) delivering into
// maildirs that a private Dovecot serves over POP3, both on the loopback and
// living entirely inside one folder (see tests/servers/mailservers).
//
//   auto servers = mf::test::MailServers::Start(folder);
//   if (!servers.Running()) GTEST_SKIP() << servers.WhyNot();
//
// Starting them takes seconds: the tests of one program share one pair
// (SharedMailServers), each test beginning with empty mailboxes.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "platform/Files.h"

namespace mf::test {

class MailServers {
 public:
  static constexpr const char* kDomain = "mfmail.test";
  static constexpr const char* kPassword = "secret";

  // Starts both servers in `folder`, whose parent must be the test's own
  // folder: it is opened for traversal (o+x) so that the mail users reach
  // the maildirs. When they cannot run here (not root,
  // binaries missing) Running() is false and WhyNot() says why; a start that
  // fails although they could run sets Failed() too, which a test should
  // treat as an error, not a skip.
  // Where they listen: 127.0.0.1, ::1, or both.
  enum class Listen { Ipv4, Ipv6, Both };

  static MailServers Start(const std::string& folder, Listen listen = Listen::Ipv4) {
    MailServers servers;
    servers.folder_ = folder;
    for (const char* binary : {"/usr/sbin/postfix", "/usr/sbin/dovecot", "/usr/lib/postfix/sbin/master"}) {
      if (::access(binary, X_OK) != 0) {
        servers.whyNot_ = std::string(binary) + " is not installed (scripts/test installs postfix and dovecot-pop3d)";
        return servers;
      }
    }
    if (::geteuid() != 0) {
      servers.whyNot_ = "Postfix and Dovecot need root to start their private instances";
      return servers;
    }
    const std::string parent = folder.substr(0, folder.find_last_of('/'));
    if (!parent.empty()) ::chmod(parent.c_str(), 0711);
    const char* where = listen == Listen::Ipv6 ? "ipv6" : listen == Listen::Both ? "both" : "ipv4";
    const std::string command = std::string("LISTEN=") + where + " " + ScriptCommand("start", folder, "2>&1");
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
      servers.whyNot_ = "cannot run " + Script();
      servers.failed_ = true;
      return servers;
    }
    std::string output;
    char chunk[512];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, count);
    const int status = ::pclose(pipe);
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
      const auto equals = line.find('=');
      if (equals != std::string::npos) servers.values_[line.substr(0, equals)] = line.substr(equals + 1);
    }
    servers.smtpPort_ = std::atoi(servers.values_["SMTP_PORT"].c_str());
    servers.pop3Port_ = std::atoi(servers.values_["POP3_PORT"].c_str());
    servers.pop3sPort_ = std::atoi(servers.values_["POP3S_PORT"].c_str());
    servers.submissionPort_ = std::atoi(servers.values_["SUBMISSION_PORT"].c_str());
    servers.smtpsPort_ = std::atoi(servers.values_["SMTPS_PORT"].c_str());
    servers.authPort_ = std::atoi(servers.values_["AUTH_PORT"].c_str());
    if (status != 0 || servers.smtpPort_ == 0 || servers.pop3Port_ == 0) {
      servers.whyNot_ = "mailservers start failed: " + output;
      servers.failed_ = true;
      servers.Stop();
      return servers;
    }
    servers.running_ = true;
    return servers;
  }

  MailServers(MailServers&& other) noexcept { *this = std::move(other); }
  MailServers& operator=(MailServers&& other) noexcept {
    folder_ = std::move(other.folder_);
    whyNot_ = std::move(other.whyNot_);
    values_ = std::move(other.values_);
    smtpPort_ = other.smtpPort_;
    pop3Port_ = other.pop3Port_;
    pop3sPort_ = other.pop3sPort_;
    submissionPort_ = other.submissionPort_;
    smtpsPort_ = other.smtpsPort_;
    authPort_ = other.authPort_;
    running_ = other.running_;
    failed_ = other.failed_;
    other.running_ = false;
    return *this;
  }
  ~MailServers() {
    if (running_) Stop();
  }

  bool Running() const { return running_; }
  bool Failed() const { return failed_; }
  const std::string& WhyNot() const { return whyNot_; }
  int SmtpPort() const { return smtpPort_; }
  int Pop3Port() const { return pop3Port_; }
  // POP3 over TLS from the first byte; STLS is offered on Pop3Port().
  int Pop3sPort() const { return pop3sPort_; }
  // SMTP with STARTTLS and a required log-in, and the same over implicit TLS.
  int SubmissionPort() const { return submissionPort_; }
  int SmtpsPort() const { return smtpsPort_; }
  // SMTP requiring a log-in over plain text, for tests that watch the AUTH exchange.
  int AuthPort() const { return authPort_; }
  // The certificate of the authority that signed the servers' certificate.
  std::string AuthorityFile() const {
    auto found = values_.find("TLS_CA");
    return found == values_.end() ? std::string() : found->second;
  }
  // Where the maildir of `user` ("alice", "bob") lies.
  std::string Maildir(const std::string& user) const { return folder_ + "/maildirs/" + user + "/Maildir"; }
  static std::string Address(const std::string& user) { return user + "@" + kDomain; }

  // The messages in the maildir of `user`, read or not.
  std::size_t MessageCount(const std::string& user) const {
    std::size_t count = 0;
    for (const char* box : {"/new", "/cur"}) {
      count += platform::ListFolder(Maildir(user) + box, "*", platform::ListKind::FilesOnly).size();
    }
    return count;
  }

  // Subject -> copies among the messages delivered to `user` and not yet read.
  std::map<std::string, int> NewSubjects(const std::string& user) const {
    const std::string folder = Maildir(user) + "/new/";
    std::map<std::string, int> subjects;
    for (const std::string& name : platform::ListFolder(folder, "*", platform::ListKind::FilesOnly)) {
      const std::string text = platform::ReadFile(folder + name).value_or("");
      const std::size_t at = text.find("Subject: ");
      if (at == std::string::npos) continue;
      std::string subject = text.substr(at + 9, text.find('\n', at) - at - 9);
      if (!subject.empty() && subject.back() == '\r') subject.pop_back();
      ++subjects[subject];
    }
    return subjects;
  }

  // Empty mailboxes, once what an earlier test sent has been delivered (so
  // that it cannot arrive in a later test's mailbox).
  void EmptyMailboxes() const {
    namespace fs = std::filesystem;
    std::error_code ignored;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto queued = [&] {
      for (const char* queue : {"incoming", "active", "deferred", "maildrop"}) {
        for (auto it = fs::recursive_directory_iterator(folder_ + "/postfix/queue/" + queue, ignored);
             it != fs::recursive_directory_iterator(); it.increment(ignored)) {
          if (it->is_regular_file(ignored)) return true;
        }
      }
      return false;
    };
    while (queued() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (const char* user : {"alice", "bob"}) {
      for (const char* box : {"/new", "/cur", "/tmp"}) {
        for (const auto& entry : fs::directory_iterator(Maildir(user) + box, ignored)) fs::remove(entry.path(), ignored);
      }
    }
  }

  void Stop() {
    const std::string command = ScriptCommand("stop", folder_, ">/dev/null 2>&1");
    [[maybe_unused]] const int ignored = std::system(command.c_str());
    running_ = false;
  }

 private:
  MailServers() = default;

  // Appended piece by piece: GCC 12 takes "'" + std::string&& for an
  // overlapping copy and warns.
  static std::string ScriptCommand(const char* verb, const std::string& folder, const char* redirection) {
    std::string command = "'";
    command += Script();
    command += "' ";
    command += verb;
    command += " '";
    command += folder;
    command += "' ";
    command += redirection;
    return command;
  }

  static std::string Script() {
    const char* source = std::getenv("MFMAIL_SOURCE_DIR");
#ifdef MFMAIL_SOURCE_DIR_DEFAULT
    if (source == nullptr) source = MFMAIL_SOURCE_DIR_DEFAULT;
#endif
    return std::string(source != nullptr ? source : ".") + "/tests/servers/mailservers";
  }

  std::string folder_;
  std::string whyNot_;
  std::map<std::string, std::string> values_;
  int smtpPort_ = 0;
  int pop3Port_ = 0;
  int pop3sPort_ = 0;
  int submissionPort_ = 0;
  int smtpsPort_ = 0;
  int authPort_ = 0;
  bool running_ = false;
  bool failed_ = false;
};

// The servers of this test program: started by the first test that asks,
// stopped when the program ends. Each call empties the mailboxes first.
inline MailServers& SharedMailServers() {
  struct Shared {
    platform::TemporaryFolder folder;
    MailServers servers = MailServers::Start(folder.Path() + "servers");
  };
  static Shared shared;
  if (shared.servers.Running()) shared.servers.EmptyMailboxes();
  return shared.servers;
}

}  // namespace mf::test
