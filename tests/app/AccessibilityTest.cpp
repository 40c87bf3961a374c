// What a screen reader finds in every window of the program: each control a
// user can reach carries a name, the hand-drawn ones a role and a press
// action that does what their click does. The journeys find controls the
// same way, so a control that loses its name breaks them too.
#include <cxxabi.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTextEdit>
#include <filesystem>
#include <functional>
#include <memory>
#include <typeinfo>

#include "app/Program.h"
#include "hut/gui/HutMenuBar.h"
#include "hut/gui/HutWindow.h"
#include "mail/list/gui/MailListWindow.h"
#include "mail/send/gui/CompositionWindow.h"
#include "platform/Files.h"
#include "platform/qt/QtEventLoop.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/Controls.h"
#include "widgets/LabelButton.h"

namespace mf {
namespace {

std::string TypeName(const QWidget& widget) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(typeid(widget).name(), nullptr, nullptr, &status),
                                                   std::free);
  return status == 0 && readable ? readable.get() : typeid(widget).name();
}

// Widgets the program draws itself (as opposed to Qt's own controls).
bool OwnClass(const QWidget& widget) { return TypeName(widget).rfind("mf::", 0) == 0; }

QAccessibleInterface* Interface(QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); }

QString NameOf(QWidget* widget) { return Interface(widget)->text(QAccessible::Name); }

bool Pressable(QWidget* widget) {
  QAccessibleActionInterface* actions = Interface(widget)->actionInterface();
  return actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction());
}

// Depth first through the accessible tree, as a screen reader walks it.
QAccessibleInterface* Find(QAccessibleInterface* from, QAccessible::Role role, const QString& name) {
  if (from->role() == role && from->text(QAccessible::Name) == name) return from;
  for (int i = 0; i < from->childCount(); ++i) {
    if (QAccessibleInterface* child = from->child(i)) {
      if (QAccessibleInterface* found = Find(child, role, name)) return found;
    }
  }
  return nullptr;
}

void Press(QAccessibleInterface* control) {
  ASSERT_NE(control, nullptr);
  ASSERT_TRUE(control->actionInterface());
  control->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  // Presses run from the event loop, after the accessibility call returns.
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
}

class AccessibilityTest : public ProgramFixture {
 protected:
  // Every window the program made, shown or not.
  static QWidgetList Windows() {
    QWidgetList windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      // Qt's own pop-ups (menus, a combo box's list) are Qt's to name.
      if (widget->isWindow() && OwnClass(*widget)) windows << widget;
    }
    return windows;
  }
};

struct WindowCase {
  const char* name;  // what a screen reader announces
  QAccessible::Role role;
};

TEST_F(AccessibilityTest, EveryWindowSaysWhatItIs) {
  const WindowCase cases[] = {
      {"小屋", QAccessible::Window},
      // The mail list's caption names the folder it shows.
      {"受信", QAccessible::Window},
      {"メールの作成", QAccessible::Dialog},
      {"メール", QAccessible::Dialog},
      {"基本設定", QAccessible::Dialog},
      {"アドレス帳", QAccessible::Dialog},
      {"アドレス帳データ", QAccessible::Dialog},
      {"アドレス帳から選択", QAccessible::Dialog},
      {"キャラクターの作成・編集", QAccessible::Dialog},
      {"画像の追加", QAccessible::Dialog},
      {"新規画像作成", QAccessible::Dialog},
      {"バージョン情報", QAccessible::Dialog},
      {"返事", QAccessible::Window},
      {"モフタンキャラクター", QAccessible::Window},
  };
  for (const WindowCase& expected : cases) {
    bool found = false;
    for (QWidget* window : Windows()) {
      QAccessibleInterface* face = Interface(window);
      if (face->text(QAccessible::Name) == QString::fromUtf8(expected.name) && face->role() == expected.role) {
        found = true;
      }
    }
    EXPECT_TRUE(found) << expected.name;
  }
  // No window is left a nameless filler.
  for (QWidget* window : Windows()) {
    EXPECT_FALSE(NameOf(window).isEmpty()) << TypeName(*window);
    EXPECT_NE(Interface(window)->role(), QAccessible::Client) << NameOf(window).toStdString();
  }
}

TEST_F(AccessibilityTest, EveryControlAUserCanReachHasAName) {
  int controls = 0;
  for (QWidget* window : Windows()) {
    const std::string where = NameOf(window).toStdString();
    for (QWidget* control : window->findChildren<QWidget*>()) {
      // Qt's own parts of a composite control (viewports, scroll bars'
      // corners, the tool bar's extension) are named by Qt or not reached.
      if (control->objectName().startsWith(QLatin1String("qt_"))) continue;
      if (control->window() != window) continue;
      const bool hasChildren = !control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty();
      const bool handDrawn = OwnClass(*control) && !hasChildren;
      const bool reachable = (control->focusPolicy() & Qt::TabFocus) || Pressable(control) || handDrawn;
      if (!reachable) continue;
      ++controls;
      EXPECT_FALSE(NameOf(control).trimmed().isEmpty()) << where << ": " << TypeName(*control);
      if (handDrawn) {
        EXPECT_NE(Interface(control)->role(), QAccessible::Client) << where << ": " << TypeName(*control);
      }
    }
  }
  EXPECT_GT(controls, 50);

  // The hand-drawn controls that are clicked are pressed the same way.
  for (QWidget* window : Windows()) {
    for (auto* button : window->findChildren<LabelButton*>()) {
      EXPECT_TRUE(Pressable(button)) << NameOf(window).toStdString() << ": " << button->text().toStdString();
      EXPECT_EQ(Interface(button)->role(), QAccessible::Button);
    }
    for (auto* item : window->findChildren<MenuLabel*>()) {
      EXPECT_TRUE(Pressable(item)) << item->Text().toStdString();
      EXPECT_EQ(Interface(item)->role(), QAccessible::MenuItem);
    }
  }
}

// The hut's menus, drawn by the hut itself, as a screen reader uses them.
struct HutPressCase {
  const char* control;
  QAccessible::Role role;
  std::function<bool(Program&)> after;  // what the press must have done
  std::function<void(Program&)> before = nullptr;
};

TEST_F(AccessibilityTest, PressingTheHutsMenusDoesWhatAClickDoes) {
  HutWindow& hut = program_->Hut();
  hut.show();
  auto dropDownShown = [](Program& program) { return Control<QWidget>(program.Hut(), "fileDropDown")->isVisible(); };
  const HutPressCase cases[] = {
      {"ファイル(F)", QAccessible::MenuItem, dropDownShown},
      {"ファイル(F)", QAccessible::MenuItem, [&](Program& p) { return !dropDownShown(p); }},
      {"ヘルプ(H)", QAccessible::MenuItem,
       [](Program& p) { return Control<QWidget>(p.Hut(), "helpDropDown")->isVisible(); }},
      // An item pressed while another drop-down is open still runs, and
      // brings back the list the user had minimised.
      {"メール一覧(M)", QAccessible::MenuItem,
       [](Program& p) { return p.MailList().isVisible() && !p.MailList().isMinimized(); },
       [](Program& p) { p.MailList().showMinimized(); }},
      {"閉じる", QAccessible::Button, [](Program& p) { return !p.Hut().isVisible(); }},
  };
  for (const HutPressCase& step : cases) {
    QAccessibleInterface* control = Find(Interface(&hut), step.role, QString::fromUtf8(step.control));
    ASSERT_NE(control, nullptr) << step.control;
    if (step.before) step.before(*program_);
    Press(control);
    EXPECT_TRUE(step.after(*program_)) << step.control;
  }
}

TEST_F(AccessibilityTest, ALabelButtonIsPressedAsItIsClicked) {
  CompositionWindow& composition = program_->Composition();
  int clicks = 0;
  QObject::connect(Control<LabelButton>(composition, "cancelButton"), &LabelButton::clicked, [&] { ++clicks; });
  QAccessibleInterface* cancel =
      Find(Interface(&composition), QAccessible::Button, QString::fromUtf8("取り消し"));
  ASSERT_NE(cancel, nullptr);
  Press(cancel);
  EXPECT_EQ(clicks, 1);
  // A disabled button says so and does nothing when pressed.
  Control<LabelButton>(composition, "cancelButton")->setEnabled(false);
  EXPECT_TRUE(cancel->state().disabled);
  Press(cancel);
  EXPECT_EQ(clicks, 1);
  // Fields are named by the caption in front of them.
  EXPECT_EQ(NameOf(Control<QLineEdit>(composition, "toEdit")), QString::fromUtf8("宛先"));
  EXPECT_EQ(NameOf(Control<QLineEdit>(composition, "subjectEdit")), QString::fromUtf8("題名"));
  EXPECT_EQ(NameOf(Control<QTextEdit>(composition, "bodyEdit")), QString::fromUtf8("本文"));
}

}  // namespace
}  // namespace mf
