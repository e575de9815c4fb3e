#!/usr/bin/python3
"""Scripted peer for the upload window: the client tests' peer with these
changes. MKD of a folder named "site" answers "550 exists" (a folder the
server already has); STOR of a name holding "bad" is refused with 550. In the
first session only, STOR of a name holding "drop" ends the control connection
without a reply, and STOR of a name holding "reset" has its data connection
reset after 1 MB. STOR of a name holding "slow" is read at 512 KB/s through a
256 KB receive buffer; one holding "stall" has its first bytes read and no
more until the client ends the session.

Usage: upload_peer.py TRANSCRIPT [SESSIONS] (prints the port, like
ftp_peer.py; serves SESSIONS control connections in turn, default 1)."""

import os
import signal
import socket
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "upload"))
import ftp_peer  # noqa: E402


class UploadPeer(ftp_peer.Peer):
    session = 0

    def run(self, listener):
        self.session += 1
        super().run(listener)

    def on_MKD(self, arg):
        if arg == "site":
            self.reply("550 site: folder exists")
        else:
            self.reply('257 "%s" created' % arg)

    def on_STOR(self, arg):
        if "drop" in arg and self.session == 1:
            self.ctrl.close()
            return "quit"
        if "reset" in arg and self.session == 1:
            self.stor_reset(arg)
            return
        if "slow" in arg:
            self.reply("150 opening data connection")
            data = self.connect_data(rcvbuf=256 * 1024)
            got = self.read_paced(data, 512 * 1024)
            data.close()
            self.finish_stor(arg, got)
            return
        if "stall" in arg:
            # Takes a little, then reads nothing more until the client gives up.
            self.reply("150 opening data connection")
            data = self.connect_data(rcvbuf=64 * 1024)
            data.recv(1000)
            self.ctrl.recv(4096)
            data.close()
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
    peer = UploadPeer("upload", sys.argv[1])
    for _ in range(int(sys.argv[2]) if len(sys.argv) > 2 else 1):
        try:
            peer.run(listener)
        except (BrokenPipeError, ConnectionResetError):
            pass


if __name__ == "__main__":
    main()
