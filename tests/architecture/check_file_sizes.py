#!/usr/bin/env python3
"""Fails when a hand-written source file grows past what a reader takes in at one sitting.

Usage: check_file_sizes.py SOURCE_DIR. Generated code lives in the build tree and is not seen;
the OpenStreetMap and capture data are not source.
"""
import os
import sys

MAX_LINES = 800
SOURCE = (".h", ".cpp", ".py", ".sh", ".js", ".css", ".html")
SKIP = {".git", "node_modules", "data"}


def main(root):
    problems = []
    for folder, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if d not in SKIP and not d.startswith("build")]
        for name in files:
            if not name.endswith(SOURCE):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                lines = sum(1 for _ in f)
            if lines > MAX_LINES:
                problems.append(f"{os.path.relpath(path, root)}: {lines} lines (at most {MAX_LINES})")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
