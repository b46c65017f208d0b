#!/usr/bin/env python3
"""Lists a Maildir++ store as Python's own Maildir reader sees it: one line
per message, "<folder>\t<Message-ID>\t<flags>", the Inbox as "INBOX" and
every folder by the name list_folders() gives it (dot directories that are
no Maildir, such as notmuch's, are passed over)."""
import mailbox
import os
import sys


def main(path):
    top = mailbox.Maildir(path, factory=None, create=False)
    names = [n for n in sorted(top.list_folders()) if os.path.isdir(os.path.join(path, "." + n, "cur"))]
    folders = [("INBOX", top)] + [(name, top.get_folder(name)) for name in names]
    for name, box in folders:
        for key in box.keys():
            message = box.get_message(key)
            print("%s\t%s\t%s" % (name, message["Message-ID"], message.get_flags()))


main(sys.argv[1])
