#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mf {

// What an answer takes from a stored inbox mail.
struct StoredMailValues {
  std::string sender;
  std::string subject;
  std::string messageId;
  std::string inReplyTo;
  std::string references;
  std::string characterId;
  std::vector<std::string> attachmentFiles;  // full paths, package included
  std::string quotedText;                    // "> " + line + CR LF for every line
  std::size_t quotedLines = 0;
  // The Message-ID followed by ", " and the mail's own References, or the
  // Message-ID alone; the answer's References and the key by which the
  // carrying character is found.
  std::string combinedReferences;
};

StoredMailValues ParseStoredMail(std::string_view storedText);

// The fields an opener puts into the composition window.
struct ComposeFill {
  std::string to;
  std::string subject;
  std::string caption;  // the window's caption
  std::string body;     // CR LF line ends
  std::string inReplyTo;
  std::string references;
};

// "Re: " in front, unless the subject already starts with "Re:" in any case:
// answering an answer does not grow the subject.
std::string ReplySubject(std::string_view subject);

// An answer to the sender: the subject above, the sender's mailboxes as a
// recipient text, the sender as shown + "へのお返事", an empty line, then
// the quoted text.
ComposeFill MakeReply(const StoredMailValues& mail);
// A forward: "Fwd: " + subject, no recipient, the sender as shown + "からのメール".
ComposeFill MakeForward(const StoredMailValues& mail);

}  // namespace mf
