#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mf {

// What a stored mail hands on to an answer or a re-edit.
struct ComposeAttachments {
  std::vector<std::string> files;          // for the attachment list, in order
  std::optional<std::string> packagePath;  // a valid character package, if any
};

// The attachment files of a stored mail that still exist: every file but
// the character package goes to `files`; the package is read and checked,
// and its path is given only when it is a valid package, so that the answer
// can be carried by the character that came with it. Paths outside the
// store folder (`storeFolder`, "FileKeep/" with its separator) are skipped:
// an answer never sends a file the store does not own.
ComposeAttachments CollectAttachmentsForCompose(const std::vector<std::string>& paths,
                                                const std::string& storeFolder);

}  // namespace mf
