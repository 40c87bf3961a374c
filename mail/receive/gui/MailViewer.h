#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "mail/gui/MailHost.h"
#include "mail/gui/MailServices.h"
#include "mail/gui/SpeechBubbleWindow.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;

namespace mf {

class LongTextView;

namespace platform {
class Dialogs;
class Shell;
}  // namespace platform
class LabelButton;
class TextFeeder;
class MailErrorRoutine;
class CompositionWindow;
struct ArrivedMail;

// The mail viewer: a speech bubble in which a character
// standing beside it presents a mail that has just arrived. The user answers
// it at once through that character ("返信") or later ("後で返信"). There is
// one, created hidden at start-up; the receiving side fills and shows it.
class MailViewer final : public SpeechBubbleWindow {
  Q_OBJECT

 public:
  static constexpr int kWidth = 470;
  static constexpr int kHeight = 330;

  MailViewer(const MailServices& services, CompositionWindow& composition);
  ~MailViewer() override;

  // Every field emptied, no character lent.
  void Reset();
  // Shows a mail that entered the inbox, presented by the character the
  // receiving side lent (none when no window of it could be lent).
  void Fill(const ArrivedMail& mail, const CarrierRef& lent = {});
  // The lent character, until it left with the answer or went back.
  CarrierRef LentCarrier() const { return lentCharacter_; }
  // Gives the lent character back to what it was doing.
  void GiveBackCarrier();

  // Shows the window modally: Accepted after a completed answer, Rejected
  // after "後で返信".
  int ShowModal();

  void ReplyNow();    // "返信"
  void ReplyLater();  // "後で返信"
  void OpenAttachment(int row);
  // "名前を付けて保存(&S)..." on an attachment: a copy in a folder the user chooses.
  void SaveAttachmentAs(int row);
  // The common error routine's part: the lent character goes back and a
  // visible viewer is dismissed as by "後で返信".
  void ErrorRelease();

 protected:
  // A closed viewer lets go of the text it showed: a long mail's document is
  // the largest thing the program holds.
  void done(int result) override;
  CarrierRef Carrier() const override { return lentCharacter_; }
  void reject() override { ReplyLater(); }

 private:
  void BuildControls();
  // Moves the composition window beside the character.
  void PlaceAnswer();
  // The full path of an attachment row; empty when there is none.
  std::string AttachmentPath(int row) const;

  MailServices context_;
  CompositionWindow& composition_;
  QLabel* senderCaption_;
  std::vector<std::string> attachmentNames_;
  // The character lent by the receiving side; cleared once it has left with
  // the answer, so that it is not given back.
  CarrierRef lentCharacter_;

  // Visible fields.
  QLineEdit* senderEdit_;   // "差出人"
  QLineEdit* subjectEdit_;  // "表題"
  LongTextView* mailText_;
  TextFeeder* mailTextFeeder_;  // long texts go in a piece per loop step
  QListWidget* attachmentList_;  // file names with their icons
  QAction* saveAttachmentAsAction_;
  LabelButton* answerButton_;       // "返信"
  LabelButton* answerLaterButton_;  // "後で返信"

  // Hidden fields for the answer.
  std::string subject_;
  std::string answerRecipients_;  // the sender as a recipient text (quoted where needed)
  std::string inReplyTo_;
  std::string references_;
  std::size_t recordIndex_ = 0;   // the shown mail's inbox record: the answer marks it "返信"
  std::string deliveringId_;      // the character that brings the mail
  std::string attachmentFolder_;  // the attachment folder, with a trailing separator
};

}  // namespace mf
