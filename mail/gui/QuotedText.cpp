#include "mail/gui/QuotedText.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include "base/Text.h"
#include "mail/answer/QuoteColours.h"
#include "platform/qt/QtDialogs.h"

namespace mf {

std::string QuoteEveryLine(std::string_view text) {
  std::string quoted;
  for (const std::string& line : SplitLines(text)) {
    quoted += "> ";
    quoted += line;
    quoted += "\r\n";
  }
  return quoted;
}

void ShowColouredQuotes(QTextEdit& edit, const std::string& text) {
  QString shown = platform::ToQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  edit.setPlainText(shown);
  const auto colours = QuoteColoursByLine(text);
  QTextBlock block = edit.document()->begin();
  for (std::size_t line = 0; line < colours.size() && block.isValid(); ++line, block = block.next()) {
    if (!colours[line]) continue;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setForeground(QColor(colours[line]->red, colours[line]->green, colours[line]->blue));
    cursor.mergeCharFormat(format);
  }
  // What the user types after the quotes is in the default colour.
  QTextCursor end(edit.document());
  end.movePosition(QTextCursor::End);
  edit.setTextCursor(end);
  edit.setCurrentCharFormat(QTextCharFormat());
}

}  // namespace mf
