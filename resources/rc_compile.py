#!/usr/bin/env python3
"""String-table compiler: turns the STRINGTABLE of a .rc source into the binary string-table
module that the service loads (GPSResources_EN.dll; not a Windows DLL).

    rc_compile.py SOURCE.rc [-o MODULE] [--header HEADER] [--reference ENGLISH.rc]

The source grammar, line by line (UTF-8; blank lines and `//` comments anywhere):

    STRINGTABLE
    BEGIN
        20000 Name "text"     id (decimal, 0..65535), optional comma, optional name, one
                              quoted string
    END

A name (a letter A-Z, then letters and digits) says what the string is for and is unique in the
source. With --header the compiler also writes a C++ header that gives every id its name
(`inline constexpr int kName = id;` in namespace gpslib::ids), so the code never spells a bare id;
then every string must have a name. The header is rewritten only when its text changes, so
editing a string's text recompiles nothing.

Inside a string: \\" \\\\ \\n \\r \\t are the only escapes; the text must stay on one line and
may not be empty (an empty entry reads as absent). Every error names the file and line; on any
error nothing is written and the exit status is 1.

Plural choices (docs/languages.md): `{one:metro|other:metros}` right after a number placeholder
(or, with nothing numeric before it, right before one) holds one form per plural category (zero, one, two, few, many, other; `other` is required);
the formatter picks the form by the number printed just before it and the table's language.
Braces appear nowhere else, and a form holds no placeholder, template code, brace or bar.

A table in another language names the English table with --reference: it must hold exactly the
English ids, each under the English name, with the same printf placeholders in the same order,
the same template codes, and the same leading and trailing spaces; every difference is an error
that names the entry.

The module layout is documented in docs/formats.md ("String-table module").
"""
import argparse
import os
import re
import struct
import sys
import tempfile

MAGIC = b"GPSLSTRT"
FORMAT_VERSION = 1
HEADER_SIZE = 32
INDEX_ENTRY_SIZE = 12
ENTRIES_PER_BLOCK = 16
MAX_ID = 65535
MAX_UNITS = 65535
# The loader refuses larger files; refuse to make one.
MAX_MODULE_SIZE = 4 * 1024 * 1024

NAME = re.compile(r"[A-Z][A-Za-z0-9]*")
# A printf conversion as the service's formatter reads it (%% included, so that it is counted).
CONVERSION = re.compile(r"%(?:%|[-+ #0]*[0-9]*(?:\.[0-9]*)?[hlLqjzt]*[A-Za-z])")
NUMBER_CONVERSION = re.compile(r"%[-+ #0]*[0-9]*(?:\.[0-9]*)?[hlLqjzt]*[diu]$")
NUMBER_AHEAD = re.compile(r"%[-+ #0]*[0-9]*(?:\.[0-9]*)?[hlLqjzt]*[diu]")
TEMPLATE_CODE = re.compile(r"\$[A-Za-z$]")
PLURAL_CATEGORIES = ("zero", "one", "two", "few", "many", "other")
# Entries whose text is the table's own, not a translation of the English text.
LANGUAGE_NAME = "Language"
LANGUAGE_TAG = re.compile(r"[a-z]{2,3}(?:-[A-Z]{2})?")
MEASUREMENT_NAME = "MeasurementSystem"
MEASUREMENT_SYSTEMS = ("metric", "imperial")
ESCAPES = {'"': '"', "\\": "\\", "n": "\n", "r": "\r", "t": "\t"}


class RcError(Exception):
    def __init__(self, path, line, message):
        super().__init__(f"{path}:{line}: error: {message}")


def _strip_comment(text):
    """Returns `text` without a trailing // comment (outside any string)."""
    pos = text.find("//")
    return text if pos < 0 else text[:pos]


def _parse_string(path, lineno, text, start):
    """Parses the quoted string that starts at text[start] == '"'. Returns (value, end)."""
    out = []
    i = start + 1
    while i < len(text):
        c = text[i]
        if c == '"':
            return "".join(out), i + 1
        if c == "\\":
            if i + 1 >= len(text):
                break
            e = text[i + 1]
            if e not in ESCAPES:
                raise RcError(path, lineno, f"bad escape '\\{e}' (use \\\" \\\\ \\n \\r \\t)")
            out.append(ESCAPES[e])
            i += 2
            continue
        out.append(c)
        i += 1
    raise RcError(path, lineno, "unterminated string")


def _parse_entry(path, lineno, line):
    """Parses `id [,] [Name] "text" [// comment]`. Returns (id, name or None, text)."""
    stripped = line.lstrip()
    digits = 0
    while digits < len(stripped) and stripped[digits] not in ' \t,"':
        digits += 1
    token = stripped[:digits]
    if not token:
        raise RcError(path, lineno, "expected a string id")
    if token.startswith("-") and token[1:].isdigit():
        raise RcError(path, lineno, f"string id {token} out of range 0..{MAX_ID}")
    if not token.isascii() or not token.isdigit():
        raise RcError(path, lineno, f"bad string id '{token}' (expected a decimal number)")
    sid = int(token)
    if sid > MAX_ID:
        raise RcError(path, lineno, f"string id {sid} out of range 0..{MAX_ID}")
    rest = stripped[digits:].lstrip(" \t")
    if rest.startswith(","):
        rest = rest[1:].lstrip(" \t")
    name = None
    if rest and not rest.startswith('"'):
        word = rest.split('"', 1)[0].rstrip(" \t")
        if not NAME.fullmatch(word):
            raise RcError(path, lineno, f"expected a name or a quoted string after id {sid}, "
                          f"found '{word}' (a name is a letter A-Z, then letters and digits)")
        name = word
        rest = rest[len(word):].lstrip(" \t")
    if not rest.startswith('"'):
        raise RcError(path, lineno, f"expected a quoted string after id {sid}")
    value, end = _parse_string(path, lineno, rest, 0)
    trailing = _strip_comment(rest[end:]).strip()
    if trailing:
        raise RcError(path, lineno, f"unexpected text after the string: '{trailing}'")
    if not value:
        raise RcError(path, lineno, f"string {sid} is empty (an empty entry reads as absent)")
    problem = plural_problem(value)
    if problem:
        raise RcError(path, lineno, f"string {sid}: {problem}")
    units = len(value.encode("utf-16-le")) // 2
    if units > MAX_UNITS:
        raise RcError(path, lineno, f"string {sid} has {units} UTF-16 units (at most {MAX_UNITS})")
    return sid, name, value


def plural_problem(value):
    """What is wrong with the plural choices of `value`, or None."""
    at = 0
    while True:
        opening, closing = value.find("{", at), value.find("}", at)
        if opening < 0:
            return "'}' without '{'" if closing >= 0 else None
        if closing < opening:
            return "'}' without '{'"
        before = value[:opening].rstrip(" \u00a0")
        after = value[closing + 1:].lstrip(" \u00a0")
        if not NUMBER_CONVERSION.search(before) and not NUMBER_AHEAD.match(after):
            return "a plural choice must follow or precede a number placeholder (%d)"
        forms = {}
        body = value[opening + 1:closing]
        if "{" in body:
            return "'{' inside a plural choice"
        for part in body.split("|"):
            category, colon, text = part.partition(":")
            if not colon or category not in PLURAL_CATEGORIES:
                return (f"bad plural form '{part}' (expected CATEGORY:text, a category one of "
                        f"{', '.join(PLURAL_CATEGORIES)})")
            if category in forms:
                return f"plural category {category} given twice"
            if any(c in text for c in "%$"):
                return f"plural form '{part}' holds a placeholder or template code"
            forms[category] = text
        if "other" not in forms:
            return "a plural choice needs an 'other' form"
        at = closing + 1


def _edge_spaces(text):
    return len(text) - len(text.lstrip(" ")), len(text) - len(text.rstrip(" "))


def check_against_reference(path, strings, names, lines, reference, reference_names):
    """Raises RcError for the first entry of a translated table that does not match the English
    table: a missing or extra id, another name, other placeholders, template codes or edge
    spaces."""
    for sid in sorted(reference):
        if sid not in strings:
            raise RcError(path, 1, f"string {sid} {reference_names.get(sid, '')} of the English "
                          "table is missing")
    for sid in sorted(strings):
        line = lines[sid]
        if sid not in reference:
            raise RcError(path, line, f"string {sid} is not in the English table")
        label = f"string {sid} {reference_names.get(sid, '')}"
        if names.get(sid) != reference_names.get(sid):
            raise RcError(path, line, f"{label}: named {names.get(sid)}, the English table "
                          f"names it {reference_names.get(sid)}")
        text, english = strings[sid], reference[sid]
        if reference_names.get(sid) == LANGUAGE_NAME:
            if not LANGUAGE_TAG.fullmatch(text):
                raise RcError(path, line, f"{label}: '{text}' is not a language tag (de, pt-BR)")
            continue
        if reference_names.get(sid) == MEASUREMENT_NAME:
            if text not in MEASUREMENT_SYSTEMS:
                raise RcError(path, line, f"{label}: '{text}' is not one of "
                              f"{', '.join(MEASUREMENT_SYSTEMS)}")
            continue
        mine, theirs = CONVERSION.findall(text), CONVERSION.findall(english)
        if mine != theirs:
            raise RcError(path, line, f"{label}: placeholders {' '.join(mine) or '(none)'} "
                          f"differ from the English {' '.join(theirs) or '(none)'}")
        mine, theirs = sorted(TEMPLATE_CODE.findall(text)), sorted(TEMPLATE_CODE.findall(english))
        if mine != theirs:
            raise RcError(path, line, f"{label}: template codes {' '.join(mine) or '(none)'} "
                          f"differ from the English {' '.join(theirs) or '(none)'}")
        if _edge_spaces(text) != _edge_spaces(english):
            raise RcError(path, line, f"{label}: leading or trailing spaces differ from the "
                          "English text")


def parse_rc(path, text, names=None, lines=None):
    """Returns {id: text} from the STRINGTABLE blocks of `text`; raises RcError. When `names` is a
    dict, every string must have a name, and it receives {id: name}."""
    strings = {}
    first_line = {}
    name_line = {}
    state = "outside"  # outside -> header (after STRINGTABLE) -> inside (after BEGIN)
    header_line = 0
    for lineno, raw in enumerate(text.split("\n"), start=1):
        line = raw.rstrip("\r")
        if line.lstrip().startswith("//") or not line.strip():
            continue
        word = _strip_comment(line).strip()
        if state == "outside":
            if word != "STRINGTABLE":
                raise RcError(path, lineno, f"expected STRINGTABLE, found '{word}'")
            state, header_line = "header", lineno
        elif state == "header":
            if word != "BEGIN":
                raise RcError(path, lineno, f"expected BEGIN after STRINGTABLE, found '{word}'")
            state = "inside"
        elif word == "END":
            state = "outside"
        elif word in ("BEGIN", "STRINGTABLE"):
            raise RcError(path, lineno, f"{word} inside a STRINGTABLE (missing END?)")
        else:
            sid, name, value = _parse_entry(path, lineno, line)
            if sid in strings:
                first = first_line[sid]
                raise RcError(path, lineno,
                              f"duplicate string id {sid} (first defined on line {first})")
            if name is not None:
                if name in name_line:
                    raise RcError(path, lineno, f"duplicate name {name} "
                                  f"(first given on line {name_line[name]})")
                name_line[name] = lineno
            if names is not None:
                if name is None:
                    raise RcError(path, lineno, f"string {sid} has no name "
                                  "(the header names every string)")
                names[sid] = name
            strings[sid] = value
            first_line[sid] = lineno
            if lines is not None:
                lines[sid] = lineno
    if state != "outside":
        raise RcError(path, header_line, "STRINGTABLE without END")
    if not strings:
        raise RcError(path, 1, "no strings defined")
    return strings


def build_module(strings):
    """Returns the module bytes for {id: text}."""
    blocks = {}
    for sid, value in strings.items():
        blocks.setdefault(sid // ENTRIES_PER_BLOCK + 1, {})[sid % ENTRIES_PER_BLOCK] = value
    numbers = sorted(blocks)
    data_offset = HEADER_SIZE + INDEX_ENTRY_SIZE * len(numbers)
    index = bytearray()
    data = bytearray()
    for number in numbers:
        block = bytearray()
        for entry in range(ENTRIES_PER_BLOCK):
            encoded = blocks[number].get(entry, "").encode("utf-16-le")
            block += struct.pack("<H", len(encoded) // 2) + encoded
        index += struct.pack("<III", number, data_offset + len(data), len(block))
        data += block
    total = data_offset + len(data)
    header = MAGIC + struct.pack("<HHIIIII", FORMAT_VERSION, HEADER_SIZE, len(numbers),
                                 len(strings), HEADER_SIZE, data_offset, total)
    assert len(header) == HEADER_SIZE
    return bytes(header + index + data)


def build_header(source, names):
    """Returns the text of the C++ header that names every id of {id: name}."""
    lines = [f"// Generated by rc_compile.py from {os.path.basename(source)}; edit the names there.",
             "// Every string id by name: the code names the string it speaks, never its number.",
             "#ifndef RESOURCES_STRINGIDS_H_",
             "#define RESOURCES_STRINGIDS_H_",
             "",
             "namespace gpslib::ids {",
             ""]
    lines += [f"inline constexpr int k{names[sid]} = {sid};" for sid in sorted(names)]
    lines += ["",
              "} // namespace gpslib::ids",
              "",
              "// The service knows them as gpscore::ids.",
              "namespace gpscore {",
              "namespace ids = gpslib::ids;",
              "}",
              "",
              "#endif // RESOURCES_STRINGIDS_H_",
              ""]
    return "\n".join(lines).encode("utf-8")


def write_if_changed(path, data):
    """Leaves a file that already holds `data` untouched, so that nothing depending on it rebuilds."""
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    write_atomic(path, data)


def write_atomic(path, data):
    directory = os.path.dirname(os.path.abspath(path))
    fd, temp = tempfile.mkstemp(dir=directory, prefix=".rc_compile-")
    try:
        with os.fdopen(fd, "wb") as out:
            out.write(data)
        # mkstemp makes the file private; give it the permissions a plain open would.
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temp, 0o666 & ~umask)
        os.replace(temp, path)
    except BaseException:
        os.unlink(temp)
        raise


def _read_text(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("utf-8").removeprefix("\ufeff")
    except OSError as e:
        raise RcError(path, 1, e.strerror)
    except UnicodeDecodeError:
        raise RcError(path, 1, "not valid UTF-8")


def main(argv):
    parser = argparse.ArgumentParser(description="Compile a .rc STRINGTABLE into a module and "
                                     "a header naming its ids.")
    parser.add_argument("source")
    parser.add_argument("-o", "--output", help="the module to write")
    parser.add_argument("--header", help="the C++ header of named ids to write")
    parser.add_argument("--reference", help="the English table this translation must match")
    args = parser.parse_args(argv)
    if not args.output and not args.header:
        parser.error("nothing to write: give -o MODULE, --header HEADER or both")
    try:
        with open(args.source, "rb") as f:
            raw = f.read()
    except OSError as e:
        print(f"{args.source}: error: {e.strerror}", file=sys.stderr)
        return 1
    try:
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError as e:
            raise RcError(args.source, raw[: e.start].count(b"\n") + 1, "not valid UTF-8")
        names = {} if args.header or args.reference else None
        lines = {}
        strings = parse_rc(args.source, text.removeprefix("\ufeff"), names, lines)
        if args.reference:
            reference_names = {}
            reference = parse_rc(args.reference, _read_text(args.reference), reference_names)
            check_against_reference(args.source, strings, names, lines, reference,
                                    reference_names)
        module = build_module(strings)
        if len(module) > MAX_MODULE_SIZE:
            raise RcError(args.source, 1, f"module would be {len(module)} bytes "
                          f"(at most {MAX_MODULE_SIZE})")
    except RcError as e:
        print(e, file=sys.stderr)
        return 1
    if args.output:
        write_atomic(args.output, module)
    if args.header:
        write_if_changed(args.header, build_header(args.source, names))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
