"""The type library's model: the declarations the parser reads, and the resolution of names across
a library and its imports, with the checks every generated file relies on."""
import re
from dataclasses import dataclass, field

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


# The declarations are plain records, compared by identity (a name resolves to one object).
@dataclass(eq=False)
class Param:
    direction: str  # in, out, inout, retval
    type: str
    stars: int
    name: str


@dataclass(eq=False)
class Method:
    name: str
    params: list
    dispid: int
    helpstring: str
    where: str
    comment: str


@dataclass(eq=False)
class Interface:
    name: str
    guid: str
    where: str
    comment: str
    hidden: bool = False
    methods: list = field(default_factory=list, init=False)
    library: object = field(default=None, init=False)


@dataclass(eq=False)
class Field:
    type: str
    name: str
    default: str
    getter: str
    setter: str
    notnull: bool
    explicit: bool


@dataclass(eq=False)
class Coclass:
    name: str
    guid: str
    interface: str
    where: str
    comment: str
    fields: list = field(default_factory=list, init=False)
    inners: list = field(default_factory=list, init=False)  # (coclass name, member name)
    # The interfaces the class offers beside its default one, each answered by a part of the
    # object that shares its identity (QueryInterface) and its reference count.
    extra: list = field(default_factory=list, init=False)
    # The name of the lock that guards every field, or None.
    lock: str = field(default=None, init=False)
    # Methods answered by an inner object: method name -> member name (set by validation).
    forwards: dict = field(default_factory=dict, init=False)


@dataclass(eq=False)
class Enum:
    name: str
    where: str
    comment: str
    values: list = field(default_factory=list, init=False)
    library: object = field(default=None, init=False)


@dataclass(eq=False)
class Library:
    name: str = None
    guid: str = None
    version: tuple = None
    help: str = None
    enums: list = field(default_factory=list)
    interfaces: list = field(default_factory=list)
    coclasses: list = field(default_factory=list)


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
            self.check_extra(co, itf)
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

    def check_extra(self, co, default):
        """The class's methods are one flat set: a method name may appear in one of its
        interfaces only, and an interface once."""
        owner = {m.name: default.name for m in default.methods}
        seen = {default.name}
        for name in co.extra:
            if name not in self.interfaces:
                raise IdlError(f"{co.where}: {co.name}: unknown interface {name}")
            if name in seen:
                raise IdlError(f"{co.where}: {co.name}: interface {name} listed twice")
            seen.add(name)
            for m in self.interfaces[name].methods:
                if m.name in owner:
                    raise IdlError(f"{co.where}: {co.name}: {name}.{m.name} is also in "
                                   f"{owner[m.name]}")
                owner[m.name] = name

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
