#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mf {

// A stored mail written here (outbox, sent, kept, trash, import) read back
// for the composition window.
struct ReEditValues {
  std::string subject;
  std::string from;
  std::string to;
  std::string cc;
  std::string inReplyTo;
  std::string references;
  std::string characterId;
  std::vector<std::string> attachmentFiles;  // full paths, package included
  std::string text;                          // the mail text as stored
};

ReEditValues ReadForReEdit(std::string_view storedText);

}  // namespace mf
