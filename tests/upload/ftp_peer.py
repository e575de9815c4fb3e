#!/usr/bin/python3
"""A scripted FTP peer for the client tests: it misbehaves on purpose.

Usage: ftp_peer.py SCENARIO TRANSCRIPT

Listens on a free port of 127.0.0.1, prints the port on stdout, serves one
control connection as SCENARIO says, and writes every command it received to
TRANSCRIPT (one per line), the bytes of each STOR to TRANSCRIPT.data and,
file by file, to TRANSCRIPT.files/NAME ('/' in NAME as %2F), and how each
STOR's data connection ended to TRANSCRIPT.ends ("fin|reset BYTES NAME": an
orderly end, which a server takes for the end of the file, or a reset). The
data connection is read to its end whatever becomes of the control
connection. A scenario may serve more than one control connection in turn
(its `sessions`).
Stdlib only, with ftp_relay.py beside it; it ends by itself after at most 30
seconds.
"""

import os
import re
import signal
import socket
import sys
import time

from ftp_relay import settle

CRLF = b"\r\n"


def reset(conn):
    """Closes a connection abortively: the other side sees a reset."""
    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
    conn.close()


class ResetBeforeUse:
    """Stands for a data connection that was reset before the peer used it."""

    def recv(self, want):
        raise ConnectionResetError("reset before use")

    def setsockopt(self, *args):
        pass

    def close(self):
        pass


class Peer:
    sessions = 1

    def __init__(self, scenario, transcript):
        self.scenario = scenario
        self.transcript = open(transcript, "w")
        self.data_path = transcript + ".data"
        self.ends_path = transcript + ".ends"
        self.data_end = None
        self.port_addr = None
        self.buf = b""
        self.ctrl = None

    # -- control connection ------------------------------------------------
    def send(self, raw):
        self.ctrl.sendall(raw)

    def reply(self, text):
        self.send(text.encode() + CRLF)

    def read_command(self):
        while b"\n" not in self.buf:
            chunk = self.ctrl.recv(4096)
            if not chunk:
                return None
            self.buf += chunk
        line, self.buf = self.buf.split(b"\n", 1)
        line = line.rstrip(b"\r").decode("latin-1")
        self.transcript.write(line + "\n")
        self.transcript.flush()
        return line

    # -- data connection ---------------------------------------------------
    def connect_data(self, rcvbuf=None):
        host, port = self.port_addr
        self.data_end = None
        data = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if rcvbuf is not None:
            data.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
        data.settimeout(10)
        try:
            data.connect((host, port))
        except ConnectionResetError:
            # The client took the connection and reset it at once.
            data.close()
            return ResetBeforeUse()
        return data

    def receive(self, data, want):
        """One read of the data connection; b"" at its end, which data_end
        tells: "fin" or "reset"."""
        try:
            chunk = data.recv(want)
        except ConnectionResetError:
            self.data_end = "reset"
            return b""
        if not chunk:
            self.data_end = "fin"
        return chunk

    def read_all(self, data, limit=None):
        got = bytearray()
        while limit is None or len(got) < limit:
            want = 65536 if limit is None else min(65536, limit - len(got))
            chunk = self.receive(data, want)
            if not chunk:
                break
            got += chunk
        with open(self.data_path, "ab") as out:
            out.write(got)
        return got

    def read_paced(self, data, rate):
        """Reads a data connection to its end at a steady `rate` bytes a second."""
        got = bytearray()
        start = time.monotonic()
        while True:
            chunk = self.receive(data, 65536)
            if not chunk:
                break
            got += chunk
            ahead = len(got) / rate - (time.monotonic() - start)
            if ahead > 0:
                time.sleep(ahead)
        return got

    def keep(self, name, got):
        """The bytes a STOR left on the server, under the name it gave."""
        folder = self.data_path[: -len(".data")] + ".files"
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name.replace("/", "%2F")), "wb") as out:
            out.write(got)

    # -- the default server, which scenarios override ------------------------
    def greeting(self):
        self.reply("220 scripted peer ready")

    def on_USER(self, arg):
        self.reply("331 password please")

    def on_PASS(self, arg):
        self.reply("230 logged in")

    def on_PWD(self, arg):
        self.reply('257 "/home/peer" is the current directory')

    def on_CWD(self, arg):
        self.reply('250 "/home/peer/%s" is the current directory' % arg)

    def on_MKD(self, arg):
        self.reply('257 "%s" created' % arg)

    def on_TYPE(self, arg):
        self.reply("200 type set")

    def on_SYST(self, arg):
        self.reply("215 UNIX Type: L8")

    def on_PORT(self, arg):
        parts = [int(p) for p in arg.split(",")]
        self.port_addr = (".".join(str(p) for p in parts[:4]), parts[4] * 256 + parts[5])
        self.reply("200 PORT ok")

    def finish_stor(self, arg, got):
        """Keeps what a STOR read to the end of its data connection, notes how
        that ended, and replies as a server does: an orderly end is the end
        of the file, a reset a broken transfer."""
        self.keep(arg, got)
        with open(self.ends_path, "a") as out:
            out.write("%s %d %s\n" % (self.data_end, len(got), arg))
        if self.data_end == "fin":
            self.reply("226 transfer complete")
        else:
            self.reply("426 Connection reset; transfer aborted")

    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        data = self.connect_data()
        got = self.read_all(data)
        data.close()
        self.finish_stor(arg, got)

    def stor_reset(self, arg):
        """A STOR whose data connection is reset after 1 MB: the file stays
        partial on the server and the transfer fails."""
        self.reply("150 opening data connection")
        data = self.connect_data()
        self.keep(arg, self.read_all(data, limit=1024 * 1024))
        reset(data)
        self.reply("426 Connection reset; transfer aborted")

    def on_QUIT(self, arg):
        self.reply("221 bye")
        return "quit"

    def run(self, listener):
        self.ctrl, _ = listener.accept()
        self.greeting()
        while True:
            line = self.read_command()
            if line is None:
                break
            verb, _, arg = line.partition(" ")
            handler = getattr(self, "on_" + verb.upper(), None)
            if handler is None:
                self.reply("502 command not implemented")
                continue
            if handler(arg) == "quit":
                break
        self.ctrl.close()


# -- scenarios ---------------------------------------------------------------

class MultiLine(Peer):
    def greeting(self):
        self.send(b"220-Welcome to the scripted peer\r\n220-second line\r\n 220 not the end\r\n220 ready\r\n")

    def on_PASS(self, arg):
        self.send(b"230-first\r\n230-second\r\n230 logged in\r\n")

    def on_PWD(self, arg):
        self.send(b'257-the folder follows\r\n257 "/a ""quoted"" dir" is current\r\n')


class LfOnly(Peer):
    def reply(self, text):
        self.send(text.encode() + b"\n")


class SplitAndBatched(Peer):
    def greeting(self):
        # A line without a code, then the greeting split over two sends.
        self.send(b"hello, no code here\r\n22")
        time.sleep(0.2)
        self.send(b"0 ready\r\n")

    def on_PWD(self, arg):
        # The reply and an unsolicited line in one piece.
        self.send(b'257 "/x" is current\r\n211 unsolicited status\r\n')

    def on_STOR(self, arg):
        self.reply("150 opening")
        data = self.connect_data()
        self.read_all(data)
        data.close()
        # A multi-line final reply, all of it in one piece.
        self.send(b"226-transfer complete\r\n226-statistics follow\r\n226 done\r\n")


class UserAccepted(Peer):
    def on_USER(self, arg):
        self.reply("230 no password needed")


class GreetingRefused(Peer):
    def greeting(self):
        self.reply("421 too many users")
        time.sleep(0.5)


def refusing(verb, text):
    def handler(self, arg):
        self.reply(text)
    return type("Refuse" + verb, (Peer,), {"on_" + verb: handler})


class StorAfterConnect(Peer):
    def on_STOR(self, arg):
        data = self.connect_data()
        time.sleep(0.3)
        self.reply("150 opening data connection")
        self.read_all(data)
        data.close()
        self.reply("226 transfer complete")


class CloseMidStor(Peer):
    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        data = self.connect_data()
        self.read_all(data, limit=64 * 1024)
        self.ctrl.close()
        data.close()
        return "quit"

    def run(self, listener):
        try:
            super().run(listener)
        except OSError:
            pass


class ResetDataMidStor(Peer):
    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        data = self.connect_data()
        self.read_all(data, limit=16 * 1024)
        # An abortive close; the lying 226 must not turn it into success.
        reset(data)
        self.reply("226 transfer complete")


class ShortReadStor(Peer):
    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        data = self.connect_data()
        self.read_all(data, limit=16 * 1024)
        # An orderly close after part of the file, and a 226 all the same.
        data.close()
        self.reply("226 transfer complete")


class FailAfterData(Peer):
    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        data = self.connect_data()
        self.read_all(data)
        data.close()
        self.reply("451 local error in processing")


class StallStor(Peer):
    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        data = self.connect_data()
        data.recv(1000)
        time.sleep(8)
        data.close()


class StallPwd(Peer):
    def on_PWD(self, arg):
        time.sleep(8)


class LongLine(Peer):
    def on_PWD(self, arg):
        self.send(b'257 "/long" ' + b"x" * 6000 + b"\r\n")


class SlowStor(Peer):
    """Reads the whole upload at a steady pace through a fixed 256 KB receive
    buffer. In "slowstor" at 12 MB/s: a 24 MB file takes longer than the
    client's time-out while data keeps moving. In "slowdrain" at 512 KB/s: a
    file the client's socket buffers take in at once still drains for
    seconds after the client handed over its last block."""
    RATES = {"slowstor": 12 * 1024 * 1024, "slowdrain": 512 * 1024}

    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        data = self.connect_data(rcvbuf=256 * 1024)
        got = self.read_paced(data, self.RATES[self.scenario])
        with open(self.data_path, "ab") as out:
            out.write(got)
        data.close()
        self.finish_stor(arg, got)


class PauseStor(Peer):
    """Reads 1 MB through a 64 KB receive buffer, stops reading for 5 s like
    a server whose process is stopped, then reads on to the end."""

    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        data = self.connect_data(rcvbuf=64 * 1024)
        got = self.read_all(data, limit=1024 * 1024)
        time.sleep(5)
        if self.data_end is None:
            got += self.read_all(data)
        data.close()
        self.finish_stor(arg, got)


class RefuseMidStor(Peer):
    """Breaks the data connection after 1 MB for a reason of its own, then
    says so: a reset and "451" in "diskfull451" (vsftpd on a full disk), its
    end of the connection and "552" in "quota552" (a quota)."""

    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        data = self.connect_data()
        self.keep(arg, self.read_all(data, limit=1024 * 1024))
        if self.scenario == "diskfull451":
            reset(data)
        else:
            data.shutdown(socket.SHUT_WR)
        # The client meets the break before the reply.
        time.sleep(0.3)
        self.reply("451 Failure writing to local file." if self.scenario == "diskfull451" else "552 Quota exceeded.")
        data.close()


class EarlyReply(Peer):
    """Reads 1 MB through a receive buffer of 4 KB, waits until nothing more
    arrives (the client handed the rest to its system), then confirms the
    file before it read the rest: it reads that 1 s later in "earlyreply",
    15 s later (long after the client gave up) in "earlyreplystall"."""

    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        data = self.connect_data(rcvbuf=4096)
        got = self.read_all(data, limit=1024 * 1024)
        settle(data)
        self.reply("226 transfer complete")
        time.sleep(1 if self.scenario == "earlyreply" else 15)
        got += self.read_all(data)
        self.keep(arg, got)
        data.close()


class ResetData(Peer):
    """Resets the data connection of every STOR whose name begins with
    "reset"; every other STOR, in this session or the next one, is served
    normally."""
    sessions = 2

    def on_STOR(self, arg):
        if arg.startswith("reset"):
            self.stor_reset(arg)
        else:
            Peer.on_STOR(self, arg)


class ResetSession(CloseMidStor):
    """Resets the control and data connections of the first session in the
    middle of a STOR, like a server that is killed; the second session is
    served normally."""
    sessions = 2
    resets_left = 1

    def on_STOR(self, arg):
        if self.resets_left == 0:
            return Peer.on_STOR(self, arg)
        self.resets_left -= 1
        self.reply("150 opening data connection")
        data = self.connect_data()
        self.read_all(data, limit=256 * 1024)
        reset(data)
        reset(self.ctrl)
        return "quit"


class NoDataConnection(Peer):
    """Ends each STOR with a final reply without ever connecting to the
    client's data port (after a caller from a stranger's address in
    "strangeronly"); the final reply is 226, or 425 in "nodata425"."""

    def on_STOR(self, arg):
        self.reply("150 opening data connection")
        if self.scenario == "strangeronly":
            host, port = self.port_addr
            stranger = socket.create_connection((host, port), timeout=5, source_address=("127.0.0.3", 0))
            stranger.recv(1)
            stranger.close()
        if self.scenario == "nodata425":
            self.reply("425 Can't open data connection")
        else:
            self.reply("226 transfer complete")


class Intruders(Peer):
    """Before connecting itself, tries the client's data port the way a third
    party on the network would, and notes in the transcript what happened."""

    def note(self, text):
        self.transcript.write("# " + text + "\n")
        self.transcript.flush()

    def on_STOR(self, arg):
        host, port = self.port_addr
        # The port on another address of this machine: there only when the
        # client listens on every address.
        try:
            socket.create_connection(("127.0.0.2", port), timeout=2).close()
            self.note("other address: accepted")
        except OSError:
            self.note("other address: refused")
        # The announced port, but from an address that is not the server's.
        stranger = socket.create_connection((host, port), timeout=5, source_address=("127.0.0.3", 0))
        try:
            got = stranger.recv(65536)
            self.note("stranger: got data" if got else "stranger: closed")
        except socket.timeout:
            self.note("stranger: kept open")
        except ConnectionResetError:
            self.note("stranger: closed")
        stranger.close()
        Peer.on_STOR(self, arg)


SCENARIOS = {
    "normal": Peer,
    "multiline": MultiLine,
    "lfonly": LfOnly,
    "batched": SplitAndBatched,
    "user230": UserAccepted,
    "greeting421": GreetingRefused,
    "user530": refusing("USER", "530 not allowed"),
    "pass530": refusing("PASS", "530 login incorrect"),
    "cwd550": refusing("CWD", "550 no such folder"),
    "mkd550": refusing("MKD", "550 folder exists"),
    "mkd521": refusing("MKD", "521 folder exists"),
    "port500": refusing("PORT", "500 PORT not understood"),
    "stor553": refusing("STOR", "553 name not allowed"),
    "stor450": refusing("STOR", "450 file busy"),
    "pwd421": refusing("PWD", "421 service closing"),
    "storafter": StorAfterConnect,
    "closemidstor": CloseMidStor,
    "resetmidstor": ResetDataMidStor,
    "failafterdata": FailAfterData,
    "shortreadstor": ShortReadStor,
    "stallstor": StallStor,
    "stallpwd": StallPwd,
    "longline": LongLine,
    "slowstor": SlowStor,
    "slowdrain": SlowStor,
    "pausestor": PauseStor,
    "intruders": Intruders,
    "resetdata": ResetData,
    "resetsession": ResetSession,
    "nodata226": NoDataConnection,
    "nodata425": NoDataConnection,
    "strangeronly": NoDataConnection,
    "diskfull451": RefuseMidStor,
    "quota552": RefuseMidStor,
    "earlyreply": EarlyReply,
    "earlyreplystall": EarlyReply,
}


def main():
    scenario, transcript = sys.argv[1], sys.argv[2]
    signal.alarm(30)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    print(listener.getsockname()[1], flush=True)
    peer = SCENARIOS[scenario](scenario, transcript)
    for _ in range(peer.sessions):
        try:
            peer.run(listener)
        except (BrokenPipeError, ConnectionResetError):
            pass


if __name__ == "__main__":
    main()
