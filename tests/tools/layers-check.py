#!/usr/bin/env python3
"""The floors of the house: no folder includes a header of a floor above it.

    layers-check.py SOURCE_DIR

From the bottom: api/ (the contract), platform/ (stand-ins for system
services), hosting/ (the helper every host uses), then the control library
(control/) beside the client's core (client/core/), the client's windows
(client/gui/) above its core, and the programs (client/main.cpp, tools/,
simulator/) on top. The control and the client never include each other.
Exits 1, naming each include that breaks the rule.
"""
import os
import re
import sys

FLOORS = [  # (folder, floor, tower)
    ("api", 0, ""),
    ("platform", 1, ""),
    ("hosting", 2, ""),
    ("control", 3, "control"),
    ("client/core", 3, "client"),
    ("client/gui", 4, "client"),
    ("client", 5, "client"),
    ("tools", 5, ""),
    ("simulator", 5, ""),
]


def floor_of(path):
    for folder, floor, tower in FLOORS:
        if path == folder or path.startswith(folder + "/"):
            return floor, tower, folder
    return None


def main():
    root = sys.argv[1]
    headers = {}
    sources = []
    for folder, _, _ in FLOORS:
        for base, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if name.endswith((".h", ".cpp")):
                    rel = os.path.relpath(os.path.join(base, name), root)
                    sources.append(rel)
                    if name.endswith(".h"):
                        headers.setdefault(name, set()).add(rel)
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
    faults = []
    for rel in sorted(set(sources)):
        here = floor_of(rel)
        with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for name in include.findall(text):
            for target in headers.get(os.path.basename(name), ()):
                there = floor_of(target)
                if there[2] == here[2]:
                    continue  # the same floor's own folder
                above = there[0] > here[0]
                other_tower = here[1] and there[1] and here[1] != there[1]
                if above or other_tower:
                    faults.append(f"{rel} includes {target}")
    for fault in faults:
        print(fault)
    print(f"{len(sources)} files read, {len(faults)} includes against the floors")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
