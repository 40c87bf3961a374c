// The program's message boxes and standard dialogs: each belongs to the
// window the user works in and comes above it, on top when that window is.

#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <memory>
#include <string>

#include "platform/qt/DialogOwner.h"
#include "platform/qt/QtDialogs.h"

namespace mf::platform {
namespace {

// What a dialog looked like while it was open.
struct Seen {
  bool opened = false;
  QWidget* parent = nullptr;
  bool onTop = false;
  bool ownFileDialog = true;
  std::optional<QLineEdit::EchoMode> echo;
};

class QtDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = std::make_unique<QDialog>();
    owner_->setWindowTitle("owner");
  }
  void TearDown() override {
    // A dialog a failed check left open must not block the next test.
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  }

  void ShowOwner(bool onTop) {
    owner_->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    owner_->show();
    QApplication::setActiveWindow(owner_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(owner_.get()));
  }

  // Looks at the dialog `open` shows, then cancels it.
  Seen Inspect(const std::function<void()>& open) {
    Seen seen;
    QTimer::singleShot(0, [&seen] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog) return;
      seen.opened = true;
      seen.parent = dialog->parentWidget();
      seen.onTop = dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
        seen.ownFileDialog = files->testOption(QFileDialog::DontUseNativeDialog);
      }
      if (auto* input = qobject_cast<QInputDialog*>(dialog)) seen.echo = input->textEchoMode();
      if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        box->done(QMessageBox::Cancel);
      } else {
        static_cast<QDialog*>(dialog)->reject();
      }
    });
    open();
    return seen;
  }

  std::unique_ptr<QDialog> owner_;
  QtDialogs dialogs_;  // as the program makes them: without a parent
};

struct DialogKind {
  const char* name;
  std::function<void(Dialogs&)> open;
  bool fileDialog;
  std::optional<QLineEdit::EchoMode> echo;
};

class EveryKind : public QtDialogsTest, public ::testing::WithParamInterface<DialogKind> {};

TEST_P(EveryKind, BelongsToTheActiveWindowAndSharesItsTopmostBand) {
  for (bool onTop : {true, false}) {
    SCOPED_TRACE(onTop ? "owner on top" : "ordinary owner");
    owner_->hide();
    ShowOwner(onTop);
    Seen seen = Inspect([this] { GetParam().open(dialogs_); });
    ASSERT_TRUE(seen.opened);
    EXPECT_EQ(seen.parent, owner_.get());
    EXPECT_EQ(seen.onTop, onTop);
    if (GetParam().fileDialog) {
      EXPECT_TRUE(seen.ownFileDialog);
    }
    EXPECT_EQ(seen.echo, GetParam().echo);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, EveryKind,
    ::testing::Values(
        DialogKind{"Error", [](Dialogs& d) { d.Error("e"); }, false, std::nullopt},
        DialogKind{"Information", [](Dialogs& d) { d.Information("i"); }, false, std::nullopt},
        DialogKind{"Question", [](Dialogs& d) { d.Question("q", DefaultButton::No, ""); }, false, std::nullopt},
        DialogKind{"Warning", [](Dialogs& d) { d.WarningYesNoCancel("w"); }, false, std::nullopt},
        DialogKind{"InputBox", [](Dialogs& d) { d.InputBox("c", "p", "x"); }, false, QLineEdit::Normal},
        DialogKind{"PasswordBox", [](Dialogs& d) { d.PasswordBox("c", "p"); }, false, QLineEdit::Password},
        DialogKind{"OpenFile", [](Dialogs& d) { d.OpenFile("all|*.*", "/"); }, true, std::nullopt},
        DialogKind{"SaveFile", [](Dialogs& d) { d.SaveFile("all|*.*", "/", "txt"); }, true, std::nullopt},
        DialogKind{"Colour", [](Dialogs& d) { d.ChooseColour(0x0000FF); }, false, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QtDialogsTest, ABoxWhoseWindowGoesWhileItIsOpenGoesWithItAsNo) {
  ShowOwner(true);
  QTimer::singleShot(0, [this] {
    if (QApplication::activeModalWidget()) owner_.reset();
  });
  EXPECT_FALSE(dialogs_.Question("q", DefaultButton::Yes, ""));
  EXPECT_EQ(owner_, nullptr);
}

TEST_F(QtDialogsTest, WithoutAnActiveWindowTheDialogsOwnParentIsTheOwner) {
  QWidget parent;
  QtDialogs dialogs(&parent);
  QApplication::setActiveWindow(nullptr);
  Seen seen = Inspect([&dialogs] { dialogs.Information("i"); });
  ASSERT_TRUE(seen.opened);
  EXPECT_EQ(seen.parent, &parent);
}

TEST_F(QtDialogsTest, AKeptDialogRunsAboveItsOwnerAndGetsItsOwnFlagsBack) {
  ShowOwner(true);
  QDialog kept;  // made once, like the program's windows: no parent
  const Qt::WindowFlags own = kept.windowFlags();
  QWindow* transientParent = nullptr;
  bool onTop = false;
  QTimer::singleShot(0, [&] {
    if (QApplication::activeModalWidget() != &kept) return;
    transientParent = kept.windowHandle()->transientParent();
    onTop = kept.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    kept.reject();
  });
  ExecAbove(kept);
  EXPECT_EQ(transientParent, owner_->windowHandle());
  EXPECT_TRUE(onTop);
  EXPECT_EQ(kept.windowFlags(), own);
  EXPECT_EQ(kept.parentWidget(), nullptr);
  EXPECT_EQ(kept.windowHandle()->transientParent(), nullptr);
}

}  // namespace
}  // namespace mf::platform
