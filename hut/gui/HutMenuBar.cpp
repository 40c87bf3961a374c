#include "hut/gui/HutMenuBar.h"

#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "platform/qt/AccessibleControls.h"

namespace mf {
namespace {

using namespace menu_cursor;

constexpr int kHoverCheckMs = 300;
constexpr int kItemHeight = 18;
constexpr int kSeparatorHeight = 4;
constexpr int kFileMenuWidth = 121;
constexpr int kHelpMenuWidth = 128;
constexpr int kCloseButtonLeft = 323;
constexpr int kCloseButtonTop = 4;
constexpr int kCloseButtonSize = 17;

QString Utf8(const char* text) { return QString::fromUtf8(text); }

// A drop-down item as a screen reader says it: its caption without the
// accelerator's "&" and without the key shown after wide blanks ("F1").
QString ItemName(const QString& text) {
  QString name = platform::AccessibleCaption(text);
  return name.left(name.indexOf(QChar(0x3000))).trimmed();
}

QFont MenuFont() {
  QFont font = QApplication::font();
  font.setPixelSize(12);
  return font;
}

}  // namespace

class HutMenuBar::KeyFilter final : public QObject {
 public:
  explicit KeyFilter(HutMenuBar& bar) : bar_(bar) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    return bar_.hut_.isActiveWindow() && bar_.HandleKey(event);
  }

 private:
  HutMenuBar& bar_;
};

MenuLabel::MenuLabel(const QString& text, Qt::Alignment alignment, QWidget* parent)
    : QWidget(parent), text_(text), alignment_(alignment) {
  setFont(MenuFont());
  setMouseTracking(true);
}

void MenuLabel::SetLook(TitleLook look, const QColor& fill, const QColor& text) {
  if (look == look_ && fill == fill_ && text == textColour_) return;
  look_ = look;
  fill_ = fill;
  textColour_ = text;
  update();
}

void MenuLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), fill_);
  if (look_ != TitleLook::Plain) {
    // A one-pixel bevel: light on the top and left edges when raised,
    // on the bottom and right edges when lowered.
    QColor topLeft = look_ == TitleLook::Raised ? Qt::white : kHutDisabledTextColour;
    QColor bottomRight = look_ == TitleLook::Raised ? kHutDisabledTextColour : Qt::white;
    const int r = width() - 1;
    const int b = height() - 1;
    painter.setPen(topLeft);
    painter.drawLine(0, 0, r, 0);
    painter.drawLine(0, 0, 0, b);
    painter.setPen(bottomRight);
    painter.drawLine(0, b, r, b);
    painter.drawLine(r, 0, r, b);
  }
  painter.setPen(textColour_);
  // The blanks an item's caption starts with are its indent, the same for
  // every item whatever follows; only the rest may need squeezing.
  QString shown = text_;
  int indent = 0;
  if (alignment_.testFlag(Qt::AlignLeft)) {
    qsizetype blanks = 0;
    while (blanks < shown.size() && shown.at(blanks) == QLatin1Char(' ')) ++blanks;
    indent = fontMetrics().horizontalAdvance(QLatin1Char(' ')) * static_cast<int>(blanks);
    shown = shown.mid(blanks).trimmed();
  }
  // The drop-downs keep their fixed widths; a text wider than its item is
  // squeezed to fit rather than cut off.
  QRect area = rect().adjusted(indent, 0, 0, 0);
  const int natural = fontMetrics().horizontalAdvance(QString(shown).remove(QLatin1Char('&'))) + 2;
  if (natural > area.width() && area.width() > 0) {
    painter.translate(area.left(), 0);
    painter.scale(static_cast<qreal>(area.width()) / natural, 1.0);
    area = QRect(0, 0, natural, height());
  }
  painter.drawText(area, static_cast<int>(alignment_ | Qt::AlignVCenter) | Qt::TextShowMnemonic, shown);
}

HutMenuBar::HutMenuBar(QWidget& hut, QWidget& strip, QWidget& body, std::function<bool()> receiveEnabled,
                       std::function<void(MenuCommand)> run)
    : hut_(hut), strip_(strip), menu_(std::move(receiveEnabled)), run_(std::move(run)) {
  fileMenuHolder_ = new QWidget(&strip);
  fileMenuHolder_->setObjectName("fileMenuHolder");
  fileMenuHolder_->setGeometry(3, 3, 70, 17);
  fileMenuLabel_ = new MenuLabel(Utf8("ファイル(&F)"), Qt::AlignHCenter, fileMenuHolder_);
  fileMenuLabel_->setObjectName("fileMenuLabel");
  fileMenuLabel_->setGeometry(0, 0, 70, 17);
  helpMenuHolder_ = new QWidget(&strip);
  helpMenuHolder_->setObjectName("helpMenuHolder");
  helpMenuHolder_->setGeometry(80, 3, 62, 17);
  helpMenuLabel_ = new MenuLabel(Utf8("ヘルプ(&H)"), Qt::AlignHCenter, helpMenuHolder_);
  helpMenuLabel_->setObjectName("helpMenuLabel");
  helpMenuLabel_->setGeometry(0, 0, 62, 17);

  closePicture_ = new QLabel(&strip);
  closePicture_->setObjectName("closePicture");
  closePicture_->setGeometry(kCloseButtonLeft, kCloseButtonTop, kCloseButtonSize, kCloseButtonSize);
  closeButton_ = new QWidget(&strip);
  closeButton_->setObjectName("closeButton");
  closeButton_->setGeometry(closePicture_->geometry());
  closeButton_->setToolTip(Utf8("閉じる"));
  DrawCloseButton(false);

  BuildDropDowns(body);
  MakeAccessible();

  hoverTimer_ = new QTimer(this);
  hoverTimer_->setObjectName("hoverTimer");
  hoverTimer_->setInterval(kHoverCheckMs);
  connect(hoverTimer_, &QTimer::timeout, this, [this] { CheckMouseLeave(); });

  for (QObject* watched :
       {static_cast<QObject*>(fileMenuLabel_), static_cast<QObject*>(helpMenuLabel_),
        static_cast<QObject*>(closeButton_), static_cast<QObject*>(&strip), static_cast<QObject*>(&hut)}) {
    watched->installEventFilter(this);
  }
  for (MenuLabel* item : {mailListItem_, newCharacterItem_, receiveMailItem_, closeItem_, helpItem_, versionItem_})
    item->installEventFilter(this);
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state != Qt::ApplicationActive) CloseMenus();
  });
  Refresh();
}

HutMenuBar::~HutMenuBar() {
  if (keyFilter_) qApp->removeEventFilter(keyFilter_.get());
}

void HutMenuBar::BuildDropDowns(QWidget& body) {
  auto makePanel = [&body](int width) {
    auto* panel = new QFrame(&body);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, kHutNormalColour);
    panel->setPalette(palette);
    panel->setFixedWidth(width);
    panel->hide();
    return panel;
  };
  auto addItem = [](QWidget* panel, int& y, const char* text) {
    auto* item = new MenuLabel(Utf8(text), Qt::AlignLeft, panel);
    item->setGeometry(1, y, panel->width() - 2, kItemHeight);
    y += kItemHeight;
    return item;
  };
  auto addSeparator = [](QWidget* panel, int& y) {
    auto* line = new QFrame(panel);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(1, y, panel->width() - 2, kSeparatorHeight);
    y += kSeparatorHeight;
  };

  fileDropDown_ = makePanel(kFileMenuWidth);
  fileDropDown_->setObjectName("fileDropDown");
  int y = 1;
  mailListItem_ = addItem(fileDropDown_, y, "  メール一覧(&M)");
  mailListItem_->setObjectName("mailListItem");
  newCharacterItem_ = addItem(fileDropDown_, y, "  新規キャラクター(&N)  ");
  newCharacterItem_->setObjectName("newCharacterItem");
  addSeparator(fileDropDown_, y);
  receiveMailItem_ = addItem(fileDropDown_, y, "  メール受信(&J)");
  receiveMailItem_->setObjectName("receiveMailItem");
  addSeparator(fileDropDown_, y);
  closeItem_ = addItem(fileDropDown_, y, "  閉じる(&C)");
  closeItem_->setObjectName("closeItem");
  fileDropDown_->setFixedHeight(y + 1);

  helpDropDown_ = makePanel(kHelpMenuWidth);
  helpDropDown_->setObjectName("helpDropDown");
  y = 1;
  helpItem_ = addItem(helpDropDown_, y, "  ヘルプ(&H)　　　　　　F1");
  helpItem_->setObjectName("helpItem");
  versionItem_ = addItem(helpDropDown_, y, "  バージョン情報(&V)");
  versionItem_->setObjectName("versionItem");
  helpDropDown_->setFixedHeight(y + 1);
}

void HutMenuBar::MakeAccessible() {
  using platform::AccessibleControl;
  platform::MakeAccessible(strip_, AccessibleControl{QAccessible::MenuBar, {}, {}, {}});
  for (auto [label, title] : {std::pair{fileMenuLabel_, MenuTitle::File}, std::pair{helpMenuLabel_, MenuTitle::Help}}) {
    platform::MakeAccessible(*label, AccessibleControl{QAccessible::MenuItem,
                                                       [label = label] { return platform::AccessibleCaption(label->Text()); },
                                                       [this, title = title] { PressTitle(title); }, {}});
  }
  for (auto [panel, title] : {std::pair{fileDropDown_, fileMenuLabel_}, std::pair{helpDropDown_, helpMenuLabel_}}) {
    platform::MakeAccessible(*panel, AccessibleControl{QAccessible::PopupMenu,
                                                       [title = title] { return platform::AccessibleCaption(title->Text()); },
                                                       {}, {}});
  }
  for (const auto& [label, code] : Items()) {
    std::function<bool()> usable;
    if (code == kReceive) usable = [this] { return menu_.ReceiveItemEnabled(); };
    platform::MakeAccessible(*label, AccessibleControl{QAccessible::MenuItem,
                                                       [label = label] { return ItemName(label->Text()); },
                                                       [this, code = code] { ChooseItem(code); }, usable});
  }
  platform::MakeAccessible(
      *closeButton_,
      AccessibleControl{
          QAccessible::Button, [] { return Utf8("閉じる"); }, [this] { Run(MenuCommand::CloseHut); }, {}});
}

void HutMenuBar::PressTitle(MenuTitle title) {
  // As a click on the title: it opens its drop-down, closes it when it is
  // open, and moves over from the other one.
  if (menu_.MenuOpen() && menu_.DropDown() != title) {
    menu_.TitleEnter(title);
  } else {
    menu_.TitlePress(title);
  }
  Refresh();
}

void HutMenuBar::ChooseItem(int item) {
  const MenuTitle title = item >= kHelpOpen ? MenuTitle::Help : MenuTitle::File;
  if (menu_.DropDown() != title) PressTitle(title);
  menu_.ItemEnter(item);
  auto command = menu_.ItemRelease(item, PointerIfActive());
  Refresh();
  Run(command);
}

void HutMenuBar::InstallKeyboardFilter() {
  if (keyFilter_) return;
  keyFilter_ = std::make_unique<KeyFilter>(*this);
  qApp->installEventFilter(keyFilter_.get());
}

void HutMenuBar::CloseMenus() {
  menu_.CloseMenus(PointerIfActive());
  Refresh();
}

void HutMenuBar::CheckMouseLeave() {
  menu_.HoverTimerTick(TargetAt(QCursor::pos()));
  Refresh();
}

std::optional<MenuTarget> HutMenuBar::PointerIfActive() const {
  if (!hut_.isVisible() || !hut_.isActiveWindow()) return std::nullopt;
  return TargetAt(QCursor::pos());
}

MenuTarget HutMenuBar::TargetAt(const QPoint& global) const {
  auto over = [&global](const QWidget* widget) {
    return widget->isVisible() && widget->rect().contains(widget->mapFromGlobal(global));
  };
  if (over(fileDropDown_)) return MenuTarget::FileDropDown;
  if (over(helpDropDown_)) return MenuTarget::HelpDropDown;
  if (over(closeButton_)) return MenuTarget::CloseButton;
  if (over(fileMenuHolder_)) return MenuTarget::FileTitle;
  if (over(helpMenuHolder_)) return MenuTarget::HelpTitle;
  if (over(&strip_)) return MenuTarget::Strip;
  return MenuTarget::Elsewhere;
}

std::array<std::pair<MenuLabel*, int>, 6> HutMenuBar::Items() const {
  return {{{mailListItem_, kMailList},
           {newCharacterItem_, kNewCharacter},
           {receiveMailItem_, kReceive},
           {closeItem_, kCloseHut},
           {helpItem_, kHelp},
           {versionItem_, kVersion}}};
}

int HutMenuBar::ItemAt(const QPoint& global) const {
  for (const auto& [label, code] : Items()) {
    if (label->isVisible() && label->rect().contains(label->mapFromGlobal(global))) return code;
  }
  return kClosed;
}

bool HutMenuBar::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == &hut_) {
    if (type == QEvent::WindowDeactivate || type == QEvent::Hide) {
      menu_.CloseMenus(std::nullopt);
      Refresh();
    }
    return false;
  }

  auto* mouse = (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                 type == QEvent::MouseMove)
                    ? static_cast<QMouseEvent*>(event)
                    : nullptr;
  const QPoint global = mouse ? mouse->globalPosition().toPoint() : QPoint();

  if (watched == fileMenuLabel_ || watched == helpMenuLabel_) {
    const MenuTitle title = watched == fileMenuLabel_ ? MenuTitle::File : MenuTitle::Help;
    switch (type) {
      case QEvent::Enter:
        menu_.TitleEnter(title);
        break;
      case QEvent::Leave:
        if (!titlePressed_) menu_.TitleLeave(title);
        break;
      case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton) return true;
        menu_.TitlePress(title);
        // The button is still down: the pointer may now travel into the
        // drop-down, and releasing it over an item chooses that item.
        titlePressed_ = menu_.MenuOpen();
        break;
      case QEvent::MouseMove:
        if (!titlePressed_) return false;
        if (int item = ItemAt(global); item != kClosed) {
          menu_.ItemEnter(item);
        } else if (MenuTarget target = TargetAt(global);
                   target == MenuTarget::FileTitle || target == MenuTarget::HelpTitle) {
          MenuTitle over = target == MenuTarget::FileTitle ? MenuTitle::File : MenuTitle::Help;
          if (menu_.DropDown() != over) menu_.TitleEnter(over);
        }
        break;
      case QEvent::MouseButtonRelease:
        if (mouse->button() != Qt::LeftButton || !titlePressed_) return true;
        titlePressed_ = false;
        if (int item = ItemAt(global); item != kClosed) {
          auto command = menu_.ItemRelease(item, PointerIfActive());
          Refresh();
          Run(command);
          return true;
        }
        break;
      default:
        return false;
    }
    Refresh();
    return type != QEvent::Enter && type != QEvent::Leave;
  }

  if (watched == closeButton_) {
    switch (type) {
      case QEvent::Enter:
        menu_.CloseButtonEnter();
        Refresh();
        return false;
      case QEvent::MouseButtonPress:
        if (menu_.MenuOpen() || menu_.KeyboardMode()) CloseMenus();
        return true;
      case QEvent::MouseButtonRelease:
        if (mouse->button() == Qt::LeftButton && closeButton_->rect().contains(mouse->position().toPoint())) {
          Run(MenuCommand::CloseHut);
        }
        return true;
      default:
        return false;
    }
  }

  if (watched == &strip_) {
    if (type == QEvent::MouseButtonPress) CloseMenus();
    return false;
  }

  // A drop-down item.
  switch (type) {
    case QEvent::Enter:
      for (const auto& [label, code] : Items()) {
        if (label == watched) menu_.ItemEnter(code);
      }
      Refresh();
      return false;
    case QEvent::MouseButtonPress:
      return true;
    case QEvent::MouseMove:
      if (mouse->buttons() & Qt::LeftButton) {
        if (int item = ItemAt(global); item != kClosed) menu_.ItemEnter(item);
        Refresh();
      }
      return true;
    case QEvent::MouseButtonRelease: {
      if (mouse->button() != Qt::LeftButton) return true;
      int item = ItemAt(global);
      if (item == kClosed) return true;
      auto command = menu_.ItemRelease(item, PointerIfActive());
      Refresh();
      Run(command);
      return true;
    }
    default:
      return false;
  }
}

bool HutMenuBar::HandleKey(QEvent* event) {
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() == Qt::Key_Alt) {
    if (key->isAutoRepeat()) return menu_.MenuOpen() || menu_.KeyboardMode();
    bool used = event->type() == QEvent::KeyPress ? menu_.AltPress(PointerIfActive()) : menu_.AltRelease();
    Refresh();
    return used;
  }
  if (event->type() != QEvent::KeyPress) return false;
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;

  MenuKey menuKey;
  char letter = 0;
  switch (key->key()) {
    case Qt::Key_Left: menuKey = MenuKey::Left; break;
    case Qt::Key_Right: menuKey = MenuKey::Right; break;
    case Qt::Key_Up: menuKey = MenuKey::Up; break;
    case Qt::Key_Down: menuKey = MenuKey::Down; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: menuKey = MenuKey::Enter; break;
    case Qt::Key_Escape: menuKey = MenuKey::Escape; break;
    case Qt::Key_F1: menuKey = MenuKey::F1; break;
    default:
      if (key->key() < Qt::Key_A || key->key() > Qt::Key_Z) return false;
      menuKey = MenuKey::Letter;
      letter = static_cast<char>('A' + (key->key() - Qt::Key_A));
      break;
  }
  std::optional<MenuCommand> command;
  bool used = menu_.Key(menuKey, letter, command, PointerIfActive());
  Refresh();
  Run(command);
  return used;
}

void HutMenuBar::Run(std::optional<MenuCommand> command) {
  if (command && run_) run_(*command);
}

void HutMenuBar::Refresh() {
  auto paintTitle = [](MenuLabel* label, TitleLook look) {
    label->SetLook(look, look == TitleLook::Plain ? kHutNormalColour : kHutHighlightColour, Qt::black);
  };
  paintTitle(fileMenuLabel_, menu_.Look(MenuTitle::File));
  paintTitle(helpMenuLabel_, menu_.Look(MenuTitle::Help));
  DrawCloseButton(menu_.CloseButtonHover());

  for (const auto& [label, code] : Items()) {
    QColor text = (code == kReceive && !menu_.ReceiveItemEnabled()) ? kHutDisabledTextColour : QColor(Qt::black);
    label->SetLook(TitleLook::Plain, menu_.ItemHighlighted(code) ? kHutHighlightColour : kHutNormalColour, text);
  }

  auto place = [this](QWidget* panel, QWidget* title, bool open) {
    if (!open) {
      panel->hide();
      return;
    }
    QWidget* body = panel->parentWidget();
    QPoint bottomLeft = title->mapTo(body, QPoint(0, title->height()));
    panel->move(bottomLeft.x() + 1, bottomLeft.y() + 1);
    panel->show();
    panel->raise();
  };
  const auto open = menu_.DropDown();
  place(fileDropDown_, fileMenuHolder_, open == MenuTitle::File);
  place(helpDropDown_, helpMenuHolder_, open == MenuTitle::Help);

  if (menu_.HoverTimerRunning()) {
    if (!hoverTimer_->isActive()) hoverTimer_->start();
  } else {
    hoverTimer_->stop();
  }
}

void HutMenuBar::DrawCloseButton(bool hover) {
  if (closeDrawn_ == static_cast<int>(hover)) return;
  closeDrawn_ = static_cast<int>(hover);
  const int w = kCloseButtonSize;
  const int h = kCloseButtonSize;
  QPixmap glyph(w, h);
  glyph.fill(hover ? kHutHighlightColour : kHutNormalColour);
  QPainter painter(&glyph);
  if (hover) {
    painter.setPen(kHutDisabledTextColour);
    painter.drawLine(0, h - 1, w - 1, h - 1);
    painter.drawLine(w - 1, 0, w - 1, h - 1);
    painter.setPen(Qt::white);
    painter.drawLine(0, 0, w - 1, 0);
    painter.drawLine(0, 0, 0, h - 1);
  }
  painter.setPen(QPen(Qt::black, 2));
  painter.drawLine(w / 4 - 1, h / 4 - 1, w - w / 4 - 1, h - h / 4 - 1);
  painter.drawLine(w / 4 - 1, h - h / 4 - 1, w - w / 4 - 1, h / 4 - 1);
  painter.end();
  closePicture_->setPixmap(glyph);
}

}  // namespace mf
