#include "hut/gui/HutWindow.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>

#include "base/DateTime.h"
#include "base/Link.h"
#include "base/Identifiers.h"
#include "character/gui/CharacterWindow.h"
#include "hut/HutNotices.h"
#include "roster/StarterIds.h"
#include "hut/gui/HutMenuBar.h"
#include "hut/gui/PassingNotice.h"
#include "mail/gui/CompositionOpener.h"
#include "mail/send/CarrierPackage.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/AccessibleControls.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/ScreenPlacement.h"
#include "platform/x11/X11WindowMessages.h"
#include "roster/CharacterScan.h"
#include "widgets/ApplicationIcon.h"

namespace mf {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// Colours of the hut (the layout gives them as Windows values, blue in the
// high byte; written here as red, green, blue).
const QColor kMenuStripColour(0xCB, 0xA6, 0x8F);  // 0x8FA6CB
const QColor kListColour(0xFA, 0xBF, 0xFF);        // 0xFFBFFA
const QColor kRoofColour(0xB4, 0x56, 0x3C);
const QColor kRoofEdgeColour(0x6E, 0x2E, 0x1E);
const QColor kBodyEdgeColour(0x8A, 0x5A, 0x3A);

QPolygon RoofTriangle(const QRect& roof) {
  return QPolygon({QPoint(roof.width() / 2, roof.top() - HutWindow::kRoofRise),
                   QPoint(0, roof.bottom() + 1), QPoint(roof.width(), roof.bottom() + 1)});
}

void PaintRoof(QWidget* panel) {
  QPainter painter(panel);
  painter.setRenderHint(QPainter::Antialiasing);
  QRect roof = panel->rect();
  QPolygon triangle = RoofTriangle(roof);
  QLinearGradient shade(0, 0, 0, roof.height());
  shade.setColorAt(0, kRoofColour.lighter(115));
  shade.setColorAt(1, kRoofColour.darker(110));
  painter.setPen(Qt::NoPen);
  painter.setBrush(shade);
  painter.drawPolygon(triangle);

  // Rows of shingles, clipped to the roof.
  QPainterPath clip;
  clip.addPolygon(triangle);
  painter.setClipPath(clip);
  painter.setPen(QPen(kRoofEdgeColour, 1));
  const int row = 12;
  for (int y = roof.height() - row, n = 0; y > -row; y -= row, ++n) {
    painter.drawLine(0, y, roof.width(), y);
    for (int x = (n % 2) * row; x < roof.width(); x += 2 * row) painter.drawLine(x, y, x, y + row);
  }
  painter.setClipping(false);
  painter.setPen(QPen(kRoofEdgeColour, 4));
  painter.drawLine(triangle[1], triangle[0]);
  painter.drawLine(triangle[0], triangle[2]);
  painter.drawLine(0, roof.height() - 2, roof.width(), roof.height() - 2);
}

// A tray notification's mouse message for a tray activation.
std::int32_t TrayMouseMessage(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Context: return kTrayRightButtonUp;
    case QSystemTrayIcon::DoubleClick: return kTrayLeftDoubleClick;
    case QSystemTrayIcon::Trigger: return kTrayLeftButtonUp;
    case QSystemTrayIcon::MiddleClick: return kTrayMiddleButtonUp;
    default: return 0;
  }
}

QPixmap MaskedIcon(const QImage& picture) {
  QImage image = picture;
  if (image.size() != QSize(CharacterWindow::kPictureSize, CharacterWindow::kPictureSize)) {
    image = image.scaled(CharacterWindow::kPictureSize, CharacterWindow::kPictureSize);
  }
  QPixmap pixmap = QPixmap::fromImage(image);
  pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(image.pixel(0, 0), Qt::MaskInColor)));
  return pixmap;
}

}  // namespace

HutWindow::HutWindow(HutStartup startup, WindowEdgeSearch& edges)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      startup_(std::move(startup)),
      edges_(edges),
      registry_(startup_.programFolder),
      ownClock_(startup_.clock ? nullptr : std::make_unique<SystemClock>()),
      ownDialogs_(startup_.dialogs ? nullptr : std::make_unique<platform::QtDialogs>(this)),
      ownShell_(startup_.shell ? nullptr : std::make_unique<platform::QtShell>()),
      lifecycle_(registry_, *this, startup_.clock ? *startup_.clock : *ownClock_,
                 startup_.dialogs ? *startup_.dialogs : *ownDialogs_),
      making_(startup_.programFolder, startup_.clock ? *startup_.clock : *ownClock_, random_,
              startup_.dialogs ? *startup_.dialogs : *ownDialogs_) {
  setWindowTitle(Text("小屋"));
  setWindowIcon(ApplicationIcon());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    ownMailPosition_ = ScreenPoint{screen->geometry().width() / 2, screen->geometry().height() / 2};
  }
  if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
    messages_ = std::make_unique<platform::WindowMessageReader>(x11->connection());
  }
  ownNotice_ = std::make_unique<PassingNotice>();
  // A monitor that goes away must not take the hut with it; the screens are
  // settled only once the removal has been handled, hence later.
  connect(qApp, &QGuiApplication::screenRemoved, this, [this] {
    QTimer::singleShot(0, this, [this] {
      if (isVisible()) KeepOnOneMonitor();
    });
  });
  BuildControls();
  Start();
  // A shaped window of its own drawing, still a window to a screen reader.
  platform::MakeAccessible(*this, {QAccessible::Window, {}, {}, {}});
}

HutWindow::~HutWindow() {
  // Character windows go before the hut, as they belong to it; the menu
  // bar before the controls it watches.
  characterWindows_.clear();
  menuBar_.reset();
  RemoveTrayIcon();
}

void HutWindow::BuildControls() {
  setFixedSize(kWidth, kHeight);

  roofPanel_ = new QWidget(this);
  roofPanel_->setObjectName("roofPanel");
  roofPanel_->setGeometry(0, 0, kWidth, kRoofHeight);
  roofPanel_->installEventFilter(this);

  leftStrip_ = new QWidget(this);
  leftStrip_->setObjectName("leftStrip");
  leftStrip_->setGeometry(0, kRoofHeight, kSideWidth, kHeight - kRoofHeight);
  rightStrip_ = new QWidget(this);
  rightStrip_->setObjectName("rightStrip");
  rightStrip_->setGeometry(kWidth - kSideWidth, kRoofHeight, kSideWidth, kHeight - kRoofHeight);

  bodyPanel_ = new QWidget(this);
  bodyPanel_->setObjectName("bodyPanel");
  bodyPanel_->setGeometry(kSideWidth, kRoofHeight, kWidth - 2 * kSideWidth, kHeight - kRoofHeight);

  menuStrip_ = new QWidget(bodyPanel_);
  menuStrip_->setObjectName("menuStrip");
  menuStrip_->setGeometry(0, 0, bodyPanel_->width(), kMenuHeight);
  menuStrip_->setAutoFillBackground(true);
  QPalette strip = menuStrip_->palette();
  strip.setColor(QPalette::Window, kMenuStripColour);
  menuStrip_->setPalette(strip);

  characterList_ = new QListWidget(bodyPanel_);
  characterList_->setObjectName("characterList");
  characterList_->setGeometry(0, kMenuHeight, bodyPanel_->width(), bodyPanel_->height() - kMenuHeight);
  characterList_->setViewMode(QListView::IconMode);
  characterList_->setIconSize(QSize(CharacterWindow::kPictureSize, CharacterWindow::kPictureSize));
  characterList_->setGridSize(QSize(80, 76));
  characterList_->setMovement(QListView::Static);
  characterList_->setResizeMode(QListView::Adjust);
  characterList_->setWordWrap(true);
  characterList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  characterList_->setSelectionMode(QAbstractItemView::SingleSelection);
  characterList_->setFrameShape(QFrame::NoFrame);
  QPalette list = characterList_->palette();
  list.setColor(QPalette::Base, kListColour);
  list.setColor(QPalette::Text, Qt::black);
  // Keep the selection visible when the hut is not the active window.
  list.setColor(QPalette::Inactive, QPalette::Highlight, list.color(QPalette::Active, QPalette::Highlight));
  list.setColor(QPalette::Inactive, QPalette::HighlightedText,
                list.color(QPalette::Active, QPalette::HighlightedText));
  characterList_->setPalette(list);

  characterList_->viewport()->installEventFilter(this);
  characterList_->setAccessibleName(Text("キャラクター"));

  // Built after the list, so that the drop-downs lie above it.
  menuBar_ = std::make_unique<HutMenuBar>(
      *this, *menuStrip_, *bodyPanel_, [this] { return ReceiveEnabled(); },
      [this](MenuCommand command) { RunMenuCommand(command); });

  BuildPopupMenu();

  receiveTimer_ = new QTimer(this);
  receiveTimer_->setObjectName("receiveTimer");
  connect(receiveTimer_, &QTimer::timeout, this, [this] { ReceiveOnTimer(); });
  returnTimer_ = new QTimer(this);
  returnTimer_->setObjectName("returnTimer");
  returnTimer_->setInterval(CharacterLifecycle::kReturnCheckMs);
  connect(returnTimer_, &QTimer::timeout, this, [this] { ReturnDueCharacters(); });

  trayWaitTimer_ = new QTimer(this);
  trayWaitTimer_->setObjectName("trayWaitTimer");
  trayWaitTimer_->setSingleShot(true);
  connect(trayWaitTimer_, &QTimer::timeout, this, [this] { ShowIfNoTray(); });

  trayMenu_ = new QMenu(this);
  trayMenu_->setObjectName("trayMenu");
  openHutAction_ = trayMenu_->addAction(Text("小屋を開く(&O)"));
  openHutAction_->setObjectName("openHutAction");
  exitAction_ = trayMenu_->addAction(Text("終了(&X)"));
  exitAction_->setObjectName("exitAction");
  connect(openHutAction_, &QAction::triggered, this, [this] { OpenHut(); });
  connect(exitAction_, &QAction::triggered, this, [this] { Quit(); });
}

void HutWindow::Start() {
  // The first start in this program folder (the hut has never written its
  // handle): the starter characters take ids of their own before anything
  // names them.
  if (!platform::IniFile(startup_.settingsPath).ValueExists("Main", "Handle")) {
    const Clock& clock = startup_.clock ? *startup_.clock : *ownClock_;
    GiveStartersOwnIds(startup_.programFolder, [&] { return MakeCharacterId(clock.Now(), random_, ""); });
  }

  // 1. With "/s" the hut stays hidden; no show will write the handle. Only
  // the tray could bring it up: without one the hut comes up after all.
  showAtStart_ = startup_.firstArgument != "/s";
  if (!showAtStart_) {
    SaveHutHandle();
    if (!TrayAvailable()) trayWaitTimer_->start(std::max(0, startup_.trayWaitMs));
  }

  // 2. No taskbar button: the hut is a tool window (set at construction).

  // 3.-4. Fresh lists, then the saved ones.
  characterWindows_.clear();
  characterList_->clear();
  characterIcons_.clear();
  registry_.ClearLists();
  registry_.LoadLists();
  registry_.DropContradictions();

  // 5. The character folders, in listing order.
  for (const auto& character : ScanCharacterFolders(registry_)) {
    CharacterItem* item = AddCharacter(character.name, character.folder, character.id, character.out,
                                   character.iconPath);
    CharacterWindow& window = *characterWindows_[item->data.index];
    if (character.out && window.LoadScenes()) {
      window.show();
      window.StartWalking();
    }
  }

  // 6. The house shape.
  ShapeHut();

  // 7.-8. The menu bar starts closed, its close button drawn plain; its
  // keys work while the hut is the active window.
  menuBar_->CloseMenus();
  menuBar_->InstallKeyboardFilter();

  // 9. The tray icon.
  AddTrayIcon();

  // 10. The help file: the user guide that comes with the program.
  const std::string executableFolder = platform::ExtractFilePath(platform::ExecutablePath());
  helpFile_ = FindUserGuide(startup_.guideFolders.empty() ? UserGuideFolders(executableFolder)
                                                          : startup_.guideFolders);
  helpFound_ = !helpFile_.empty();
  if (!helpFound_) {
    helpFile_ = startup_.guideFolders.empty() ? ExpectedUserGuide(executableFolder)
                                              : ExpectedUserGuide(startup_.guideFolders.front());
  }

  // 11.
  exitPermitted_ = false;

  returnTimer_->start();
}

CharacterItem* HutWindow::AddCharacter(const std::string& name, const std::string& folder,
                                   const std::string& id, bool out, const std::string& iconPath,
                                   int slot) {
  if (slot < 0) slot = static_cast<int>(characterWindows_.size());
  AddItem(name, CharacterRecord{folder, id, out, slot}, iconPath);
  CreateCharacterWindow(slot, id, folder);
  return Item(ItemCount() - 1);
}

void HutWindow::AddItem(const std::string& caption, const CharacterRecord& data, const std::string& iconPath) {
  auto* item = new CharacterItem(platform::ToQString(caption), data);
  characterList_->addItem(item);
  // An unreadable picture leaves the character without an icon rather than
  // out of the hut.
  QImage picture = LoadPicture(iconPath);
  if (!picture.isNull()) {
    characterIcons_.push_back(MaskedIcon(picture));
    item->imageIndex = static_cast<int>(characterIcons_.size()) - 1;
    // The selection shows in the name's highlight; a tinted picture would
    // look like another animal.
    QIcon icon;
    icon.addPixmap(characterIcons_.back(), QIcon::Normal);
    icon.addPixmap(characterIcons_.back(), QIcon::Selected);
    item->setIcon(icon);
  }
}

void HutWindow::DeleteItem(int row, IconFate icon) {
  CharacterItem* item = Item(row);
  if (!item) return;
  const int image = item->imageIndex;
  DropItemRecord(item);
  delete characterList_->takeItem(row);
  if (icon == IconFate::Keep || image < 0 || image >= static_cast<int>(characterIcons_.size())) return;
  characterIcons_.erase(characterIcons_.begin() + image);
  // Icons behind the removed one move down by one. Icon numbers are not
  // the list positions (a character that left with a mail leaves its icon
  // behind, an unreadable picture leaves an item without one), so they are
  // compared, not counted.
  for (int other = 0; other < ItemCount(); ++other) {
    if (Item(other)->imageIndex > image) --Item(other)->imageIndex;
  }
}

void HutWindow::DropItemRecord(CharacterItem*) {
  // The record lives in the item and goes with it.
}

void HutWindow::SetItemCaption(int row, const std::string& caption) {
  if (CharacterItem* item = Item(row)) item->setText(platform::ToQString(caption));
}

void HutWindow::ArrangeIcons() { characterList_->doItemsLayout(); }

CharacterRecord& HutWindow::ItemData(int row) { return Item(row)->data; }

int HutWindow::SelectedRow() const {
  CharacterItem* item = SelectedItem();
  return item ? characterList_->row(item) : -1;
}

CharacterItem* HutWindow::SelectedItem() const {
  const auto selected = characterList_->selectedItems();
  return selected.isEmpty() ? nullptr : static_cast<CharacterItem*>(selected.front());
}

bool HutWindow::HasWindow(int slot) const {
  return slot >= 0 && slot < static_cast<int>(characterWindows_.size()) && characterWindows_[slot];
}

void HutWindow::CreateCharacterWindow(int slot, const std::string& id, const std::string& folder) {
  auto form = std::make_unique<CharacterWindow>(*this, edges_);
  form->SetIdentity(slot, id, folder);
  if (slot >= static_cast<int>(characterWindows_.size())) characterWindows_.resize(slot + 1);
  characterWindows_[slot] = std::move(form);
}

void HutWindow::DestroyCharacterWindow(int slot) {
  if (!HasWindow(slot)) return;
  // The slot empties now; the window itself goes later, as it may be the
  // one whose menu started what made it leave.
  characterWindows_[slot]->hide();
  characterWindows_[slot]->StopWalking();
  retired_.push_back(std::move(characterWindows_[slot]));
  ScheduleRetiredDeletion();
}

void HutWindow::ScheduleRetiredDeletion() {
  // Inside SendMailBy the modal loop runs posted calls while the calling
  // window's menu handler is still below it; SendMailBy schedules again
  // when it returns.
  if (composingDepth_ > 0 || retired_.empty()) return;
  QTimer::singleShot(0, this, [this] {
    if (composingDepth_ == 0) retired_.clear();
  });
}

bool HutWindow::LoadScenes(int slot) { return HasWindow(slot) && characterWindows_[slot]->LoadScenes(); }

void HutWindow::ShowOnDesktop(int slot) {
  if (!HasWindow(slot)) return;
  characterWindows_[slot]->StartWalking();
  characterWindows_[slot]->show();
}

void HutWindow::HideFromDesktop(int slot) {
  if (!HasWindow(slot)) return;
  characterWindows_[slot]->hide();
  characterWindows_[slot]->StopWalking();
}

void HutWindow::SetWindowId(int slot, const std::string& id) {
  if (HasWindow(slot)) characterWindows_[slot]->SetId(id);
}

bool HutWindow::MailTransferBusy() const { return links_.mailTransferBusy && links_.mailTransferBusy(); }

void HutWindow::ForgetComposingCharacter() {
  // Only the carrier that just lost its window is forgotten: a character
  // leaving with an outbox mail must not take another's place beside the
  // composition window.
  CompositionOpener* composition = Composer();
  if (composition && !CarrierWindow(composition->LentCarrier())) composition->ForgetCarrier();
}

int HutWindow::FreeSlot() const {
  for (std::size_t slot = 0; slot < characterWindows_.size(); ++slot) {
    if (!characterWindows_[slot]) return static_cast<int>(slot);
  }
  return static_cast<int>(characterWindows_.size());
}

void HutWindow::ShapeHut() {
  QRect roof = roofPanel_->geometry();
  QRegion shape(RoofTriangle(roof), Qt::WindingFill);
  shape &= QRegion(rect());
  shape += QRegion(bodyPanel_->geometry());
  hutRegion_ = shape;
  setMask(hutRegion_);
}

void HutWindow::AddTrayIcon() {
  trayIcon_ = new QSystemTrayIcon(ApplicationIcon(), this);
  trayIcon_->setObjectName("trayIcon");
  trayIcon_->setToolTip(platform::ToQString(ProgramTitle()));
  connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    WindowMessage(WM_TRAYNOTIFY, kTrayIconId, TrayMouseMessage(reason));
  });
  // Shown even when no tray is there yet: a program started with the session
  // often comes up before the panel, and the icon joins the tray once it does.
  trayIcon_->show();
}

bool HutWindow::TrayAvailable() const {
  return startup_.trayAvailable ? startup_.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void HutWindow::ShowIfNoTray() {
  if (!TrayAvailable() && !isVisible()) OpenHut();
}

void HutWindow::RemoveTrayIcon() {
  if (!trayIcon_) return;
  trayIcon_->hide();
  delete trayIcon_;
  trayIcon_ = nullptr;
}

CharacterItem* HutWindow::Item(int row) const { return static_cast<CharacterItem*>(characterList_->item(row)); }

int HutWindow::ItemCount() const { return characterList_->count(); }

void HutWindow::SaveHutHandle() {
  platform::IniFile settings(startup_.settingsPath);
  settings.WriteString("Main", "Handle", std::to_string(static_cast<unsigned long long>(winId())));
}

void HutWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  SaveHutHandle();
}

void HutWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  SaveHutHandle();
}

void HutWindow::closeEvent(QCloseEvent* event) {
  if (exitPermitted_) {
    exitPermitted_ = false;
    event->accept();
    EndProgram();
    return;
  }
  event->ignore();
  if (TrayAvailable()) {
    hide();
  } else {
    Quit();
  }
}

void HutWindow::EndProgram() {
  if (endProgram_) {
    endProgram_();
  } else {
    QCoreApplication::exit(0);
  }
}

void HutWindow::WindowMessage(std::uint32_t message, std::int32_t, std::int32_t lParam) {
  if (message == WM_SHOWHUT) {
    WMShowHut();
  } else if (message == WM_TRAYNOTIFY) {
    WMTrayNotify(lParam);
  }
}

void HutWindow::WMShowHut() { OpenHut(); }

void HutWindow::KeepOnOneMonitor() {
  const QRect frame = frameGeometry();
  const QRect onto = platform::OntoOneScreen(frame);
  if (onto != frame) move(onto.topLeft());
}

void HutWindow::WMTrayNotify(std::int32_t mouseMessage) {
  if (mouseMessage == kTrayRightButtonUp) trayMenu_->popup(QCursor::pos());
}

void HutWindow::OpenHut() {
  if (isVisible()) KeepOnOneMonitor();
  show();
  raise();
  activateWindow();
}

void HutWindow::Quit() {
  // Hidden, as a close would hide it where a tray shows, then the end.
  hide();
  EndProgram();
}

void HutWindow::QueryEndSession() { exitPermitted_ = true; }

void HutWindow::EndSession() {
  QueryEndSession();
  close();
}

void HutWindow::ArmReceiveTimer(int intervalMs, bool enabled) {
  receiveTimer_->setInterval(intervalMs);
  if (enabled) {
    receiveTimer_->start();
  } else {
    receiveTimer_->stop();
  }
}

void HutWindow::ReceiveOnTimer() {
  CallLink(links_.clearReceivingFlag, "clearReceivingFlag");
  if (links_.receivePeriodically) {
    links_.receivePeriodically();
  } else if (links_.receive) {
    links_.receive();
  }
}

void HutWindow::ReturnHome(int index) { lifecycle_.ReturnHome(index); }

void HutWindow::BuildPopupMenu() {
  characterMenu_ = new QMenu(characterList_);
  characterMenu_->setObjectName("characterMenu");
  auto add = [this](const char* name, const char* text, void (HutWindow::*command)()) {
    QAction* action = characterMenu_->addAction(Text(text));
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, [this, command] { (this->*command)(); });
    return action;
  };
  goOutAction_ = add("goOutAction", "外に出る(&O)", &HutWindow::GoOut);
  returnHomeAction_ = add("returnHomeAction", "小屋に戻る(&R)", &HutWindow::ReturnSelectedHome);
  writeMailAction_ = add("writeMailAction", "メールを送る(&M)", &HutWindow::WriteMail);
  characterMenu_->addSeparator();
  evolveAction_ = add("evolveAction", "進化(&C)", &HutWindow::EditCharacter);
  haveChildAction_ = add("haveChildAction", "子供を産む(&K)", &HutWindow::HaveChild);
  leaveForGoodAction_ = add("leaveForGoodAction", "旅に出る(&T)", &HutWindow::LeaveForGood);
  characterMenu_->addSeparator();
  newCharacterAction_ = add("newCharacterAction", "新規キャラクター(&N)", &HutWindow::NewCharacter);
  receiveAction_ = add("receiveAction", "メール受信(&J)", &HutWindow::ReceiveMail);

  characterList_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(characterList_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    PrepareCharacterMenu();
    characterMenu_->popup(characterList_->viewport()->mapToGlobal(at));
  });
}

void HutWindow::PrepareCharacterMenu() {
  CharacterItem* item = SelectedItem();
  PopupEnabling on = mf::CharacterMenuEnabling(
      PopupSituation{item != nullptr, item && item->data.out, ItemCount(), ReceiveEnabled()});
  goOutAction_->setEnabled(on.goOut);
  returnHomeAction_->setEnabled(on.returnHome);
  writeMailAction_->setEnabled(on.writeMail);
  evolveAction_->setEnabled(on.evolve);
  haveChildAction_->setEnabled(on.haveChild);
  leaveForGoodAction_->setEnabled(on.leaveForGood);
  newCharacterAction_->setEnabled(on.newCharacter);
  receiveAction_->setEnabled(on.receive);
}

void HutWindow::ReturnSelectedHome() {
  if (CharacterItem* item = SelectedItem()) ReturnHome(item->data.index);
}

void HutWindow::WriteMail() {
  CharacterItem* item = SelectedItem();
  if (!item || !Composer() || ShowOpenComposition()) return;
  Composer()->StartNewMail();
  SendMailBy(item);
}

bool HutWindow::ShowOpenComposition() {
  // There is one composition window: a mail being written (a new one from
  // the mail list, which no character carries) is brought forward instead of
  // being emptied for another.
  CompositionOpener* composition = Composer();
  if (!composition || !composition->Composing()) return false;
  composition->BringForward();
  return true;
}

void HutWindow::SetCharacterEditor(CharacterEditorLauncher* editor,
                                   std::function<std::string()> senderAddress) {
  characterEditor_ = editor;
  senderAddress_ = std::move(senderAddress);
}

void HutWindow::EditCharacter() {
  CharacterItem* item = SelectedItem();
  if (!item || !characterEditor_) return;
  // Copied: the item may change while the editor is open.
  const CharacterRecord data = item->data;
  making_.Evolve(platform::FromQString(item->text()), data, senderAddress_ ? senderAddress_() : "",
                 *characterEditor_);
}

void HutWindow::HaveChild() {
  CharacterItem* item = SelectedItem();
  if (!item || !characterEditor_) return;
  const CharacterRecord data = item->data;
  making_.GiveBirth(platform::FromQString(item->text()), data, senderAddress_ ? senderAddress_() : "",
                    *characterEditor_);
}

void HutWindow::NewCharacter() {
  if (characterEditor_) making_.NewCharacter(senderAddress_ ? senderAddress_() : "", *characterEditor_);
}

void HutWindow::ReceiveMail() {
  CallLink(links_.receive, "receive");
}

void HutWindow::ShowMailList() {
  CallLink(links_.showMailList, "showMailList");
}

void HutWindow::ShowVersion() {
  CallLink(links_.showVersion, "showVersion");
}

void HutWindow::OpenHelp() {
  // Where nothing opens the guide, or it is gone, the user learns where it
  // is (or should be) and can open it by hand.
  if (!helpFound_ || !platform::FileExists(helpFile_)) {
    Dialogs().Information(UserGuideMissingText(helpFile_));
    return;
  }
  platform::Shell& shell = startup_.shell ? *startup_.shell : *ownShell_;
  if (!shell.OpenDocument(helpFile_, platform::ExtractFilePath(helpFile_))) {
    Dialogs().Information(UserGuideNotOpenedText(helpFile_));
  }
}

void HutWindow::RunMenuCommand(MenuCommand command) {
  switch (command) {
    case MenuCommand::MailList: ShowMailList(); break;
    case MenuCommand::NewCharacter: NewCharacter(); break;
    case MenuCommand::Receive: ReceiveMail(); break;
    case MenuCommand::CloseHut: close(); break;
    case MenuCommand::Help: OpenHelp(); break;
    case MenuCommand::Version: ShowVersion(); break;
  }
}

void HutWindow::DepartWithMail(const std::string& id) {
  const CharacterItem* item = FirstItemWithId(id);
  const std::string name = item ? platform::FromQString(item->text()) : std::string();
  // Taken before the character's window goes.
  const QPoint near = NoticePlace(item ? item->data.index : -1);
  const DateTime now = startup_.clock ? startup_.clock->Now() : ownClock_->Now();
  if (auto back = lifecycle_.DepartWithMail(id)) Notify(ProgramTitle(), DepartureNoticeText(name, *back, now), near);
}

QPoint HutWindow::NoticePlace(int slot) const {
  if (HasWindow(slot) && characterWindows_[slot]->isVisible()) return characterWindows_[slot]->geometry().topLeft();
  if (isVisible()) return geometry().topLeft() + QPoint(kSideWidth, kRoofHeight + kMenuHeight);
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry().center() : QPoint(0, 0);
}

void HutWindow::Notify(const std::string& title, const std::string& text, QPoint near) {
  if (trayIcon_ && TrayAvailable() && QSystemTrayIcon::supportsMessages()) {
    trayIcon_->showMessage(platform::ToQString(title), platform::ToQString(text), ApplicationIcon());
    return;
  }
  // Never a message box: the user is told, not asked.
  QPointer<HutWindow> self(this);
  auto ownNotice = [self, title, text, near] {
    if (self) self->ownNotice_->Show(title, text, near);
  };
  if (links_.notifyDesktop) {
    links_.notifyDesktop(title, text, ownNotice);
  } else {
    ownNotice();
  }
}

CharacterItem* HutWindow::FirstItemWithId(const std::string& id) const {
  for (int row = 0; row < ItemCount(); ++row) {
    if (Item(row)->data.id == id) return Item(row);
  }
  return nullptr;
}

void HutWindow::SendMailByCharacter(const std::string& id) {
  // A character on the desktop opens a fresh mail, as the hut's command does.
  CharacterItem* item = FirstItemWithId(id);
  if (!item || !Composer() || ShowOpenComposition()) return;
  Composer()->StartNewMail();
  SendMailBy(item);
}

bool HutWindow::SendMailByCharacterId(const std::string& id) {
  CharacterItem* item = FirstItemWithId(id);
  return item && SendMailBy(item);
}

bool HutWindow::SendMailBy(CharacterItem* item) {
  // One composition at a time: the window is modal, but a character's menu
  // could still be reached through the keyboard of another window.
  if (!item || !Composer() || Composer()->Composing()) return false;
  // The item goes from the list if the character leaves with the mail.
  const CharacterRecord data = item->data;

  const std::optional<std::string> package = PrepareCarrierPackage(data.folder);
  if (!package) {
    Dialogs().Error(BrokenPackageText());
    return false;
  }

  const bool fromViewer = Composer()->OpenedFromViewer();
  const CarrierRef carrier{data.index, data.id};
  CharacterWindow* form = CarrierWindow(carrier);
  if (form) {
    // The viewer has parked its character already.
    if (!fromViewer) {
      form->ParkForMail();
      form->ShowFirstImage();
    }
    form->show();
    form->raise();
  }

  Composer()->SetCarrier(*package, data.id);
  if (form) Composer()->StandBeside(carrier, ScreenPoint{form->x(), form->y()}, CharacterWindow::kPictureSize);
  Composer()->ClearRecipientPicker(false);

  ++composingDepth_;
  Composer()->ComposeModally();
  --composingDepth_;

  // A completed send whose character left has made the window forget it.
  if (Composer() && !Composer()->LentCarrier().Empty()) {
    const CarrierRef lent = Composer()->LentCarrier();
    Composer()->ForgetCarrier();
    if (!fromViewer) RestoreCarrier(lent);
  }
  ScheduleRetiredDeletion();
  return true;
}

void HutWindow::SetCompositionWindow(CompositionOpener* composition) {
  composition_ = composition;
  compositionGuard_ = dynamic_cast<QObject*>(composition);
  compositionGuarded_ = compositionGuard_ != nullptr;
}

CompositionOpener* HutWindow::Composer() const {
  return compositionGuarded_ && !compositionGuard_ ? nullptr : composition_;
}

CarrierRef HutWindow::LendCharacter(const std::string& id) {
  // The first listed character with this id that has a window presents the
  // mail; an item left behind by a character away with a mail has none.
  for (int row = 0; row < ItemCount(); ++row) {
    const CharacterRecord& data = Item(row)->data;
    if (data.id != id || !HasWindow(data.index)) continue;
    CharacterWindow& form = *characterWindows_[data.index];
    form.ParkForMail();
    form.ShowFirstImage();
    form.show();
    form.raise();
    form.activateWindow();
    return CarrierRef{data.index, data.id};
  }
  return {};
}

CharacterWindow* HutWindow::CarrierWindow(const CarrierRef& carrier) const {
  if (carrier.Empty() || !HasWindow(carrier.slot)) return nullptr;
  CharacterWindow* form = characterWindows_[carrier.slot].get();
  return form->Id() == carrier.id ? form : nullptr;
}

std::optional<CarrierPlace> HutWindow::PlaceOf(const CarrierRef& carrier) const {
  CharacterWindow* form = CarrierWindow(carrier);
  if (!form) return std::nullopt;
  return CarrierPlace{ScreenPoint{form->x(), form->y()}, CharacterWindow::kPictureSize, CharacterWindow::kPictureSize};
}

void HutWindow::MoveCarrier(const CarrierRef& carrier, ScreenPoint topLeft) {
  if (CharacterWindow* form = CarrierWindow(carrier)) form->move(topLeft.x, topLeft.y);
}

void HutWindow::BringCarrierIntoView(const CarrierRef& carrier) {
  if (CharacterWindow* form = CarrierWindow(carrier)) {
    form->show();
    form->raise();
  }
}

void HutWindow::RestoreCarrier(const CarrierRef& carrier) {
  CharacterWindow* form = CarrierWindow(carrier);
  if (!form) return;
  form->ShowCurrentFrame();
  form->RestoreAfterMail();
}

platform::Dialogs& HutWindow::Dialogs() { return startup_.dialogs ? *startup_.dialogs : *ownDialogs_; }

bool HutWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  if (messages_ && eventType == "xcb_generic_event_t") {
    if (auto received = messages_->Read(message)) {
      WindowMessage(received->message, received->wParam, received->lParam);
      *result = 0;
      return true;
    }
  }
  return QWidget::nativeEvent(eventType, message, result);
}

bool HutWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == roofPanel_) {
    switch (event->type()) {
      case QEvent::Paint:
        PaintRoof(roofPanel_);
        return true;
      case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (menuBar_) menuBar_->CloseMenus();
        if (mouse->button() == Qt::LeftButton) {
          roofDragging_ = true;
          roofPress_ = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
        }
        return true;
      }
      case QEvent::MouseMove:
        if (roofDragging_) move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - roofPress_);
        return true;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && roofDragging_) {
          roofDragging_ = false;
          KeepOnOneMonitor();
        }
        return true;
      default:
        break;
    }
  } else if (watched == characterList_->viewport() && event->type() == QEvent::MouseButtonPress) {
    if (menuBar_) menuBar_->CloseMenus();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace mf
