#pragma once

#include <QColor>
#include <QObject>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "hut/HutMenu.h"

class QLabel;
class QTimer;

namespace mf {

// The hut's colours (Windows values 0x00BBGGRR written as red, green, blue).
inline const QColor kHutNormalColour(0xEF, 0xF2, 0xAA);       // 0xAAF2EF
inline const QColor kHutHighlightColour(0xDD, 0xFF, 0xFF);    // 0xFFFFDD
inline const QColor kHutDisabledTextColour(0x80, 0x80, 0x80);  // 0x808080

// A label that paints itself the way the hut's menus look: a fill colour,
// an optional bevel and a left-aligned or centred text with its "&" key
// underlined.
class MenuLabel final : public QWidget {
  Q_OBJECT

 public:
  MenuLabel(const QString& text, Qt::Alignment alignment, QWidget* parent);
  void SetLook(TitleLook look, const QColor& fill, const QColor& text);
  TitleLook Look() const { return look_; }
  QColor Fill() const { return fill_; }
  QColor TextColour() const { return textColour_; }
  QString Text() const { return text_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  Qt::Alignment alignment_;
  TitleLook look_ = TitleLook::Plain;
  QColor fill_ = kHutNormalColour;
  QColor textColour_ = Qt::black;
};

// The hut's hand-made menu bar: the two titles, their drop-downs and the
// close button, drawn in the strip `menuStrip`, with the drop-downs floating
// over `body`. Mouse, hover-timer and key events go to a HutMenu; this
// class paints what it says and hands chosen commands to `run`. It must go
// before the hut's controls do.
class HutMenuBar final : public QObject {
  Q_OBJECT

 public:
  HutMenuBar(QWidget& hut, QWidget& strip, QWidget& body, std::function<bool()> receiveEnabled,
             std::function<void(MenuCommand)> run);
  ~HutMenuBar() override;

  // Closes the menus; when the hut is still active the control under the
  // pointer gets its hover look back.
  void CloseMenus();
  // The keyboard filter on the whole application, while the hut is active.
  void InstallKeyboardFilter();

  const HutMenu& State() const { return menu_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildDropDowns(QWidget& body);
  // Roles, names and press actions for screen readers.
  void MakeAccessible();
  // What a click on a title or a drop-down item does, for the press action.
  void PressTitle(MenuTitle title);
  void ChooseItem(int item);
  void CheckMouseLeave();
  // Where the global point lies for the menu; the open drop-down counts.
  MenuTarget TargetAt(const QPoint& global) const;
  int ItemAt(const QPoint& global) const;
  // The drop-down items with their cursor values.
  std::array<std::pair<MenuLabel*, int>, 6> Items() const;
  std::optional<MenuTarget> PointerIfActive() const;
  bool HandleKey(QEvent* event);
  void Run(std::optional<MenuCommand> command);
  // Paints every control from the menu state and starts or stops the timer.
  void Refresh();
  void DrawCloseButton(bool hover);

  // The application-wide key filter is an object of its own, so that the
  // mouse events of the menu controls do not reach this one twice.
  class KeyFilter;
  std::unique_ptr<KeyFilter> keyFilter_;
  QWidget& hut_;
  QWidget& strip_;
  HutMenu menu_;
  std::function<void(MenuCommand)> run_;
  int closeDrawn_ = -1;  // the close button look last drawn
  bool titlePressed_ = false;  // the left button went down on a title and is still down

  // Controls.
  QWidget* fileMenuHolder_;   // holds fileMenuLabel
  QWidget* helpMenuHolder_;   // holds helpMenuLabel
  MenuLabel* fileMenuLabel_;  // "ファイル(&F)"
  MenuLabel* helpMenuLabel_;  // "ヘルプ(&H)"
  QLabel* closePicture_;      // close button picture
  QWidget* closeButton_;      // transparent, over closePicture; takes the mouse
  QWidget* fileDropDown_;
  QWidget* helpDropDown_;
  MenuLabel* mailListItem_;      // メール一覧
  MenuLabel* newCharacterItem_;  // 新規キャラクター
  MenuLabel* receiveMailItem_;   // メール受信
  MenuLabel* closeItem_;         // 閉じる
  MenuLabel* helpItem_;          // ヘルプ
  MenuLabel* versionItem_;       // バージョン情報
  QTimer* hoverTimer_;
};

}  // namespace mf
