"""C++ spellings shared by the writers of the generated sources."""
import re

from .model import BASE_TYPES

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
