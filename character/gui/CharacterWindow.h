#pragma once

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/Random.h"
#include "character/CharacterEngine.h"
#include "character/CharacterHost.h"

class QAction;
class QMenu;
class QMouseEvent;
class QScreen;
class QTimer;

namespace mf {

class ShapedPicture;
class WindowEdgeSearch;

// A desktop character: a borderless 46 x 46 window cut to the shape of the
// picture it shows, running the animation engine on its own 200 ms timer.
// The hut creates one per listed character and shows it while the
// character is out.
class CharacterWindow final : public QWidget, private PictureList {
  Q_OBJECT

 public:
  static constexpr int kPictureSize = CharacterEngine::kWindowSize;
  static constexpr int kTickMs = 200;

  // `edges` is shared by every character window and must outlive it.
  CharacterWindow(CharacterHost& host, WindowEdgeSearch& edges);
  ~CharacterWindow() override;

  // Identity, set by the hut right after creation.
  void SetIdentity(int index, std::string id, std::string folder);
  int Index() const { return index_; }
  const std::string& Id() const { return id_; }
  void SetId(std::string id) { id_ = std::move(id); }
  const std::string& Folder() const { return engine_.Folder(); }

  // Reads scene.txt and places the character for its entry; false when it
  // has no weighted free scene and so cannot go out.
  bool LoadScenes();

  // The 200 ms step.
  void TakeStep();
  // Starts and stops the steps.
  void StartWalking();
  void StopWalking();

  // The monitors changed (one came, went, moved or changed its work area):
  // the shared edge search learns the new layout, and a character out on a
  // monitor that went away moves onto a remaining one.
  void MonitorsChanged();

  // Right-click menu commands.
  void ComeIn();
  void WriteMail();

  // Mouse handlers of the picture: dragging.
  void PictureMouseDown(QMouseEvent* event);
  void PictureMouseMove(QMouseEvent* event);
  void PictureMouseUp(QMouseEvent* event);

  // Takes the transparent colour from pixel (0, 0) of the shown picture and
  // cuts the window to the picture's shape.
  void Reshape();
  // Shows the picture of the engine's current frame.
  void ShowCurrentFrame();
  // Shows the lowest-numbered picture of the folder that loads.
  void ShowFirstImage();
  // Makes the character stand still at the mail position, above the
  // program's windows, and puts it back as it was.
  void ParkForMail();
  void RestoreAfterMail();

  // Whether the window stands at `device` (the X server's pixels) and has
  // its size, as the toolkit moved it or as it went to the server's pixel.
  bool IsPlacedAt(const QRect& device) const;
  // The X server shows part of the window anew (after the request numbered
  // `sequence`); false when the toolkit is to redraw it.
  bool PictureExposed(std::uint16_t sequence);

  // The engine's topmost flag, and switching the window in and out of the
  // topmost band without re-creating, moving or sizing it.
  bool TopmostFlag() const { return engine_.Topmost(); }
  void SetTopmost(bool topmost);
  bool IsTopmost() const;

  // A walking character never covers the program window the user works in
  // (a field of the settings dialog under it would lose its clicks): while
  // one of the program's own windows or dialogs is active and the
  // character overlaps it, the character leaves the topmost band and passes
  // behind it; once clear, it takes its topmost place again. Runs on every
  // step and whenever another window becomes active.
  void GiveWayToActiveWindow();
  // Whether it stands behind the active window now.
  bool GivingWay() const { return givingWay_; }

  CharacterEngine& Engine() { return engine_; }
  const std::vector<QImage>& Pictures() const { return imageList_; }
  bool Dragging() const { return dragging_; }

 private:
  // The engine's picture list: the pictures of the current scene.
  void Clear() override;
  bool Append(const std::string& path) override;

  void SetUpWindow();
  void FollowScreens();
  void WatchScreen(QScreen* screen);
  void MonitorsChangedLater();
  // These leave their requests to the X server waiting in the connection,
  // for the caller to send with the rest of its work.
  void ShowPicture(const QImage& picture);
  void QueueShape();
  void QueueCurrentFrame();
  void MoveWindow(int left, int top);
  // Puts the window where the engine has the character (device pixels):
  // through the toolkit, or straight to the server's pixel (direct).
  void PlaceWindow();
  struct Placement {
    QPoint device;
    QPoint logical;
    bool reachable = true;  // by the toolkit's scaled pixels
    bool direct = false;
  };
  Placement PlanPlacement() const;
  void Place(const Placement& placement);
  // Tells the engine where the window is, `logical` being its top-left
  // corner on `screen`.
  void TellEngine(QPoint logical, const QScreen* screen);

  CharacterHost& host_;
  WindowEdgeSearch& edges_;
  MersenneRandom random_;
  CharacterEngine engine_;
  std::vector<QImage> imageList_;
  // The pictures read since the character last went out, by path: a scene
  // shows pictures shown before, and a picture cannot change while its
  // character is out (it is edited only at home).
  std::unordered_map<std::string, QImage> pictureCache_;
  int index_ = -1;
  std::string id_;
  bool relayoutPosted_ = false;

  bool dragging_ = false;
  QPoint pressPoint_;
  bool timerBeforeDrag_ = true;

  int parkedLeft_ = -1000;
  int parkedTop_ = -1000;
  bool parkedVisible_ = false;
  bool parkedTimer_ = false;

  bool givingWay_ = false;
  QPointer<QWidget> yieldedTo_;

  // Controls.
  ShapedPicture* pictureView_;
  QTimer* walkTimer_;
  QMenu* characterMenu_;
  QAction* comeInAction_;
  QAction* writeMailAction_;
};

// Loads a picture file as the program's pictures are kept (Windows bitmap);
// a null image when the file cannot be read.
QImage LoadPicture(const std::string& path);

}  // namespace mf
