#!/usr/bin/env python3
"""An office link between two network namespaces: a fixed delay each way and
a rate limit, for IP packets, in user space (this kernel has no netem).

    office-link.py CLIENT_TUN SERVER_TUN DELAY_MS RATE_MBIT

Makes two TUN devices in the calling namespace and prints "ready"; the caller
then moves each into its namespace and configures it. Every packet read from
one device is written to the other after it has crossed the link: it leaves
when the link is free, takes its size at the rate to cross, and arrives the
delay later. Counts the bytes each way, and apart from them the bytes of
the appliance's status pages (TCP port 80 on either end); prints
"bytes <up> <down> <pages>" and resets the counts on each line "count" read
from standard input.
"""
import fcntl
import heapq
import os
import select
import struct
import sys
import time

TUNSETIFF = 0x400454CA
IFF_TUN = 0x0001
IFF_NO_PI = 0x1000


def open_tun(name):
    fd = os.open("/dev/net/tun", os.O_RDWR)
    fcntl.ioctl(fd, TUNSETIFF, struct.pack("16sH", name.encode(), IFF_TUN | IFF_NO_PI))
    os.set_blocking(fd, False)
    return fd


def is_page_traffic(packet):
    """An IPv4 TCP packet from or to port 80."""
    if len(packet) < 20 or packet[0] >> 4 != 4 or packet[9] != 6:
        return False
    header = (packet[0] & 0x0F) * 4
    if len(packet) < header + 4:
        return False
    source, destination = struct.unpack_from("!HH", packet, header)
    return 80 in (source, destination)


class Direction:
    def __init__(self, source, sink, delay, rate):
        self.source, self.sink, self.delay, self.rate = source, sink, delay, rate
        self.free_at = 0.0
        self.queue = []  # (arrival, sequence, packet)
        self.sequence = 0
        self.bytes = 0
        self.pages = 0

    def take(self, now):
        while True:
            try:
                packet = os.read(self.source, 65536)
            except BlockingIOError:
                return
            except OSError:
                sys.exit(0)  # the device went with its namespace: the bench is over
            departure = max(now, self.free_at)
            self.free_at = departure + len(packet) * 8 / self.rate
            heapq.heappush(self.queue, (self.free_at + self.delay, self.sequence, packet))
            self.sequence += 1
            if is_page_traffic(packet):
                self.pages += len(packet)
            else:
                self.bytes += len(packet)

    def deliver(self, now):
        while self.queue and self.queue[0][0] <= now:
            _, _, packet = heapq.heappop(self.queue)
            try:
                os.write(self.sink, packet)
            except OSError:
                pass  # the far side is not up yet: the packet is lost, as on a wire

    def next_due(self):
        return self.queue[0][0] if self.queue else None


def main():
    client_name, server_name = sys.argv[1], sys.argv[2]
    delay = float(sys.argv[3]) / 1000.0
    rate = float(sys.argv[4]) * 1e6
    client, server = open_tun(client_name), open_tun(server_name)
    up = Direction(client, server, delay, rate)
    down = Direction(server, client, delay, rate)
    print("ready", flush=True)
    os.set_blocking(sys.stdin.fileno(), False)
    while True:
        now = time.monotonic()
        dues = [d for d in (up.next_due(), down.next_due()) if d is not None]
        timeout = max(0.0, min(dues) - now) if dues else 1.0
        readable, _, _ = select.select([client, server, sys.stdin], [], [], timeout)
        now = time.monotonic()
        if client in readable:
            up.take(now)
        if server in readable:
            down.take(now)
        if sys.stdin in readable:
            line = sys.stdin.readline()
            if not line:
                return
            if line.strip() == "count":
                print(f"bytes {up.bytes} {down.bytes} {up.pages + down.pages}", flush=True)
                up.bytes = down.bytes = up.pages = down.pages = 0
        up.deliver(now)
        down.deliver(now)


if __name__ == "__main__":
    main()
