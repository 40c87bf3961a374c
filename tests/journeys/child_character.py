"""A child character made in the editor, sent with a mail and adopted by
the other user's hut."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

CHILD = "コミケ"
SUBJECT = "子猫をどうぞ"


def scene_lines(user, folder):
    return user.file(folder, "scene.txt").decode("cp932").split("\r\n")


def character_folders(user):
    return sorted(name for name in os.listdir(user.home)
                  if name.startswith("char") and name[4:].isdigit())


class ChildCharacter(harness.Journey):
    def test_child_character(self):
        alice, bob = self.alice, self.bob
        hut = alice.start()
        bob.start()
        bob_folders = character_folders(bob)

        alice.character_command("ミケ", "k")  # "子供を産む(K)"
        editor = alice.window("キャラクターの作成・編集", "dialog")
        name = alice.find(editor, "text", "キャラクター名")
        self.assertEqual(alice.text(name), "ミケの子供")
        alice.type_into(name, CHILD)
        alice.shot("editor")
        alice.press(alice.find(editor, "push button", "OK"))
        alice.window_gone("キャラクターの作成・編集", "dialog")
        alice.find(hut, "list item", CHILD)
        # The child lives in the next folder pair with a fresh identity.
        self.assertIn("char4", character_folders(alice))
        self.assertTrue(os.path.isdir(os.path.join(alice.home, "char4r")))
        child = scene_lines(alice, "char4")
        self.assertEqual(child[1], CHILD)
        self.assertNotEqual(child[0], scene_lines(alice, "char1")[0])
        self.assertIn(child[0].encode("cp932"), alice.file("visibleDB.dat"))
        alice.shot("child-listed")

        compose = alice.write_mail(CHILD, "bob@mfmail.test", SUBJECT, "新しい家族です。")
        alice.press(alice.find(compose, "push button", "送る"))
        alice.window_gone("メールの作成", "dialog")
        [sent] = self.servers.wait_for_messages("bob", 1)
        self.assertEqual(sent["X-CharacterID"], child[0])
        self.assertIn("MofutanData.mfd", [part.get_filename() for part in sent.iter_attachments()])

        # Bob's hut adopts the child, which presents the mail.
        viewer = bob.receive()
        self.assertEqual(bob.text(bob.find(viewer, "text", "表題")), SUBJECT)
        bob.find(bob.hut(), "list item", CHILD)
        bob.shot("adopted")
        bob.press(bob.find(viewer, "push button", "後で返信"))
        bob.window_gone("メール", "dialog")
        [adopted] = [folder for folder in character_folders(bob) if folder not in bob_folders]
        self.assertEqual(scene_lines(bob, adopted)[:2], child[:2])
        self.assertIn(child[0].encode("cp932"), bob.file("visibleDB.dat"))


if __name__ == "__main__":
    harness.main()
