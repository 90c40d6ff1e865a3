"""The string-table compiler: what it refuses (each error names file and line, nothing is
written) and the layout of what it writes. RC_COMPILE names the compiler."""
import contextlib
import importlib.util
import io
import os
import struct
import subprocess
import sys
import tempfile
import unittest

COMPILER = os.environ.get("RC_COMPILE") or os.path.join(
    os.path.dirname(__file__), "..", "..", "resources", "rc_compile.py")


_SPEC = importlib.util.spec_from_file_location("rc_compile", COMPILER)
COMPILER_MODULE = importlib.util.module_from_spec(_SPEC)
_SPEC.loader.exec_module(COMPILER_MODULE)


def compile_source(text, output="-o", name="t.dll"):
    """Compiles `text` (str, or bytes as they are) into `name` (a module with "-o", a header with
    "--header"); returns (exit status, stderr, output bytes or None)."""
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "t.rc")
        out = os.path.join(tmp, name)
        with open(src, "wb") as f:
            f.write(text if isinstance(text, bytes) else text.encode("utf-8"))
        run = subprocess.run([sys.executable, COMPILER, src, output, out],
                             capture_output=True, text=True)
        module = None
        if os.path.exists(out):
            with open(out, "rb") as f:
                module = f.read()
        leftovers = [n for n in os.listdir(tmp) if n not in ("t.rc", name)]
        assert not leftovers, leftovers
        return run.returncode, run.stderr, module


def table(*entries):
    return "STRINGTABLE\nBEGIN\n" + "".join(f"    {e}\n" for e in entries) + "END\n"


class StringTableCompilerErrors(unittest.TestCase):
    CASES = [
        # (name, source, line of the error, words in the message)
        ("duplicate id", table('7 "a"', '8 "b"', '7 "c"'), 5,
         "duplicate string id 7 (first defined on line 3)"),
        ("bad escape", table('1 "tab \\q"'), 3, "bad escape"),
        ("id above range", table('65536 "x"'), 3, "out of range"),
        ("negative id", table('-1 "x"'), 3, "out of range"),
        ("hex id", table('0x10 "x"'), 3, "bad string id"),
        ("unterminated", table('1 "open'), 3, "unterminated string"),
        ("backslash at end", table('1 "open\\'), 3, "unterminated string"),
        ("text after string", table('1 "a" junk'), 3, "unexpected text"),
        ("no string", table("1"), 3, "expected a quoted string"),
        ("empty string", table('1 ""'), 3, "is empty"),
        ("missing BEGIN", 'STRINGTABLE\n  1 "a"\nEND\n', 2, "expected BEGIN"),
        ("missing END", 'STRINGTABLE\nBEGIN\n  1 "a"\n', 1, "without END"),
        ("entry outside", '1 "a"\n', 1, "expected STRINGTABLE"),
        ("nested table", 'STRINGTABLE\nBEGIN\nSTRINGTABLE\nEND\n', 3, "inside a STRINGTABLE"),
        ("nothing defined", "// only a comment\n", 1, "no strings"),
        ("string too long", table('1 "' + "x" * 65536 + '"'), 3, "UTF-16 units"),
        ("name in lower case", table('1 deadEnd "x"'), 3, "expected a name or a quoted string"),
        ("two words as a name", table('1 Dead End "x"'), 3, "expected a name or a quoted string"),
        ("name without string", table("1 DeadEnd"), 3, "expected a quoted string"),
        ("duplicate name", table('1 A "x"', '2 A "y"'), 4, "duplicate name A (first given on line 3)"),
        ("plural without a number", table('1 "a {one:x|other:y}"'), 3, "follow or precede a number"),
        ("plural without other", table('1 "%d {one:x}"'), 3, "needs an 'other' form"),
        ("unknown plural category", table('1 "%d {single:x|other:y}"'), 3, "bad plural form"),
        ("placeholder in a form", table('1 "%d {one:%s|other:y}"'), 3, "holds a placeholder"),
        ("stray brace", table('1 "a } b"'), 3, "'}' without '{'"),
        ("nested plural", table('1 "%d {one:{x|other:y}"'), 3, "'{' inside"),
        ("invalid UTF-8", b'STRINGTABLE\nBEGIN\n 1 "\xff"\nEND\n', 3, "not valid UTF-8"),
    ]

    def test_refuses_bad_sources(self):
        for name, source, line, words in self.CASES:
            with self.subTest(name):
                status, err, module = compile_source(source)
                self.assertEqual(status, 1)
                self.assertIn(f"t.rc:{line}: error:", err)
                self.assertIn(words, err)
                self.assertIsNone(module)


ENGLISH = table('1 Language "en"', '2 Units "%d feet"', '3 Way "$d, $D"', '4 Near " near "')
GERMAN = ['1 Language "de"', '2 Units "%d Fuß"', '3 Way "$d, $D"', '4 Near " bei "']


def german(**changes):
    """The German entries with entry n replaced by changes["eN"] (None: left out)."""
    entries = [changes.get("e%d" % n, e) for n, e in enumerate(GERMAN, 1)]
    return [e for e in entries if e is not None]


class TranslatedTables(unittest.TestCase):
    """A translation compiled --reference the English table: every difference from it is an
    error that names the entry; a faithful one, plurals and reordered codes included, compiles."""
    CASES = [
        # (name, translated entries, line of the error or None, words in the message)
        ("faithful", german(e2='2 Units "%d {one:Fuß|other:Fuß}"', e3='3 Way "$D, $d"'), None,
         ""),
        ("missing id", german(e4=None), 1, "string 4 Near of the English table is missing"),
        ("extra id", GERMAN + ['5 More "x"'], 7, "string 5 is not in the English table"),
        ("other name", german(e2='2 Feet "%d Fuß"'), 4, "string 2 Units: named Feet"),
        ("lost placeholder", german(e2='2 Units "Fuß"'), 4,
         "placeholders (none) differ from the English %d"),
        ("other placeholder", german(e2='2 Units "%s Fuß"'), 4, "placeholders %s differ"),
        ("lost code", german(e3='3 Way "$d"'), 5,
         "template codes $d differ from the English $D $d"),
        ("lost edge space", german(e4='4 Near " bei"'), 6, "leading or trailing spaces"),
        ("bad language tag", german(e1='1 Language "Deutsch"'), 3, "not a language tag"),
    ]

    def test_translations_against_the_english_table(self):
        with tempfile.TemporaryDirectory() as tmp:
            english = os.path.join(tmp, "en.rc")
            with open(english, "w") as f:
                f.write(ENGLISH)
            for name, entries, line, words in self.CASES:
                with self.subTest(name):
                    src = os.path.join(tmp, "t.rc")
                    with open(src, "w") as f:
                        f.write(table(*entries))
                    out = os.path.join(tmp, "t.dll")
                    err = io.StringIO()
                    with contextlib.redirect_stderr(err):  # in-process: no interpreter per case
                        status = COMPILER_MODULE.main([src, "--reference", english, "-o", out])
                    if line is None:
                        self.assertEqual(status, 0, err.getvalue())
                        os.remove(out)
                        continue
                    self.assertEqual(status, 1)
                    self.assertIn(f"t.rc:{line}: error:", err.getvalue())
                    self.assertIn(words, err.getvalue())
                    self.assertFalse(os.path.exists(out))


class StringTableCompilerLayout(unittest.TestCase):
    # Pins the documented layout, which the loader's tests alone would not catch if compiler and
    # loader shared a mistake: string n lives in block n / 16 + 1, entry n mod 16.
    def test_header_index_and_entries(self):
        source = "\ufeff" + table('17, "b"  // comment', '16 "a"', '65535 "z\U0001D11E"')
        status, err, module = compile_source(source)
        self.assertEqual(status, 0, err)
        header = struct.unpack_from("<8sHHIIIII", module)
        self.assertEqual(header, (b"GPSLSTRT", 1, 32, 2, 3, 32, 56, len(module)))
        index = [struct.unpack_from("<III", module, 32 + 12 * i) for i in range(2)]
        self.assertEqual([(number, offset) for number, offset, _ in index],
                         [(2, 56), (4096, 56 + index[0][2])])
        self.assertEqual(module[56:64], b"\x01\x00a\x00\x01\x00b\x00")  # entries 0 and 1 of block 2
        self.assertEqual(module[-8:], struct.pack("<H", 3) + "z\U0001D11E".encode("utf-16-le"))


class StringIdsHeader(unittest.TestCase):
    def test_names_every_id_in_order(self):
        source = table('20469 DeadEnd "Dead end"', '7, Seven "seven"  // comment')
        status, err, header = compile_source(source, output="--header", name="t.h")
        self.assertEqual(status, 0, err)
        text = header.decode("utf-8")
        self.assertIn("namespace gpslib::ids {", text)
        self.assertLess(text.index("inline constexpr int kSeven = 7;\n"),
                        text.index("inline constexpr int kDeadEnd = 20469;\n"))

    def test_refuses_a_string_without_a_name(self):
        status, err, header = compile_source(table('1 A "a"', '2 "b"'), output="--header",
                                             name="t.h")
        self.assertEqual(status, 1)
        self.assertIn("t.rc:4: error: string 2 has no name", err)
        self.assertIsNone(header)

    def test_names_leave_the_module_unchanged(self):
        _, _, named = compile_source(table('16 Sixteen "a"', '17, Seventeen "b"'))
        _, _, plain = compile_source(table('16 "a"', '17, "b"'))
        self.assertEqual(named, plain)


if __name__ == "__main__":
    unittest.main()
