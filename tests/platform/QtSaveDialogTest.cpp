// The real save dialog on the offscreen platform: the name it reports
// keeps the extension of the filter entry the user chose.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "base/ShiftJis.h"
#include "platform/Files.h"
#include "platform/qt/QtDialogs.h"

namespace mf::platform {
namespace {

const std::string kMailFilter = Sj("Outlookメール(*.eml)|*.eml|テキストファイル(*.txt)|*.txt|全てのファイル(*.*)|*.*");

// Answers the next file dialog as a user would: picks the filter entry in
// its list, types the name and presses Save.
void AnswerNextDialog(int entry, const QString& typed) {
  QTimer::singleShot(0, [entry, typed] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    // Each entry shows its patterns once, as the program wrote it.
    EXPECT_EQ(types->itemText(0), QString::fromUtf8("Outlookメール(*.eml)"));
    types->setCurrentIndex(entry);
    emit types->activated(entry);
    emit types->textActivated(types->itemText(entry));
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(typed);
    QMetaObject::invokeMethod(dialog, "accept");
  });
}

TEST(QtSaveDialogTest, TheChosenFilterGivesTheExtensionUnlessOneIsTyped) {
  TemporaryFolder folder;
  struct Case {
    int entry;
    const char* typed;
    std::string expected;
  };
  const Case cases[] = {
      {0, "mail", "mail.eml"},
      {1, "mail", "mail.txt"},
      {2, "mail", "mail.txt"},  // "*.*": the caller's default
      {0, "note.txt", "note.txt"},
      {1, "note.eml", "note.eml"},
  };
  QtDialogs dialogs;
  for (const Case& c : cases) {
    AnswerNextDialog(c.entry, ToQString(folder.Path()) + c.typed);
    const auto path = dialogs.SaveFile(kMailFilter, folder.Path(), "txt");
    ASSERT_TRUE(path.has_value()) << c.typed;
    EXPECT_EQ(*path, folder.Path() + c.expected) << c.typed << " with entry " << c.entry;
  }
}

}  // namespace
}  // namespace mf::platform
