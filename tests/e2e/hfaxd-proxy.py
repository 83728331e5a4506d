#!/usr/bin/env python3
"""A fax server's command connection with a fault put in between.

    hfaxd-proxy.py MODE LISTEN_PORT SERVER_PORT

Listens on 127.0.0.1:LISTEN_PORT and relays each connection to the fax
server on 127.0.0.1:SERVER_PORT. MODE is

  cut-after-jsubm      once a client's line "jsubm" has been passed on, the
                       client's side is cut at once, before the server's
                       answer can reach it; the server's side stays open a
                       moment so the server takes the command in.
  refuse-second-jsubm  before the second "jsubm" of a connection, the job is
                       given a line the server does not have, so the server
                       itself refuses that job (the answer to the line put
                       in is kept from the client).
  drop-second-jsubm    the second "jsubm" of a connection is not passed on and
                       the client's side is cut at once; the server's side
                       stays open until the server closes it or the proxy
                       ends, so the server keeps that job made and never
                       submitted.
  lose-second-jsubm    the same, but the server's side is closed too, so the
                       server ends the session and deletes that job.
  count-writes         nothing put in: once the client closes, prints
                       "writes W commands C", the pieces its commands came
                       in (each write, or writes that came together) and
                       their number.
  cut-after-command:N  the first connection is cut once its N-th command line
                       (USER the first) has been passed on: nothing after it
                       goes through, no reply reaches the client any more,
                       and the server reads every command up to it, then the
                       end of the session. Prints "cut after command N: LINE".
                       Later connections (the client asking what became of a
                       job) go through.
  cut-after-reply:N    the same once the N-th final reply after the greeting
                       has reached the client; the commands passed on before
                       it stay with the server. Prints "cut after reply N:
                       LINE".
  ...:late             (after either) the server's side ends 1.5 s after the
                       client's, as when the line goes down rather than the
                       client closing: the server carries out the last
                       commands before it learns of the end.
  ...:unreachable      (after either) every later connection is closed at
                       once: the server cannot be asked after the cut.

Runs until killed; prints "ready" once it listens.
"""
import re
import socket
import sys
import threading

# The last line of a final reply (a 1xx reply, such as the one that opens a
# transfer, is followed by the command's final one).
REPLY_END = re.compile(rb"^[2-5]\d\d ")


class Cut:
    """A cut of both directions of one connection, at most once."""

    def __init__(self, client, server, late):
        self.client = client
        self.server = server
        self.late = late
        self.lock = threading.Lock()
        self.done = False

    def __call__(self, where, line):
        with self.lock:
            if self.done:
                return
            self.done = True
            print(f"cut after {where}: {line.decode(errors='replace').strip()}", flush=True)
            # The client's side at once, both ways.
            try:
                self.client.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self.client.close()
            # The server's side in order, so that it takes in every command
            # passed on before the end; its answers are read and dropped (a
            # close with unread data would reset the connection instead).
            threading.Timer(1.5 if self.late else 0, self.end_server).start()

    def end_server(self):
        try:
            self.server.shutdown(socket.SHUT_WR)
        except OSError:
            pass


def relay(mode, client, server):
    # Replies are counted from the greeting (0); the answer of the command
    # put in by the proxy is the one in `hidden`.
    hidden = set()
    fault, *options = mode.split(":")
    limit = int(options[0]) if options else 0
    cut = Cut(client, server, "late" in options)

    def server_to_client():
        replies = 0
        pending = b""
        try:
            while True:
                data = server.recv(65536)
                if not data:
                    break
                if cut.done:
                    continue
                pending += data
                while b"\n" in pending and not cut.done:
                    line, pending = pending.split(b"\n", 1)
                    if replies not in hidden:
                        client.sendall(line + b"\n")
                    if REPLY_END.match(line):
                        replies += 1
                        if fault == "cut-after-reply" and replies == limit + 1:
                            cut(f"reply {limit}", line)
        except OSError:
            pass
        finally:
            if cut.done:
                server.close()  # the server has ended its side after the cut
            else:
                client.close()

    threading.Thread(target=server_to_client, daemon=True).start()
    commands = 0
    submits = 0
    writes = 0
    pending = b""
    try:
        while True:
            data = client.recv(65536)
            if not data:
                if mode == "count-writes":
                    print(f"writes {writes} commands {commands}", flush=True)
                break
            writes += 1
            pending += data
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                is_submit = line.strip().lower() == b"jsubm"
                if is_submit:
                    submits += 1
                if is_submit and mode in ("drop-second-jsubm", "lose-second-jsubm") and submits == 2:
                    client.shutdown(socket.SHUT_RDWR)
                    client.close()
                    if mode == "lose-second-jsubm":
                        # shutdown: close() alone would wait for the other
                        # thread's recv before the server sees the end.
                        server.shutdown(socket.SHUT_RDWR)
                        server.close()
                    return  # else the server's side is left open
                if is_submit and mode == "refuse-second-jsubm" and submits == 2:
                    commands += 1
                    hidden.add(commands)
                    server.sendall(b"jparm modem nosuchmodem\r\n")
                with cut.lock:  # nothing goes through once the connection is cut
                    if cut.done:
                        return
                    server.sendall(line + b"\n")
                commands += 1
                if fault == "cut-after-command" and commands == limit:
                    cut(f"command {limit}", line)
                    return
                if is_submit and mode == "cut-after-jsubm":
                    client.shutdown(socket.SHUT_RDWR)
                    client.close()
                    threading.Timer(2.0, server.close).start()
                    return
        if pending:
            server.sendall(pending)
    except OSError:
        pass
    if not cut.done:
        server.close()


def main():
    mode, listen_port, server_port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    cuts = re.fullmatch(r"cut-after-(command|reply):[0-9]+(:late)?(:unreachable)?", mode)
    if not cuts and mode not in ("cut-after-jsubm", "refuse-second-jsubm", "drop-second-jsubm",
                                 "lose-second-jsubm", "count-writes"):
        raise SystemExit(f"unknown mode {mode}")
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", listen_port))
    listener.listen(8)
    print("ready", flush=True)
    connections = 0
    while True:
        client, _ = listener.accept()
        connections += 1
        if cuts and connections > 1:
            if cuts.group(3):
                client.close()
                continue
            mode = "relay"  # nothing put in
        server = socket.create_connection(("127.0.0.1", server_port))
        threading.Thread(target=relay, args=(mode, client, server), daemon=True).start()


if __name__ == "__main__":
    main()
