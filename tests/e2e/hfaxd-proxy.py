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

Runs until killed; prints "ready" once it listens.
"""
import re
import socket
import sys
import threading

# The last line of a final reply (a 1xx reply, such as the one that opens a
# transfer, is followed by the command's final one).
REPLY_END = re.compile(rb"^[2-5]\d\d ")


def relay(mode, client, server):
    # Replies are counted from the greeting (0); the answer of the command
    # put in by the proxy is the one in `hidden`.
    hidden = set()

    def server_to_client():
        replies = 0
        pending = b""
        try:
            while True:
                data = server.recv(65536)
                if not data:
                    break
                pending += data
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    if replies not in hidden:
                        client.sendall(line + b"\n")
                    if REPLY_END.match(line):
                        replies += 1
        except OSError:
            pass
        finally:
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
                server.sendall(line + b"\n")
                commands += 1
                if is_submit and mode == "cut-after-jsubm":
                    client.shutdown(socket.SHUT_RDWR)
                    client.close()
                    threading.Timer(2.0, server.close).start()
                    return
        if pending:
            server.sendall(pending)
    except OSError:
        pass
    server.close()


def main():
    mode, listen_port, server_port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    if mode not in ("cut-after-jsubm", "refuse-second-jsubm", "drop-second-jsubm", "lose-second-jsubm",
                    "count-writes"):
        raise SystemExit(f"unknown mode {mode}")
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", listen_port))
    listener.listen(8)
    print("ready", flush=True)
    while True:
        client, _ = listener.accept()
        server = socket.create_connection(("127.0.0.1", server_port))
        threading.Thread(target=relay, args=(mode, client, server), daemon=True).start()


if __name__ == "__main__":
    main()
