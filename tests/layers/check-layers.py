#!/usr/bin/env python3
"""The folders of src/ are layers; this fails when an include breaks them.

  app/                      the composition root: may use everything
  settings/ capture/ editor/ output/ recording/ theme/ modules/
                            subsystems: may use each other without forming a loop
  platform/                 interfaces and backends: only common/ below it, and
                            the entry points of the modules its backends load
  common/                   value types, errors, logging, texts: nothing else

Only a backend itself and the platform loader include platform/<backend>/ (the
parts that backends share, platform/portal/ and platform/linux/, also serve the
other backends), and
only the platform layer (and loadable modules) include the system's window,
sound and keyring libraries.

Usage: check-layers.py SRC_DIR   (exit status 1 and one line per problem)"""
import os
import re
import sys

LOCAL = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SYSTEM = re.compile(r'^\s*#\s*include\s+<([^>]+)>')
PLATFORM_ONLY = ("xcb/", "X11/", "canberra.h", "pulse/", "qt6keychain/")
LOADER = "platform/PlatformLoader.cpp"
SHARED_BACKENDS = ("platform/portal", "platform/linux")


def top(path):
    return path.split("/", 1)[0] if "/" in path else ""


def backend(path):
    parts = path.split("/")
    return "/".join(parts[:2]) if parts[0] == "platform" and len(parts) > 2 else None


def find_loop(graph):
    """One loop of folders as a list, or None."""
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                return trail[trail.index(nxt):] + [nxt]
            if nxt not in state:
                loop = visit(nxt, trail + [nxt])
                if loop:
                    return loop
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            loop = visit(node, [node])
            if loop:
                return loop
    return None


def main(src):
    problems, graph, where = [], {}, {}
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            rel = os.path.relpath(os.path.join(root, name), src)
            here = top(rel)
            with open(os.path.join(root, name), errors="replace") as f:
                for number, line in enumerate(f, 1):
                    at = f"src/{rel}:{number}"
                    system = SYSTEM.match(line)
                    if system and system.group(1).startswith(PLATFORM_ONLY) \
                            and here not in ("platform", "modules"):
                        problems.append(f"{at}: <{system.group(1)}> belongs in platform/")
                    local = LOCAL.match(line)
                    if not local or "/" not in local.group(1):
                        continue
                    target = local.group(1)
                    there = top(target)
                    if not here or here == there:
                        if backend(target) and backend(target) != backend(rel) and rel != LOADER \
                                and not (backend(rel) and backend(target) in SHARED_BACKENDS):
                            problems.append(f"{at}: {target} is reached only through the loader")
                        continue
                    if there == "app":
                        problems.append(f"{at}: {target}: nothing below app/ includes app/")
                    elif here == "common":
                        problems.append(f"{at}: {target}: common/ includes only common/")
                    elif here == "platform" and there not in ("common", "modules"):
                        problems.append(f"{at}: {target}: platform/ builds on common/ and modules/ only")
                    elif backend(target) and rel != LOADER:
                        problems.append(f"{at}: {target} is reached only through the loader")
                    graph.setdefault(here, set()).add(there)
                    where.setdefault((here, there), f"{at} includes {target}")
    loop = find_loop(graph)
    if loop:
        steps = "; ".join(where[(a, b)] for a, b in zip(loop, loop[1:]))
        problems.append(f"folders include each other in a loop {' -> '.join(loop)}: {steps}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "src"))
