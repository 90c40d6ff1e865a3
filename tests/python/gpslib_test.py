"""The gpslib Python package, a late-bound client that knows nothing of our headers (it defines
VARIANT, DISPPARAMS and EXCEPINFO itself and calls IDispatch through the vtable), against the
real modules registered by the real gpsreg in a temporary store: the structures' layout, objects
by ProgID, calls with out parameters and lists, errors carrying their status, an event callback,
and the demo's walk from Python giving the demo's events.

Arguments: --runtime libgpsauto.so --gpsreg TOOL --resources GPSResources_EN.dll --maps DIR
           --source REPOSITORY --gpsnav PROGRAM MODULE...
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ARGS = None
gpslib = None


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        tmp = tempfile.TemporaryDirectory()
        cls.addClassCleanup(tmp.cleanup)
        cls.tmp = tmp.name
        os.environ["GPSLIB_REGISTRY"] = os.path.join(tmp.name, "registry.reg")
        os.environ["GPSLIB_RESOURCES"] = ARGS.resources
        for module in ARGS.modules:
            subprocess.run([ARGS.gpsreg, module], check=True, capture_output=True)
        gpslib.runtime(ARGS.runtime)

    def started_core(self, name):
        core = gpslib.create("GPS.GPSCore")
        settings = gpslib.settings_folder(os.path.join(self.tmp, name))
        self.assertTrue(settings.endswith("/"))
        self.assertRegex(core.Start(settings, ""), "^NO MAPS FOUND")
        self.addCleanup(core.Stop)
        return core

    def test_structures_have_the_usual_layout(self):
        from ctypes import sizeof
        from gpslib._runtime import DECIMAL, DISPPARAMS, EXCEPINFO, VARIANT, _Record, _Tagged
        layout = [
            (sizeof(VARIANT), 24), (VARIANT.vt.offset, 0), (VARIANT.decVal.offset, 0),
            (_Tagged.value.offset, 8), (_Record.pRecInfo.offset, 8), (sizeof(DECIMAL), 16),
            (sizeof(DISPPARAMS), 24), (sizeof(EXCEPINFO), 64), (EXCEPINFO.scode.offset, 56),
        ]
        for got, want in layout:
            self.assertEqual(got, want)

    def test_the_settings_folder_holds_the_module_of_the_language_asked_for(self):
        folder = os.path.join(self.tmp, "languages")
        built = os.path.dirname(ARGS.resources)

        def holds(name):
            with open(os.path.join(folder, gpslib.STRING_MODULE), "rb") as f, \
                    open(os.path.join(built, name), "rb") as g:
                return f.read() == g.read()

        settings = gpslib.settings_folder(folder, language="de_DE.UTF-8")
        self.assertTrue(holds("GPSResources_DE.dll"))
        self.assertTrue(holds("GPSResources_DE.dll"), gpslib.settings_folder(folder))
        core = gpslib.create("GPS.GPSCore")
        core.Start(settings, "")
        self.addCleanup(core.Stop)
        self.assertIn("Kartendaten", core.SystemGetCopyright())
        with self.assertRaisesRegex(ValueError, "the languages are en, de, fr, es, it, pt-BR"):
            gpslib.settings_folder(folder, language="xx")
        # A damaged module of the language: English, and a warning saying so.
        modules = os.path.join(self.tmp, "modules")
        os.makedirs(modules)
        shutil.copyfile(ARGS.resources, os.path.join(modules, "GPSResources_EN.dll"))
        with open(os.path.join(modules, "GPSResources_FR.dll"), "wb") as f:
            f.write(b"GPSLSTRT cut short")
        os.environ["GPSLIB_RESOURCES"] = os.path.join(modules, "GPSResources_EN.dll")
        self.addCleanup(os.environ.__setitem__, "GPSLIB_RESOURCES", ARGS.resources)
        with self.assertWarnsRegex(UserWarning, "fr string module is missing or damaged"):
            gpslib.settings_folder(folder, language="fr")
        self.assertTrue(holds("GPSResources_EN.dll"))
        # Damaged in the folder itself: the service speaks its installed English table.
        with open(os.path.join(folder, gpslib.STRING_MODULE), "wb") as f:
            f.write(b"GPSLSTRT cut short")
        english = gpslib.create("GPS.GPSCore")
        self.assertNotIn("NO STRING RESOURCES", english.Start(settings, ""))
        self.addCleanup(english.Stop)
        self.assertIn("Map data", english.SystemGetCopyright())

    def test_values_cross_as_python_values(self):
        here = gpslib.create("GPS.LocationObject")
        there = gpslib.create("GPS.LocationObject")
        cases = [
            ("SetLatitude", (45.002,), "GetLatitude", 45.002),
            ("SetLongitude", (10.001,), "GetLongitude", 10.001),
            ("SetName", ("Bibliothèque 𝄞",), "GetName", "Bibliothèque 𝄞"),
            ("SetLatitudeDegreesMinutesSeconds", (45, 30, 36.0), "GetLatitude", 45.51),
        ]
        for setter, args, getter, want in cases:
            self.assertIsNone(getattr(here, setter)(*args))
            got = getattr(here, getter)()
            if isinstance(want, float):
                self.assertAlmostEqual(got, want, places=6)
            else:
                self.assertEqual(got, want)
        here.SetLatitude(45.002)
        there.SetLatitude(45.003)
        there.SetLongitude(10.001)
        # 111 metres on the service's sphere, in the units of the moment (metres or feet).
        self.assertIn(here.GetDistance(there), (111, 364))
        self.assertIs(here.IsValid(), True)

    def test_out_parameters_come_back_as_a_tuple_with_the_status_false_not_an_error(self):
        results = gpslib.create("GPS.POIResults")
        hits = [("Main Street Cafe", 42), ("", -7), ("Bibliothèque 𝄞", 70000)]
        for name, key in hits:
            results.Add(name, key)
        for index, (name, key) in enumerate(hits):
            self.assertEqual(results.GetItem(index), (name, key))
        self.assertEqual(results.GetItem(len(hits)), ("", -1), "S_FALSE is an answer")

    def test_lists_objects_and_errors(self):
        core = self.started_core("lists")
        self.assertEqual(core.GetLastTenAutomaticEvents(), [])
        settings = core.GPSGetDefaultSettings()
        self.assertIsInstance(settings, gpslib.Object)
        self.assertEqual(settings.GetGPSBaudRate(), 4800)
        cases = [
            (lambda: core.GPSStartRecording("x" * 300), 0x80070057),
            (lambda: core.RegisterUIAutoEventCallback(None), 0x80004003),
            (lambda: core.query("INoSuchInterface"), 0x80004002),  # an unknown interface
        ]
        for call, status in cases:
            with self.assertRaises(gpslib.Error) as caught:
                call()
            self.assertEqual(caught.exception.status, status)
        with self.assertRaises(AttributeError):
            core.NoSuchMethod()
        with self.assertRaises(TypeError):
            core.GetHeadingDegrees(object())
        # The walker's interface beside IGPSCore, reached by its name.
        walker = core.query("IGPSPedestrian")
        self.assertIs(walker.GetAnnounceCrossings(), False)
        walker.SetAnnounceCrossings(True)
        self.assertIs(core.query("IGPSPedestrian").GetAnnounceCrossings(), True)
        with self.assertRaises(AttributeError):
            core.GetAnnounceCrossings()

    def test_the_generated_enumerations_are_the_numbers_the_service_answers(self):
        """gpslib.enums, generated from the type libraries, names what the service answers, and
        its members go in as the service's numbers."""
        E = gpslib.enums
        core = self.started_core("enums")
        cases = [  # (of, getter, enumeration, the service's default, a value set and read back)
            ("core", "SystemGetCurrentMode", E.Mode, E.GPSMode, E.VirtualMode),
            ("system", "GetUnits", E.Units, E.Imperial, E.Metric),
            ("system", "GetHeadingMode", E.RelativeHeadingType, E.AheadLeft,
             E.LeftRightDegreesCompass),
        ]
        for step in ("default", "set"):
            system = core.SystemGetSettings()
            for of, getter, enumeration, default, other in cases:
                answer = getattr({"core": core, "system": system}[of], getter)()
                self.assertIs(enumeration(answer), default if step == "default" else other)
            core.SystemSetCurrentMode(E.VirtualMode)
            system.SetUnits(E.Metric)
            system.SetHeadingMode(E.LeftRightDegreesCompass)
            core.SystemSetSettings(system)

    def test_events_reach_a_python_function(self):
        core = self.started_core("events")
        seen = []
        sink = gpslib.EventSink(seen.append)
        core.RegisterUIAutoEventCallback(sink)
        core.EnableHistoryOfAutomaticEvents(True)
        receiver = core.GPSGetSettings()
        receiver.SetGPSReceiverType(gpslib.enums.GPSTypeSimulated)
        receiver.SetSimulatedGPSFile(os.path.join(ARGS.source, "data", "demo",
                                                  "sampleton-walk.trc"))
        self.assertIs(core.GPSSetSettings(receiver), True)
        for _ in range(3):
            core.GPSForcePoll()
        self.assertEqual(sink.errors, [])
        E = gpslib.enums.EventType
        self.assertEqual([E(e.type) for e in seen],
                         [E.EventGPSConnectionGained, E.EventGPSGainedFix])
        self.assertEqual(seen[0].description, "GPS receiver connected.")
        self.assertAlmostEqual(seen[1].latitude, 45.002, places=4)
        history = core.GetLastTenAutomaticEvents()
        self.assertEqual([E(e.GetEventType()) for e in history],
                         [E.EventGPSGainedFix, E.EventGPSConnectionGained], "newest first")

    def test_the_demo_walk_from_python_gives_the_events_gpsnav_gives(self):
        env = dict(os.environ, GPSLIB_RUNTIME=ARGS.runtime)  # PYTHONPATH: the package's.
        example = os.path.join(ARGS.source, "python", "examples", "walk.py")
        trace = os.path.join(ARGS.source, "data", "demo", "sampleton-walk.trc")
        done = subprocess.run([sys.executable, example, trace, "--maps", ARGS.maps,
                               "--dest", "45.0031,10.0055,Town Library", "--seconds", "430"],
                              capture_output=True, env=env, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr.decode())
        from_python = [line for line in done.stdout.decode().splitlines()
                       if line[:1].isdigit()]
        # gpsnav on the same walk with the same destination and words (metric, clock face).
        script = ("settings units metric\nsettings heading clock\n"
                  'dest 45.0031,10.0055 "Town Library"\nwait 430\n')
        demo = subprocess.run([ARGS.gpsnav, "--settings", os.path.join(self.tmp, "nav") + "/",
                               "--maps", ARGS.maps, "--receiver", trace, "--speed", "200",
                               "--json"], input=script.encode(), capture_output=True, env=env,
                              timeout=120)
        events = [json.loads(line) for line in demo.stdout.decode().splitlines()
                  if line.startswith('{"event"')]
        from_gpsnav = ["%d:%02d %s" % (e["time"] // 60, e["time"] % 60, e["text"])
                       for e in events]
        self.assertGreaterEqual(len(from_gpsnav), 4)
        self.assertEqual(from_python, from_gpsnav)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for option in ("--runtime", "--gpsreg", "--resources", "--maps", "--source", "--gpsnav"):
        parser.add_argument(option, required=True)
    parser.add_argument("modules", nargs="+")
    ARGS, rest = parser.parse_known_args()
    sys.path.insert(0, os.path.join(ARGS.source, "python"))
    import gpslib  # noqa: E402
    unittest.main(argv=[sys.argv[0]] + rest)
