#!/usr/bin/env python3
"""Checks the include structure of the source tree.

- Every module includes only itself and the modules below it (the table LOWER).
- Inside the service, every folder includes only itself and the folders below it (the list
  SERVICE_LAYERS, lowest first): the parts never include the facade in core/, and no part
  includes one that stands on it.
- Inside the service, only the facade (core/) and the value objects (*Object.h) declare their
  interface in the object runtime's types; every other header is plain C++ and brings in no
  runtime header, directly or through the headers it includes. Every part's header is plain
  now: STILL_ON_THE_RUNTIME, the list of headers not yet converted, is empty and only ever
  shrinks (a listed header that became plain is reported too, so that it is taken off).
- No include cycle among the project's files.

Usage: check_layers.py SOURCE_DIR. Prints each violation and exits 1 when there is any.
"""
import os
import re
import sys

# What each module may include besides itself. Generated headers and system headers are not
# files of the tree and are not checked.
LOWER = {
    "os": set(),
    "automation": {"os", "include"},
    "include": {"include"},
    "idl": {"os", "automation", "include"},
    "formats": {"os", "include"},
    "resources": {"os", "automation", "include", "formats"},
    "database": {"os", "automation", "include", "formats", "resources"},
    "mapengine": {"os", "automation", "include", "formats", "resources", "database"},
    "mapbuild": {"os", "automation", "include", "formats", "resources", "database", "mapengine"},
    "gpscore": {"os", "automation", "include", "formats", "resources"},
    "apps": {"os", "automation", "include", "formats", "resources"},
}
# The service's folders, lowest first. base/ is what every part stands on (the context, the
# Utility and settings, the descriptions, the event queue, the map queries); events/ is the poll
# cycle that drives the parts; core/ is the facade. The module entry (gpscore/module.cpp) sits
# at the top beside the facade.
SERVICE_LAYERS = ["base", "gps", "address", "poi", "maps", "orientation", "route", "events", "core"]
# The object runtime's headers, and the generated ones built on it (the enumerations alone,
# <gpslib/<lib>_enums.h>, are plain C++).
RUNTIME_HEADER = re.compile(
    r'^\s*#\s*include\s+[<"](GPSLib_classes\.h|gpslib/(automation|support|dispatch|registry|'
    r'GPSLib|GPSMapLib|GPSDatabaseLib)\.h)[>"]', re.M)
RUNTIME_SPEAKERS = re.compile(r"^gpscore/(core/.*|.*Object\.h|module\.cpp)$")
STILL_ON_THE_RUNTIME = set()
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources(root):
    for module in LOWER:
        for folder, _, files in os.walk(os.path.join(root, module)):
            for name in files:
                if name.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(folder, name), root)


def resolve(root, path, included):
    """The tree file an include names, or None (a generated or system header)."""
    module = path.split("/")[0]
    candidates = [os.path.join(os.path.dirname(path), included), included,
                  os.path.join(module, included), os.path.join("include", included),
                  # The service's folder is an include root of everything linking its objects.
                  os.path.join("gpscore", included)]
    for candidate in candidates:
        candidate = os.path.normpath(candidate)
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


def service_layer(path):
    """The rank of a service file's folder in SERVICE_LAYERS; the module entry ranks on top."""
    parts = path.split("/")
    if len(parts) == 2:
        return len(SERVICE_LAYERS)
    return SERVICE_LAYERS.index(parts[1]) if parts[1] in SERVICE_LAYERS else None


def service_layer_problem(path, target):
    here, there = service_layer(path), service_layer(target)
    if here is None:
        return f"{path}: a service folder missing from SERVICE_LAYERS"
    if there is None:
        return f"{target}: a service folder missing from SERVICE_LAYERS"
    if there > here:
        return f"{path}: includes {target}, a service folder above it"
    return None


def main(root):
    edges = {}
    problems = []
    speakers = set()  # Files that include a runtime header themselves.
    for path in sorted(sources(root)):
        with open(os.path.join(root, path), encoding="utf-8") as f:
            text = f.read()
        if RUNTIME_HEADER.search(text):
            speakers.add(path)
        targets = []
        for included in INCLUDE.findall(text):
            target = resolve(root, path, included)
            if target is None:
                continue
            targets.append(target)
            here, there = path.split("/")[0], target.split("/")[0]
            if there != here and there not in LOWER.get(here, set()):
                problems.append(f"{path}: includes {target}, a module above or beside it")
            if here == there == "gpscore":
                problem = service_layer_problem(path, target)
                if problem:
                    problems.append(problem)
        edges[path] = targets

    # A part's header is plain only when nothing it includes, however indirectly, brings in the
    # runtime: a plain header including a runtime one would hand its users the runtime anyway.
    def reaches_runtime(path, seen):
        if path in speakers:
            return True
        seen.add(path)
        return any(reaches_runtime(t, seen) for t in edges.get(path, []) if t not in seen)

    for path in sorted(edges):
        if path.startswith("gpscore/") and path.endswith(".h") and \
                not RUNTIME_SPEAKERS.match(path):
            speaks = reaches_runtime(path, set())
            if speaks and path not in STILL_ON_THE_RUNTIME:
                problems.append(f"{path}: a part's header brings in the object runtime")
            if not speaks and path in STILL_ON_THE_RUNTIME:
                problems.append(f"{path}: plain C++ now; take it off STILL_ON_THE_RUNTIME")

    # Cycles, by depth-first search over the include graph.
    state = {}
    stack = []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in edges.get(node, []):
            if state.get(nxt) == "open":
                cycle = stack[stack.index(nxt):] + [nxt]
                problems.append("include cycle: " + " -> ".join(cycle))
            elif nxt not in state:
                visit(nxt)
        stack.pop()
        state[node] = "done"

    sys.setrecursionlimit(10000)
    for node in sorted(edges):
        if node not in state:
            visit(node)

    for problem in problems:
        print(problem)
    print(f"{len(edges)} files checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
