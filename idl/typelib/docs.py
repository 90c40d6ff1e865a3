"""The library's API reference in Markdown."""
import os

from .output import write


def api_doc(model, out_dir):
    lib = model.lib
    w = [f"# {lib.name} reference", "",
         f"Generated from `idl/` by `idl/gen_typelib.py`. {lib.help}, version "
         f"{lib.version[0]}.{lib.version[1]}, library id `{{{lib.guid}}}`.", ""]
    if lib.coclasses:
        w += ["## Classes", "", "| Class | Class id | Interfaces (the default first) | ProgID |",
              "|---|---|---|---|"]
        for co in lib.coclasses:
            itfs = ", ".join(f"`{n}`" for n in [co.interface] + co.extra)
            w.append(f"| `{co.name}` | `{{{co.guid}}}` | {itfs} | `GPS.{co.name}.1` |")
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
