"""The address book: an entry added, changed after the confirmation that
shows above the entry dialog, and deleted."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def records(user):
    """The address book file as name, address, contact and icon records."""
    try:
        data = user.file("FileKeep", "address.txt").decode("cp932")
    except FileNotFoundError:
        return []
    lines = data.split("\r\n")
    return [tuple(lines[i:i + 4]) for i in range(0, len(lines) - 4, 5)]


class AddressBook(harness.Journey):
    def test_address_book(self):
        alice, bob = self.alice, self.bob
        alice.start()
        bob.start()
        mail_list = bob.mail_list()
        bob.press(bob.find(mail_list, "push button", "アドレス帳"))
        book = bob.window("アドレス帳", "dialog")

        # Add.
        bob.press(bob.find(book, "push button", "新規作成"))
        entry = bob.window("新しいアドレス帳データの入力", "dialog")
        bob.type_into(bob.find(entry, "text", "名前"), "アリス")
        bob.type_into(bob.find(entry, "text", "メールアドレス"), "alice@mfmail.test")
        bob.type_into(bob.find(entry, "text", "連絡先"), "090-0000-0000")
        bob.find(entry, "label", "アリス のデータ")
        bob.shot("new-entry")
        bob.press(bob.find(entry, "push button", "OK"))
        bob.window_gone("新しいアドレス帳データの入力", "dialog")
        table = bob.find(book, "tree", "アドレス帳")
        row = bob.find(table, "table cell", "アリス")
        self.assertEqual(records(bob), [("アリス", "alice@mfmail.test", "090-0000-0000", "0")])

        # Edit: the confirmation must be in front of the entry dialog that
        # stays on top, or the user is stuck.
        bob.double_click(row)
        entry = bob.window("アリスのアドレスデータ帳変更", "dialog")
        address = bob.find(entry, "text", "メールアドレス")
        self.assertEqual(bob.text(address), "alice@mfmail.test")
        bob.type_into(address, "alice.new@mfmail.test")
        bob.press(bob.find(entry, "push button", "OK"))
        box, text = bob.message()
        self.assertIn("変更してもよろしいですか？", text)
        bob.shot("confirmation")
        with self.subTest("the confirmation is on top of the entry dialog"):
            harness.wait_for("the confirmation on top", lambda: bob.on_top("MFMail"), timeout=3)
        bob.answer(box, "Yes")
        bob.window_gone("アリスのアドレスデータ帳変更", "dialog")
        harness.wait_for("the changed address in the list",
                         lambda: bob.all(table, "table cell", "alice.new@mfmail.test"))
        self.assertEqual(records(bob), [("アリス", "alice.new@mfmail.test", "090-0000-0000", "0")])
        bob.shot("changed")

        # Delete.
        bob.click(bob.find(table, "table cell", "アリス"))
        bob.press(bob.find(book, "push button", "削除"))
        harness.wait_for("the entry to leave the list", lambda: not bob.all(table, "table cell", "アリス"))
        self.assertEqual(records(bob), [])
        bob.shot("deleted")


if __name__ == "__main__":
    harness.main()
