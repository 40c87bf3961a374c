"""A first start: the account set up in the settings dialog, a mail with an
attachment written from a character and sent, presented to the other user by
a character, answered, and the answer received."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SUBJECT = "はじめてのメール"
BODY = "こんにちは、ボブさん。\n添付のメモを見てください。"
REPLY = "ありがとう、アリスさん。"


class FirstMail(harness.Journey):
    first_start = ("alice",)

    def test_first_mail(self):
        alice, bob = self.alice, self.bob
        hut = alice.start()
        bob.start()
        alice.shot("first-start")

        # The account, entered where a new user finds it: the mail list's settings menu.
        alice.press(alice.find(hut, "menu item", "ファイル(F)"))
        alice.press(alice.find(hut, "menu item", "メール一覧(M)"))
        mail_list = alice.window("受信", "frame")
        alice.press(alice.find(mail_list, "menu item", "設定(S)"))
        alice.press(alice.find(alice.app, "menu item", "アカウント設定(A)"))
        settings = alice.window("基本設定", "dialog")
        self.assertEqual(alice.text(alice.find(settings, "text", "SMTPポート")), "25")
        self.assertEqual(alice.text(alice.find(settings, "text", "POP3ポート")), "110")
        # First with two slips of the keyboard: a port too large and an
        # address without "@".
        fields = {"アカウント名": "alice", "SMTPサーバー名": "127.0.0.1", "POP3サーバー名": "127.0.0.1",
                  "POP3ユーザーID": "alice", "名前": "Alice", "メールアドレス": "alice.mfmail.test",
                  "SMTPポート": "70000", "POP3ポート": str(self.servers.pop3_port)}
        for caption, value in fields.items():
            alice.type_into(alice.find(settings, "text", caption), value)
        password = alice.find(settings, "password text", "POP3パスワード")
        alice.type_into(password, harness.PASSWORD, check=False)
        self.assertNotIn(harness.PASSWORD, alice.text(password))
        alice.shot("settings-mistyped")
        alice.press(alice.find(settings, "push button", "OK"))
        harness.time.sleep(1)
        alice.shot("settings-refused")
        with self.subTest("the settings refuse a port outside 1-65535 and an address without @"):
            stored = alice.settings()
            self.assertNotEqual(stored.get("SMTPPort"), b"70000", "port 70000 was saved")
            self.assertNotEqual(stored.get("MailAdd"), b"alice.mfmail.test", "an address without @ was saved")
        # Whichever way the refusal was told, the user puts it right.
        if any(window.name == "MFMail" for window in alice.windows()):
            box, _ = alice.message()
            alice.answer(box, "OK")
        if not any(window.name == "基本設定" for window in alice.windows()):
            alice.press(alice.find(mail_list, "menu item", "設定(S)"))
            alice.press(alice.find(alice.app, "menu item", "アカウント設定(A)"))
        settings = alice.window("基本設定", "dialog")
        fields.update({"メールアドレス": "alice@mfmail.test", "SMTPポート": str(self.servers.smtp_port)})
        for caption, value in fields.items():
            field = alice.find(settings, "text", caption)
            if alice.text(field) != value:
                alice.type_into(field, value)
        password = alice.find(settings, "password text", "POP3パスワード")
        if len(alice.text(password)) != len(harness.PASSWORD):
            alice.type_into(password, harness.PASSWORD, check=False)
        alice.shot("settings")
        alice.press(alice.find(settings, "push button", "OK"))
        alice.window_gone("基本設定")
        stored = alice.settings()
        self.assertEqual(stored.get("SMTP_SV"), b"127.0.0.1")
        self.assertEqual(stored.get("MailAdd"), b"alice@mfmail.test")
        self.assertEqual(stored.get("SMTPPort"), str(self.servers.smtp_port).encode())
        self.assertEqual(stored.get("POP3Pass"), bytes(b ^ 0xD4 for b in harness.PASSWORD.encode()))

        # A mail carried by a character, chosen from the hut's character menu.
        alice.press(alice.find(mail_list, "menu item", "ファイル(F)"))
        alice.press(alice.find(alice.app, "menu item", "閉じる(C)"))
        alice.window_gone("受信", "frame")
        mike = alice.find(hut, "list item", "ミケ")
        alice.click(mike)
        alice.choose_from_popup(mike, "m")  # "メールを送る(M)"
        compose = alice.window("メールの作成", "dialog")
        alice.type_into(alice.find(compose, "text", "宛先"), "bob@mfmail.test")
        alice.type_into(alice.find(compose, "text", "題名"), SUBJECT)
        alice.type_into(alice.find(compose, "text", "本文"), BODY)
        memo = os.path.join(self.world.folder, "memo.txt")
        with open(memo, "wb") as out:
            out.write(b"attached notes\r\n")
        alice.press(alice.find(compose, "push button", "添付"))
        alice.choose_file(memo)
        alice.find(compose, "list item", "memo.txt")
        alice.shot("mail-written")
        alice.press(alice.find(compose, "push button", "送る"))
        alice.window_gone("メールの作成", "dialog")
        # The character left with the mail.
        harness.wait_for("ミケ to leave alice's hut", lambda: not alice.all(hut, "list item", "ミケ"))
        # Each copy gave its starters ids of their own at its first start.
        mike_id = alice.file("char1", "scene.txt").split(b"\r\n")[0]
        self.assertNotIn(b"@mfmail.starter>", mike_id)
        self.assertNotEqual(mike_id, bob.file("char1", "scene.txt").split(b"\r\n")[0])
        self.assertIn(mike_id, alice.file("resurrDB.dat"))
        alice.shot("sent")

        # What reached the wire.
        [sent] = self.servers.wait_for_messages("bob", 1)
        self.assertEqual(sent["Subject"], SUBJECT)
        self.assertEqual(sent["To"].addresses[0].addr_spec, "bob@mfmail.test")
        self.assertEqual(sent["From"].addresses[0].addr_spec, "alice@mfmail.test")
        self.assertEqual(sent["From"].addresses[0].display_name, "Alice")
        self.assertEqual(sent["X-Mailer"], "MofutanMail")
        self.assertEqual(sent["X-CharacterID"], mike_id.decode("ascii"))
        names = [part.get_filename() for part in sent.iter_attachments()]
        self.assertEqual(sorted(names), ["MofutanData.mfd", "memo.txt"])
        self.assertIn("添付のメモ", sent.get_body(("plain",)).get_content())

        # Bob receives it: a character presents it beside the viewer.
        bob_hut = bob.window("小屋", "frame")
        bob.press(bob.find(bob_hut, "menu item", "ファイル(F)"))
        bob.press(bob.find(bob_hut, "menu item", "メール受信(J)"))
        viewer = bob.window("メール", "dialog")
        self.assertIn("alice@mfmail.test", bob.text(bob.find(viewer, "text", "差出人")))
        self.assertEqual(bob.text(bob.find(viewer, "text", "表題")), SUBJECT)
        bob.wait_text(bob.find(viewer, "text", "本文"), lambda text: "添付のメモ" in text, "the viewer's text")
        bob.find(viewer, "list item", "memo.txt")
        vx, vy, _, _ = bob.extents(viewer)
        harness.wait_for("a character standing beside the viewer", lambda: any(
            abs(cx + cw - vx) <= 8 and abs(cy - (vy + 50)) <= 8 for cx, cy, cw, ch in bob.character_windows()))
        bob.shot("presented")

        # The answer, straight from the viewer.
        bob.press(bob.find(viewer, "push button", "返信"))
        answer = bob.window("メールの作成", "dialog")
        self.assertIn("alice@mfmail.test", bob.text(bob.find(answer, "text", "宛先")))
        self.assertEqual(bob.text(bob.find(answer, "text", "題名")), "Re: " + SUBJECT)
        body = bob.find(answer, "text", "本文")
        bob.click(body)
        bob.keys("ctrl+Home")
        body.queryEditableText().insertText(0, REPLY + "\n", len(REPLY) + 1)
        bob.wait_text(body, lambda text: text.startswith(REPLY), "the answer's first line")
        bob.shot("answer-written")
        bob.press(bob.find(answer, "push button", "送る"))
        bob.window_gone("メールの作成", "dialog")
        bob.window_gone("メール", "dialog")

        # The answer on the wire, addressed and threaded right.
        replies = self.servers.wait_for_messages("alice", 1)
        reply = replies[0]
        self.assertEqual(reply["Subject"], "Re: " + SUBJECT)
        with self.subTest("the answer is addressed to Alice, her name quoted right"):
            to = reply["To"].addresses
            self.assertEqual([a.addr_spec for a in to], ["alice@mfmail.test"], reply["To"])
            self.assertIn(to[0].display_name, ("Alice", ""), reply["To"])
        self.assertEqual(reply["In-Reply-To"], sent["Message-ID"])
        self.assertIn(sent["Message-ID"], reply["References"])
        self.assertIn(REPLY, reply.get_body(("plain",)).get_content())

        # Alice receives the answer.
        alice.press(alice.find(hut, "menu item", "ファイル(F)"))
        alice.press(alice.find(hut, "menu item", "メール受信(J)"))
        shown = alice.window("メール", "dialog")
        self.assertEqual(alice.text(alice.find(shown, "text", "表題")), "Re: " + SUBJECT)
        alice.shot("answer-presented")
        alice.press(alice.find(shown, "push button", "後で返信"))
        alice.window_gone("メール", "dialog")

        # The mail list shows the mail's text and attachment.
        bob.press(bob.find(bob_hut, "menu item", "ファイル(F)"))
        bob.press(bob.find(bob_hut, "menu item", "メール一覧(M)"))
        bob_list = bob.window("受信", "frame")
        bob.click(bob.find(bob_list, "table cell", SUBJECT))
        bob.find(bob_list, "list item", "memo.txt")
        with self.subTest("the mail list shows the text of a mail with an attachment"):
            bob.wait_text(bob.find(bob_list, "text", "本文"), lambda text: "添付のメモ" in text,
                          "the mail list's text of the selected mail")
        bob.shot("mail-list")

        # Without a tray icon to end it from, closing the hut ends the program.
        alice.press(alice.find(hut, "push button", "閉じる"))
        harness.wait_for("alice's program to end", lambda: not alice.running(), timeout=10)
        self.assertEqual(alice.process.returncode, 0)


if __name__ == "__main__":
    harness.main()
