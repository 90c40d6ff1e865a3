"""gpsnav reaching the whole service as a traveller uses it, on a copy of the sample town of
its own (the personal places are kept beside the maps): routes saved and loaded, directions
written, a recorded walk made a route and followed, lists picked from by number and by name,
places of one's own, and the search words. (The filters against the town's own data:
tests/gpscore/poi/poi_search_test.cpp.)

Arguments: --gpsnav PROGRAM --source REPOSITORY --build BUILD_DIR
"""
import glob
import json
import os
import re
import shutil
import unittest

import gpsnav_test

AT = ("--at", "45.002,10.001")
ENTRY = re.compile(r"^\d+\. ")  # An entry of a numbered list.
LIBRARY = 'dest 45.0031,10.0055 "Town Library"'


class Town(gpsnav_test.Fresh):
    """A runner with its own settings, registry and copy of the sample town."""

    def setUp(self):
        super().setUp()
        self.maps = os.path.join(self.tmp, "maps")
        os.mkdir(self.maps)
        for f in glob.glob(os.path.join(ARGS.build, "data", "sample", "Sampleton.*")):
            shutil.copy(f, self.maps)
        self.runner = gpsnav_test.Runner(self.tmp, self.maps)

    def path(self, name):
        return os.path.join(self.tmp, name)

    def answers(self, *lines, options=("--receiver", "none") + AT):
        """The texts of each command's answer, in order (events left out)."""
        script = "settings units metric\n" + "\n".join(lines) + "\n"
        code, out, err = self.runner.run(script, *options, "--json")
        self.assertEqual(code, 0, err)
        objects = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
        return [o["texts"] for o in objects if "command" in o][2:]


# Neighbourton (tests/support/neighbourton.osm): a corner of two streets with a crossing over
# each: Bay Street's with signals that sound and tactile paving, 16 m west of the corner, where a
# footway crosses from south to north; Dock Lane's unmarked, 11 m north.
BAY_CROSSING = ("Crossing of Bay Street, 11 metres, traffic signals with audible signal, "
                "tactile paving")
DOCK_CROSSING = "Crossing of Dock Lane, unmarked, no signals"


class Crossings(Town):
    """The corner's crossings: listed on asking, added to corner and ahead by the setting, which
    the next run remembers."""

    def setUp(self):
        super().setUp()
        for f in glob.glob(os.path.join(self.maps, "*")):
            os.remove(f)
        osm = os.path.join(ARGS.source, "tests", "support", "neighbourton.osm")
        tool = os.path.join(ARGS.build, "mapbuild", "gpsmap-build")
        done = gpsnav_test.subprocess.run([tool, "--quiet", "--name", "Corner", "--output",
                                           self.maps, osm], capture_output=True, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr.decode())

    def test_the_corner_tells_its_crossings_once_asked(self):
        west = ("--receiver", "none", "--at", "45.002,10.0116")
        corner_plain, listed, switched, corner_told, settings = self.answers(
            "corner", "crossings", "settings crossings on", "corner", "settings", options=west)
        self.assertEqual(len(corner_plain), 1, corner_plain)
        self.assertNotIn("Crossing", corner_plain[0])
        self.assertEqual(listed, ["1. " + BAY_CROSSING, "2. " + DOCK_CROSSING])
        self.assertEqual(switched, ["crossings on."])
        self.assertEqual(corner_told, corner_plain + [BAY_CROSSING + ". " + DOCK_CROSSING + "."])
        self.assertIn("crossings on", settings[0])
        # Remembered by the next run; switched off again, corner is as before.
        remembered, off, plain_again = self.answers("corner", "settings crossings off", "corner",
                                                    options=west)
        self.assertEqual(remembered, corner_told)
        self.assertEqual(plain_again, corner_plain)
        # A walk over the signals: its directions tell the crossing it uses, once.
        south = ("--receiver", "none", "--at", "45.0016,10.0118")
        *_, directions = self.answers("settings crossings on", 'dest 45.0024,10.0118 "North"',
                                      "route walk", "route directions all", options=south)
        told = [d for d in directions if BAY_CROSSING in d]
        self.assertEqual(len(told), 1, directions)
        self.assertNotIn(DOCK_CROSSING, " ".join(directions))
        # Bad input: a word that is no switch is the usage; the setting stays on.
        bad, still = self.answers("settings crossings loud", "corner", options=west)
        self.assertIn("settings", " ".join(bad).lower())
        self.assertEqual(still, corner_told)


class Routes(Town):
    def test_a_saved_route_loads_back_the_same(self):
        # One format proves the path; the service's own tests read both formats field by field.
        path = self.path("trip.xml")
        saved = self.answers(LIBRARY, "route walk", "route save " + path)
        self.assertEqual(saved[-1], ["Route saved to %s." % path])
        with open(path, "rb") as f:
            first = f.read()
        loaded = self.answers("route load " + path, "route save " + path)
        self.assertEqual(loaded[0], ["Route loaded, 4 waypoints. Total route distance: "
                                     "0.46 kilometres."])
        with open(path, "rb") as f:
            self.assertEqual(f.read(), first)

    def test_directions_listed_and_written(self):
        texts = self.answers(LIBRARY, "route walk", "route directions",
                             "route directions %s" % self.path("trip.txt"),
                             "route directions %s all plain" % self.path("trip.txt"))
        self.assertEqual(texts[2], ["Total route distance: 0.46 kilometres.",
                                    "1. Waypoint 1, Main Street.",
                                    "2. Waypoint 2, Oak Avenue and Main Street. Turn left onto "
                                    "Oak Avenue.",
                                    "3. Waypoint 3, North Street and Oak Avenue. Turn right onto "
                                    "North Street.",
                                    "4. Waypoint 4, Town Library."])
        end = "Town Library. You have arrived at your destination."
        for file, answer, last in (("trip_turns.txt", texts[3], "Waypoint 4, " + end),
                                   ("trip_all_waypoints.txt", texts[4], end)):
            self.assertEqual(answer, ["Directions written to %s." % self.path(file)])
            with open(self.path(file), encoding="cp1252", newline="") as f:
                lines = f.read().split("\r\n")
            self.assertEqual(lines[0], "Walking route.")
            self.assertEqual(lines[-3], last)

    def test_files_that_are_no_route_leave_the_route(self):
        good = self.path("good.xml")
        self.answers(LIBRARY, "route walk", "route save " + good)
        with open(self.path("huge.xml"), "wb") as f:
            f.truncate(65 << 20)
        with open(self.path("nofix.trc"), "w") as f:
            f.write("$GPGSA,A,1,,,,,,,,,,,,,,,*1E\r\n")
        cases = [
            ("route load " + self.path("none.xml"), "No such file: "),
            ("route load " + self.tmp, "No such file: "),
            ("route load " + self.path("huge.xml"), self.path("huge.xml") + " is not a route"),
            ("route from " + self.path("nofix.trc"), self.path("nofix.trc") + " holds no "
             "position to make a route from. The route is unchanged."),
            ("route from " + self.path("huge.xml"), self.path("huge.xml") + " is too large"),
            ("route save " + self.path("no/such/folder.xml"), "The route could not be saved"),
            ("route 9", "No waypoint 9: the route has 4 waypoints."),
            ("route from", "usage: route "),
        ]
        commands = [c for c, _ in cases]
        texts = self.answers("route load " + good, "route directions", *commands,
                             "route directions")
        for (command, said), answer in zip(cases, texts[2:]):
            self.assertEqual(len(answer), 1, command)
            self.assertTrue(answer[0].startswith(said), (command, answer))
        self.assertEqual(texts[-1], texts[1], "the route is still the one loaded")

    def test_a_recorded_walk_becomes_a_route_followed_to_its_end(self):
        trace = os.path.join(ARGS.source, "data", "demo", "sampleton-walk.trc")
        walk = self.path("walk.trc")
        script = "\n".join(["record " + walk, "wait 440", "route from " + walk,
                            "replay " + walk, "follow", "echo following", "wait 440"]) + "\n"
        lines = self.runner.run(script, "--receiver", trace, "--speed", "1000")[1].splitlines()
        made = [l for l in lines if l.startswith("Recording stopped. Route made from " + walk)]
        self.assertEqual(len(made), 1, lines)
        followed = lines[lines.index("following"):]
        self.assertIn("You have arrived at your destination.", followed)
        self.assertNotIn("You are off the route.", followed)


class Choices(Town):
    def test_address_steps_list_several_and_take_a_pick_by_number_or_name(self):
        texts = self.answers(
            "address city Sample", "address street Road", "address number 1", "pick 9",
            "pick 2", "address street Road", "pick station", "address street Avenue",
            'pick "Oak Avenue"', "address street elm", "address number 14", "pick 14 к2",
            "dest address")
        self.assertEqual(texts[:3], [["Sampleton"],
                                     ["1. Cedar Road", "2. Harbour Road", "3. Pine Road",
                                      "4. Station Road"],
                                     ["Pick the street first: pick a number or a name of the "
                                      "list."]])
        self.assertEqual(texts[3:7], [["No entry 9: the list has 4 entries."], ["Harbour Road"],
                                      texts[1], ["Station Road"]])
        self.assertEqual(texts[8:12], [["Oak Avenue"], ["Elm Street"],
                                       ["1. 14 к1 Elm Street: Elm Street and Main Street, "
                                        "Sampleton, 12345",
                                        "2. 14 к2 Elm Street: Elm Street and Main Street, "
                                        "Sampleton, 12345"],
                                       ["14 к2 Elm Street"]])
        self.assertTrue(texts[12][0].startswith("14 к2 Elm Street, Sampleton, "), texts[12])

    def test_lists_go_on_with_more_and_are_heard_again(self):
        texts = self.answers("around east within 300m", "more", "more", "list", "again",
                             "pick sample", "pick 2", "dest poi nowhere", "again")
        first, rest = texts[0], texts[1]
        self.assertEqual(len(first), 6)
        self.assertEqual(first[5], "3 more; type more to hear them.")
        self.assertEqual([t.split(".")[0] for t in rest], ["6", "7", "8"])
        self.assertEqual(texts[2:5], [["That is the whole list."], first, first])
        self.assertEqual(texts[5][0], "3 are called sample; pick one:")
        self.assertEqual([t.split(",")[0] for t in texts[5][1:]],
                         ["1. Sample Bank", "2. Sample Bank ATM", "3. Sampleton Post Office"])
        self.assertTrue(texts[6][0].startswith("Sample Bank ATM, "), texts[6])
        self.assertEqual(texts[7:], [["Nothing in the list is called nowhere."]] * 2)


class Places(Town):
    def test_a_place_marked_found_renamed_and_deleted(self):
        texts = self.answers(
            'mark "Kerb cut" community note "Ramp to the crossing"', "mark Nowhere bogus",
            "places", "around community within 50m", 'rename 1 "Low kerb"', "places",
            "delete low", "places", "around community within 50m",
            "fav add Home", "fav rename home Flat", "fav", "fav delete 1", "fav")
        self.assertEqual(texts[0], ["Marked Kerb cut."])
        self.assertTrue(texts[1][0].startswith("No category bogus. Categories: Accommodation"))
        self.assertEqual(texts[2], ["1. Kerb cut, Community, Close by"])
        self.assertEqual(texts[3][0].split(",")[0], "1. Kerb cut")
        self.assertEqual(texts[4:8], [["Kerb cut renamed to Low kerb."],
                                      ["1. Low kerb, Community, Close by"],
                                      ["Low kerb deleted."],
                                      ["No places of your own yet: mark one with mark NAME."]])
        self.assertNotIn("Kerb", " ".join(texts[8]))
        self.assertEqual(texts[9:], [["Added to the favorites."],
                                     ["Favorite Home renamed to Flat."],
                                     ["1. Flat, Close by"], ["Favorite Flat deleted."],
                                     ["No favorites."]])


class Filters(Town):
    def test_whole_words_and_beginnings(self):
        # The word reaches the service as its match mode (the modes themselves:
        # tests/database/text_test.cpp).
        texts = self.answers("find ban whole", "find ban")
        firsts = [sorted(t.split(". ", 1)[1].split(",")[0] for t in answer if ENTRY.match(t))
                  for answer in texts]
        self.assertEqual(firsts, [[], ["Sample Bank", "Sample Bank ATM"]])


if __name__ == "__main__":
    ARGS, argv = gpsnav_test.parse_arguments()
    unittest.main(argv=argv)
