// The user guide names menu items, buttons and tabs as the program shows
// them: a user looks for exactly what the guide says.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <filesystem>
#include <memory>

#include "app/Program.h"
#include "hut/gui/HutMenuBar.h"
#include "platform/Files.h"
#include "platform/qt/AccessibleControls.h"
#include "platform/qt/QtEventLoop.h"
#include "tests/app/ProgramFixture.h"
#include "widgets/LabelButton.h"

namespace mf {
namespace {

// Every caption the program shows on a menu item, button or tab, as a
// reader says it ("&" dropped, blanks trimmed).
QSet<QString> ProgramCaptions() {
  QSet<QString> captions;
  auto add = [&captions](const QString& text) { captions.insert(platform::AccessibleCaption(text)); };
  for (QWidget* window : QApplication::topLevelWidgets()) {
    for (QAction* action : window->findChildren<QAction*>()) add(action->text());
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) add(button->text());
    for (LabelButton* button : window->findChildren<LabelButton*>()) add(button->text());
    for (MenuLabel* item : window->findChildren<MenuLabel*>()) add(item->Text());
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
      for (int i = 0; i < tabs->count(); ++i) add(tabs->tabText(i));
    }
  }
  return captions;
}

using UserGuide = ProgramFixture;

TEST_F(UserGuide, NamesMenusButtonsAndTabsAsTheProgramShowsThem) {
  const QSet<QString> captions = ProgramCaptions();

  QFile guide(QString::fromStdString(source_) + "/help/index.html");
  ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(guide.readAll());
  // A quoted menu item carries its key ("外に出る(O)"); buttons and tabs
  // are marked as such.
  const QRegularExpression named(QStringLiteral("「([^」]*\\([A-Z]\\))」|<span class=\"ui\">([^<]*)</span>"));
  int checked = 0;
  for (auto match = named.globalMatch(text); match.hasNext();) {
    const auto found = match.next();
    const QString name = found.captured(1).isEmpty() ? found.captured(2) : found.captured(1);
    EXPECT_TRUE(captions.contains(name)) << name.toStdString();
    ++checked;
  }
  EXPECT_GT(checked, 20);
}

}  // namespace
}  // namespace mf
