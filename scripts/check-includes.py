#!/usr/bin/env python3
"""Checks that no room of src/ includes a room above it.

The order is the one docs/architecture.md states on its line starting with "Include order:"
(rooms separated by ">", rooms of one level by "|"): a file may include its own room and the
rooms below it; rooms of one level never include each other.

  scripts/check-includes.py [ROOT]     exit 0 when every #include "..." line keeps the order"""
import pathlib, re, sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
doc = (root / "docs/architecture.md").read_text()
line = next((l for l in doc.splitlines() if l.strip("` ").startswith("Include order:")), None)
if line is None:
    sys.exit("docs/architecture.md states no 'Include order:' line")
level = {}
for depth, rooms in enumerate(line.strip("` ").split(":", 1)[1].split(">")):
    for room in rooms.split("|"):
        level[room.strip()] = depth

faults = []
for path in sorted((root / "src").rglob("*")):
    if path.suffix not in (".h", ".cc", ".mm"):
        continue
    room = path.relative_to(root / "src").parts[0]
    if room not in level:
        faults.append(f"{path.relative_to(root)}: room '{room}' is not in the include order")
        continue
    for number, text in enumerate(path.read_text(errors="replace").splitlines(), 1):
        m = re.match(r'\s*#\s*(?:include|import)\s*"([^"/]+)/', text)
        if not m or m.group(1) == room:
            continue
        target = m.group(1)
        if target not in level:
            faults.append(f"{path.relative_to(root)}:{number}: includes unknown room '{target}'")
        elif level[target] <= level[room]:
            where = "a room above it" if level[target] < level[room] else "a room of its own level"
            faults.append(f"{path.relative_to(root)}:{number}: {room}/ includes {target}/, {where}")

for f in faults:
    print(f)
print(f"{len(faults)} include faults in rooms {', '.join(level)}")
sys.exit(1 if faults else 0)
