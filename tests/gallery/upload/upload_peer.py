#!/usr/bin/python3
"""Scripted peer for the upload window: the client tests' peer with two
changes. MKD of a folder named "site" answers "550 exists" (a folder the
server already has); STOR of a name holding "bad" is refused with 550, and
STOR of a name holding "drop" ends the control connection without a reply.

Usage: upload_peer.py TRANSCRIPT (prints the port, like ftp_peer.py)."""

import os
import signal
import socket
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "upload"))
import ftp_peer  # noqa: E402


class UploadPeer(ftp_peer.Peer):
    def on_MKD(self, arg):
        if arg == "site":
            self.reply("550 site: folder exists")
        else:
            self.reply('257 "%s" created' % arg)

    def on_STOR(self, arg):
        if "drop" in arg:
            self.ctrl.close()
            return "quit"
        if "bad" in arg:
            self.reply("550 %s: permission denied" % arg)
            return
        super().on_STOR(arg)


def main():
    signal.alarm(30)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    print(listener.getsockname()[1], flush=True)
    try:
        UploadPeer("upload", sys.argv[1]).run(listener)
    except (BrokenPipeError, ConnectionResetError):
        pass


if __name__ == "__main__":
    main()
