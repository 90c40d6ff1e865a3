"""The enumerations of every type library as one Python module (the gpslib package's enums)."""
import keyword

from .model import IdlError
from .output import write


def python_enums(libs, path):
    """Each enumeration an enum.IntEnum of its own name; each enumerator also a name of the
    module, since the libraries keep the enumerators in one name space (enums.VirtualMode)."""
    names = ", ".join(lib.name for lib in libs)
    w = ['"""Generated from idl/ by gen_typelib.py: the enumerations of the type libraries',
         f'{names}. Do not edit.',
         '',
         'Each enumeration is an IntEnum (enums.Units.Imperial); each enumerator is also a name of',
         'this module (enums.Imperial), as in the C++ headers. Members are ints: they pass to the',
         'service as its numbers, and Units(system.GetUnits()) names an answer."""',
         "import enum", ""]
    seen = {}
    exported = []
    for lib in libs:
        for e in lib.enums:
            w.append("")
            if e.comment:
                w += ["# " + line for line in e.comment.splitlines()]
            w.append(f"class {e.name}(enum.IntEnum):")
            for n, v in e.values:
                if keyword.iskeyword(n) or n.startswith("_") or n in seen:
                    raise IdlError(f"{e.where}: enumerator {n} cannot be a Python name here")
                seen[n] = e.name
                w.append(f"    {n} = {v}")
            w.append("")
            exported.append(e.name)
    w.append("")
    w.append("# The enumerators by their own names.")
    for n, owner in seen.items():
        w.append(f"{n} = {owner}.{n}")
    w.append("")
    w.append("__all__ = [")
    for n in exported + list(seen):
        w.append(f'    "{n}",')
    w.append("]")
    write(path, "\n".join(w) + "\n")
