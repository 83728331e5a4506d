#!/usr/bin/env python3
"""A fax server's command connection that is lost right after "jsubm".

    cut-after-jsubm.py LISTEN_PORT SERVER_PORT

Listens on 127.0.0.1:LISTEN_PORT and relays each connection to the fax
server on 127.0.0.1:SERVER_PORT. When a client's line "jsubm" has been
passed on, the client's side is cut at once, before the server's answer can
reach it; the server's side stays open a moment so the server takes the
command in. Runs until killed; prints "ready" once it listens.
"""
import socket
import sys
import threading


def relay(client, server):
    def server_to_client():
        try:
            while True:
                data = server.recv(65536)
                if not data:
                    break
                client.sendall(data)
        except OSError:
            pass
        finally:
            client.close()

    threading.Thread(target=server_to_client, daemon=True).start()
    seen = b""
    try:
        while True:
            data = client.recv(65536)
            if not data:
                break
            server.sendall(data)
            seen = (seen + data)[-64:]
            if b"jsubm\r\n" in seen.lower():
                client.shutdown(socket.SHUT_RDWR)
                client.close()
                threading.Timer(2.0, server.close).start()
                return
    except OSError:
        pass
    server.close()


def main():
    listen_port, server_port = int(sys.argv[1]), int(sys.argv[2])
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", listen_port))
    listener.listen(8)
    print("ready", flush=True)
    while True:
        client, _ = listener.accept()
        server = socket.create_connection(("127.0.0.1", server_port))
        threading.Thread(target=relay, args=(client, server), daemon=True).start()


if __name__ == "__main__":
    main()
