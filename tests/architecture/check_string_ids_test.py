"""The string-id check itself: what counts as a bare id or an id alias, and what does not."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_string_ids  # noqa: E402

IDS = {20469: "DeadEnd", 22009: "WayIntersection"}


class StringIdCheck(unittest.TestCase):
    CPP_CASES = [
        # (name, source, [(line, id or None for an alias)])
        ("id passed to a lookup", "Text(20469);", [(1, 20469)]),
        ("ids in a table", "constexpr int k[] = {20469, 22009};", [(1, 20469), (1, 22009)]),
        ("local constant", "constexpr int kDeadEnd = 20469;", [(1, 20469)]),
        ("unsigned suffix", "Text(20469u);", [(1, 20469)]),
        ("alias of a generated name", "constexpr int kEnd = ids::kDeadEnd;", [(1, None)]),
        ("enumerator alias", "enum : int {\n  kEnd = gpslib::ids::kDeadEnd,\n};", [(2, None)]),
        ("generated name", "Text(ids::kDeadEnd); int id = ids::kDeadEnd;", []),
        ("comments", "// 20469\n/* 22009\n */ Text(22009);", [(3, 22009)]),
        ("strings", 'auto a = "20469"; auto b = u"\\"22009"; char c = \'2\';', []),
        ("raw string", 'auto a = R"x(20469 ")" 22009)x"; Text(20469);', [(1, 20469)]),
        ("digit separator", "int a = 1'000; Text(20469);", [(1, 20469)]),
        ("other numbers", "int port = 2947; double d = 20469.5; int h = 0x20469; int m = 32767;",
         []),
        ("part of a name", "int k20469 = 0; Text(a20469);", []),
    ]

    def test_cpp(self):
        for name, source, expected in self.CPP_CASES:
            with self.subTest(name):
                found = check_string_ids.cpp_problems(source, IDS)
                self.assertEqual([(line, number) for line, number, _ in found], expected)

    def test_message_names_the_generated_constant(self):
        (_, _, message), = check_string_ids.cpp_problems("Text(20469);", IDS)
        self.assertIn("ids::kDeadEnd", message)

    def test_python(self):
        found = check_string_ids.python_problems('x = 20469  # 22009\ns = "22009"\n', IDS)
        self.assertEqual([(line, number) for line, number, _ in found], [(1, 20469)])


if __name__ == "__main__":
    unittest.main()
