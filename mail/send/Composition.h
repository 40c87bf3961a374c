#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace mf {

// One mail as the user wrote it in the composition window, or as a tool
// hands it over. Every text is the program's own Shift_JIS.
struct Composition {
  std::string to;          // recipients as typed: "name <address>, address"
  std::string cc;          // same form; empty without copies
  std::string subject;
  std::string body;        // as typed; lines end in CR LF (LF and CR are read too)
  std::string inReplyTo;   // of a reply, else empty
  std::string references;  // of a reply, else empty
  // Full paths of the attached files in the order they were added; the
  // character's package is not among them.
  std::vector<std::string> attachments;
  // The carrying character's package file and id; both empty for a mail
  // that no character carries.
  std::string packagePath;
  std::string characterId;
  // The mail answers inbox record `replyIndex`, which is marked "返信"
  // once the mail is sent or queued.
  bool replyMode = false;
  std::size_t replyIndex = 0;
  // The mail re-edits a mail of the outbox; the mail list window removes
  // that one after the new one is sent or queued.
  bool reEditMode = false;
};

// The files a mail goes out with: the attachments, then the package.
std::vector<std::string> OutgoingFiles(const Composition& mail);

}  // namespace mf
