"""scripts/demo runs to its end on a virtual screen, its outcome holds on the
files (it checks them itself with --check before it removes them), and it
leaves nothing behind: no process, no folder, no display."""

import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def displays():
    return set(os.listdir("/tmp/.X11-unix")) if os.path.isdir("/tmp/.X11-unix") else set()


def processes_touching(folder):
    """Processes whose command line, working folder or open files lie in `folder`."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as source:
                command = source.read().replace(b"\0", b" ").decode(errors="replace")
            places = [command, os.readlink(f"/proc/{pid}/cwd")]
            places += [os.readlink(f"/proc/{pid}/fd/{fd}") for fd in os.listdir(f"/proc/{pid}/fd")]
        except OSError:
            continue
        if any(folder in place for place in places):
            found.append(f"{pid}: {command}")
    return found


class Demo(unittest.TestCase):
    def test_demo(self):
        shots = os.path.join(os.environ.get("MFMAIL_JOURNEY_SHOTS", tempfile.gettempdir()), "demo")
        with tempfile.TemporaryDirectory(prefix="mfmail-demo-test-") as scratch:
            os.chmod(scratch, 0o711)  # the mail users reach their maildirs below it
            demo = os.path.join(harness._source, "scripts", "demo")
            result = subprocess.run([demo, "--virtual", "--check", "--shots", shots],
                                    env=dict(os.environ, TMPDIR=scratch), capture_output=True, text=True,
                                    timeout=200)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            self.assertIn("checked: ", result.stdout)
            self.assertEqual(os.listdir(scratch), [], "the demo left files in its temporary folder")
            self.assertEqual(processes_touching(scratch), [])
            # Its own display: other tests running beside it start and end theirs.
            shown = re.search(r"on display :(\d+)", result.stdout)
            self.assertIsNotNone(shown, result.stdout)
            socket = f"X{shown.group(1)}"
            harness.wait_for("the demo's display to go", lambda: socket not in displays(), timeout=5)
        pictures = sorted(name for name in os.listdir(shots) if name.endswith(".png"))
        self.assertGreaterEqual(len(pictures), 5, pictures)
        self.assertTrue(os.path.exists(os.path.join(shots, "demo.log")))


if __name__ == "__main__":
    why_not = harness.missing_prerequisite()
    if why_not:
        print(f"demo skipped: {why_not}")
        sys.exit(harness.SKIPPED)
    unittest.main(verbosity=2)
