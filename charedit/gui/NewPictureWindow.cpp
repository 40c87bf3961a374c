#include "charedit/gui/NewPictureWindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/ShiftJis.h"
#include "charedit/PictureFiles.h"
#include "charedit/PictureHost.h"
#include "charedit/PictureLoader.h"
#include "charedit/gui/PictureViews.h"
#include "platform/Dialogs.h"

namespace mf {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr int kActualSizeFrame = 2;

// Little glyphs for the tool buttons, drawn rather than shipped as files.
QIcon ToolGlyph(DrawingTool tool) {
  QImage glyph(20, 20, QImage::Format_ARGB32);
  glyph.fill(Qt::transparent);
  QPainter painter(&glyph);
  painter.setPen(QPen(Qt::black, 2));
  switch (tool) {
    case DrawingTool::None:
      painter.drawLine(5, 3, 5, 16);
      painter.drawLine(5, 3, 14, 12);
      painter.drawLine(14, 12, 5, 12);
      break;
    case DrawingTool::Line:
      painter.drawLine(3, 17, 17, 3);
      break;
    case DrawingTool::Freehand:
      painter.drawPolyline(QPolygon({QPoint(2, 14), QPoint(6, 6), QPoint(10, 14), QPoint(14, 6), QPoint(18, 10)}));
      break;
    case DrawingTool::Fill:
      painter.setBrush(Qt::black);
      painter.drawRect(4, 8, 12, 9);
      painter.drawLine(10, 2, 10, 8);
      break;
  }
  return QIcon(QPixmap::fromImage(glyph));
}

}  // namespace

NewPictureWindow::NewPictureWindow(PictureHost& host, platform::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), host_(host), dialogs_(dialogs) {
  setWindowTitle(Text("新規画像作成"));

  magnifiedView_ = new MagnifiedView(editor_, this);
  magnifiedView_->setObjectName("magnifiedView");
  magnifiedView_->onPress = [this](QPoint p) { ViewPress(p); };
  magnifiedView_->onMove = [this](QPoint p) { ViewMove(p); };
  magnifiedView_->onRelease = [this](QPoint p) { ViewRelease(p); };

  actualSizeView_ = new QLabel(this);
  actualSizeView_->setFixedSize(PixelEditor::kSide + 2 * kActualSizeFrame, PixelEditor::kSide + 2 * kActualSizeFrame);
  actualSizeView_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  actualSizeView_->setAlignment(Qt::AlignCenter);

  paletteView_ = new PaletteView(palette_, this);
  paletteView_->setObjectName("palette");
  paletteView_->onClick = [this](QPoint p) { PickPaletteColour(p); };

  colourSwatch_ = new QLabel(this);
  colourSwatch_->setFixedSize(40, 40);
  colourSwatch_->setFrameStyle(QFrame::Box | QFrame::Plain);
  colourSwatch_->setAutoFillBackground(true);

  auto* tools = new QHBoxLayout;
  toolButtons_ = {MakeToolButton(Text("選択なし"), DrawingTool::None),
                  MakeToolButton(Text("線を描く"), DrawingTool::Line),
                  MakeToolButton(Text("自由描画"), DrawingTool::Freehand),
                  MakeToolButton(Text("塗りつぶし"), DrawingTool::Fill)};
  for (QToolButton* button : toolButtons_) tools->addWidget(button);
  tools->addStretch();

  auto* otherColour = new QPushButton(Text("他の色"), this);
  connect(otherColour, &QPushButton::clicked, this, [this] { PickOtherColour(); });
  auto* load = new QPushButton(Text("ファイルから読み込み"), this);
  connect(load, &QPushButton::clicked, this, [this] { LoadPicture(); });
  auto* ok = new QPushButton(Text("OK"), this);
  connect(ok, &QPushButton::clicked, this, [this] { Accept(); });
  auto* cancel = new QPushButton(Text("取り消し"), this);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  undoAction_ = new QAction(Text("元に戻す(&U)"), this);
  undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  connect(undoAction_, &QAction::triggered, this, [this] { UndoStroke(); });
  addAction(undoAction_);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel(Text("実寸画像"), this));
  side->addWidget(actualSizeView_);
  side->addSpacing(8);
  side->addLayout(tools);
  side->addSpacing(8);
  auto* colourRow = new QHBoxLayout;
  colourRow->addWidget(new QLabel(Text("色の選択"), this));
  colourRow->addWidget(colourSwatch_);
  colourRow->addStretch();
  side->addLayout(colourRow);
  side->addWidget(paletteView_);
  side->addWidget(otherColour, 0, Qt::AlignLeft);
  side->addStretch();
  side->addWidget(load);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  side->addLayout(buttons);

  auto* viewColumn = new QVBoxLayout;
  viewColumn->addWidget(new QLabel(Text("拡大画像"), this));
  viewColumn->addWidget(magnifiedView_);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(viewColumn);
  layout->addLayout(side);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  Reset();
}

NewPictureWindow::~NewPictureWindow() = default;

QToolButton* NewPictureWindow::MakeToolButton(const QString& hint, DrawingTool tool) {
  auto* button = new QToolButton(this);
  button->setIcon(ToolGlyph(tool));
  button->setToolTip(hint);
  button->setAccessibleName(hint);
  button->setCheckable(true);
  button->setAutoExclusive(true);
  connect(button, &QToolButton::clicked, this, [this, tool] { SelectTool(tool); });
  return button;
}

void NewPictureWindow::Reset() {
  editor_.Reset();
  SelectTool(DrawingTool::None);
  ShowColour();
  ShowPicture();
}

void NewPictureWindow::SelectTool(DrawingTool tool) {
  editor_.SetTool(tool);
  toolButtons_[static_cast<std::size_t>(tool)]->setChecked(true);
}

void NewPictureWindow::PickPaletteColour(QPoint point) {
  editor_.SetCurrentColour(palette_.ColourAt(point.x(), point.y()));
  ShowColour();
}

void NewPictureWindow::PickOtherColour() {
  auto chosen = dialogs_.ChooseColour(ColorRefFromColour(palette_.OtherColour()));
  if (!chosen) return;
  palette_.SetOtherColour(ColourFromColorRef(*chosen));
  editor_.SetCurrentColour(palette_.OtherColour());
  paletteView_->update();
  ShowColour();
}

void NewPictureWindow::LoadPicture() {
  auto path = dialogs_.OpenFile(Sj("画像ファイル　（*.bmp）|*.bmp"), host_.CharDir());
  if (!path) return;
  auto corner = LoadPictureCorner(*path, PixelEditor::kSide, PixelEditor::kSide);
  if (!corner) {
    dialogs_.Error(Sj("画像ファイルを読み込めませんでした"));
    return;
  }
  editor_.LoadCorner(*corner);
  ShowPicture();
}

void NewPictureWindow::UndoStroke() {
  editor_.Undo();
  ShowPicture();
}

void NewPictureWindow::Accept() {
  if (!SaveNewPicture(host_, editor_.Picture())) {
    dialogs_.Error(Sj("画像を保存できませんでした"));
    return;
  }
  host_.RefreshPictureList();
  accept();
}

void NewPictureWindow::ViewPress(QPoint point) {
  editor_.Press(PixelEditor::CellAt(point.x(), point.y()));
  ShowPicture();
}

void NewPictureWindow::ViewMove(QPoint point) {
  if (!editor_.Drawing()) return;
  editor_.Move(PixelEditor::CellAt(point.x(), point.y()));
  ShowPicture();
}

void NewPictureWindow::ViewRelease(QPoint point) {
  editor_.Release(PixelEditor::CellAt(point.x(), point.y()));
  ShowPicture();
}

void NewPictureWindow::ShowPicture() {
  actualSizeView_->setPixmap(QPixmap::fromImage(ToQImage(editor_.Picture())));
  magnifiedView_->update();
}

void NewPictureWindow::ShowColour() {
  QPalette colours = colourSwatch_->palette();
  Colour colour = editor_.CurrentColour();
  colours.setColor(QPalette::Window, QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)));
  colourSwatch_->setPalette(colours);
}

}  // namespace mf
