#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <map>
#include <memory>

#include "widgets/TextRows.h"

class QTextLayout;

namespace mf {

// A read-only view of a plain text of any length. It keeps the characters
// and where each line starts, and lays out only the lines on screen, so a
// mail of hundreds of thousands of lines costs little more than its text
// (a text document keeps a layout and a block for every paragraph). Lines
// wrap at the view's width; the text can be selected with the mouse, copied
// and read by a screen reader.
class LongTextView final : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit LongTextView(QWidget* parent = nullptr);
  ~LongTextView() override;

  void Clear();
  // Makes room for `characters` more, so that appending piece by piece
  // does not copy the text as it grows.
  void Reserve(qsizetype characters);
  // Adds to the end; "\r\n" line ends become "\n".
  void Append(const QString& piece);
  void SetText(const QString& text);
  const QString& Text() const { return text_; }

  void ScrollToStart();
  // Brings the line that holds character `offset` to the top.
  void ScrollToOffset(qsizetype offset);
  // The selection, as character offsets (equal when nothing is selected).
  qsizetype SelectionStart() const { return std::min(anchor_, cursor_); }
  qsizetype SelectionEnd() const { return std::max(anchor_, cursor_); }
  void Select(qsizetype start, qsizetype end);
  void SelectAll();
  QString SelectedText() const;
  void Copy() const;
  // The first row on screen (the scroll position in rows).
  int TopRow() const { return rows_.RowOf(top_); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  QTextLayout& LayoutOf(int line);
  void Measure(int line) { (void)LayoutOf(line); }
  void ForgetLayouts();
  int WrapWidth() const;
  // Room above the first row: the margin at the start of the text only, so
  // that a row scrolled to the top is not cut by it.
  int TopInset() const;
  int VisibleRows() const;
  // Moves the top of the view by `rows` (negative: up), measuring the
  // lines it passes over first.
  void ScrollByRows(int rows);
  void ScrollTo(TextRows::Place place);
  void ScrollToEnd();
  void UpdateScrollBar();
  // The character under a point of the viewport.
  qsizetype OffsetAt(QPoint point);
  void SelectWordAt(qsizetype offset);
  // Extends the selection to the character under `point`, taken inside the
  // viewport: past an edge it ends on the row shown there.
  void DragTo(QPoint point);
  // Offers the selection to a middle-click paste, as text boxes do on X11.
  void OfferSelection() const;

  QString text_;
  TextRows rows_;
  TextRows::Place top_;
  // Layouts of the lines shown lately, dropped when they grow many.
  std::map<int, std::unique_ptr<QTextLayout>> layouts_;
  int laidOutWidth_ = -1;
  qsizetype anchor_ = 0;
  qsizetype cursor_ = 0;
  bool selecting_ = false;
  QPoint dragPoint_;
  // Scrolls while a drag is held above or below the text.
  QBasicTimer dragScroll_;
  // The scroll bar is being set to follow the view, not moved by the user.
  bool following_ = false;
};

}  // namespace mf
