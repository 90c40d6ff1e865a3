#!/usr/bin/env python3
"""Type-library generator: reads the .idl sources of one library and writes its C++ header,
dispatch tables, class bases, class table, test call table and API reference.

    gen_typelib.py --name GPSLib --out DIR [--import FILE.idl ...] FILE.idl ...
    gen_typelib.py --check FILE.idl ...        (parse and validate only)

The grammar is described in docs/typelib.md. Every error names the file and line.
"""
import argparse
import os
import re
import sys

BASE_TYPES = {
    # idl type: (C++ type, ParamType, variant type name, member prefix)
    "short": ("SHORT", "Short", "VT_I2", "n"),
    "long": ("LONG", "Long", "VT_I4", "n"),
    "double": ("DOUBLE", "Double", "VT_R8", "d"),
    "VARIANT_BOOL": ("VARIANT_BOOL", "Bool", "VT_BOOL", "b"),
    "BSTR": ("BSTR", "String", "VT_BSTR", "bstr"),
    "VARIANT": ("VARIANT", "Variant", "VT_VARIANT", "var"),
    "IDispatch": ("IDispatch", "Object", "VT_DISPATCH", "p"),
    "IUnknown": ("IUnknown", "Unknown", "VT_UNKNOWN", "p"),
}


class IdlError(Exception):
    pass


class Param:
    def __init__(self, direction, type_name, stars, name):
        self.direction = direction  # in, out, inout, retval
        self.type = type_name
        self.stars = stars
        self.name = name


class Method:
    def __init__(self, name, params, dispid, helpstring, where, comment):
        self.name = name
        self.params = params
        self.dispid = dispid
        self.helpstring = helpstring
        self.where = where
        self.comment = comment


class Interface:
    def __init__(self, name, guid, where, comment, hidden=False):
        self.name = name
        self.guid = guid
        self.methods = []
        self.where = where
        self.comment = comment
        self.hidden = hidden
        self.library = None


class Field:
    def __init__(self, type_name, name, default, getter, setter, notnull, explicit):
        self.type = type_name
        self.name = name
        self.default = default
        self.getter = getter
        self.setter = setter
        self.notnull = notnull
        self.explicit = explicit


class Coclass:
    def __init__(self, name, guid, interface, where, comment):
        self.name = name
        self.guid = guid
        self.interface = interface
        self.fields = []
        self.inners = []  # (coclass name, member name)
        self.lock = None  # the name of the lock that guards every field, or None
        self.where = where
        self.comment = comment


class Enum:
    def __init__(self, name, where, comment):
        self.name = name
        self.values = []
        self.where = where
        self.comment = comment
        self.library = None


class Library:
    def __init__(self):
        self.name = None
        self.guid = None
        self.version = None
        self.help = None
        self.enums = []
        self.interfaces = []
        self.coclasses = []


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
                         r")\s*\{(.*)\}\s*;", s)
        if m:
            co = Coclass(m.group(1), m.group(2).upper(), m.group(3), where, comment)
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


class Model:
    """All libraries loaded (the generated one and its imports) with name resolution."""

    def __init__(self, lib, imports):
        self.lib = lib
        self.imports = imports
        self.enums = {}
        self.interfaces = {}
        self.coclasses = {}
        for l in [lib] + imports:
            for c in l.coclasses:
                self.coclasses[c.name] = c
            for e in l.enums:
                if e.name in self.enums:
                    raise IdlError(f"{e.where}: enum {e.name} declared twice")
                e.library = l
                self.enums[e.name] = e
            for i in l.interfaces:
                if i.name in self.interfaces:
                    raise IdlError(f"{i.where}: interface {i.name} declared twice")
                i.library = l
                self.interfaces[i.name] = i

    def kind(self, type_name):
        if type_name in BASE_TYPES:
            return "base"
        if type_name in self.enums:
            return "enum"
        if type_name in self.interfaces:
            return "interface"
        return None

    def param_type(self, p):
        """ParamType name for the dispatch table."""
        k = self.kind(p.type)
        if p.type == "VARIANT":
            return "List" if p.stars == 1 and p.direction == "inout" else "Variant"
        if k == "enum":
            return "Long"
        if k == "interface":
            return "Object"
        return BASE_TYPES[p.type][1]

    def cpp_value_type(self, type_name):
        k = self.kind(type_name)
        if k == "base":
            return BASE_TYPES[type_name][0]
        return type_name

    def cpp_param(self, p):
        t = self.cpp_value_type(p.type)
        return t + "*" * p.stars

    def validate(self):
        lib = self.lib
        seen_values = {}
        for e in lib.enums:
            for n, _ in e.values:
                if n in seen_values:
                    raise IdlError(f"{e.where}: enumerator {n} also in {seen_values[n]}")
                seen_values[n] = e.name
        for itf in lib.interfaces:
            names = set()
            ids = set()
            explicit = [m.dispid is not None for m in itf.methods]
            if any(explicit) and not all(explicit):
                raise IdlError(f"{itf.where}: {itf.name} mixes fixed and implicit dispatch ids")
            for n, m in enumerate(itf.methods, 1):
                if m.dispid is None:
                    m.dispid = n
                if m.name.lower() in names:
                    raise IdlError(f"{m.where}: {itf.name}.{m.name} declared twice")
                if m.dispid in ids:
                    raise IdlError(f"{m.where}: {itf.name}.{m.name} reuses dispatch id {m.dispid}")
                names.add(m.name.lower())
                ids.add(m.dispid)
                if len(m.params) > 16:
                    raise IdlError(f"{m.where}: {m.name} has more than 16 parameters")
                for i, p in enumerate(m.params):
                    k = self.kind(p.type)
                    if k is None:
                        raise IdlError(f"{m.where}: {itf.name}.{m.name}: unknown type {p.type}")
                    want = (1 if k == "interface" or p.type in ("IDispatch", "IUnknown") else 0)
                    if p.direction != "in":
                        want += 1
                    if p.type == "VARIANT" and p.direction == "inout":
                        want = 1
                    if p.stars != want:
                        raise IdlError(f"{m.where}: {itf.name}.{m.name}: parameter {p.name} "
                                       f"should have {want} '*'")
                    if p.direction == "retval" and i != len(m.params) - 1:
                        raise IdlError(f"{m.where}: {m.name}: retval must be the last parameter")
                    if p.type == "VARIANT" and p.direction not in ("in", "inout"):
                        raise IdlError(f"{m.where}: {m.name}: lists are [in, out] VARIANT*")
            ordered = [m.dispid for m in itf.methods]
            if ordered != sorted(ordered):
                raise IdlError(f"{itf.where}: {itf.name}: dispatch ids must rise in slot order")
        for co in lib.coclasses:
            if co.interface not in self.interfaces:
                raise IdlError(f"{co.where}: {co.name}: unknown interface {co.interface}")
            itf = self.interfaces[co.interface]
            by_name = {m.name: m for m in itf.methods}
            bound = set()
            for f in co.fields:
                if self.kind(f.type) not in ("base", "enum") or f.type in ("VARIANT", "IDispatch",
                                                                            "IUnknown"):
                    raise IdlError(f"{co.where}: field {f.name} has a non-storage type {f.type}")
                for acc, want in ((f.getter, "retval"), (f.setter, "in")):
                    if acc and acc not in by_name:
                        raise IdlError(f"{co.where}: {co.name}.{f.name}: {acc} not in {itf.name}")
                if not f.explicit:
                    g, s = "Get" + f.name, "Set" + f.name
                    if g in by_name and self.accessor_ok(by_name[g], f, "retval"):
                        f.getter = g
                    if s in by_name and self.accessor_ok(by_name[s], f, "in"):
                        f.setter = s
                for acc, want in ((f.getter, "retval"), (f.setter, "in")):
                    if acc:
                        if not self.accessor_ok(by_name[acc], f, want):
                            raise IdlError(f"{co.where}: {co.name}.{f.name}: {acc} does not take "
                                           f"one {want} {f.type}")
                        if acc in bound:
                            raise IdlError(f"{co.where}: {acc} bound to two fields")
                        bound.add(acc)
                self.check_default(f, co)
            co.forwards = {}
            for inner, member in co.inners:
                if inner not in self.coclasses:
                    raise IdlError(f"{co.where}: {co.name}: inner {inner} is not a coclass")
                inner_itf = self.interfaces[self.coclasses[inner].interface]
                theirs = {m.name: m for m in inner_itf.methods}
                for m in itf.methods:
                    if m.name in bound or m.name in co.forwards or m.name not in theirs:
                        continue
                    if self.same_params(m, theirs[m.name]):
                        co.forwards[m.name] = member

    @staticmethod
    def same_params(a, b):
        return [(p.direction, p.type, p.stars) for p in a.params] == \
               [(p.direction, p.type, p.stars) for p in b.params]

    def accessor_ok(self, m, f, direction):
        if len(m.params) != 1:
            return False
        p = m.params[0]
        if direction == "retval":
            return p.direction in ("retval", "out") and p.type == f.type
        return p.direction == "in" and p.type == f.type

    def check_default(self, f, co):
        d = f.default
        k = self.kind(f.type)
        if f.type == "BSTR":
            ok = d.startswith('"')
        elif k == "enum":
            ok = d in [n for n, _ in self.enums[f.type].values] or re.fullmatch(r"-?\d+", d)
        elif f.type == "double":
            ok = re.fullmatch(r"[-+]?\d+(\.\d*)?([eE][-+]?\d+)?", d)
        else:
            ok = re.fullmatch(r"-?(0x[0-9A-Fa-f]+|\d+)", d)
        if not ok:
            raise IdlError(f"{co.where}: {co.name}.{f.name}: bad default {d}")


def guid_init(g):
    p = g.split("-")
    d4 = p[3] + p[4]
    bytes4 = ", ".join("0x" + d4[i:i + 2] for i in range(0, 16, 2))
    return f"{{0x{p[0]}, 0x{p[1]}, 0x{p[2]}, {{{bytes4}}}}}"


def impl_guid(guid):
    """The private interface id of a class's implementation: its class id with the first field
    inverted. It never leaves the module, so it only has to differ from every public id."""
    first = int(guid[:8], 16) ^ 0xFFFFFFFF
    return f"{first:08X}" + guid[8:]


def member_name(model, f):
    k = model.kind(f.type)
    prefix = "e" if k == "enum" else BASE_TYPES[f.type][3]
    return f"m_{prefix}{f.name}"


def cpp_default(model, f):
    if f.type == "BSTR":
        return f"gpslib::Bstr(std::string_view({f.default}))" if f.default != '""' else ""
    if f.type == "VARIANT_BOOL":
        return f"static_cast<VARIANT_BOOL>({f.default})"
    if model.kind(f.type) == "enum" and re.fullmatch(r"-?\d+", f.default):
        return f"static_cast<{f.type}>({f.default})"
    return f.default


def signature(model, m, with_names=True, used=None):
    parts = []
    for p in m.params:
        t = model.cpp_param(p)
        if not with_names:
            parts.append(t)
        elif used is not None and p.name not in used:
            parts.append(f"{t} /*{p.name}*/")
        else:
            parts.append(f"{t} {p.name}")
    return ", ".join(parts)


def header(model, out_dir):
    lib = model.lib
    guard = f"GPSLIB_{lib.name.upper()}_H_"
    w = []
    w.append(f"// Generated from idl/ by gen_typelib.py: the {lib.name} type library. Do not edit.")
    w.append(f"#ifndef {guard}\n#define {guard}\n")
    w.append("#include <gpslib/automation.h>")
    for imp in model.imports:
        w.append(f"#include <gpslib/{imp.name}.h>")
    w.append("")
    w.append(f"// {lib.help}, version {lib.version[0]}.{lib.version[1]}.")
    w.append(f"constexpr GUID LIBID_{lib.name} = {guid_init(lib.guid)};\n")
    for e in lib.enums:
        if e.comment:
            w.append(f"// {e.comment}")
        w.append(f"enum {e.name} : LONG {{")
        for n, v in e.values:
            w.append(f"    {n} = {v},")
        w.append("};")
        w.append("// The enumerator's name as the library spells it; null for a value it does not name.")
        w.append(f"constexpr const char* NameOf({e.name} value) {{")
        w.append("    switch (value) {")
        for n, _ in e.values:
            w.append(f"    case {n}: return \"{n}\";")
        w.append("    }")
        w.append("    return nullptr;")
        w.append("}\n")
    for itf in lib.interfaces:
        w.append(f"struct {itf.name};")
    w.append("")
    for itf in lib.interfaces:
        w.append(f"constexpr IID IID_{itf.name} = {guid_init(itf.guid)};")
    for co in lib.coclasses:
        w.append(f"constexpr CLSID CLSID_{co.name} = {guid_init(co.guid)};")
    w.append("")
    for itf in lib.interfaces:
        if itf.comment:
            w.append(f"// {itf.comment}")
        w.append(f"struct {itf.name} : IDispatch {{")
        for m in itf.methods:
            help_note = f" // help name \"{m.helpstring}\"" if m.helpstring else ""
            w.append(f"    virtual HRESULT {m.name}({signature(model, m)}) = 0; // id {m.dispid}"
                     f"{help_note}")
        w.append(f"\nprotected:\n    ~{itf.name}() = default;\n}};\n")
    w.append(f"#endif // {guard}")
    path = os.path.join(out_dir, "include", "gpslib", lib.name + ".h")
    write(path, "\n".join(w) + "\n")


def thunk_arg(model, p, i):
    t = model.cpp_value_type(p.type)
    pt = model.param_type(p)
    if pt == "List":
        return f"static_cast<VARIANT*>(a[{i}])"
    if p.direction == "in":
        if pt == "Variant":
            return f"*static_cast<VARIANT*>(a[{i}])"
        if model.kind(p.type) == "enum":
            return f"static_cast<{t}>(*static_cast<LONG*>(a[{i}]))"
        if pt in ("Object", "Unknown"):
            return f"static_cast<{t}*>(*static_cast<IUnknown**>(a[{i}]))"
        return f"*static_cast<{t}*>(a[{i}])"
    if model.kind(p.type) == "enum":
        return f"reinterpret_cast<{t}*>(a[{i}])"
    if pt in ("Object", "Unknown"):
        return f"reinterpret_cast<{t}**>(a[{i}])"
    return f"static_cast<{t}*>(a[{i}])"


def dispatch_source(model, out_dir):
    lib = model.lib
    w = [f"// Generated from idl/ by gen_typelib.py: dispatch tables of {lib.name}. Do not edit.",
         f"#include <gpslib/{lib.name}.h>", "#include <gpslib/dispatch.h>", "",
         "// NOLINTBEGIN", "namespace {", "using gpslib::ParamDir;", "using gpslib::ParamType;", ""]
    dirs = {"in": "In", "out": "Out", "inout": "InOut", "retval": "RetVal"}
    for itf in lib.interfaces:
        for m in itf.methods:
            base = f"{itf.name}_{m.name}"
            args = ", ".join(thunk_arg(model, p, i) for i, p in enumerate(m.params))
            aname = "a" if m.params else "/*a*/"
            w.append(f"HRESULT T_{base}(void* s, void* const* {aname}) {{")
            w.append(f"    return static_cast<{itf.name}*>(s)->{m.name}({args});\n}}")
            if m.params:
                w.append(f"const gpslib::ParamInfo P_{base}[] = {{")
                for p in m.params:
                    pt = model.param_type(p)
                    iid = f"&IID_{p.type}" if model.kind(p.type) == "interface" else (
                        "&IID_IDispatch" if p.type == "IDispatch" else "nullptr")
                    w.append(f"    {{\"{p.name}\", ParamType::{pt}, ParamDir::{dirs[p.direction]}, "
                             f"{iid}}},")
                w.append("};")
        w.append(f"const gpslib::MethodInfo M_{itf.name}[] = {{")
        for m in sorted(itf.methods, key=lambda m: m.dispid):
            base = f"{itf.name}_{m.name}"
            hs = f"\"{m.helpstring}\"" if m.helpstring else "nullptr"
            params = f"P_{base}" if m.params else "nullptr"
            w.append(f"    {{\"{m.name}\", {m.dispid}, {hs}, {len(m.params)}, {params}, T_{base}}},")
        w.append("};\n")
    w.append("} // namespace\n")
    for itf in lib.interfaces:
        w.append(f"extern const gpslib::InterfaceInfo kInfo_{itf.name};")
        w.append(f"const gpslib::InterfaceInfo kInfo_{itf.name} = {{\"{itf.name}\", &IID_{itf.name}, "
                 f"M_{itf.name}, {len(itf.methods)}}};")
    w.append("")
    w.append(f"extern const gpslib::InterfaceInfo* const k{lib.name}Interfaces[];")
    w.append(f"const gpslib::InterfaceInfo* const k{lib.name}Interfaces[] = {{")
    for itf in lib.interfaces:
        w.append(f"    &kInfo_{itf.name},")
    w.append("    nullptr,\n};")
    w.append("// NOLINTEND")
    write(os.path.join(out_dir, f"{lib.name}_dispatch.cpp"), "\n".join(w) + "\n")


def classes_header(model, out_dir):
    lib = model.lib
    guard = f"GPSLIB_{lib.name.upper()}_CLASSES_H_"
    w = [f"// Generated from idl/ by gen_typelib.py: class bases of {lib.name}. Do not edit.",
         "//",
         "// Each coclass Xxx gets CXxxBase: reference counting, IDispatch over the dispatch tables,",
         "// plain-storage accessors over its fields, and for every other method an answer of",
         "// E_POINTER (a null out pointer) or E_NOTIMPL. The module defines the concrete class",
         "// CXxx and its creation function Create_Xxx (GPSLIB_CLASS_FACTORY, registry.h).",
         f"#ifndef {guard}\n#define {guard}\n",
         f"#include <gpslib/{lib.name}.h>", "#include <gpslib/dispatch.h>",
         "#include <gpslib/registry.h>", "#include <gpslib/support.h>", "", "#include <atomic>",
         "#include <new>", "#include <string_view>", ""]
    if any(co.lock for co in lib.coclasses):
        w[-1:-1] = ["", "#include \"os/sync.h\""]
    for itf in lib.interfaces:
        w.append(f"extern const gpslib::InterfaceInfo kInfo_{itf.name};")
    w.append(f"extern const gpslib::InterfaceInfo* const k{lib.name}Interfaces[];")
    w.append(f"extern const gpslib::ModuleInfo k{lib.name}Module;\n")
    for co in lib.coclasses:
        itf = model.interfaces[co.interface]
        w.append(f"HRESULT Create_{co.name}(REFIID riid, void** ppv);")
        w.append(f"\nclass C{co.name}Base : public {itf.name} {{")
        w.append("public:")
        w.append("    // Answered only by this module's own objects of the class: the way the module")
        w.append("    // reaches its internal setters behind an interface pointer (gpslib::ImplOf).")
        w.append(f"    static constexpr IID kImplIid = {guid_init(impl_guid(co.guid))};")
        w.append(f"    using Base = C{co.name}Base;")
        w.append("    HRESULT QueryInterface(REFIID riid, void** ppv) override;")
        w.append("    ULONG AddRef() override;")
        w.append("    ULONG Release() override;")
        w.append("    HRESULT GetTypeInfoCount(UINT* pctinfo) override;")
        w.append("    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;")
        w.append("    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,")
        w.append("                          DISPID* rgDispId) override;")
        w.append("    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,")
        w.append("                   DISPPARAMS* pDispParams, VARIANT* pVarResult,")
        w.append("                   EXCEPINFO* pExcepInfo, UINT* puArgErr) override;")
        w.append(f"    // {itf.name}")
        for m in itf.methods:
            w.append(f"    HRESULT {m.name}({signature(model, m)}) override;")
        for inner, member in co.inners:
            inner_itf = model.coclasses[inner].interface
            w.append(f"    // The inner {inner} (no reference added), and sharing another one "
                     "by reference.")
            w.append(f"    {inner_itf}* Inner{member}() const {{ return m_p{member}.Get(); }}")
            w.append(f"    void Share{member}({inner_itf}* p) {{ m_p{member} = p; }}")
        if co.lock:
            w.append(f"    // The lock that guards every field: the plain accessors take it.")
            w.append(f"    gpslib::os::CriticalSection& {co.lock}Lock() "
                     f"RETURN_CAPABILITY(m_cs{co.lock}) {{")
            w.append(f"        return m_cs{co.lock};\n    }}")
        w.append("\nprotected:")
        w.append(f"    C{co.name}Base();")
        w.append(f"    virtual ~C{co.name}Base();")
        w.append(f"    C{co.name}Base(const C{co.name}Base&) = delete;")
        w.append(f"    C{co.name}Base& operator=(const C{co.name}Base&) = delete;")
        if co.lock:
            w.append(f"    gpslib::os::CriticalSection m_cs{co.lock};")
        guarded = f" GUARDED_BY(m_cs{co.lock})" if co.lock else ""
        for f in co.fields:
            t = "gpslib::Bstr" if f.type == "BSTR" else model.cpp_value_type(f.type)
            d = cpp_default(model, f)
            init = f"{{{d}}}" if d else ""
            w.append(f"    {t} {member_name(model, f)}{guarded}{init};")
        for inner, member in co.inners:
            inner_itf = model.coclasses[inner].interface
            w.append(f"    // A {inner} created by class id with the object; null only when that "
                     "failed, and then")
            w.append(f"    // the methods forwarded to it answer E_FAIL.")
            w.append(f"    gpslib::ComPtr<{inner_itf}> m_p{member};")
        w.append("\nprivate:")
        w.append("    std::atomic<ULONG> m_cRef{1};")
        w.append("};")
    w.append(f"\n#endif // {guard}")
    write(os.path.join(out_dir, f"{lib.name}_classes.h"), "\n".join(w) + "\n")


def classes_source(model, out_dir):
    lib = model.lib
    w = [f"// Generated from idl/ by gen_typelib.py: class bases of {lib.name}. Do not edit.",
         f"#include \"{lib.name}_classes.h\"", "", "// NOLINTBEGIN"]
    for co in lib.coclasses:
        itf = model.interfaces[co.interface]
        c = f"C{co.name}Base"
        w.append(f"\n// {co.name} ---------------------------------------------------------------")
        if co.inners:
            w.append(f"{c}::{c}() {{")
            w.append("    ++gpslib::module::g_lockCount;")
            for inner, member in co.inners:
                inner_itf = model.coclasses[inner].interface
                w.append(f"    (void)gpslib::CreateObject(CLSID_{inner}, IID_{inner_itf}, "
                         f"&m_p{member});")
            w.append("}")
        else:
            w.append(f"{c}::{c}() {{ ++gpslib::module::g_lockCount; }}")
        w.append(f"{c}::~{c}() {{ --gpslib::module::g_lockCount; }}")
        w.append(f"HRESULT {c}::QueryInterface(REFIID riid, void** ppv) {{")
        w.append("    if (ppv == nullptr) return E_POINTER;")
        w.append(f"    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_{itf.name}) {{")
        w.append(f"        *ppv = static_cast<{itf.name}*>(this);")
        w.append("        AddRef();")
        w.append("        return S_OK;\n    }")
        w.append("    if (riid == kImplIid) {")
        w.append("        *ppv = this;")
        w.append("        AddRef();")
        w.append("        return S_OK;\n    }")
        w.append("    *ppv = nullptr;\n    return E_NOINTERFACE;\n}")
        w.append(f"ULONG {c}::AddRef() {{ return ++m_cRef; }}")
        w.append(f"ULONG {c}::Release() {{")
        w.append("    ULONG left = --m_cRef;")
        w.append("    if (left == 0) delete this;")
        w.append("    return left;\n}")
        w.append(f"HRESULT {c}::GetTypeInfoCount(UINT* pctinfo) {{")
        w.append("    if (pctinfo == nullptr) return E_POINTER;")
        w.append("    *pctinfo = 0; // Names resolve through GetIDsOfNames; no ITypeInfo is offered.")
        w.append("    return S_OK;\n}")
        w.append(f"HRESULT {c}::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {{")
        w.append("    if (ppTInfo == nullptr) return E_POINTER;")
        w.append("    *ppTInfo = nullptr;\n    return DISP_E_BADINDEX;\n}")
        w.append(f"HRESULT {c}::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, "
                 "DISPID* rgDispId) {")
        w.append(f"    return gpslib::DispatchGetIDsOfNames(kInfo_{itf.name}, rgszNames, cNames, "
                 "rgDispId);\n}")
        w.append(f"HRESULT {c}::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, "
                 "DISPPARAMS* pDispParams,")
        w.append("                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {")
        w.append(f"    return gpslib::DispatchInvoke(kInfo_{itf.name}, static_cast<{itf.name}*>(this), "
                 "dispIdMember, wFlags,")
        w.append("                                  pDispParams, pVarResult, pExcepInfo, puArgErr);\n}")
        getters = {f.getter: f for f in co.fields if f.getter}
        setters = {f.setter: f for f in co.fields if f.setter}
        take_lock = (f"    gpslib::os::CriticalSectionLock lock(m_cs{co.lock});"
                     if co.lock else None)
        for m in itf.methods:
            if m.name in getters:
                f = getters[m.name]
                p = m.params[0]
                mem = member_name(model, f)
                w.append(f"HRESULT {c}::{m.name}({signature(model, m)}) {{")
                w.append(f"    if ({p.name} == nullptr) return E_POINTER;")
                if take_lock:
                    w.append(take_lock)
                if f.type == "BSTR":
                    w.append(f"    *{p.name} = gpslib::AllocBstr({mem}.View());")
                    w.append(f"    return *{p.name} == nullptr ? E_OUTOFMEMORY : S_OK;\n}}")
                else:
                    w.append(f"    *{p.name} = {mem};\n    return S_OK;\n}}")
            elif m.name in setters:
                f = setters[m.name]
                p = m.params[0]
                mem = member_name(model, f)
                w.append(f"HRESULT {c}::{m.name}({signature(model, m)}) {{")
                if f.type == "BSTR":
                    if f.notnull:
                        w.append(f"    if ({p.name} == nullptr) return E_POINTER;")
                    w.append(f"    gpslib::Bstr value(gpslib::View({p.name}));")
                if take_lock:
                    w.append(take_lock)
                if f.type == "BSTR":
                    w.append(f"    {mem} = std::move(value);")
                else:
                    w.append(f"    {mem} = {p.name};")
                w.append("    return S_OK;\n}")
            elif m.name in co.forwards:
                member = co.forwards[m.name]
                outs = [p.name for p in m.params if p.direction != "in"]
                w.append(f"HRESULT {c}::{m.name}({signature(model, m)}) {{")
                if outs:
                    cond = " || ".join(f"{n} == nullptr" for n in outs)
                    w.append(f"    if ({cond}) return E_POINTER;")
                args = ", ".join(p.name for p in m.params)
                w.append(f"    return m_p{member} ? m_p{member}->{m.name}({args}) : E_FAIL;\n}}")
            else:
                outs = [p.name for p in m.params if p.direction != "in"]
                w.append(f"HRESULT {c}::{m.name}({signature(model, m, used=set(outs))}) {{")
                if outs:
                    cond = " || ".join(f"{n} == nullptr" for n in outs)
                    w.append(f"    if ({cond}) return E_POINTER;")
                w.append("    return E_NOTIMPL;\n}")
    # Class table and module information.
    w.append("\nnamespace {")
    w.append("constexpr GUID kLibId = LIBID_%s;" % lib.name)
    w.append("const gpslib::ClassEntry kClasses[] = {")
    for co in lib.coclasses:
        w.append(f"    {{&CLSID_{co.name}, \"{co.name}\", Create_{co.name}}},")
    w.append("};")
    w.append("const gpslib::InterfaceEntry kInterfaceEntries[] = {")
    for itf in lib.interfaces:
        w.append(f"    {{&IID_{itf.name}, \"{itf.name}\"}},")
    w.append("};\n} // namespace\n")
    w.append(f"const gpslib::ModuleInfo k{lib.name}Module = {{")
    w.append(f"    \"{os.environ.get('GPSLIB_PROGID_PREFIX', 'GPS')}\", &kLibId, \"{lib.name}\", "
             f"\"{lib.help}\", {lib.version[0]}, {lib.version[1]},")
    w.append(f"    kClasses, {len(lib.coclasses)}, kInterfaceEntries, {len(lib.interfaces)}}};")
    w.append("// NOLINTEND")
    write(os.path.join(out_dir, f"{lib.name}_classes.cpp"), "\n".join(w) + "\n")


def calls_table(model, out_dir):
    """For the tests: every method called through the vtable with null out pointers."""
    lib = model.lib
    w = [f"// Generated from idl/ by gen_typelib.py: vtable calls of every {lib.name} method with "
         "null", "// out pointers and default in values, for the tests. Do not edit.", ""]
    for itf in lib.interfaces:
        w.append(f"const NullOutCall kCalls_{itf.name}[] = {{")
        for m in itf.methods:
            args = []
            for p in m.params:
                pt = model.param_type(p)
                if p.direction != "in" or pt == "List":
                    args.append("nullptr")
                elif pt == "Variant":
                    args.append("VARIANT{}")
                elif model.kind(p.type) == "enum":
                    args.append(f"static_cast<{p.type}>(0)")
                elif pt in ("Object", "Unknown", "String"):
                    args.append("nullptr")
                else:
                    args.append("0")
            has_out = any(p.direction != "in" for p in m.params)
            w.append(f"    {{\"{m.name}\", {m.dispid}, {str(has_out).lower()}, [](IUnknown* u) {{")
            w.append(f"         return static_cast<{itf.name}*>(u)->{m.name}({', '.join(args)});")
            w.append("     }},")
        w.append("};")
    w.append("\nconst InterfaceCalls kAllCalls[] = {")
    for itf in lib.interfaces:
        w.append(f"    {{&IID_{itf.name}, \"{itf.name}\", kCalls_{itf.name}, "
                 f"sizeof(kCalls_{itf.name}) / sizeof(NullOutCall)}},")
    w.append("};")
    w.append("\nconst FieldAccessors kAllFieldAccessors[] = {")
    for co in lib.coclasses:
        for f in co.fields:
            if f.getter and f.setter:
                vt = "VT_I4" if model.kind(f.type) == "enum" else BASE_TYPES[f.type][2]
                w.append(f"    {{&CLSID_{co.name}, \"{co.name}\", \"{f.getter}\", \"{f.setter}\", "
                         f"{vt}}},")
    w.append("};")
    w.append("\nconst ClassUnderTest kAllClasses[] = {")
    for co in lib.coclasses:
        w.append(f"    {{&CLSID_{co.name}, \"{co.name}\", &IID_{co.interface}}},")
    w.append("};")
    write(os.path.join(out_dir, f"{lib.name}_calls.inc"), "\n".join(w) + "\n")


def api_doc(model, out_dir):
    lib = model.lib
    w = [f"# {lib.name} reference", "",
         f"Generated from `idl/` by `idl/gen_typelib.py`. {lib.help}, version "
         f"{lib.version[0]}.{lib.version[1]}, library id `{{{lib.guid}}}`.", ""]
    if lib.coclasses:
        w += ["## Classes", "", "| Class | Class id | Interface | ProgID |", "|---|---|---|---|"]
        for co in lib.coclasses:
            w.append(f"| `{co.name}` | `{{{co.guid}}}` | `{co.interface}` | `GPS.{co.name}.1` |")
        w.append("")
    if lib.enums:
        w += ["## Enumerations", ""]
        for e in lib.enums:
            w.append(f"- `{e.name}`: " + ", ".join(f"`{n}` = {v}" for n, v in e.values))
        w.append("")
    w += ["## Interfaces", ""]
    for itf in lib.interfaces:
        w.append(f"### {itf.name} `{{{itf.guid}}}`\n")
        if itf.comment:
            w.append(itf.comment + "\n")
        w.append("| Id | Method |")
        w.append("|---|---|")
        for m in itf.methods:
            params = ", ".join(f"[{p.direction}] {model.cpp_param(p)} {p.name}" for p in m.params)
            help_note = f" (help name \"{m.helpstring}\")" if m.helpstring else ""
            w.append(f"| {m.dispid} | `{m.name}({params})`{help_note} |")
        w.append("")
    write(os.path.join(out_dir, f"{lib.name}_api.md"), "\n".join(w) + "\n")


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # Rewrite only on change, so that the build does not recompile needlessly.
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


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


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--name")
    ap.add_argument("--out")
    ap.add_argument("--check", action="store_true")
    ap.add_argument("--import", dest="imports", action="append", default=[])
    ap.add_argument("files", nargs="+")
    args = ap.parse_args()
    try:
        libs = load(args.files)
        if len(libs) != 1:
            raise IdlError(f"{args.files[0]}: the sources declare {len(libs)} libraries, not one")
        lib = libs[0]
        imports = load([f for group in args.imports for f in group.split(";")])
        for imp in imports:
            if not imp.name:
                raise IdlError("an imported file comes before any library declaration")
        if not lib.name:
            raise IdlError(f"{args.files[0]}: no library declaration")
        if args.name and lib.name != args.name:
            raise IdlError(f"library is {lib.name}, expected {args.name}")
        model = Model(lib, imports)
        model.validate()
        if args.check:
            n = sum(len(i.methods) for i in lib.interfaces)
            print(f"{lib.name}: {len(lib.interfaces)} interfaces, {n} methods, "
                  f"{len(lib.coclasses)} classes, {len(lib.enums)} enumerations")
            return 0
        header(model, args.out)
        dispatch_source(model, args.out)
        classes_header(model, args.out)
        classes_source(model, args.out)
        calls_table(model, args.out)
        api_doc(model, args.out)
    except IdlError as e:
        print(f"error: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
