#include "mail/gui/VersionWindow.h"

#include <QLabel>

#include "widgets/LabelButton.h"

namespace mf {
namespace {

constexpr int kWidth = 330;
constexpr int kHeight = 120;
constexpr int kIconSize = 32;
constexpr int kProductFontPixels = 16;

}  // namespace

const QColor VersionWindow::kColour(254, 222, 239);
const QColor VersionWindow::kButtonColour(239, 242, 170);
const QColor VersionWindow::kButtonHoverColour(221, 255, 255);

VersionWindow::VersionWindow(const QIcon& programIcon)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
  setWindowTitle(QString::fromUtf8("バージョン情報"));
  setWindowIcon(programIcon);
  setFixedSize(kWidth, kHeight);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, kColour);
  setPalette(colours);

  iconLabel = new QLabel(this);
  iconLabel->setGeometry(16, 20, kIconSize, kIconSize);
  iconLabel->setPixmap(programIcon.pixmap(kIconSize, kIconSize));

  productLabel = new QLabel(QString::fromUtf8("モフタンメール　　Version   1.4"), this);
  QFont font = productLabel->font();
  font.setPixelSize(kProductFontPixels);
  productLabel->setFont(font);
  productLabel->move(64, 26);
  productLabel->adjustSize();

  okButton = new LabelButton(QStringLiteral("OK"), kButtonColour, kButtonHoverColour, this);
  okButton->setGeometry(kWidth - 90, kHeight - 38, 70, 24);
  connect(okButton, &LabelButton::clicked, this, &QDialog::accept);
}

}  // namespace mf
