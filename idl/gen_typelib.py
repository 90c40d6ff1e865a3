#!/usr/bin/env python3
"""Type-library generator: reads the .idl sources of one library and writes its C++ header,
dispatch tables, class bases, class table, test call table and API reference.

    gen_typelib.py --name GPSLib --out DIR [--import FILE.idl ...] FILE.idl ...
    gen_typelib.py --check FILE.idl ...        (parse and validate only)
    gen_typelib.py --python-enums OUT.py FILE.idl ...   (every library's enumerations, one module)

The grammar is described in docs/typelib.md. Every error names the file and line.
"""
import argparse
import sys

from typelib.classes import classes_header, classes_source
from typelib.dispatch import calls_table, dispatch_source
from typelib.docs import api_doc
from typelib.header import enums_header, header
from typelib.model import IdlError, Model
from typelib.parser import load
from typelib.python import python_enums


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--name")
    ap.add_argument("--out")
    ap.add_argument("--check", action="store_true")
    ap.add_argument("--python-enums", metavar="OUT.py")
    ap.add_argument("--import", dest="imports", action="append", default=[])
    ap.add_argument("files", nargs="+")
    args = ap.parse_args()
    try:
        libs = load(args.files)
        if args.python_enums:
            for lib in libs:
                Model(lib, [l for l in libs if l is not lib]).validate()
            python_enums(libs, args.python_enums)
            return 0
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
        enums_header(model, args.out)
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
