#pragma once

#include <map>
#include <set>
#include <string>

namespace mf {

// The unique ids (POP3 UIDL) of the messages already in the inbox, kept per
// server and user in the program folder, so that mail left on the server is
// stored once. An id marked for deletion names a message that was stored
// before its DELE could take effect; the next run deletes it unfetched.
class UidlRecord {
 public:
  // The record of one account in `programFolder` (with its separator).
  static std::string PathFor(const std::string& programFolder, const std::string& server, const std::string& user);

  explicit UidlRecord(std::string path) : path_(std::move(path)) {}

  // A missing file is an empty record; false when it cannot be read.
  bool Load();
  // Rewrites the file atomically.
  bool Save() const;

  const std::string& Path() const { return path_; }
  bool Contains(const std::string& uidl) const { return ids_.count(uidl) != 0; }
  bool DeletePending(const std::string& uidl) const;
  void Add(const std::string& uidl, bool deleteOnServer);
  // Forgets every id the server no longer lists.
  void RetainOnly(const std::set<std::string>& listed);
  std::size_t Size() const { return ids_.size(); }

 private:
  std::string path_;
  std::map<std::string, bool> ids_;  // id -> deletion pending
};

}  // namespace mf
