"""A mail whose final "." reached the server but whose answer was lost may
have arrived: the user is told so, the outbox keeps it marked and "送信"
leaves it alone, until the user puts it back among the waiting mails."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SUBJECT = "届いたかどうか"


class UnconfirmedMail(harness.Journey):
    def test_unconfirmed_mail(self):
        alice = self.alice
        relay = harness.LosingRelay(self.servers.smtp_port)
        self.addCleanup(relay.close)
        alice.write_settings(SMTPPort=str(relay.port))
        alice.start()

        relay.armed = True
        compose = alice.write_mail("ポチ", "bob@mfmail.test", SUBJECT, "答えが届きません。")
        alice.press(alice.find(compose, "push button", "送る"))
        box, text = alice.message()
        alice.shot("told")
        with self.subTest("the user learns that the mail may have arrived"):
            self.assertIn("送信不明", text)
        alice.answer(box, "OK")
        alice.window_gone("メールの作成", "dialog")
        self.servers.wait_for_messages("bob", 1)
        # The character stays home: the program cannot know the mail went.
        alice.find(alice.hut(), "list item", "ポチ")

        mail_list = alice.mail_list()
        alice.open_folder(mail_list, "送信待ち")
        alice.window("送信待ち", "frame")
        row = alice.mail_row(mail_list, SUBJECT)
        alice.shot("marked")

        # "送信" leaves it alone and says why.
        alice.press(alice.find(mail_list, "push button", "送信"))
        box, text = alice.message()
        alice.shot("left-alone")
        self.assertIn("送信待ちに戻す", text)
        alice.answer(box, "OK")
        alice.window_gone("MFMail", ("alert", "dialog"))
        self.assertEqual(len(self.servers.messages("bob")), 1)
        alice.find(mail_list, "table cell", SUBJECT)

        # The user decides it did not arrive: back among the waiting, then sent.
        alice.click(row)
        alice.choose_from_popup(row, "w")  # "送信待ちに戻す(W)"
        question, text = alice.message()
        alice.shot("asked")
        self.assertIn("二通", text)
        alice.answer(question, "Yes")
        alice.window_gone("MFMail", ("alert", "dialog"))
        alice.press(alice.find(mail_list, "push button", "送信"))
        alice.shot("sending-again")
        sent = self.servers.wait_for_messages("bob", 2)
        self.assertEqual([mail["Subject"] for mail in sent], [SUBJECT, SUBJECT])
        harness.wait_for("the outbox to be empty", lambda: not alice.all(mail_list, "table cell", SUBJECT))
        alice.shot("sent-again")


if __name__ == "__main__":
    harness.main()
