"""Writing a generated file."""
import os


def header_opening(what, guard):
    """The first lines of a generated C++ header: what it holds, and its include guard opened."""
    return [f"// Generated from idl/ by gen_typelib.py: {what}. Do not edit.",
            f"#ifndef {guard}\n#define {guard}\n"]


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # Rewrite only on change, so that the build does not recompile needlessly.
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
