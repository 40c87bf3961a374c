#include "mail/gui/QuotedText.h"

#include <QTextCursor>
#include <QTextDocument>
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
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const auto colours = QuoteColoursByLine(text);
  auto formatOf = [](const std::optional<Rgb>& colour) {
    QTextCharFormat format;
    if (colour) format.setForeground(QColor(colour->red, colour->green, colour->blue));
    return format;
  };
  // Lines of one colour go in together, in one edit: formatting the text
  // line by line afterwards lays the document out again each time, which
  // for a reply to a mail of many thousand lines takes minutes.
  QTextDocument& document = *edit.document();
  document.setUndoRedoEnabled(false);
  edit.clear();
  QTextCursor cursor(&document);
  cursor.beginEditBlock();
  qsizetype runStart = 0;
  std::optional<Rgb> runColour;
  std::size_t line = 0;
  for (qsizetype lineStart = 0; lineStart < shown.size(); ++line) {
    const std::optional<Rgb> colour = line < colours.size() ? colours[line] : std::nullopt;
    if (colour != runColour) {
      if (lineStart > runStart) cursor.insertText(shown.mid(runStart, lineStart - runStart), formatOf(runColour));
      runStart = lineStart;
      runColour = colour;
    }
    const qsizetype lineEnd = shown.indexOf(QLatin1Char('\n'), lineStart);
    lineStart = lineEnd < 0 ? shown.size() : lineEnd + 1;
  }
  if (runStart < shown.size()) cursor.insertText(shown.mid(runStart), formatOf(runColour));
  cursor.endEditBlock();
  // The quotes are not the user's to undo.
  document.setUndoRedoEnabled(true);
  // What the user types after the quotes is in the default colour.
  QTextCursor end(&document);
  end.movePosition(QTextCursor::End);
  edit.setTextCursor(end);
  edit.setCurrentCharFormat(QTextCharFormat());
}

}  // namespace mf
