#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mf {

// A stored mail (header block and text, as the store reads it, of any
// folder) as a standard RFC 5322 message, the form other mail programs open
// as a ".eml" file and "インポート" reads back into the same mail.
//
// Header fields, when the record has them: Date, From, To, Cc, Subject,
// Message-ID, In-Reply-To, References, X-Mailer ("MofutanMail" for the
// program's own mail, whose records keep none) and, for mail of this
// program, X-CharacterID (the record's character). Names are written as on the wire: quoted where they
// need it, encoded words for Japanese. The text is ISO-2022-JP when every
// character of it is in JIS X 0208 (what the charset holds), otherwise
// UTF-8; base64 when a line would pass 998 bytes. The attachments the
// record names follow as base64 parts of a multipart/mixed message, their
// names in RFC 2231 form (UTF-8) and, for older readers, as encoded words.
struct MessageFile {
  std::string bytes;
  // Attachments named in the record that could not be read; the message
  // goes without them.
  std::vector<std::string> missingFiles;
};

MessageFile StoredMailAsMessage(std::string_view stored);

// True when every character of a Shift_JIS text can be written in
// ISO-2022-JP as RFC 1468 has it: ASCII without the escape and shift bytes,
// and JIS X 0208 (no half-width katakana, no NEC or IBM extensions, no
// user-defined characters).
bool FitsIso2022Jp(std::string_view sjis);

}  // namespace mf
