#pragma once

#include <string>
#include <string_view>

namespace mf {

// The attachment file that carries a character; stored like any attachment
// but never listed as one.
inline constexpr std::string_view kPackageFileName = "MofutanData.mfd";

// The folder name a received mail asks for: its Message-ID value (" <local@host>")
// without its first two characters, cut before the first "@", reduced to
// characters that cannot leave "FileKeep" (see SafeFolderName).
std::string ReceivedFolderBaseName(std::string_view messageIdValue);

// A name from outside made safe as one folder name: only printable ASCII
// other than separators and the characters Windows refuses, no "..", no
// leading dot, at most 100 bytes. The empty name stays empty.
std::string SafeFolderName(std::string_view name);

// An attachment's own file name made safe inside its folder: Shift_JIS
// characters are kept, separators and control characters become "_", no
// ".." and no leading dot; long names keep their extension. Never empty.
std::string SafeAttachmentFileName(std::string_view name);

}  // namespace mf
