#!/usr/bin/python3
"""An FTP relay for the client tests: it sits on the control connection and,
by rewriting PORT, on every data connection as well, as a proxy or a
firewall that knows FTP does.

Usage: ftp_relay.py SERVER_PORT [--cut reset|orderly --cut-after BYTES]
                    [--delay MS] [--rcvbuf BYTES]

Listens on 127.0.0.1 (prints the port) and forwards each control connection
to the server at 127.0.0.1:SERVER_PORT. A PORT from the client becomes a port
of the relay's; when the server connects there, the relay connects to the
client's port and forwards the data both ways.

--cut ends an upload's data connection once BYTES of it went to the server
and the rest stopped arriving at the relay: "reset" resets the client's side
and closes the server's in order (what a relay does when its client's side
breaks: the server takes it for the end of the file), "orderly" ends both
sides in order. --rcvbuf sets the receive buffer of the relay's side facing
the client, so that the client still holds bytes the relay's system never
acknowledged when the cut comes. --delay holds every piece MS milliseconds
each way, like a distant link.

Also used by socks_proxy.py, which relays FTP this way behind SOCKS 5, and
by ftp_peer.py (settle).
Stdlib only.
"""

import argparse
import fcntl
import queue
import re
import socket
import struct
import sys
import termios
import threading
import time

PORT_COMMAND = re.compile(rb"^PORT (\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\r?\n$", re.IGNORECASE)


class Options:
    def __init__(self, cut=None, cut_after=0, delay=0.0, rcvbuf=None, source="127.0.0.1"):
        self.cut = cut
        self.cut_after = cut_after
        self.delay = delay
        self.rcvbuf = rcvbuf
        self.source = source  # the relay's address towards the client


def pump(src, dst, delay, limit=None, at_limit=None):
    """Forwards src to dst until src ends, or until `limit` bytes went on
    (at_limit() is then called first), then ends dst's sending side."""
    pieces = queue.Queue(maxsize=16)

    def writer():
        while True:
            due, piece = pieces.get()
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            if piece is None:
                break
            try:
                dst.sendall(piece)
            except OSError:
                break
        try:
            dst.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    thread = threading.Thread(target=writer, daemon=True)
    thread.start()
    forwarded = 0
    while limit is None or forwarded < limit:
        want = 65536 if limit is None else min(65536, limit - forwarded)
        try:
            piece = src.recv(want)
        except OSError:
            piece = b""
        if not piece:
            break
        forwarded += len(piece)
        pieces.put((time.monotonic() + delay, piece))
    if limit is not None and forwarded >= limit:
        at_limit()
    pieces.put((time.monotonic() + delay, None))
    thread.join()


def settle(conn):
    """Waits until the bytes waiting on conn stopped growing for a while."""
    waiting, still = -1, 0
    while still < 5:
        now = struct.unpack("i", fcntl.ioctl(conn.fileno(), termios.FIONREAD, b"\0\0\0\0"))[0]
        still = still + 1 if now == waiting else 0
        waiting = now
        time.sleep(0.05)


class Relay:
    """Relays one control connection and the data connections it announces."""

    def __init__(self, options):
        self.options = options
        self.held = []  # client sides ended in order, closed with the session

    def serve(self, client, server):
        """Relays the control connection until both directions ended."""
        back = threading.Thread(target=pump, args=(server, client, self.options.delay), daemon=True)
        back.start()
        buffer = b""
        while True:
            try:
                chunk = client.recv(4096)
            except OSError:
                chunk = b""
            if not chunk:
                break
            buffer += chunk
            while b"\n" in buffer:
                line, buffer = buffer.split(b"\n", 1)
                line = self.rewrite(line + b"\n")
                time.sleep(self.options.delay)
                server.sendall(line)
        try:
            server.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        back.join()
        for held in self.held:
            held.close()
        client.close()
        server.close()

    def rewrite(self, line):
        match = PORT_COMMAND.match(line)
        if not match:
            return line
        numbers = [int(n) for n in match.groups()]
        target = (".".join(str(n) for n in numbers[:4]), numbers[4] * 256 + numbers[5])
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        threading.Thread(target=self.data, args=(listener, target), daemon=True).start()
        port = listener.getsockname()[1]
        return b"PORT 127,0,0,1,%d,%d\r\n" % (port >> 8, port & 0xFF)

    def data(self, listener, target):
        server, _ = listener.accept()
        listener.close()
        client = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if self.options.rcvbuf:
            client.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, self.options.rcvbuf)
        client.bind((self.options.source, 0))
        client.connect(target)
        back = threading.Thread(target=pump, args=(server, client, self.options.delay), daemon=True)
        back.start()

        def cut():
            # As when the client's side breaks after the client handed the
            # whole file over: its last bytes settle in the buffers first.
            settle(client)
            # The client's side ends first; the server's follows in order
            # once what was taken for it went out.
            if self.options.cut == "reset":
                client.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                client.close()
            else:
                client.shutdown(socket.SHUT_WR)
                # Held open, unread, until the session ends: the client sees
                # the end of the connection and no more of its bytes taken.
                self.held.append(client)

        pump(client, server, self.options.delay, self.options.cut_after if self.options.cut else None, cut)
        back.join()
        if self.options.cut is None:
            client.close()
        server.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("server_port", type=int)
    parser.add_argument("--cut", choices=["reset", "orderly"])
    parser.add_argument("--cut-after", type=int, default=0)
    parser.add_argument("--delay", type=float, default=0, help="milliseconds each way")
    parser.add_argument("--rcvbuf", type=int)
    args = parser.parse_args()
    options = Options(args.cut, args.cut_after, args.delay / 1000.0, args.rcvbuf)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print(listener.getsockname()[1], flush=True)
    while True:
        client, _ = listener.accept()
        server = socket.create_connection(("127.0.0.1", args.server_port))
        threading.Thread(target=Relay(options).serve, args=(client, server), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
