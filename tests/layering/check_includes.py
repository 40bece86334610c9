#!/usr/bin/env python3
"""Includes run downward only: a room includes itself and the rooms below it,
never one above. The uninstaller is a program beside setup, over the rooms
below the windows of setup's: neither includes the other. The generator
shares only the path rules and the payload table type with the engine.
Prints every include that breaks this, with its file and line, and exits 1
if there is one."""
import pathlib
import re
import sys

# Bottom first: each room may include the rooms before it in this list.
ROOMS = ["common", "state", "payload", "system", "ui", "setup"]
# A room beside the stack and the rooms it may include besides its own.
SIDE_ROOMS = {"uninstall": ["common", "state", "payload", "system"]}
TOOLS_MAY_INCLUDE = {"common/path_rules.h", "payload/payload_table.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def problems(root):
    for folder in ROOMS + list(SIDE_ROOMS) + ["tools"]:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp", ".rc"):
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = match.group(1)
                room = target.split("/")[0]
                if folder == "tools":
                    allowed = room == "payloadgen" or target in TOOLS_MAY_INCLUDE
                elif folder in SIDE_ROOMS:
                    allowed = room == folder or room in SIDE_ROOMS[folder] or room not in ROOMS
                elif room in SIDE_ROOMS:
                    allowed = False
                elif room in ROOMS:
                    allowed = ROOMS.index(room) <= ROOMS.index(folder)
                else:
                    allowed = True  # generated files and headers of the build
                if not allowed:
                    yield f"{path.relative_to(root)}:{number}: {folder}/ includes {target}"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(problems(root))
    for problem in found:
        print(problem)
    if not found:
        print("includes run downward only:", " < ".join(ROOMS),
              "; beside them:", ", ".join(SIDE_ROOMS))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
