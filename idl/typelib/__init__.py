"""The type-library generator's modules; gen_typelib.py is its command line."""
