#!/usr/bin/env python3
"""Cold start of corvafax next to a bare Qt Widgets window, in alternating
paired rounds, and resident memory one second after each start.

    coldstart.py CORVAFAX BARE_WINDOW CAPTURE_PORT ROUNDS

Both programs are started and watched by this one process, the same way:
the bare window is ready when it prints its line (after its first paint),
corvafax when its capture port takes a connection (its control is then
activated; its tray icon is painted by then). The port is tried
every half millisecond from here; a watcher that started a process for each
try would take the CPU from the program it times."""

import socket
import statistics
import subprocess
import sys
import time


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def stop(process):
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def bare_round(bare):
    start = time.monotonic()
    process = subprocess.Popen([bare], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    process.stdout.readline()
    seconds = time.monotonic() - start
    time.sleep(1)
    memory = resident_kib(process.pid)
    stop(process)
    return seconds, memory


def port_answers(port):
    with socket.socket() as probe:
        try:
            probe.connect(("127.0.0.1", port))
            return True
        except OSError:
            return False


def client_round(client, port):
    start = time.monotonic()
    process = subprocess.Popen([client], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not port_answers(port):
        if process.poll() is not None:
            sys.exit(f"corvafax exited with status {process.returncode} before it was ready")
        if time.monotonic() - start > 30:
            stop(process)
            sys.exit("corvafax was not ready within 30 s")
        time.sleep(0.0005)
    seconds = time.monotonic() - start
    time.sleep(1)
    memory = resident_kib(process.pid)
    stop(process)
    return seconds, memory


def main():
    client, bare, port, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    if port_answers(port):
        sys.exit(f"port {port} is taken already")
    rows = []
    for round_number in range(rounds + 1):
        bare_figures = bare_round(bare)
        client_figures = client_round(client, port)
        if round_number > 0:  # the first round warms the disk cache
            rows.append((bare_figures, client_figures))
    ratios = sorted(c[0] / b[0] for b, c in rows)
    bare_time = statistics.median(b[0] for b, _ in rows)
    client_time = statistics.median(c[0] for _, c in rows)
    bare_memory = statistics.median(b[1] for b, _ in rows)
    client_memory = statistics.median(c[1] for _, c in rows)
    print(f"cold start to ready, median of {len(rows)} paired rounds: "
          f"corvafax {client_time:.3f} s, bare window {bare_time:.3f} s")
    print(f"  ratio corvafax / bare: median {statistics.median(ratios):.2f}, "
          f"spread {ratios[0]:.2f}..{ratios[-1]:.2f} (target at most 1.5)")
    print(f"resident memory after start: corvafax {client_memory / 1024:.1f} MiB, "
          f"bare window {bare_memory / 1024:.1f} MiB: {(client_memory - bare_memory) / 1024:+.1f} MiB "
          f"(target at most +20)")


if __name__ == "__main__":
    main()
