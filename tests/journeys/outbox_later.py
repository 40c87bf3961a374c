"""A mail sent while the SMTP server is down waits in the outbox with its
character at home, and goes out from the outbox once the server is back."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SUBJECT = "届くまで待ちます"


class OutboxLater(harness.Journey):
    def test_outbox_later(self):
        alice, bob = self.alice, self.bob
        alice.start()
        bob.start()
        self.servers.stop_smtp()

        compose = alice.write_mail("ポチ", "bob@mfmail.test", SUBJECT, "サーバーが止まっています。")
        alice.shot("written")
        alice.press(alice.find(compose, "push button", "送る"))
        box, text = alice.message()
        alice.shot("failure-told")
        with self.subTest("the message says the mail waits in the outbox"):
            self.assertIn("送信待ち", text)
        alice.answer(box, "OK")
        alice.window_gone("メールの作成", "dialog")
        # The character did not leave with a mail that did not go.
        alice.find(alice.hut(), "list item", "ポチ")

        mail_list = alice.mail_list()
        alice.open_folder(mail_list, "送信待ち")
        alice.window("送信待ち", "frame")
        alice.find(mail_list, "table cell", SUBJECT)
        alice.shot("waiting")

        # The server is back: the outbox's send button delivers it.
        self.servers.start_smtp()
        alice.press(alice.find(mail_list, "push button", "送信"))
        [sent] = self.servers.wait_for_messages("bob", 1)
        self.assertEqual(sent["Subject"], SUBJECT)
        self.assertEqual(sent["X-Mailer"], "MofutanMail")
        harness.wait_for("the outbox to be empty", lambda: not alice.all(mail_list, "table cell", SUBJECT))
        alice.open_folder(mail_list, "送信")
        alice.window("送信済み", "frame")
        alice.find(mail_list, "table cell", SUBJECT)
        # Now it carried its character away.
        harness.wait_for("ポチ to leave with the mail", lambda: not alice.all(alice.hut(), "list item", "ポチ"))
        alice.shot("sent")

        viewer = bob.receive()
        self.assertEqual(bob.text(bob.find(viewer, "text", "表題")), SUBJECT)
        bob.shot("received")
        bob.press(bob.find(viewer, "push button", "後で返信"))
        bob.window_gone("メール", "dialog")


if __name__ == "__main__":
    harness.main()
