"""The dispatch tables of every interface, and the table of vtable calls the tests walk."""
import os

from .model import BASE_TYPES
from .output import write


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
        for name in [co.interface] + co.extra:
            w.append(f"    {{&CLSID_{co.name}, \"{co.name}\", &IID_{name}, "
                     f"{str(name == co.interface).lower()}}},")
    w.append("};")
    write(os.path.join(out_dir, f"{lib.name}_calls.inc"), "\n".join(w) + "\n")
