#!/usr/bin/env python3
"""The floors of the house: no folder includes a header of a floor above it.

    layers-check.py SOURCE_DIR

From the bottom: api/ (the contract), platform/ (stand-ins for system
services), hosting/ (the helper every host uses), then the control library
(control/) beside the client's core (client/core/), the client's windows
(client/gui/) above its core, and the programs (client/main.cpp, tools/,
simulator/) on top. The control and the client never include each other.
Inside client/gui/ the floors go on: services/ (message box, file chooser,
tray, shell, screen twips), widgets/ (they lay out in twips), windows/, and
app/, which makes and wires them. A file belongs to the deepest folder that
holds it. Exits 1, naming each include that breaks the rule.
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
    ("client/gui/services", 4, "client"),
    ("client/gui/widgets", 5, "client"),
    ("client/gui/windows", 6, "client"),
    ("client/gui/app", 7, "client"),
    ("client", 8, "client"),
    ("tools", 8, ""),
    ("simulator", 8, ""),
]


def floor_of(path):
    found = None
    for folder, floor, tower in FLOORS:
        if path == folder or path.startswith(folder + "/"):
            if found is None or len(folder) > len(found[2]):
                found = (floor, tower, folder)
    return found


def main():
    root = sys.argv[1]
    headers = {}
    sources = set()  # nested floors walk a file more than once
    for folder, _, _ in FLOORS:
        for base, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if name.endswith((".h", ".cpp")):
                    rel = os.path.relpath(os.path.join(base, name), root)
                    sources.add(rel)
                    if name.endswith(".h"):
                        headers.setdefault(name, set()).add(rel)
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
    faults = []
    for rel in sorted(sources):
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
