"""The library's public C++ header: enumerations, ids and interfaces."""
import os

from .cpp import guid_init, signature
from .output import header_opening, write


def enums_header(model, out_dir):
    """The enumerations alone, over a plain integer type: code that speaks plain C++ (the
    service's parts) uses the library's enumerations without the object runtime."""
    lib = model.lib
    guard = f"GPSLIB_{lib.name.upper()}_ENUMS_H_"
    w = header_opening(f"the enumerations of the {lib.name} type library", guard)
    w.append("#include <cstdint>\n")
    for e in lib.enums:
        if e.comment:
            w.append(f"// {e.comment}")
        # The same type as the runtime's LONG.
        w.append(f"enum {e.name} : std::int32_t {{")
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
    w.append(f"#endif // {guard}")
    path = os.path.join(out_dir, "include", "gpslib", lib.name + "_enums.h")
    write(path, "\n".join(w) + "\n")


def header(model, out_dir):
    lib = model.lib
    guard = f"GPSLIB_{lib.name.upper()}_H_"
    w = header_opening(f"the {lib.name} type library", guard)
    w.append("#include <gpslib/automation.h>")
    w.append(f"#include <gpslib/{lib.name}_enums.h>")
    for imp in model.imports:
        w.append(f"#include <gpslib/{imp.name}.h>")
    w.append("")
    w.append(f"// {lib.help}, version {lib.version[0]}.{lib.version[1]}.")
    w.append(f"constexpr GUID LIBID_{lib.name} = {guid_init(lib.guid)};\n")
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
