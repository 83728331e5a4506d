#!/usr/bin/env python3
"""The client's start with hostile desktop contact sources (figures, not a
test): the time from its start to its capture port taking a connection, the
time until its desktop contacts are in (its debug line), and its peak
resident memory, with VCARD naming

  - nothing (no contact file: the baseline),
  - a FIFO nobody writes to, and /dev/zero,
  - a folded and an unfolded file of the same size, both over the 64 MiB a
    file is read up to (passed over) and both under it (read),

the folded and unfolded files in alternating paired rounds: the median of
their ratios and its spread. Both hold ten cards, each with a note of
megabytes: a folded file has every value folded after each character (a
physical line of 4 bytes, the most lines a file of its size can have); the
unfolded one has the same cards with each value on one line, padded to the
same size.

    vcard-start.py CORVAFAX SIMULATOR [ROUNDS]

KESTREL_COMPONENT_REGISTRY must name the build's registry. The client runs
on the offscreen platform against the appliance simulator, with a print
system that is not there; this machine's is left alone."""

import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

CARDS = 10


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def port_answers(port):
    with socket.socket() as probe:
        try:
            probe.connect(("127.0.0.1", port))
            return True
        except OSError:
            return False


def proc_kib(pid, field):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def card_parts(i, note_bytes):
    """The card's lines, each a (name, value) pair; the note makes it big."""
    return [("VERSION", "3.0"), ("N", f"Rossi {i};Anna;;;"), ("ORG", f"Studio {i}"),
            ("TEL;TYPE=WORK,FAX", f"+39 02 {1000000 + i}"), ("NOTE", "x" * note_bytes)]


def folded_line(name, value):
    # A fold after every character: CRLF and one blank before each.
    return (name + ":" + value[:1] + "".join("\r\n " + c for c in value[1:]) + "\r\n").encode()


def write_pair(folder, megabytes):
    """A folded and an unfolded file of the same size and the same cards."""
    size = megabytes * 1000 * 1000
    per_card = size // CARDS
    folded_path = os.path.join(folder, f"folded-{megabytes}.vcf")
    unfolded_path = os.path.join(folder, f"unfolded-{megabytes}.vcf")
    with open(folded_path, "wb") as folded, open(unfolded_path, "wb") as unfolded:
        for i in range(1, CARDS + 1):
            head = b"BEGIN:VCARD\r\n"
            tail = b"END:VCARD\r\n"
            small = [folded_line(n, v) for n, v in card_parts(i, 0)[:-1]]
            fixed = len(head) + len(tail) + sum(len(line) for line in small) + len(b"NOTE:\r\n")
            # Each folded character after the first takes 4 bytes.
            note = max(1, (per_card - fixed + 3) // 4)
            one = head + b"".join(small) + folded_line("NOTE", "x" * note) + tail
            folded.write(one)
            flat = [(n + ":" + v + "\r\n").encode() for n, v in card_parts(i, 0)[:-1]]
            pad = len(one) - (len(head) + len(tail) + sum(len(line) for line in flat) + len(b"NOTE:\r\n"))
            unfolded.write(head + b"".join(flat) + b"NOTE:" + b"x" * pad + b"\r\n" + tail)
    assert os.path.getsize(folded_path) == os.path.getsize(unfolded_path)
    return folded_path, unfolded_path


def start_simulator(binary, folder):
    os.makedirs(os.path.join(folder, "store"), exist_ok=True)
    process = subprocess.Popen(
        [binary, "--listen", "127.0.0.1", "--http-port", "0", "--fax-port", "0",
         "--store", os.path.join(folder, "store"), "--quiet"],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = process.stdout.readline()
    ports = dict(re.findall(r"(http|fax)=(\d+)", line))
    if "http" not in ports:
        sys.exit(f"the simulator printed no ready line: {line!r}")
    return process, ports["http"], ports["fax"]


def stop(process):
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def client_round(client, environment, source):
    program = environment["KESTREL_PROGRAM_DIR"]
    with open(os.path.join(program, "KZV.INI"), "w") as ini:
        ini.write(f"[MAIN]\r\nIP=127.0.0.1\r\nMAIL=bench@example.org\r\nVCARD={source}\r\n")
    port = int(environment["KESTREL_PRINT_PORT"])
    loaded = threading.Event()
    times = {}
    start = time.monotonic()
    process = subprocess.Popen([client], env=environment, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True)

    def watch():
        for line in process.stderr:
            if "kestrel.contacts: in after" in line:
                times["loaded"] = time.monotonic() - start
                loaded.set()

    threading.Thread(target=watch, daemon=True).start()
    while not port_answers(port):
        if process.poll() is not None:
            sys.exit(f"corvafax exited with status {process.returncode} before its port opened")
        if time.monotonic() - start > 30:
            stop(process)
            sys.exit("corvafax did not open its capture port within 30 s")
        time.sleep(0.0005)
    times["port"] = time.monotonic() - start
    if not loaded.wait(60):
        stop(process)
        sys.exit(f"the desktop contacts of {source} were not in within 60 s")
    time.sleep(0.2)
    peak = proc_kib(process.pid, "VmHWM")
    stop(process)
    return times["port"], times["loaded"], peak / 1024


def describe(label, figures):
    port = statistics.median(f[0] for f in figures)
    loaded = statistics.median(f[1] for f in figures)
    peak = statistics.median(f[2] for f in figures)
    print(f"  {label:<34} port open {port:6.3f} s   contacts in {loaded:6.3f} s   peak {peak:7.1f} MiB")


def spread(values):
    values = sorted(values)
    return f"median {statistics.median(values):.2f}, spread {values[0]:.2f}..{values[-1]:.2f}"


def main():
    client, simulator = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    work = tempfile.mkdtemp(prefix="kestrel-bench-vcard.")
    program = os.path.join(work, "program")
    spool = os.path.join(work, "spool")
    os.makedirs(program)
    os.makedirs(spool)
    fifo = os.path.join(work, "contatti-fifo.vcf")
    os.mkfifo(fifo)
    print(f"writing the contact files in {work} ...", flush=True)
    pairs = {size: write_pair(work, size) for size in (100, 60)}
    sim, http, fax = start_simulator(simulator, work)
    environment = dict(os.environ, KESTREL_PROGRAM_DIR=program, TEMP=spool, TMPDIR=work,
                       XDG_RUNTIME_DIR=work, KESTREL_HTTP_PORT=http, KESTREL_FAX_PORT=fax,
                       KESTREL_PRINT_PORT=str(free_port()), QT_QPA_PLATFORM="offscreen",
                       CUPS_SERVER=os.path.join(work, "no-cupsd.sock"),
                       QT_LOGGING_RULES="kestrel.contacts.debug=true")
    os.chmod(work, 0o700)
    try:
        client_round(client, environment, os.path.join(work, "none.vcf"))  # warms the caches
        print(f"median of {rounds} rounds each; peak = the client's peak resident memory")
        for label, source in (("no contact file", os.path.join(work, "none.vcf")),
                              ("a FIFO", fifo), ("/dev/zero", "/dev/zero")):
            describe(label, [client_round(client, environment, source) for _ in range(rounds)])
        for size, (folded, unfolded) in pairs.items():
            mib = os.path.getsize(folded) / 1048576
            fate = "passed over" if os.path.getsize(folded) > 64 * 1048576 else "read"
            pairs_run = []
            for _ in range(rounds):
                pairs_run.append((client_round(client, environment, folded),
                                  client_round(client, environment, unfolded)))
            print(f"{size} MB files ({mib:.1f} MiB, {fate}), folded against unfolded, {rounds} paired rounds:")
            describe("folded", [f for f, _ in pairs_run])
            describe("unfolded", [u for _, u in pairs_run])
            for name, at in (("port open", 0), ("contacts in", 1), ("peak memory", 2)):
                print(f"    ratio folded / unfolded, {name:<11}: {spread(f[at] / u[at] for f, u in pairs_run)}")
    finally:
        stop(sim)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
