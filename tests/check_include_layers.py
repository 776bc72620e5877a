#!/usr/bin/env python3
"""Fails when a project #include runs against the folder order, or when files include each
other in a circle.

Each folder of the source tree sits on a floor and names the folders it may include besides
itself. Everything a folder may include lies below it, so the module reads bottom to top:
geometry and sdk, the runtime, grouping, boundary, host. Folders not listed here (tests/,
bench/, fuzz/, examples/, python/) sit on top and may include anything; their own includes
are still checked for circles.

Usage: check_include_layers.py SOURCE_DIR
"""

import os
import re
import sys

# folder -> the folders it may include, besides itself. Keep each list closed downwards: a
# folder may include what the folders it includes may include.
LAYERS = {
    "geometry": set(),
    "sdk": set(),
    "runtime": {"geometry", "sdk"},
    "grouping": {"runtime", "geometry", "sdk"},
    "boundary": {"grouping", "runtime", "geometry", "sdk"},
    "host": {"boundary", "grouping", "runtime", "geometry", "sdk"},
    "mesh": {"sdk"},
    "standin": {"mesh", "geometry", "sdk"},
    "formats": {"mesh", "sdk"},
    "cli": {"standin", "formats", "mesh", "host", "boundary", "grouping", "runtime", "geometry",
            "sdk"},
    "testing": {"standin", "formats", "mesh", "host", "boundary", "grouping", "runtime",
                "geometry", "sdk"},
}
TOP = {"tests", "bench", "fuzz", "examples", "python"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def sources(root):
    for top in sorted(set(LAYERS) | TOP):
        base = os.path.join(root, top)
        for folder, dirs, files in os.walk(base):
            dirs.sort()
            for name in sorted(files):
                if name.endswith((".h", ".cpp", ".c")):
                    path = os.path.join(folder, name)
                    yield os.path.relpath(path, root).replace(os.sep, "/")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    problems = []
    edges = {}
    for path in sources(root):
        with open(os.path.join(root, path), encoding="utf-8") as f:
            text = f.read()
        floor = path.split("/")[0]
        edges[path] = []
        for included in INCLUDE.findall(text):
            target = included.split("/")[0]
            if "/" not in included:
                # A file beside this one (the C host's own headers, the test helpers).
                included = os.path.dirname(path) + "/" + included
                target = floor
            if not os.path.exists(os.path.join(root, included)):
                problems.append(f"{path}: includes {included}, which does not exist")
                continue
            edges[path].append(included)
            if floor in LAYERS and target != floor and target not in LAYERS[floor]:
                problems.append(f"{path}: includes {included}, but {floor}/ may include only "
                                f"{', '.join(sorted(LAYERS[floor])) or 'itself'}")
    for folder, below in LAYERS.items():
        for lower in below:
            if lower in LAYERS and not LAYERS[lower] <= below:
                problems.append(f"the order: {folder}/ includes {lower}/ but not all {lower}/ may "
                                f"include ({', '.join(sorted(LAYERS[lower] - below))})")
            if folder in LAYERS.get(lower, set()):
                problems.append(f"the order: {folder}/ and {lower}/ may include each other")
    # Circles among files: a depth-first walk with an explicit stack.
    state = {}  # path -> 1 while on the walk's path, 2 once finished
    for start in edges:
        if start in state:
            continue
        stack = [(start, iter(edges[start]))]
        state[start] = 1
        while stack:
            path, rest = stack[-1]
            step = next(rest, None)
            if step is None:
                state[path] = 2
                stack.pop()
            elif state.get(step) == 1:
                circle = [p for p, _ in stack]
                circle = circle[circle.index(step):] + [step]
                problems.append("circle: " + " -> ".join(circle))
            elif step not in state:
                state[step] = 1
                stack.append((step, iter(edges.get(step, []))))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
