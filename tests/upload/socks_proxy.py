#!/usr/bin/python3
"""A small SOCKS 4 / 4A / 5 proxy for the socket tests (on 127.0.0.1, or
another loopback address given with --listen).

Prints the port it listens on, then serves until killed. Every request it
receives (method offer, authentication, connect request) is logged as one
hex line to --log so tests can check the exact bytes. With --ftp it relays
FTP as ftp_relay.py does (its data connections too, which it can cut).
"""
import argparse
import select
import socket
import struct
import sys
import threading

import ftp_relay


def read_exact(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            raise EOFError()
        data += chunk
    return data


def read_until_nul(conn):
    data = b""
    while True:
        c = read_exact(conn, 1)
        if c == b"\0":
            return data
        data += c


class Proxy:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()

    def log(self, kind, data):
        if not self.args.log:
            return
        with self.lock:
            with open(self.args.log, "a") as f:
                f.write("%s %s\n" % (kind, data.hex()))

    def relay(self, a, b):
        try:
            while True:
                r, _, _ = select.select([a, b], [], [])
                for s in r:
                    data = s.recv(65536)
                    if not data:
                        return
                    (b if s is a else a).sendall(data)
        except OSError:
            pass

    def forward(self, conn, target):
        if self.args.ftp:
            options = ftp_relay.Options(self.args.cut, self.args.cut_after, 0, self.args.rcvbuf, self.args.listen)
            ftp_relay.Relay(options).serve(conn, target)
        else:
            self.relay(conn, target)

    def connect_to(self, host, port):
        return socket.create_connection((host, port), timeout=10)

    def handle(self, conn):
        try:
            version = read_exact(conn, 1)[0]
            if version == 4:
                self.socks4(conn)
            elif version == 5:
                self.socks5(conn)
        except (EOFError, OSError):
            pass
        finally:
            conn.close()

    def socks4(self, conn):
        head = read_exact(conn, 7)
        cmd, port = head[0], struct.unpack(">H", head[1:3])[0]
        ip = head[3:7]
        user = read_until_nul(conn)
        name = b""
        if ip[:3] == b"\0\0\0" and ip[3] != 0:
            name = read_until_nul(conn)
        self.log("connect4", bytes([4]) + head + user + b"\0" + (name + b"\0" if name else b""))
        status = self.args.reply if self.args.reply is not None else 90
        if self.args.user is not None and user.decode() != self.args.user:
            status = 93
        target = None
        if status == 90:
            host = name.decode() if name else socket.inet_ntoa(ip)
            try:
                target = self.connect_to(host, port)
            except OSError:
                status = 91
        conn.sendall(bytes([0, status]) + b"\0\0\0\0\0\0" + self.args.behind.encode())
        if target:
            with target:
                self.forward(conn, target)

    def socks5(self, conn):
        count = read_exact(conn, 1)[0]
        methods = read_exact(conn, count)
        self.log("methods", bytes([5, count]) + methods)
        if self.args.auth:
            if 2 not in methods:
                conn.sendall(b"\x05\xff")
                return
            conn.sendall(b"\x05\x02")
            ver = read_exact(conn, 1)
            ulen = read_exact(conn, 1)[0]
            user = read_exact(conn, ulen)
            plen = read_exact(conn, 1)[0]
            password = read_exact(conn, plen)
            self.log("auth", ver + bytes([ulen]) + user + bytes([plen]) + password)
            good = (user + b":" + password).decode() == self.args.auth
            conn.sendall(b"\x01" + (b"\x00" if good else b"\x01"))
            if not good:
                return
        else:
            conn.sendall(b"\x05\x00")
        head = read_exact(conn, 4)
        atyp = head[3]
        if atyp == 1:
            addr = read_exact(conn, 4)
            host = socket.inet_ntoa(addr)
            raw = addr
        elif atyp == 3:
            n = read_exact(conn, 1)[0]
            name = read_exact(conn, n)
            host = name.decode()
            raw = bytes([n]) + name
        else:
            return
        port_bytes = read_exact(conn, 2)
        port = struct.unpack(">H", port_bytes)[0]
        self.log("connect5", head + raw + port_bytes)
        status = self.args.reply if self.args.reply is not None else 0
        target = None
        if status == 0:
            try:
                target = self.connect_to(host, port)
            except OSError:
                status = 5
        if self.args.bound_name:
            bound = b"\x03" + bytes([len(self.args.bound_name)]) + self.args.bound_name.encode()
        else:
            bound = b"\x01" + socket.inet_aton("127.0.0.1")
        reply = b"\x05" + bytes([status]) + b"\x00" + bound + struct.pack(">H", 4321)
        conn.sendall(reply + self.args.behind.encode())
        if target:
            with target:
                self.forward(conn, target)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log")
    parser.add_argument("--auth", help="USER:PASS required by SOCKS 5")
    parser.add_argument("--user", help="user id required by SOCKS 4")
    parser.add_argument("--reply", type=int, help="status to answer connect requests with")
    parser.add_argument("--behind", default="", help="bytes sent right behind the reply")
    parser.add_argument("--bound-name", help="SOCKS 5 reply names the bound address")
    parser.add_argument("--listen", default="127.0.0.1", help="loopback address to listen on")
    parser.add_argument("--ftp", action="store_true", help="relay FTP, data connections too")
    parser.add_argument("--cut", choices=["reset", "orderly"], help="with --ftp: as ftp_relay.py")
    parser.add_argument("--cut-after", type=int, default=0)
    parser.add_argument("--rcvbuf", type=int)
    args = parser.parse_args()
    proxy = Proxy(args)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if not args.listen.startswith("127."):
        parser.error("--listen takes a loopback address")
    server.bind((args.listen, 0))
    server.listen(16)
    print(server.getsockname()[1], flush=True)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=proxy.handle, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
