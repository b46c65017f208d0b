#!/usr/bin/env python3
"""Time to sorted while a mail client renames Inbox messages.

Starts Brindlewick headless on a temporary root holding N unread messages in
the Inbox's new/ and one rule that moves them all to "Bills"; with --renames
a second process renames each message from new/ to cur/ (as a client that
looked at it) while the program moves them. Prints the seconds from start
until the Inbox is empty (median of RUNS runs), and, with --sigterm, the
seconds from a SIGTERM sent 1 s after start until the program ended.

  tests/program/client_rename.py [--build build] [--count N] [--runs 3] [--renames] [--sigterm]
"""
import argparse, os, shutil, signal, statistics, subprocess, tempfile, time


def rules_file():
    b = bytearray("Varn-1\0".encode("utf-16-le"))
    rec = bytearray(2064)
    rec[0] = 1
    for i, c in enumerate("bulk"):
        rec[770 + 2 * i] = ord(c)
    for i, c in enumerate("Bills"):
        rec[1294 + 2 * i] = ord(c)
    return bytes(b + rec)


def scene(root, count):
    inbox = os.path.join(root, "Mail/Local/Inbox")
    for folder in ["", "Inbox", "Outbox", "Sent Items", "Deleted Items", "Drafts"]:
        for sub in ["cur", "new", "tmp"]:
            os.makedirs(os.path.join(root, "Mail/Local", folder, sub), exist_ok=True)
    for i in range(count):
        with open(os.path.join(inbox, "new", "%d.M%d.rename" % (1700000000 + i, i)), "w") as f:
            f.write("From: s%d@example.org\r\nSubject: bulk %d\r\n\r\nbody\r\n" % (i % 100, i))
    data = os.path.join(root, "Application Data/Brindlewick")
    os.makedirs(data)
    with open(os.path.join(data, "Brindlewick.dat"), "wb") as f:
        f.write(rules_file())
    return inbox


def left(inbox):
    return len(os.listdir(os.path.join(inbox, "new"))) + len(os.listdir(os.path.join(inbox, "cur")))


def run(args):
    root = tempfile.mkdtemp()
    try:
        inbox = scene(root, args.count)
        env = dict(os.environ, QUILLMARSH_ROOT=root, QUILLMARSH_DISPLAY="headless")
        start = time.monotonic()
        prog = subprocess.Popen([os.path.join(args.build, "app/Brindlewick")], env=env,
                                stderr=open(os.path.join(tempfile.gettempdir(), "client_rename.err"), "w"))
        client = None
        if args.renames:
            client = subprocess.Popen(["python3", "-c", RENAMER, inbox])
        if args.sigterm:
            time.sleep(1)
            sent = time.monotonic()
            prog.send_signal(signal.SIGTERM)
            prog.wait(timeout=600)
            return time.monotonic() - sent
        while left(inbox) > 0:
            time.sleep(0.05)
        took = time.monotonic() - start
        prog.send_signal(signal.SIGTERM)
        prog.wait(timeout=600)
        if client:
            client.wait()
        return took
    finally:
        shutil.rmtree(root)


RENAMER = r"""
import os, sys
new = os.path.join(sys.argv[1], "new"); cur = os.path.join(sys.argv[1], "cur")
for name in sorted(os.listdir(new)):
    try:
        os.rename(os.path.join(new, name), os.path.join(cur, name + ":2,"))
    except OSError:
        pass
"""

if __name__ == "__main__":
    p = argparse.ArgumentParser()
    p.add_argument("--build", default="build")
    p.add_argument("--count", type=int, default=10000)
    p.add_argument("--runs", type=int, default=3)
    p.add_argument("--renames", action="store_true")
    p.add_argument("--sigterm", action="store_true")
    a = p.parse_args()
    times = [run(a) for _ in range(a.runs)]
    print("count=%d renames=%s sigterm=%s median=%.2fs runs=%s" % (
        a.count, a.renames, a.sigterm, statistics.median(times), " ".join("%.2f" % t for t in times)))
