#!/usr/bin/env python3
"""Changes a submitted job on a fax server, as its owner, over the protocol.

    hfaxd-job.py PORT USER PASSWORD kill JOB
    hfaxd-job.py PORT USER PASSWORD expire JOB
    hfaxd-job.py PORT USER PASSWORD submit NUMBER
    hfaxd-job.py PORT USER PASSWORD later NUMBER
    hfaxd-job.py PORT USER PASSWORD state JOB

kill: JKILL, as faxrm does. expire: gives the job a kill time that passes
at the next turn of the minute (hfaxd takes the send time to the minute and
the kill time in minutes, relative to it, and refuses one already past);
prints that time. submit: a one-page job to NUMBER, as sendfax would
make it; prints its number. later: the same, sent a day from now (a
job that waits in the queue). state: prints the job's STATE, OWNER, STATUS,
SENDTIME, LASTTIME, VRES, MAXTRIES and DOCUMENT lines (and a few more) as listed (JPARM). Exits non-zero, printing the server's reply, when a step
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


PAGE = (b"%!PS-Adobe-3.0\n%%Pages: 1\n%%Page: 1 1\n/Helvetica findfont 20 scalefont setfont\n"
        b"72 700 moveto (Kestrel) show\nshowpage\n%%EOF\n")


def submit(s, number, later=False):
    """Stores a one-page document and submits a job for it; returns the job."""
    line = s.expect("227", "PASV")
    h1, h2, h3, h4, p1, p2 = line[line.index("(") + 1:line.index(")")].split(",")
    data = socket.create_connection((f"{h1}.{h2}.{h3}.{h4}", int(p1) * 256 + int(p2)), timeout=30)
    s.expect("150", "STOT")
    data.sendall(PAGE)
    data.close()
    document = s.expect("226").split()[-1].rstrip(").").strip("(")
    job = s.expect("200", "JNEW").split("jobid:")[1].split()[0]
    s.expect("213", "JPARM DIALSTRING " + number)
    if later:
        s.expect("213", "JPARM SENDTIME " + time.strftime("%Y%m%d%H%M", time.gmtime(time.time() + 86400)))
    else:
        s.expect("213", "JPARM SENDTIME NOW")
    s.expect("200", "JPARM DOCUMENT " + document)
    s.expect("213", "JPARM LASTTIME 000300")
    s.expect("200", "JSUBM")
    return job


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
    elif action == "submit":
        print(submit(s, job), flush=True)
    elif action == "later":
        print(submit(s, job, later=True), flush=True)
    elif action == "state":
        s.expect("200", "JOB " + job)
        s.sock.sendall(b"JPARM\r\n")
        while True:
            line = s.lines.readline().decode("latin-1").rstrip("\r\n")
            if line.startswith("217 ") or not line:
                break
            name = line.split(":", 1)[0].strip()
            if name in ("STATE", "OWNER", "STATUS", "JOBID", "TOTDIALS", "TOTTRIES", "SENDTIME", "LASTTIME",
                        "VRES", "MAXTRIES", "DOCUMENT"):
                print(line.strip(), flush=True)
    else:
        raise SystemExit("unknown action " + action)
    s.expect("221", "QUIT")


if __name__ == "__main__":
    main()
