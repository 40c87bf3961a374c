#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

#include "widgets/LongTextView.h"
#include "widgets/TextRows.h"

namespace mf {
namespace {

TEST(TextRows, LinesAcrossPiecesAndRowsOfWrappedLines) {
  QString text;
  TextRows rows;
  // A CR LF split between two pieces is one line end.
  for (const char* piece : {"one\r", "\ntwo\r\nthree", "\n\nfive"}) rows.Append(text, QString::fromLatin1(piece));
  EXPECT_EQ(text, QString("one\ntwo\nthree\n\nfive"));
  ASSERT_EQ(rows.LineCount(), 5);
  EXPECT_EQ(rows.LineStart(2), 8);
  EXPECT_EQ(rows.LineEnd(2, text), 13);
  EXPECT_EQ(rows.LineEnd(4, text), text.size());
  EXPECT_EQ(rows.LineOf(13), 2) << "a line's own end";
  EXPECT_EQ(rows.LineOf(14), 3);

  // Line 1 wraps into three rows and line 3 into two: rows 0 1 1 1 2 3 3 4.
  rows.Measured(1, 3);
  rows.Measured(3, 2);
  EXPECT_EQ(rows.RowCount(), 8);
  const TextRows::Place places[] = {{0, 0}, {1, 0}, {1, 1}, {1, 2}, {2, 0}, {3, 0}, {3, 1}, {4, 0}};
  for (int row = 0; row < 8; ++row) {
    EXPECT_EQ(rows.PlaceOfRow(row), places[row]) << row;
    EXPECT_EQ(rows.RowOf(places[row]), row);
  }
  EXPECT_EQ(rows.PlaceOfRow(99), (TextRows::Place{4, 0}));
  EXPECT_EQ(rows.PlaceOfRow(rows.RowOf({1, 5}) - 3), (TextRows::Place{0, 0})) << "a row past the line's last";
  rows.Measured(1, 1);
  EXPECT_EQ(rows.RowCount(), 6);
  rows.ForgetMeasures();
  EXPECT_EQ(rows.RowCount(), 5);
}

class LongTextViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_.resize(300, 200);
    view_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
  }
  void Paint() {
    view_.viewport()->repaint();
    QApplication::processEvents();
  }
  LongTextView view_;
};

TEST_F(LongTextViewTest, ScrollsRowByRowThroughALongParagraphToItsEnd) {
  QString paragraph;
  for (int n = 0; n < 400; ++n) paragraph += QString("word%1 ").arg(n);
  view_.Append("first\r\n" + paragraph + "\r\nlast");
  Paint();
  // The paragraph was laid out where it shows, so the bar counts its rows.
  EXPECT_GT(view_.verticalScrollBar()->maximum(), 20);
  QTest::keyClick(view_.viewport(), Qt::Key_Down);
  EXPECT_EQ(view_.TopRow(), 1);
  QTest::keyClick(&view_, Qt::Key_End);
  Paint();
  const int end = view_.TopRow();
  EXPECT_GT(end, 20);
  QTest::keyClick(&view_, Qt::Key_Down);
  EXPECT_EQ(view_.TopRow(), end) << "scrolled past the last row";
  QTest::keyClick(&view_, Qt::Key_PageUp);
  EXPECT_LT(view_.TopRow(), end);
  QTest::keyClick(&view_, Qt::Key_Home);
  EXPECT_EQ(view_.TopRow(), 0);

  // Narrower: the rows are counted again at the new width.
  view_.resize(150, 200);
  Paint();
  QTest::keyClick(&view_, Qt::Key_End);
  Paint();
  EXPECT_GT(view_.TopRow(), end);
}

TEST_F(LongTextViewTest, SelectsWithTheMouseCopiesAndReadsOutItsText) {
  view_.SetText("alpha beta\ngamma");
  Paint();
  const int rowHeight = view_.fontMetrics().lineSpacing();
  QTest::mouseDClick(view_.viewport(), Qt::LeftButton, {}, QPoint(8, 4 + rowHeight / 2));
  EXPECT_EQ(view_.SelectedText(), QString("alpha"));
  QTest::keyClick(&view_, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QString("alpha"));

  // A drag from the first line into the second.
  QTest::mousePress(view_.viewport(), Qt::LeftButton, {}, QPoint(2, 4 + rowHeight / 2));
  QMouseEvent move(QEvent::MouseMove, QPointF(290, 4 + rowHeight * 3 / 2), view_.viewport()->mapToGlobal(QPointF(290, 4 + rowHeight * 3 / 2)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view_.viewport(), &move);
  QTest::mouseRelease(view_.viewport(), Qt::LeftButton, {}, QPoint(290, 4 + rowHeight * 3 / 2));
  EXPECT_EQ(view_.SelectedText(), QString("alpha beta\ngamma"));

  // Held below the text, a drag scrolls on and selects only what was shown.
  QString lines;
  for (int n = 0; n < 200; ++n) lines += QString("line %1\n").arg(n);
  view_.SetText(lines);
  Paint();
  QTest::mousePress(view_.viewport(), Qt::LeftButton, {}, QPoint(2, 4 + rowHeight / 2));
  const QPointF below(20, view_.viewport()->height() + 30);
  QMouseEvent away(QEvent::MouseMove, below, view_.viewport()->mapToGlobal(below), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(view_.viewport(), &away);
  QTest::qWait(400);
  const int top = view_.TopRow();
  EXPECT_GT(top, 3) << "the text did not scroll while the drag was held";
  QTest::mouseRelease(view_.viewport(), Qt::LeftButton, {}, below.toPoint());
  EXPECT_TRUE(view_.SelectedText().startsWith("line 0\n"));
  const int lastShown = top + view_.viewport()->height() / rowHeight;
  EXPECT_LE(view_.SelectedText().count('\n'), lastShown + 1) << "selected rows that were never shown";
  QTest::qWait(200);
  EXPECT_EQ(view_.TopRow(), top) << "went on scrolling after the button was let go";

  view_.setAccessibleName("本文");
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&view_);
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(face->role(), QAccessible::EditableText);
  EXPECT_TRUE(face->state().readOnly);
  QAccessibleTextInterface* text = face->textInterface();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text(0, text->characterCount()), view_.Text());
  EXPECT_EQ(text->text(7, 13), QString("line 1"));
  EXPECT_EQ(text->selectionCount(), 1);
  view_.Clear();
  EXPECT_EQ(text->characterCount(), 0);
  EXPECT_EQ(text->selectionCount(), 0);
}

}  // namespace
}  // namespace mf
