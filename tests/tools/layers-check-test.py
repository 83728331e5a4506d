#!/usr/bin/env python3
"""layers-check.py on small made-up trees: each row an include and whether
the check lets it pass.

    layers-check-test.py LAYERS_CHECK
"""
import os
import subprocess
import sys
import tempfile

ROWS = [  # (row, including file, included header, passes)
    ("windows include services", "client/gui/windows/Menu.cpp", "client/gui/services/Tray.h", True),
    ("services include windows", "client/gui/services/Tray.cpp", "client/gui/windows/Menu.h", False),
    ("widgets include windows", "client/gui/widgets/Grid.h", "client/gui/windows/Menu.h", False),
    ("windows include app", "client/gui/windows/Menu.cpp", "client/gui/app/App.h", False),
    ("core includes gui", "client/core/time/Clock.cpp", "client/gui/services/Tray.h", False),
    ("the same folder", "client/gui/services/Tray.cpp", "client/gui/services/Shell.h", True),
    ("control includes client", "control/polling/Poller.cpp", "client/core/time/Clock.h", False),
]


def run(check, including, included):
    with tempfile.TemporaryDirectory() as root:
        for rel in (including, included):
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
        with open(os.path.join(root, included), "w") as f:
            f.write("#pragma once\n")
        with open(os.path.join(root, including), "w") as f:
            f.write(f'#include "{os.path.basename(included)}"\n')
        done = subprocess.run([sys.executable, check, root], capture_output=True, text=True)
        return done.returncode == 0, done.stdout


def main():
    failed = 0
    for row, including, included, passes in ROWS:
        passed, output = run(sys.argv[1], including, included)
        if passed != passes:
            failed += 1
            print(f"FAIL {row}: expected {'pass' if passes else 'a fault'}, got:\n{output}")
        elif not passes and f"{including} includes {included}" not in output:
            failed += 1
            print(f"FAIL {row}: the fault is not named:\n{output}")
    print(f"{len(ROWS)} rows, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
