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

  iconLabel_ = new QLabel(this);
  iconLabel_->setObjectName("iconLabel");
  iconLabel_->setGeometry(16, 20, kIconSize, kIconSize);
  iconLabel_->setPixmap(programIcon.pixmap(kIconSize, kIconSize));

  productLabel_ = new QLabel(QString::fromUtf8("モフタンメール　　Version   1.4"), this);
  productLabel_->setObjectName("productLabel");
  QFont font = productLabel_->font();
  font.setPixelSize(kProductFontPixels);
  productLabel_->setFont(font);
  productLabel_->move(64, 26);
  productLabel_->adjustSize();

  okButton_ = new LabelButton(QStringLiteral("OK"), kButtonColour, kButtonHoverColour, this);
  okButton_->setObjectName("okButton");
  okButton_->setGeometry(kWidth - 90, kHeight - 38, 70, 24);
  connect(okButton_, &LabelButton::clicked, this, &QDialog::accept);
}

}  // namespace mf
