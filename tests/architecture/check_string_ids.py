#!/usr/bin/env python3
"""Checks that the code names every string it speaks by its generated name.

The string table (resources/GPSResources_EN.rc) names each string, and the build generates
resources/StringIds.h from those names (gpslib::ids::kDeadEnd, ...). A number of the table
spelled in the code, or a local constant standing for a string id, would let the code and the
table drift apart unseen, so neither may come back:

- an integer literal whose value is a string id of the table (comments and string literals do
  not count);
- a constant defined as a generated id (`constexpr int kEnd = ids::kDeadEnd;`): use the name.

Usage: check_string_ids.py SOURCE_DIR. Prints each violation and exits 1 when there is any.
"""
import io
import os
import re
import sys
import tokenize

# The hand-written code of the product; the tests and fuzz targets use numbers on purpose.
FOLDERS = ["os", "automation", "include", "formats", "resources", "database", "mapengine",
           "mapbuild", "gpscore", "apps", "python"]
# (path, number): why that number there is not a string id. Empty while nothing needs it.
ALLOWED = {}

NUMBER = re.compile(r"(?<![\w.])(\d+)[uUlL]*(?![\w.])")
ALIAS = re.compile(r"\b(k\w+)\s*=\s*(?:(?:gpslib|gpscore)\s*::\s*)?ids\s*::\s*k\w+\s*[;,]")


def string_ids(root):
    """{id: name or None} of the table, read with the compiler's own parser."""
    sys.path.insert(0, os.path.join(root, "resources"))
    sys.dont_write_bytecode = True  # leave no cache in the source tree
    import rc_compile
    path = os.path.join(root, "resources", "GPSResources_EN.rc")
    with open(path, encoding="utf-8-sig") as f:
        text = f.read()
    strings = rc_compile.parse_rc(path, text)
    names = {}
    try:
        rc_compile.parse_rc(path, text, names)
    except rc_compile.RcError:
        names = {}  # a string without a name: the ids still count, the hints go
    return {sid: names.get(sid) for sid in strings}


def cpp_code(text):
    """`text` with its comments and string and character literals blanked out (newlines kept, so
    line numbers stay)."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("\n" * text.count("\n", i, end))
            i = end
        elif c == '"' and re.search(r"\bu?8?[uUL]?R$", text[max(0, i - 3):i]):
            match = re.match(r'"([^(\s]{0,16})\(', text[i:])
            if match is None:
                out.append(c)
                i += 1
                continue
            close = ")" + match.group(1) + '"'
            end = text.find(close, i + len(match.group(0)))
            end = n if end < 0 else end + len(close)
            out.append("\n" * text.count("\n", i, end))
            i = end
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum())):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(" ")
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def cpp_problems(text, ids):
    """(line, id or None, message) of every bare id and id alias in C++ source `text`."""
    code = cpp_code(text)
    problems = []
    for lineno, line in enumerate(code.split("\n"), start=1):
        for match in NUMBER.finditer(line):
            number = int(match.group(1))
            if number in ids:
                name = ids[number]
                hint = f" (use ids::k{name})" if name else ""
                problems.append((lineno, number, f"bare string id {number}{hint}"))
        for match in ALIAS.finditer(line):
            problems.append((lineno, None, f"local constant {match.group(1)} stands for a string id "
                             "(use the generated name)"))
    return problems


def python_problems(text, ids):
    """(line, id, message) of every bare id in Python source `text`."""
    problems = []
    for token in tokenize.generate_tokens(io.StringIO(text).readline):
        if token.type == tokenize.NUMBER and token.string.isdigit() and int(token.string) in ids:
            number = int(token.string)
            problems.append((token.start[0], number, f"bare string id {number}"))
    return problems


def main(root):
    ids = string_ids(root)
    problems = []
    for folder in FOLDERS:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                path = os.path.join(directory, name)
                relative = os.path.relpath(path, root)
                if name.endswith((".h", ".cpp")):
                    check = cpp_problems
                elif name.endswith(".py"):
                    check = python_problems
                else:
                    continue
                with open(path, encoding="utf-8") as f:
                    found = check(f.read(), ids)
                for lineno, number, message in found:
                    if (relative, number) in ALLOWED:
                        continue
                    problems.append(f"{relative}:{lineno}: {message}")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} string ids spelled as numbers or local constants; the names are "
              "in resources/GPSResources_EN.rc", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
