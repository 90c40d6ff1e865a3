"""Writing a generated file."""
import os


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # Rewrite only on change, so that the build does not recompile needlessly.
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
