#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mail/store/MailFolders.h"

namespace mf {

// The commands of the mail list's pop-up menu that a single selected mail
// of a folder allows.
struct MailCommands {
  bool reply = false;
  bool forward = false;
  bool reEdit = false;
  bool deleteMail = false;
  bool joinAddressBook = false;
  bool operator==(const MailCommands&) const = default;
};
MailCommands CommandsFor(FolderKind folder);

// The caption of the list's second column (Shift_JIS): the inbox shows
// senders, the folders of written mail recipients, and the trash both,
// each mail as its own folder showed it.
std::string SecondColumnCaption(FolderKind folder);

// How much of a stored mail the text pane shows; the header button steps
// through them in this order and back to the first.
enum class HeaderMode { TextOnly = 0, MainFields = 1, Whole = 2 };
HeaderMode NextHeaderMode(HeaderMode mode);

// The paragraphs the text pane shows of a stored mail (header block, empty
// line, text) in `mode`. MainFields: the lines from "Subject" up to
// "Content-Type", from "Date" up to "To", then the text; a field that is
// missing adds nothing.
std::vector<std::string> HeaderDisplay(std::string_view stored, HeaderMode mode);

// A sender line (line 3 of an inbox record) as the address entry dialog is
// offered it: the display name as a reader sees it (unquoted, no blanks
// around it, empty for a bare address) and the bare address.
struct SenderParts {
  std::string name;
  std::string address;
  bool operator==(const SenderParts&) const = default;
};
SenderParts SplitSender(std::string_view line);

}  // namespace mf
