#pragma once

#include <string>
#include <string_view>
#include <vector>

// Turning the text part of a received mail into the Shift_JIS text the
// inbox keeps.
namespace mf {

// Converts body bytes of the declared charset (as the decoder lower-cased
// it) to Shift_JIS. The Japanese codes and an undeclared or ASCII charset go
// through the program's own converter, which keeps the code page 932
// extensions (①, ㈱, 髙) of JIS text; any other charset iconv knows is
// converted with "〓" for what code page 932 cannot hold. Undeclared text
// that is well-formed UTF-8 is read as UTF-8; an unknown charset falls back
// to the Japanese converter.
std::string BodyTextToProgramCode(std::string_view bytes, std::string_view charset);

// The readable text of an HTML body (Shift_JIS in, Shift_JIS out): tags,
// comments, scripts and styles removed, blanks collapsed as a browser would,
// line breaks for <br> and the ends of blocks, entities decoded.
std::string HtmlToText(std::string_view html);

// The text without the footer this program appends to what it sends, when
// the text ends with those six lines (the download address on the fifth may
// differ between versions); trailing empty lines after them are dropped with
// them. Any other text comes back unchanged.
std::string WithoutMailFooter(std::string_view text, const std::vector<std::string>& footerLines);

}  // namespace mf
