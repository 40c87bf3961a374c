#include "character/gui/CharacterWindow.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <optional>

#include "base/ShiftJis.h"
#include "character/NumberedPictures.h"
#include "character/WindowEdgeSearch.h"
#include "character/gui/ScreenMonitors.h"
#include "character/gui/ShapedPicture.h"
#include "platform/Files.h"
#include "platform/qt/AccessibleControls.h"
#include "platform/qt/QtDialogs.h"

namespace mf {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// ShowFirstImage looks no further than this picture number.
constexpr long long kHighestFirstPicture = 100000;
// How far (in the toolkit's pixels, across and down together) the toolkit's
// idea of where a character stands may lag behind the character placed
// straight on the server: near enough to give way, to open a bubble beside
// it or to place a notice, and it spares the toolkit a move on most steps.
constexpr int kToolkitLag = 6;

QSize PrimaryScreenSize() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize(0, 0);
}

}  // namespace

QImage LoadPicture(const std::string& path) {
  QImage picture;
  auto bytes = platform::ReadFile(path);
  if (!bytes) return picture;
  if (!picture.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                            static_cast<int>(bytes->size()), "BMP")) {
    return QImage();
  }
  return picture.convertToFormat(QImage::Format_RGB32);
}

CharacterWindow::CharacterWindow(CharacterHost& host, WindowEdgeSearch& edges)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      host_(host),
      edges_(edges),
      engine_(edges, *this, random_) {
  setWindowTitle(Text("モフタンキャラクター"));
  // A character coming onto the screen must not take the keyboard away
  // from what the user is typing in.
  setAttribute(Qt::WA_ShowWithoutActivating);

  pictureView_ = new ShapedPicture(this);
  pictureView_->setObjectName("pictureView");
  pictureView_->move(0, 0);
  pictureView_->OnMouseDown = [this](QMouseEvent* e) { PictureMouseDown(e); };
  pictureView_->OnMouseMove = [this](QMouseEvent* e) { PictureMouseMove(e); };
  pictureView_->OnMouseUp = [this](QMouseEvent* e) { PictureMouseUp(e); };
  pictureView_->OnContextMenu = [this](const QPoint& at) { characterMenu_->popup(at); };

  walkTimer_ = new QTimer(this);
  walkTimer_->setObjectName("walkTimer");
  walkTimer_->setInterval(kTickMs);
  connect(walkTimer_, &QTimer::timeout, this, [this] { TakeStep(); });

  characterMenu_ = new QMenu(this);
  characterMenu_->setObjectName("characterMenu");
  comeInAction_ = characterMenu_->addAction(Text("小屋に戻す(&R)"));
  comeInAction_->setObjectName("comeInAction");
  writeMailAction_ = characterMenu_->addAction(Text("メールを送る(&M)"));
  writeMailAction_->setObjectName("writeMailAction");
  connect(comeInAction_, &QAction::triggered, this, [this] { ComeIn(); });
  connect(writeMailAction_, &QAction::triggered, this, [this] { WriteMail(); });
  // A dialog opening under a character must not wait for its next step.
  connect(qApp, &QApplication::focusChanged, this, [this] {
    // Posted: the newly active window is known once the change is done.
    QTimer::singleShot(0, this, [this] { GiveWayToActiveWindow(); });
  });

  SetUpWindow();
  // In the band of windows kept above the others from the start; set here
  // rather than among the window's flags above, for the reason in SetTopmost.
  SetTopmost(true);
  FollowScreens();
  platform::MakeAccessible(*this, {QAccessible::Window, {}, {}, {}});
}

CharacterWindow::~CharacterWindow() = default;

void CharacterWindow::SetUpWindow() {
  setFixedSize(kPictureSize, kPictureSize);
  pictureView_->resize(kPictureSize, kPictureSize);
  // Nothing is loaded yet: an empty picture of the right size, whose shape
  // is empty, so an unplaced window shows nothing.
  QImage blank(kPictureSize, kPictureSize, QImage::Format_RGB32);
  blank.fill(Qt::black);
  ShowPicture(blank);
  pictureView_->SendRequests();
  random_.SeedFromClock();
}

void CharacterWindow::FollowScreens() {
  edges_.SetMonitors(ScreenMonitors());
  connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
    WatchScreen(screen);
    MonitorsChangedLater();
  });
  connect(qApp, &QGuiApplication::screenRemoved, this, [this] { MonitorsChangedLater(); });
  connect(qApp, &QGuiApplication::primaryScreenChanged, this, [this] { MonitorsChangedLater(); });
  for (QScreen* screen : QGuiApplication::screens()) WatchScreen(screen);
}

void CharacterWindow::WatchScreen(QScreen* screen) {
  connect(screen, &QScreen::geometryChanged, this, [this] { MonitorsChangedLater(); });
  connect(screen, &QScreen::availableGeometryChanged, this, [this] { MonitorsChangedLater(); });
}

void CharacterWindow::MonitorsChangedLater() {
  // Posted: a screen that goes away is still listed while it is announced,
  // and one change often brings several signals.
  if (relayoutPosted_) return;
  relayoutPosted_ = true;
  QTimer::singleShot(0, this, [this] {
    relayoutPosted_ = false;
    MonitorsChanged();
  });
}

void CharacterWindow::MonitorsChanged() {
  edges_.SetMonitors(ScreenMonitors());
  // Only a character out on the desktop moves; one held by the mouse or
  // parked beside a mail stays where the user or the mail put it.
  if (!isVisible() || !walkTimer_->isActive() || dragging_) return;
  engine_.KeepOnMonitors();
  PlaceWindow();
  pictureView_->SendRequests();
}

void CharacterWindow::SetIdentity(int index, std::string id, std::string folder) {
  index_ = index;
  id_ = std::move(id);
  pictureCache_.clear();
  engine_.SetFolder(std::move(folder));
}

bool CharacterWindow::LoadScenes() {
  pictureCache_.clear();
  bool ok = engine_.LoadScenes();
  PlaceWindow();
  ShowCurrentFrame();
  return ok;
}

void CharacterWindow::Clear() { imageList_.clear(); }

bool CharacterWindow::Append(const std::string& path) {
  auto cached = pictureCache_.find(path);
  if (cached == pictureCache_.end()) {
    QImage picture = LoadPicture(path);
    if (picture.isNull()) return false;
    cached = pictureCache_.emplace(path, std::move(picture)).first;
  }
  imageList_.push_back(cached->second);
  return true;
}

void CharacterWindow::StartWalking() { walkTimer_->start(); }

void CharacterWindow::StopWalking() { walkTimer_->stop(); }

void CharacterWindow::TakeStep() {
  TickResult result = engine_.Tick();
  if (!result.advanced) return;
  if (result.reentered) {
    if (!givingWay_) SetTopmost(engine_.Topmost());
    show();
  }
  // A step reaches the server in one piece. The toolkit sends a move of its
  // own at once, so the picture and shape go before it; a move sent
  // directly waits with them and goes first, since a large picture is sent
  // the moment it is queued.
  const Placement placement = PlanPlacement();
  if (placement.direct) Place(placement);
  QueueCurrentFrame();
  if (!placement.direct) Place(placement);
  GiveWayToActiveWindow();
  pictureView_->SendRequests();
}

namespace {

// The program's window the user works in, unless it is a character.
QWidget* ActiveProgramWindow() {
  QWidget* active = QApplication::activeWindow();
  if (!active || qobject_cast<CharacterWindow*>(active) || !active->isVisible()) return nullptr;
  return active;
}

}  // namespace

void CharacterWindow::GiveWayToActiveWindow() {
  // Only a character walking the desktop: one carried home, held by the
  // mouse or parked beside a mail keeps its place.
  const bool walking = isVisible() && walkTimer_->isActive();
  QWidget* active = walking ? ActiveProgramWindow() : nullptr;
  const bool covers = active && active->frameGeometry().intersects(frameGeometry());
  if (covers) {
    // Lowered once for each window it gives way to: another active window
    // may lie above the character again.
    if (givingWay_ && yieldedTo_ == active) return;
    givingWay_ = true;
    yieldedTo_ = active;
    if (IsTopmost()) SetTopmost(false);
    lower();
  } else if (givingWay_) {
    givingWay_ = false;
    yieldedTo_ = nullptr;
    if (engine_.Topmost()) SetTopmost(true);
  }
}

void CharacterWindow::MoveWindow(int left, int top) {
  pictureView_->ForgetPlacement();
  if (pos() != QPoint(left, top)) move(left, top);
}

void CharacterWindow::PlaceWindow() { Place(PlanPlacement()); }

CharacterWindow::Placement CharacterWindow::PlanPlacement() const {
  Placement placement;
  placement.device = QPoint(engine_.Left(), engine_.Top());
  const QRect device(placement.device, QSize(engine_.Width(), engine_.Height()));
  const QScreen* screen = ScreenAtDevicePoint(device.center());
  placement.logical = DeviceToLogical(device.topLeft(), screen);
  // The toolkit places a window in its own scaled pixels, and at a scale of
  // 1.5 or 2 some of the server's pixels cannot be reached that way. Across,
  // the nearest one does; down, a character standing a pixel off a window's
  // top would fall through it. Those heights go to the server directly, and
  // so does the step after one of them, which the toolkit would take for no
  // move. The toolkit must still know where the window stands (giving way,
  // its accessible extents, the places of notices), and it learns that only
  // from its own moves (see Place). Onto another monitor the toolkit moves
  // it, giving it that monitor's scale and size.
  placement.reachable = LogicalToDevice(placement.logical, screen).y() == device.y();
  const bool onItsScreen = windowHandle() != nullptr && windowHandle()->screen() == screen;
  placement.direct = (!placement.reachable || pictureView_->PlacedExactly()) && onItsScreen;
  return placement;
}

void CharacterWindow::Place(const Placement& placement) {
  if (placement.direct) {
    // The toolkit moves it too, to the nearest of its own pixels, once it
    // lags too far, and the exact move after its own wins. A character
    // whose steps kept it on heights the toolkit cannot reach (every other
    // one at a scale of 2) was otherwise never moved by the toolkit, which
    // went on taking it to stand where it had last put it: it never gave way
    // to the active window, and bubbles, notices and its accessible extents
    // went elsewhere.
    if ((pos() - placement.logical).manhattanLength() > kToolkitLag) {
      move(placement.logical);
      pictureView_->ForgetPlacement();
    }
    if (pictureView_->PlaceWindowExactly(placement.device)) {
      if (placement.reachable) pictureView_->ForgetPlacement();
      return;
    }
  }
  MoveWindow(placement.logical.x(), placement.logical.y());
}

void CharacterWindow::TellEngine(QPoint logical, const QScreen* screen) {
  QPoint device = LogicalToDevice(logical, screen);
  if (screen) engine_.SetScale(screen->devicePixelRatio());
  engine_.MoveTo(device.x(), device.y());
}

void CharacterWindow::ShowPicture(const QImage& picture) {
  pictureView_->SetPicture(picture);
  QueueShape();
  pictureView_->Present();
}

bool CharacterWindow::IsPlacedAt(const QRect& device) const {
  const QWindow* native = windowHandle();
  if (native == nullptr) return false;
  const qreal ratio = devicePixelRatioF();
  if (device.size() != QSize(qRound(width() * ratio), qRound(height() * ratio))) return false;
  // Gone to a pixel the toolkit cannot reach, the window stands where the
  // toolkit's own last move put it, a step or two behind at most; near
  // enough for what it does with the place (the accessible extents, the
  // places of notices).
  return device.topLeft() == LogicalToDevice(pos(), native->screen()) ||
         pictureView_->PlacedAt() == std::optional<QPoint>(device.topLeft());
}

bool CharacterWindow::PictureExposed(std::uint16_t sequence) { return pictureView_->Exposed(sequence); }

void CharacterWindow::Reshape() {
  QueueShape();
  pictureView_->SendRequests();
}

void CharacterWindow::QueueShape() {
  const QImage& picture = pictureView_->Picture();
  if (picture.isNull()) return;
  pictureView_->TransparentColor = picture.pixel(0, 0);
  pictureView_->BuildRegion();
  pictureView_->ApplyRegion();
}

void CharacterWindow::ShowCurrentFrame() {
  QueueCurrentFrame();
  pictureView_->SendRequests();
}

void CharacterWindow::QueueCurrentFrame() {
  int index = engine_.ShownPictureIndex();
  if (index >= 0 && index < static_cast<int>(imageList_.size())) {
    ShowPicture(imageList_[index]);
  } else {
    QueueShape();
  }
}

void CharacterWindow::ShowFirstImage() {
  for (const auto& path : NumberedPictures(Folder(), kHighestFirstPicture)) {
    QImage picture = LoadPicture(path);
    if (picture.isNull()) continue;
    ShowPicture(picture);
    pictureView_->SendRequests();
    return;
  }
}

void CharacterWindow::ComeIn() { host_.ReturnHome(index_); }

void CharacterWindow::WriteMail() { host_.SendMailByCharacter(id_); }

void CharacterWindow::PictureMouseDown(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = true;
  // Where in the picture it was taken, from the click itself: the toolkit's
  // idea of where the window stands may be a pixel off (see IsPlacedAt).
  pressPoint_ = pictureView_->mapTo(this, event->position().toPoint());
  timerBeforeDrag_ = walkTimer_->isActive();
  walkTimer_->stop();
}

void CharacterWindow::PictureMouseMove(QMouseEvent* event) {
  if (!dragging_) return;
  QPoint pointer = event->globalPosition().toPoint();
  int left = pointer.x() - pressPoint_.x();
  int top = pointer.y() - pressPoint_.y();
  MoveWindow(left, top);
  TellEngine(QPoint(left, top), ScreenAtLogicalPoint(pointer));
}

void CharacterWindow::PictureMouseUp(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  // Dropped hanging over the edge of a monitor into a part no monitor
  // shows, it comes onto the monitor it was dropped on.
  engine_.KeepOnMonitors();
  PlaceWindow();
  pictureView_->SendRequests();
  if (timerBeforeDrag_) walkTimer_->start();
}

void CharacterWindow::ParkForMail() {
  givingWay_ = false;
  yieldedTo_ = nullptr;
  parkedLeft_ = x();
  parkedTop_ = y();
  parkedVisible_ = isVisible();
  parkedTimer_ = walkTimer_->isActive();
  walkTimer_->stop();
  // The bubble beside it points at it: behind the mail list or the hut the
  // user would read a mail that nobody brought. It stands in the topmost
  // band, whatever its scene chose, until it is put back.
  SetTopmost(true);
  ScreenPoint& position = host_.MailPosition();
  // A point on any monitor stays; one that no monitor shows any more goes to
  // the middle of the main screen.
  const QPoint asked(position.x, position.y);
  if (!QGuiApplication::screenAt(asked)) {
    QSize screen = PrimaryScreenSize();
    position = CorrectMailPosition(position, screen.width(), screen.height(), pictureView_->width(),
                                   pictureView_->height());
  }
  MoveWindow(position.x, position.y);
  TellEngine(QPoint(position.x, position.y), ScreenAtLogicalPoint(QPoint(position.x, position.y)));
}

void CharacterWindow::RestoreAfterMail() {
  SetTopmost(engine_.Topmost());
  MoveWindow(parkedLeft_, parkedTop_);
  TellEngine(QPoint(parkedLeft_, parkedTop_), ScreenAtLogicalPoint(QPoint(parkedLeft_, parkedTop_)));
  setVisible(parkedVisible_);
  if (parkedTimer_) walkTimer_->start();
}

void CharacterWindow::SetTopmost(bool topmost) {
  Qt::WindowFlags flags = windowFlags();
  flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
  // On X11 the window manager is told directly: told of this flag, the
  // toolkit's X11 backend makes the window anew at its next showing, behind
  // the widget's back. Elsewhere the native window takes the flag (changing
  // the widget's flags the usual way would re-create and hide it). Either
  // way the widget only records it, for IsTopmost and the owners of dialogs.
  if (!pictureView_->KeepAbove(topmost)) {
    if (QWindow* native = windowHandle()) native->setFlags(flags);
  }
  overrideWindowFlags(flags);
  if (topmost && isVisible()) raise();
}

bool CharacterWindow::IsTopmost() const { return windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

}  // namespace mf
