#!/usr/bin/env python3
"""Changes a submitted job on a fax server, as its owner, over the protocol.

    hfaxd-job.py PORT USER PASSWORD kill JOB
    hfaxd-job.py PORT USER PASSWORD expire JOB

kill: JKILL, as faxrm does. expire: gives the job a kill time that passes
at the next turn of the minute (hfaxd takes the send time to the minute and
the kill time in minutes, relative to it, and refuses one already past);
prints that time. Exits non-zero, printing the server's reply, when a step
is refused.
"""
import socket
import sys
import time


class Session:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.lines = self.sock.makefile("rb")
        self.expect("220")

    def reply(self):
        while True:
            line = self.lines.readline().decode("latin-1").rstrip("\r\n")
            if not line:
                raise SystemExit("the fax server closed the connection")
            if len(line) >= 4 and line[:3].isdigit() and line[3] == " ":
                return line

    def expect(self, code, command=None):
        if command is not None:
            self.sock.sendall(command.encode() + b"\r\n")
        line = self.reply()
        if not line.startswith(code):
            raise SystemExit(f"{command}: {line}")
        return line


def suspend_until_minute(s, job):
    """Suspends the job and sets its send time to this minute (the next one
    when this one is about to turn); returns that minute. A job the
    scheduler is still taking in comes back to it right after JSUSP, and
    is suspended again."""
    for _ in range(20):
        s.expect("200", "JSUSP " + job)
        if 60 - time.time() % 60 < 3:
            time.sleep(60 - time.time() % 60 + 0.1)
        minute = time.time() // 60 * 60
        s.sock.sendall(b"JPARM SENDTIME " + time.strftime("%Y%m%d%H%M", time.gmtime(minute)).encode() + b"\r\n")
        line = s.reply()
        if line.startswith("213"):
            return minute
        if "JSUSP" not in line:
            raise SystemExit("JPARM SENDTIME: " + line)
        time.sleep(0.5)
    raise SystemExit("the job could not be kept suspended")


def main():
    port, user, password, action, job = sys.argv[1:6]
    s = Session(int(port))
    line = s.expect("", "USER " + user)
    if line.startswith("331"):
        s.expect("230", "PASS " + password)
    elif not line.startswith("230"):
        raise SystemExit("USER: " + line)
    if action == "kill":
        s.expect("200", "JKILL " + job)
    elif action == "expire":
        s.expect("200", "JOB " + job)
        minute = suspend_until_minute(s, job)
        s.expect("213", "JPARM LASTTIME 000001")
        s.expect("200", "JSUBM " + job)
        print("kill time", time.strftime("%H:%M:%S", time.gmtime(minute + 60)), flush=True)
    else:
        raise SystemExit("unknown action " + action)
    s.expect("221", "QUIT")


if __name__ == "__main__":
    main()
