#include "widgets/LongTextView.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <algorithm>

namespace mf {
namespace {

// Room between the frame and the text, as a text edit leaves.
constexpr int kMargin = 4;
// Layouts kept for lines scrolled away: a few screens' worth.
constexpr std::size_t kKeptLayouts = 400;

// What a screen reader (and the tests that drive the program through the
// accessibility interface) reads: a read-only text of several lines.
class AccessibleLongText final : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit AccessibleLongText(LongTextView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
  }

  void selection(int index, int* start, int* end) const override {
    const bool any = index == 0 && selectionCount() == 1;
    *start = any ? static_cast<int>(View().SelectionStart()) : 0;
    *end = any ? static_cast<int>(View().SelectionEnd()) : 0;
  }
  int selectionCount() const override { return View().SelectionStart() != View().SelectionEnd() ? 1 : 0; }
  void addSelection(int start, int end) override { View().Select(start, end); }
  void removeSelection(int) override { View().Select(View().SelectionEnd(), View().SelectionEnd()); }
  void setSelection(int, int start, int end) override { View().Select(start, end); }
  int cursorPosition() const override { return static_cast<int>(View().SelectionEnd()); }
  void setCursorPosition(int position) override { View().Select(position, position); }

  QString text(int start, int end) const override {
    const qsizetype size = View().Text().size();
    const qsizetype from = std::clamp<qsizetype>(start, 0, size);
    const qsizetype to = end < 0 ? size : std::clamp<qsizetype>(end, from, size);
    return View().Text().mid(from, to - from);
  }
  int characterCount() const override { return static_cast<int>(View().Text().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int start, int) override { View().ScrollToOffset(start); }
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return {};
  }

 private:
  LongTextView& View() const { return *static_cast<LongTextView*>(widget()); }
};

QAccessibleInterface* LongTextFactory(const QString&, QObject* object) {
  auto* view = qobject_cast<LongTextView*>(object);
  return view ? new AccessibleLongText(view) : nullptr;
}

}  // namespace

LongTextView::LongTextView(QWidget* parent) : QAbstractScrollArea(parent) {
  static const bool installed = [] {
    QAccessible::installFactory(&LongTextFactory);
    return true;
  }();
  (void)installed;
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setSingleStep(1);
  UpdateScrollBar();
}

LongTextView::~LongTextView() = default;

void LongTextView::Clear() {
  // Swapped out, not cleared: the memory of a long text goes back now.
  QString().swap(text_);
  rows_.Clear();
  ForgetLayouts();
  top_ = {};
  anchor_ = cursor_ = 0;
  selecting_ = false;
  UpdateScrollBar();
  viewport()->update();
}

void LongTextView::Reserve(qsizetype characters) { text_.reserve(text_.size() + characters); }

void LongTextView::Append(const QString& piece) {
  const int lastLine = rows_.LineCount() - 1;
  rows_.Append(text_, piece);
  // The line that was last may have grown.
  layouts_.erase(lastLine);
  rows_.Measured(lastLine, 1);
  UpdateScrollBar();
  viewport()->update();
}

void LongTextView::SetText(const QString& text) {
  Clear();
  Append(text);
}

void LongTextView::ScrollToStart() { ScrollTo({}); }

void LongTextView::ScrollToOffset(qsizetype offset) {
  ScrollTo({rows_.LineOf(std::clamp<qsizetype>(offset, 0, text_.size())), 0});
}

void LongTextView::Select(qsizetype start, qsizetype end) {
  const qsizetype size = text_.size();
  anchor_ = std::clamp<qsizetype>(start, 0, size);
  cursor_ = std::clamp<qsizetype>(end, 0, size);
  viewport()->update();
}

void LongTextView::SelectAll() { Select(0, text_.size()); }

QString LongTextView::SelectedText() const { return text_.mid(SelectionStart(), SelectionEnd() - SelectionStart()); }

void LongTextView::Copy() const {
  if (SelectionStart() != SelectionEnd()) QApplication::clipboard()->setText(SelectedText());
}

// --- layout ---------------------------------------------------------------------------

int LongTextView::TopInset() const { return top_ == TextRows::Place{} ? kMargin : 0; }

int LongTextView::WrapWidth() const { return std::max(1, viewport()->width() - 2 * kMargin); }

int LongTextView::VisibleRows() const {
  return std::max(1, (viewport()->height() - kMargin) / std::max(1, fontMetrics().lineSpacing()));
}

QTextLayout& LongTextView::LayoutOf(int line) {
  if (laidOutWidth_ != WrapWidth()) ForgetLayouts();
  if (auto found = layouts_.find(line); found != layouts_.end()) return *found->second;
  if (layouts_.size() >= kKeptLayouts) layouts_.clear();
  const qsizetype start = rows_.LineStart(line);
  auto layout = std::make_unique<QTextLayout>(text_.mid(start, rows_.LineEnd(line, text_) - start), font());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout->setTextOption(option);
  layout->setCacheEnabled(true);
  layout->beginLayout();
  qreal y = 0;
  int count = 0;
  for (QTextLine row = layout->createLine(); row.isValid(); row = layout->createLine()) {
    row.setLineWidth(WrapWidth());
    row.setPosition(QPointF(0, y));
    y += row.height();
    ++count;
  }
  layout->endLayout();
  rows_.Measured(line, count);
  return *layouts_.emplace(line, std::move(layout)).first->second;
}

void LongTextView::ForgetLayouts() {
  layouts_.clear();
  rows_.ForgetMeasures();
  laidOutWidth_ = WrapWidth();
  top_.row = 0;
}

// --- scrolling -------------------------------------------------------------------------

void LongTextView::ScrollByRows(int rows) {
  if (rows < 0) {
    int needed = -rows - top_.row;
    for (int line = top_.line - 1; needed > 0 && line >= 0; --line) {
      Measure(line);
      needed -= rows_.RowsOf(line);
    }
  } else {
    Measure(top_.line);
    int needed = rows + VisibleRows() - (rows_.RowsOf(top_.line) - top_.row);
    for (int line = top_.line + 1; needed > 0 && line < rows_.LineCount(); ++line) {
      Measure(line);
      needed -= rows_.RowsOf(line);
    }
  }
  const int last = std::max(0, rows_.RowCount() - VisibleRows());
  ScrollTo(rows_.PlaceOfRow(std::min(rows_.RowOf(top_) + rows, std::max(last, rows_.RowOf(top_)))));
}

void LongTextView::ScrollToEnd() {
  int needed = VisibleRows();
  for (int line = rows_.LineCount() - 1; needed > 0 && line >= 0; --line) {
    Measure(line);
    needed -= rows_.RowsOf(line);
  }
  ScrollTo(rows_.PlaceOfRow(rows_.RowCount() - VisibleRows()));
}

void LongTextView::ScrollTo(TextRows::Place place) {
  place.line = std::clamp(place.line, 0, rows_.LineCount() - 1);
  place.row = std::clamp(place.row, 0, rows_.RowsOf(place.line) - 1);
  top_ = place;
  UpdateScrollBar();
  viewport()->update();
}

void LongTextView::UpdateScrollBar() {
  QScrollBar* bar = verticalScrollBar();
  following_ = true;
  bar->setPageStep(VisibleRows());
  // Room to scroll past the measured end: the lines there may wrap more
  // than one row each, which shows once they are laid out.
  bar->setRange(0, std::max(rows_.RowOf(top_), rows_.RowCount() - VisibleRows()));
  bar->setValue(rows_.RowOf(top_));
  following_ = false;
}

void LongTextView::scrollContentsBy(int, int) {
  if (following_) return;
  top_ = rows_.PlaceOfRow(verticalScrollBar()->value());
  viewport()->update();
}

// --- painting --------------------------------------------------------------------------

void LongTextView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QPalette& colours = palette();
  painter.setPen(colours.color(QPalette::Text));
  QTextCharFormat selected;
  selected.setBackground(colours.brush(QPalette::Highlight));
  selected.setForeground(colours.brush(QPalette::HighlightedText));
  const int bottom = viewport()->height();
  const int rowsBefore = rows_.RowCount();
  qreal y = TopInset();
  for (int line = top_.line; line < rows_.LineCount() && y < bottom; ++line) {
    QTextLayout& layout = LayoutOf(line);
    qreal shift = 0;
    if (line == top_.line && top_.row > 0 && top_.row < layout.lineCount()) shift = layout.lineAt(top_.row).y();
    QList<QTextLayout::FormatRange> selections;
    const qsizetype start = rows_.LineStart(line);
    const qsizetype end = rows_.LineEnd(line, text_);
    const qsizetype from = std::max(SelectionStart(), start);
    const qsizetype to = std::min(SelectionEnd(), end);
    if (from < to) selections.append({static_cast<int>(from - start), static_cast<int>(to - from), selected});
    layout.draw(&painter, QPointF(kMargin, y - shift), selections);
    // A selected line end shows as a blank after the line, as in a text edit.
    if (SelectionStart() <= end && end < SelectionEnd() && layout.lineCount() > 0) {
      const QTextLine last = layout.lineAt(layout.lineCount() - 1);
      const qreal x = kMargin + last.naturalTextWidth();
      painter.fillRect(QRectF(x, y - shift + last.y(), fontMetrics().averageCharWidth(), last.height()),
                       colours.brush(QPalette::Highlight));
    }
    y += layout.boundingRect().height() - shift;
  }
  // What painting measured changes the scroll bar's length.
  if (rows_.RowCount() != rowsBefore) UpdateScrollBar();
}

void LongTextView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (laidOutWidth_ != WrapWidth()) ForgetLayouts();
  UpdateScrollBar();
}

void LongTextView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    ForgetLayouts();
    UpdateScrollBar();
    viewport()->update();
  }
}

// --- the keyboard and the mouse ----------------------------------------------------------

void LongTextView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    Copy();
  } else if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
  } else if (event->key() == Qt::Key_Up) {
    ScrollByRows(-1);
  } else if (event->key() == Qt::Key_Down) {
    ScrollByRows(1);
  } else if (event->key() == Qt::Key_PageUp) {
    ScrollByRows(-std::max(1, VisibleRows() - 1));
  } else if (event->key() == Qt::Key_PageDown) {
    ScrollByRows(std::max(1, VisibleRows() - 1));
  } else if (event->key() == Qt::Key_Home) {
    ScrollToStart();
  } else if (event->key() == Qt::Key_End) {
    ScrollToEnd();
  } else {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  event->accept();
}

qsizetype LongTextView::OffsetAt(QPoint point) {
  if (point.y() < TopInset()) return rows_.LineStart(top_.line);
  qreal y = TopInset();
  for (int line = top_.line; line < rows_.LineCount(); ++line) {
    QTextLayout& layout = LayoutOf(line);
    const qreal shift =
        line == top_.line && top_.row > 0 && top_.row < layout.lineCount() ? layout.lineAt(top_.row).y() : 0;
    const qreal height = layout.boundingRect().height() - shift;
    if (point.y() < y + height || line + 1 == rows_.LineCount()) {
      for (int n = layout.lineCount() - 1; n >= 0; --n) {
        const QTextLine row = layout.lineAt(n);
        if (n == 0 || point.y() >= y - shift + row.y()) {
          return rows_.LineStart(line) + row.xToCursor(point.x() - kMargin);
        }
      }
      return rows_.LineStart(line);
    }
    y += height;
  }
  return text_.size();
}

void LongTextView::SelectWordAt(qsizetype offset) {
  const int line = rows_.LineOf(offset);
  const qsizetype start = rows_.LineStart(line);
  const QString words = text_.mid(start, rows_.LineEnd(line, text_) - start);
  QTextBoundaryFinder finder(QTextBoundaryFinder::Word, words);
  finder.setPosition(offset - start);
  qsizetype from = finder.isAtBoundary() && finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem
                       ? finder.position()
                       : finder.toPreviousBoundary();
  finder.setPosition(offset - start);
  qsizetype to = finder.toNextBoundary();
  if (from < 0) from = 0;
  if (to < 0) to = words.size();
  Select(start + from, start + to);
}

void LongTextView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  const qsizetype at = OffsetAt(event->position().toPoint());
  if (event->modifiers() & Qt::ShiftModifier) {
    Select(anchor_, at);
  } else {
    Select(at, at);
  }
  selecting_ = true;
}

void LongTextView::mouseMoveEvent(QMouseEvent* event) {
  if (!selecting_) return;
  dragPoint_ = event->position().toPoint();
  const bool outside = dragPoint_.y() < 0 || dragPoint_.y() >= viewport()->height();
  if (outside && !dragScroll_.isActive()) {
    // At once, then on and on while the button is held there.
    ScrollByRows(dragPoint_.y() < 0 ? -1 : 1);
    dragScroll_.start(50, this);
  } else if (!outside) {
    dragScroll_.stop();
  }
  DragTo(dragPoint_);
}

void LongTextView::timerEvent(QTimerEvent* event) {
  if (event->timerId() != dragScroll_.timerId()) {
    QAbstractScrollArea::timerEvent(event);
    return;
  }
  if (!selecting_) {
    dragScroll_.stop();
    return;
  }
  ScrollByRows(dragPoint_.y() < 0 ? -1 : 1);
  DragTo(dragPoint_);
}

void LongTextView::DragTo(QPoint point) {
  point.setY(std::clamp(point.y(), 0, std::max(0, viewport()->height() - 1)));
  Select(anchor_, OffsetAt(point));
}

void LongTextView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && selecting_) {
    selecting_ = false;
    dragScroll_.stop();
    OfferSelection();
  }
}

void LongTextView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  SelectWordAt(OffsetAt(event->position().toPoint()));
  OfferSelection();
}

void LongTextView::OfferSelection() const {
  if (QApplication::clipboard()->supportsSelection() && SelectionStart() != SelectionEnd()) {
    QApplication::clipboard()->setText(SelectedText(), QClipboard::Selection);
  }
}

void LongTextView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = menu.addAction(QString::fromUtf8("コピー(&C)"), this, [this] { Copy(); });
  copy->setShortcut(QKeySequence::Copy);
  copy->setEnabled(SelectionStart() != SelectionEnd());
  QAction* all = menu.addAction(QString::fromUtf8("すべて選択(&A)"), this, [this] { SelectAll(); });
  all->setShortcut(QKeySequence::SelectAll);
  all->setEnabled(!text_.isEmpty());
  menu.exec(event->globalPos());
}

}  // namespace mf
