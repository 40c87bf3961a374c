#include "mail/send/Composition.h"

namespace mf {

std::vector<std::string> OutgoingFiles(const Composition& mail) {
  std::vector<std::string> files = mail.attachments;
  if (!mail.packagePath.empty()) files.push_back(mail.packagePath);
  return files;
}

}  // namespace mf
