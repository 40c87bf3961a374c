#include "mail/store/AttachmentNames.h"

#include "base/ShiftJis.h"
#include "base/Text.h"

namespace mf {
namespace {

constexpr std::size_t kMaxFolderName = 100;
// Room for the name in UTF-8 (a Shift_JIS character can take three bytes)
// within the usual 255-byte limit of a file name.
constexpr std::size_t kMaxFileName = 150;

// Turns "..", and a dot at the start, into something a path cannot climb with.
void DefuseDots(std::string& name) {
  if (!name.empty() && name[0] == '.') name[0] = '_';
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (name[i] == '.' && name[i - 1] == '.') name[i] = '_';
  }
}

// The length of the Shift_JIS character at `pos` (1 or 2).
std::size_t CharLength(std::string_view text, std::size_t pos) {
  return IsSjisLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

// The longest prefix of at most `limit` bytes that does not split a character.
std::string CutAtCharacter(std::string_view text, std::size_t limit) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t length = CharLength(text, pos);
    if (pos + length > limit) break;
    pos += length;
  }
  return std::string(text.substr(0, pos));
}

}  // namespace

std::string ReceivedFolderBaseName(std::string_view messageIdValue) {
  std::string_view name = messageIdValue.size() > 2 ? messageIdValue.substr(2) : std::string_view();
  if (auto at = name.find('@'); at != std::string_view::npos) name = name.substr(0, at);
  return SafeFolderName(name);
}

std::string SafeFolderName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name.substr(0, kMaxFolderName)) {
    const unsigned char byte = static_cast<unsigned char>(c);
    const bool refused = byte <= ' ' || byte >= 0x7F ||
                         std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
    out += refused ? '_' : c;
  }
  DefuseDots(out);
  return out;
}

std::string SafeAttachmentFileName(std::string_view name) {
  std::string trimmed = Trim(name);
  std::string out;
  out.reserve(trimmed.size());
  for (std::size_t pos = 0; pos < trimmed.size();) {
    const std::size_t length = CharLength(trimmed, pos);
    const unsigned char byte = static_cast<unsigned char>(trimmed[pos]);
    if (length == 2) {
      const unsigned char trail = static_cast<unsigned char>(trimmed[pos + 1]);
      if (trail >= 0x40 && trail <= 0xFC && trail != 0x7F) {
        out.append(trimmed, pos, 2);
      } else {
        out += '_';
        pos += 1;
        continue;
      }
    } else if (byte < ' ' || byte == 0x7F || byte == '/' || byte == '\\' ||
               (IsSjisLeadByte(byte))) {
      out += '_';
    } else {
      out += trimmed[pos];
    }
    pos += length;
  }
  DefuseDots(out);
  if (out.size() > kMaxFileName) {
    std::string extension;
    if (auto dot = out.rfind('.'); dot != std::string::npos && out.size() - dot <= 16) {
      extension = out.substr(dot);
    }
    out = CutAtCharacter(out, kMaxFileName - extension.size()) + extension;
    DefuseDots(out);  // the cut can bring two dots together
  }
  if (out.empty()) out = "noname";
  return out;
}

}  // namespace mf
