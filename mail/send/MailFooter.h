#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mf {

// The six lines (Shift_JIS) every mail this program sends ends with, after
// the text as typed. The receiving side recognises and removes them.
const std::vector<std::string>& MailFooterLines();

// The text of a mail as it goes out: the lines of `text`, then the footer,
// each line followed by CR LF.
std::string TextWithFooter(std::string_view text);

}  // namespace mf
