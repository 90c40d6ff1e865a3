"""Reads the .idl sources: statements, then declarations, into Library objects."""
import re

from .model import Coclass, Enum, Field, IdlError, Interface, Library, Method, Param

GUID_RE = r"\{([0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12})\}"
IDENT = r"[A-Za-z_][A-Za-z0-9_]*"


def tokenize_statements(path):
    """Yields (statement text, first line, preceding comment) for each ';'-ended or block."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    comment = []
    buf = []
    start = None
    depth = 0
    for lineno, raw in enumerate(lines, 1):
        code = raw
        in_str = False
        for i, ch in enumerate(raw):
            if ch == '"':
                in_str = not in_str
            if not in_str and raw.startswith("//", i):
                code = raw[:i]
                if not buf and depth == 0:
                    comment.append(raw[i + 2:].strip())
                break
        if not code.strip():
            if not raw.strip():
                if not buf and depth == 0:
                    comment = []
            continue
        if start is None:
            start = lineno
        buf.append(code)
        depth += code.count("{") - code.count("}")
        if depth < 0:
            raise IdlError(f"{path}:{lineno}: unbalanced '}}'")
        if depth == 0 and code.rstrip().endswith(";"):
            yield " ".join(buf), start, " ".join(c for c in comment if c)
            buf, start, comment = [], None, []
    if buf:
        raise IdlError(f"{path}:{start}: unterminated declaration")


def parse_params(text, where):
    params = []
    text = text.strip()
    if not text:
        return params
    for part in split_top(text, ","):
        m = re.fullmatch(r"\s*\[([^\]]*)\]\s*(" + IDENT + r")\s*(\**)\s*(" + IDENT + r")\s*", part)
        if not m:
            raise IdlError(f"{where}: malformed parameter '{part.strip()}'")
        attrs = [a.strip() for a in m.group(1).split(",")]
        if attrs == ["in"]:
            direction = "in"
        elif attrs == ["out"]:
            direction = "out"
        elif sorted(attrs) == ["in", "out"]:
            direction = "inout"
        elif sorted(attrs) == ["out", "retval"]:
            direction = "retval"
        else:
            raise IdlError(f"{where}: unknown parameter attributes [{m.group(1)}]")
        params.append(Param(direction, m.group(2), len(m.group(3)), m.group(4)))
    return params


def split_top(text, sep):
    parts, depth, cur = [], 0, ""
    for ch in text:
        if ch in "([":
            depth += 1
        elif ch in ")]":
            depth -= 1
        if ch == sep and depth == 0:
            parts.append(cur)
            cur = ""
        else:
            cur += ch
    parts.append(cur)
    return parts


def parse_file(path, lib):
    for stmt, line, comment in tokenize_statements(path):
        where = f"{path}:{line}"
        s = stmt.strip()
        m = re.fullmatch(r"library\s+(" + IDENT + r")\s+" + GUID_RE +
                         r"\s+version\s+(\d+)\.(\d+)\s+\"([^\"]*)\"\s*;", s)
        if m:
            if lib.name:
                raise IdlError(f"{where}: second library declaration")
            lib.name, lib.guid = m.group(1), m.group(2).upper()
            lib.version = (int(m.group(3)), int(m.group(4)))
            lib.help = m.group(5)
            continue
        m = re.fullmatch(r"enum\s+(" + IDENT + r")\s*\{(.*)\}\s*;", s)
        if m:
            e = Enum(m.group(1), where, comment)
            for item in m.group(2).split(","):
                if not item.strip():
                    continue
                im = re.fullmatch(r"\s*(" + IDENT + r")\s*=\s*(-?(?:0x[0-9A-Fa-f]+|\d+))\s*", item)
                if not im:
                    raise IdlError(f"{where}: malformed enumerator '{item.strip()}'")
                e.values.append((im.group(1), int(im.group(2), 0)))
            lib.enums.append(e)
            continue
        m = re.fullmatch(r"(\[hidden\]\s*)?interface\s+(" + IDENT + r")\s+" + GUID_RE +
                         r"\s*\{(.*)\}\s*;", s)
        if m:
            itf = Interface(m.group(2), m.group(3).upper(), where, comment, bool(m.group(1)))
            body = m.group(4)
            for ms in body.split(";"):
                if not ms.strip():
                    continue
                mm = re.fullmatch(r"\s*(?:\[([^\]]*(?:\([^)]*\)[^\]]*)*)\]\s*)?HRESULT\s+(" + IDENT +
                                  r")\s*\((.*)\)\s*", ms, re.S)
                if not mm:
                    raise IdlError(f"{where}: malformed method in {itf.name}: '{ms.strip()[:60]}'")
                dispid, helpstring = None, None
                if mm.group(1):
                    for attr in split_top(mm.group(1), ","):
                        attr = attr.strip()
                        am = re.fullmatch(r"id\((\d+)\)", attr)
                        hm = re.fullmatch(r'helpstring\("([^"]*)"\)', attr)
                        if am:
                            dispid = int(am.group(1))
                        elif hm:
                            helpstring = hm.group(1)
                        else:
                            raise IdlError(f"{where}: unknown method attribute '{attr}'")
                itf.methods.append(Method(mm.group(2), parse_params(mm.group(3), where), dispid,
                                          helpstring, where, ""))
            lib.interfaces.append(itf)
            continue
        m = re.fullmatch(r"coclass\s+(" + IDENT + r")\s+" + GUID_RE + r"\s*:\s*(" + IDENT +
                         r"(?:\s*,\s*" + IDENT + r")*)\s*\{(.*)\}\s*;", s, re.S)
        if m:
            # The first interface is the default one (IDispatch's); the others follow it.
            names = [n.strip() for n in m.group(3).split(",")]
            co = Coclass(m.group(1), m.group(2).upper(), names[0], where, comment)
            co.extra = names[1:]
            for fs in m.group(4).split(";"):
                if not fs.strip():
                    continue
                im = re.fullmatch(r"\s*inner\s+(" + IDENT + r")\s+(" + IDENT + r")\s*", fs)
                if im:
                    co.inners.append((im.group(1), im.group(2)))
                    continue
                lm = re.fullmatch(r"\s*lock\s+(" + IDENT + r")\s*", fs)
                if lm:
                    if co.lock:
                        raise IdlError(f"{where}: {co.name} has two locks")
                    co.lock = lm.group(1)
                    continue
                fm = re.fullmatch(r"\s*field\s+(\[notnull\]\s*)?(" + IDENT + r")\s+(" + IDENT +
                                  r")\s*=\s*(\"[^\"]*\"|[-+.0-9A-Za-z_]+)"
                                  r"(?:\s+get\s+(" + IDENT + r"))?(?:\s+set\s+(" + IDENT + r"))?\s*",
                                  fs)
                if not fm:
                    raise IdlError(f"{where}: malformed field in {co.name}: '{fs.strip()}'")
                explicit = bool(fm.group(5) or fm.group(6))
                co.fields.append(Field(fm.group(2), fm.group(3), fm.group(4), fm.group(5),
                                       fm.group(6), bool(fm.group(1)), explicit))
            lib.coclasses.append(co)
            continue
        raise IdlError(f"{where}: unrecognised declaration '{s[:60]}'")


def load(files):
    """Parses files in order. A file that declares a library starts it; a file without a
    declaration adds to the library declared before it."""
    libs = []
    for path in files:
        lib = Library()
        parse_file(path, lib)
        if lib.name or not libs:
            libs.append(lib)
        else:
            prev = libs[-1]
            prev.enums += lib.enums
            prev.interfaces += lib.interfaces
            prev.coclasses += lib.coclasses
    return libs
