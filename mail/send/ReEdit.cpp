#include "mail/send/ReEdit.h"

#include "mail/store/StoreRecords.h"
#include "mail/store/StoredHeaderBlock.h"

namespace mf {

ReEditValues ReadForReEdit(std::string_view storedText) {
  const StoredMailParts parts = SplitStoredMail(storedText);
  ReEditValues values;
  values.subject = StoredFieldValue(parts.header, "Subject:");
  values.from = StoredFieldValue(parts.header, "From:");
  values.to = StoredFieldValue(parts.header, "To:");
  values.cc = StoredFieldValue(parts.header, "Cc:");
  values.inReplyTo = StoredFieldValue(parts.header, "In-Reply-To:");
  values.references = StoredFieldValue(parts.header, "References:");
  values.characterId = StoredFieldValue(parts.header, "X-Character:");
  values.attachmentFiles = AttachmentFilesOf(storedText);
  values.text = std::string(parts.text);
  return values;
}

}  // namespace mf
