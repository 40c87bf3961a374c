#pragma once

#include <string>
#include <string_view>

class QTextEdit;

namespace mf {

// Every line of `text` with "> " in front, lines ending in CR LF: the text of
// a mail as an answer quotes it.
std::string QuoteEveryLine(std::string_view text);

// Shows a Shift_JIS text in `edit`, each quoted line in the colour of its
// depth (green, blue, red, magenta), so that the user sees at a glance what
// was said before.
void ShowColouredQuotes(QTextEdit& edit, const std::string& text);

}  // namespace mf
