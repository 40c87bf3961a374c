"""A wrong POP3 password: the masked prompt asks for the right one, which is
kept, and the waiting mail arrives once."""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SUBJECT = "パスワードの確認"


class WrongPassword(harness.Journey):
    def setUp(self):
        super().setUp()
        self.bob.write_settings(POP3Pass="wrong")

    def test_wrong_password(self):
        alice, bob = self.alice, self.bob
        alice.start()
        bob.start()
        compose = alice.write_mail("ミケ", "bob@mfmail.test", SUBJECT, "一度だけ届きますように。")
        alice.press(alice.find(compose, "push button", "送る"))
        alice.window_gone("メールの作成", "dialog")
        self.servers.wait_for_messages("bob", 1)

        bob.hut_command("メール受信(J)")
        prompt = bob.window("パスワードの入力", "dialog")
        self.assertTrue(bob.all(prompt, "label", re.compile("パスワードが間違っています")))
        with self.subTest("the prompt masks the password"):
            bob.find(prompt, "password text", None, timeout=2)
        field = bob.find(prompt, ("password text", "text"), None)
        bob.type_into(field, harness.PASSWORD, check=False)
        bob.shot("password-typed")
        with self.subTest("the typed password is not shown"):
            self.assertNotIn(harness.PASSWORD, bob.text(field))
        bob.press(bob.find(prompt, "push button", "OK"))
        bob.window_gone("パスワードの入力", "dialog")
        # The right password is kept, scrambled as the settings file keeps it.
        harness.wait_for("the password to be saved", lambda: bob.settings().get("POP3Pass") ==
                         bytes(b ^ 0xD4 for b in harness.PASSWORD.encode()))

        # The run logs in with it at once: no second command is needed.
        viewer = bob.window("メール", "dialog")
        self.assertEqual(bob.text(bob.find(viewer, "text", "表題")), SUBJECT)
        bob.shot("received")
        bob.press(bob.find(viewer, "push button", "後で返信"))
        bob.window_gone("メール", "dialog")
        self.assertEqual(self.servers.messages("bob"), [])

        # A second receive finds nothing new; the inbox holds the mail once.
        bob.hut_command("メール受信(J)")
        box, text = bob.message()
        self.assertIn("新着メッセージはありません", text)
        bob.answer(box, "OK")
        mail_list = bob.mail_list()
        rows = bob.all(bob.find(mail_list, "tree", "メール"), "table cell", SUBJECT)
        self.assertEqual(len(rows), 1)
        bob.shot("inbox")


if __name__ == "__main__":
    harness.main()
