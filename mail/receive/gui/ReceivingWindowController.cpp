#include "mail/receive/gui/ReceivingWindowController.h"

#include <QGuiApplication>
#include <QScreen>

#include "base/Link.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/CharacterEngine.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/gui/MailHost.h"
#include "mail/gui/ProgressWindows.h"
#include "mail/gui/SpeechBubbleWindow.h"
#include "mail/receive/InboxIntake.h"
#include "mail/receive/gui/ReturnNotice.h"
#include "mail/receive/gui/MailViewer.h"
#include "platform/Dialogs.h"
#include "settings/LiveSettings.h"

namespace mf {

ReceivingWindowController::ReceivingWindowController(const MailServices& services, ReceivingHut& hut,
                                                     ReceivingProgressWindow& progress, MailViewer& viewer,
                                                     ReturnNotice& notice)
    : context_(services),
      hut_(hut),
      progress_(progress),
      viewer_(viewer),
      notice_(notice),
      receiver_(services.loop, services.settings, services.store, hut, services.random, services.clock) {
  receiver_.OnMailStored = [this](const ArrivedMail& mail) { Present(mail); };
  receiver_.OnMailRejected = [this](const std::string&) {
    context_.dialogs.Error(Sj("無効なメール形式です"));
  };
  receiver_.OnSessionClosed = [this] { HideProgress(); };
  receiver_.OnFinished = [this](const ReceiveSummary& summary) { Finished(summary); };
  context_.errors.hooks.endMailListSessions = [this] { receiver_.Abort(); };
}

ReceivingWindowController::~ReceivingWindowController() { context_.errors.hooks.endMailListSessions = nullptr; }

bool ReceivingWindowController::ReceiveEnabled() const {
  // One transfer at a time: a send going on greys receiving too.
  return context_.commands.ReceiveEnabled() && context_.commands.SendEnabled() &&
         !(links.sendBusy && links.sendBusy()) && !receiver_.Running();
}

void ReceivingWindowController::Receive(ReceiveTrigger trigger) {
  if (!ReceiveEnabled()) {
    // The periodic timer turned the switch off for a run that does not
    // happen; no hide would turn it on again before the user's next run.
    progress_.SetShowSwitch(true);
    return;
  }
  // A run the user asked for shows its progress, whatever an earlier timer
  // left; a periodic one stays silent even when nothing turned it off.
  progress_.SetShowSwitch(trigger == ReceiveTrigger::Manual);
  context_.commands.SetReceiveEnabled(false);
  progress_.ShowProgress();
  switch (receiver_.Receive(trigger)) {
    case ReceiveStart::Started:
      break;
    case ReceiveStart::Busy:
      HideProgress();
      context_.commands.SetReceiveEnabled(true);
      break;
    case ReceiveStart::Failed:
      HideProgress();
      context_.commands.SetReceiveEnabled(true);
      context_.dialogs.Error(Sj("受信エラー"));
      break;
  }
}

void ReceivingWindowController::HideProgress() {
  if (links.hideProgress) {
    links.hideProgress();
  } else {
    progress_.HideProgress();
  }
}

void ReceivingWindowController::Idle() {
  HideProgress();
  context_.commands.SetReceiveEnabled(true);
}

void ReceivingWindowController::Present(const ArrivedMail& mail) {
  MailViewer& viewer = viewer_;
  MailHost& host = context_.host;
  viewer.Reset();

  // The viewer stands beside the mail position, corrected when the screen
  // has shrunk since it was stored.
  const int picture = CharacterEngine::kWindowSize;
  QSize screen(0, 0);
  if (QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->geometry().size();
  ScreenPoint& position = host.MailPosition();
  if (!QGuiApplication::screenAt(QPoint(position.x, position.y))) {
    position = CorrectMailPosition(position, screen.width(), screen.height(), picture, picture);
  }
  // The character and the viewer beside it on the character's monitor,
  // whole; the character stands where the viewer's tail points.
  position = SpeechBubbleWindow::CarrierOnScreen(position, QSize(picture, picture), viewer.size());
  viewer.move(SpeechBubbleWindow::BesideCarrier(position, picture));

  const CarrierRef lent = mail.deliveringId.empty() ? CarrierRef{} : host.LendCharacter(mail.deliveringId);
  viewer.Fill(mail, lent);
  if (mail.answered) {
    notice_.Fill(*mail.answered);
  } else {
    notice_.Clear();
  }

  // The mail is stored already: the list shows it while the viewer does.
  CallLink(links.inboxChanged, "inboxChanged");
  viewer.ShowModal();

  // Unless it left with the answer, the character goes back to what it was doing.
  viewer.GiveBackCarrier();
  CallLink(links.inboxChanged, "inboxChanged");
}

void ReceivingWindowController::Finished(const ReceiveSummary& summary) {
  switch (summary.end) {
    case ReceiveEnd::Done:
      Idle();
      CallLink(links.inboxChanged, "inboxChanged");
      break;
    case ReceiveEnd::NoNewMail:
      Idle();
      // A run the user did not ask for stays silent.
      if (summary.trigger == ReceiveTrigger::Manual) {
        context_.dialogs.Information(Sj("新着メッセージはありません。"));
      }
      break;
    case ReceiveEnd::PasswordRejected:
      Idle();
      AskForPassword(summary.trigger);
      break;
    case ReceiveEnd::Failed:
      if (summary.userText.empty()) {
        context_.errors.Run();
      } else {
        context_.errors.Run(summary.userText);
      }
      break;
  }
}

void ReceivingWindowController::AskForPassword(ReceiveTrigger trigger) {
  // The session has ended already: whatever the answer, the commands work
  // again. A new password is tried at once, so that the mail the user was
  // waiting for comes without a second command.
  const auto entered = context_.dialogs.PasswordBox(Sj("パスワードの入力"),
                                                    Sj("パスワードが間違っています。正しく入力してください"));
  if (!entered) return;
  if (entered->empty()) {
    context_.dialogs.Information(Sj("パスワードの入力がありません。受信を終了します。"));
    return;
  }
  context_.settings.pop3Password = *entered;
  context_.settings.Save();
  context_.loop.Post(guard_.Bind([this, trigger] { Receive(trigger); }));
}

}  // namespace mf
