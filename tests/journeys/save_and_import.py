"""A received mail saved with "名前を付けて保存" as an .eml file, a real
RFC 5322 message, which "インポート" reads back into the inbox."""

import email
import email.policy
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SUBJECT = "保存してください"
BODY = "このメールをファイルに残します。"


class SaveAndImport(harness.Journey):
    def test_save_and_import(self):
        alice, bob = self.alice, self.bob
        alice.start()
        bob.start()
        compose = alice.write_mail("ポチ", "bob@mfmail.test", SUBJECT, BODY)
        alice.press(alice.find(compose, "push button", "送る"))
        alice.window_gone("メールの作成", "dialog")
        self.servers.wait_for_messages("bob", 1)
        viewer = bob.receive()
        bob.press(bob.find(viewer, "push button", "後で返信"))
        bob.window_gone("メール", "dialog")

        mail_list = bob.mail_list()
        bob.click(bob.mail_row(mail_list, SUBJECT))
        bob.press(bob.find(mail_list, "menu item", "ファイル(F)"))
        bob.press(bob.find(bob.app, "menu item", "名前を付けて保存(S)"))
        saved = os.path.join(bob.env["HOME"], "saved.eml")
        chooser = bob.window(re.compile(r"^(Save As|名前を付けて保存)$"), "dialog")
        self.assertTrue(bob.all(chooser, "combo box", re.compile(r"\*\.eml")), "the .eml filter is chosen")
        bob.shot("save-dialog")
        bob.choose_file(saved, title=chooser.name)
        harness.wait_for("the saved file", lambda: os.path.exists(saved))
        with open(saved, "rb") as source:
            data = source.read()
        with self.subTest("the saved file is an RFC 5322 message"):
            self.assertTrue(data.isascii(), "a mail on disk travels as 7-bit text, Japanese as ISO-2022-JP")
            message = email.message_from_bytes(data, policy=email.policy.default)
            self.assertEqual(message["Subject"], SUBJECT)
            self.assertEqual(message["From"].addresses[0].addr_spec, "alice@mfmail.test")
            self.assertIn(BODY, message.get_body(("plain",)).get_content())

        # Imported again, it is a second copy in the inbox, shown as it arrives.
        bob.press(bob.find(mail_list, "menu item", "ファイル(F)"))
        bob.press(bob.find(bob.app, "menu item", "インポート(I)"))
        bob.choose_file(saved)
        imported = bob.window("メール", "dialog")
        self.assertEqual(bob.text(bob.find(imported, "text", "表題")), SUBJECT)
        bob.wait_text(bob.find(imported, "text", "本文"), lambda text: BODY in text, "the imported text")
        bob.shot("imported")
        bob.press(bob.find(imported, "push button", "後で返信"))
        bob.window_gone("メール", "dialog")
        harness.wait_for("two copies in the inbox", lambda: len(
            bob.all(bob.find(mail_list, "tree", "メール"), "table cell", SUBJECT)) == 2)
        bob.shot("inbox")


if __name__ == "__main__":
    harness.main()
