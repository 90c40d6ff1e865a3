"""gpsweb, the real server over the real service on the sample town, over loopback.

Server: the token, the host and origin checks, bad input, a client leaving mid-request, two
tabs and a burst of requests. Browser: Debian's chromium driven by playwright-core
(browser_drive.mjs) walks the town by the keyboard; its live region must say what the service
says for the same steps, the route it saves must load in the service, and axe-core must find
nothing in any state of the page. The npm packages are installed by `npm ci` into the build.

Arguments: --gpsweb LAUNCHER --runtime libgpsauto.so --maps DIR --source REPOSITORY --build DIR [Server|Browser]
"""
import argparse
import http.client
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from concurrent.futures import ThreadPoolExecutor
from urllib.parse import urlsplit

ARGS = None
START = (45.002, 10.0015)  # Main Street, by the Corner Cafe.


class Gpsweb:
    """A running gpsweb with its own settings and registry; stopped at the end."""

    def __init__(self, cleanup, *options, maps=None, start=START):
        tmp = tempfile.mkdtemp(prefix="gpsweb-")
        cleanup(shutil.rmtree, tmp, True)
        self.settings = os.path.join(tmp, "settings")
        self.registry = os.path.join(tmp, "registry.reg")
        env = dict(os.environ, GPSLIB_REGISTRY=self.registry)
        self.process = subprocess.Popen(
            [ARGS.gpsweb, "--maps", maps or ARGS.maps, "--port", "0", "--settings",
             self.settings] + (["--at", "%f,%f" % start] if start else []) + list(options),
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, text=True)
        cleanup(self.stop)
        line = self.process.stdout.readline()
        if not line.startswith("gpsweb: open "):
            self.stop()
            raise AssertionError("gpsweb did not start: %r %s" % (line, self.errors))
        self.url = line.split()[-1]
        parts = urlsplit(self.url)
        self.host, self.port = parts.hostname, parts.port
        self.token = parts.query.split("=", 1)[1]
        self.origin = "http://%s:%d" % (self.host, self.port)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(timeout=30)
        if not self.process.stderr.closed:
            self.errors = self.process.stderr.read()
            self.process.stderr.close()
            self.process.stdout.close()

    def request(self, method, path, body=None, headers=None, token=True, session=None):
        all_headers = {"Origin": self.origin, "Content-Type": "application/json"}
        if token:
            all_headers["X-Gpsweb-Token"] = self.token
        if session:
            all_headers["X-Gpsweb-Session"] = session
        all_headers.update(headers or {})
        all_headers = {k: v for k, v in all_headers.items() if v is not None}
        if isinstance(body, (dict, list)):
            body = json.dumps(body)
        c = http.client.HTTPConnection(self.host, self.port, timeout=30)
        try:
            c.request(method, path, body=body, headers=all_headers)
            r = c.getresponse()
            data = r.read()
        finally:
            c.close()
        try:
            return r.status, json.loads(data)
        except ValueError:
            return r.status, data.decode("utf-8", "replace")

    def session(self):
        status, answer = self.request("POST", "/api/session", {})
        assert status == 200, answer
        return answer["session"]

    def act(self, session, **request):
        return self.request("POST", "/api/act", request, session=session)


class Server(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.web = Gpsweb(cls.addClassCleanup)

    def test_only_the_token_host_and_origin_of_the_page_are_answered(self):
        web = self.web
        token = "token=" + web.token
        # The token with its last character changed (a random token may end in either letter).
        wrong = web.token[:-1] + ("y" if web.token.endswith("x") else "x")
        cases = [
            ("GET", "/?" + token, {}, True, 200),
            ("GET", "/page.js?" + token, {}, True, 200),
            ("GET", "/", {}, True, 401),
            ("GET", "/?token=" + wrong, {}, True, 401),
            ("POST", "/api/session", {}, False, 401),
            ("POST", "/api/session", {"X-Gpsweb-Token": web.token + "x"}, False, 401),
            ("GET", "/?" + token, {"Host": "attacker.example:%d" % web.port}, True, 403),
            ("POST", "/api/session", {"Origin": "http://attacker.example"}, True, 403),
            ("POST", "/api/session", {"Origin": None}, True, 403),
            ("POST", "/api/session", {"Content-Type": "text/plain"}, True, 415),
            # No request path reaches the file system.
            ("GET", "/../../etc/passwd?" + token, {}, True, 404),
            ("GET", "/routes/..%2F..%2Fetc%2Fpasswd?" + token, {}, True, 404),
            ("GET", "/routes/../session-1/GPSSystemSettings.inf?" + token, {}, True, 404),
            ("GET", "/index.html?" + token, {}, True, 404),
        ]
        for method, path, headers, with_token, want in cases:
            with self.subTest(method=method, path=path, headers=headers):
                status, answer = web.request(method, path, {} if method == "POST" else None,
                                             headers, token=with_token)
                self.assertEqual(status, want, answer)
        status, page = web.request("GET", "/?" + token)
        self.assertIn('src="page.js?token=%s"' % web.token, page)

    def test_bad_input_gets_a_clear_error_and_the_session_goes_on(self):
        web = self.web
        session = web.session()
        raw = [
            ("{not json", 400, "not JSON"),
            ("[1, 2]", 400, "not a JSON object"),
            ('{"do": "place", "lat": NaN, "lon": 10, "heading": 0}', 400, "lat must be a number"),
            ("[" * 100000 + "]" * 100000, 413, "larger than"),
        ]
        for body, want, words in raw:
            with self.subTest(body=body[:40]):
                status, answer = web.request("POST", "/api/act", body, session=session)
                self.assertEqual(status, want)
                self.assertIn(words, answer["error"])
        cases = [
            ({"do": "teleport"}, "unknown action"),
            ({"do": "place", "lat": 91, "lon": 10, "heading": 0}, "lat must be between"),
            ({"do": "place", "lat": 45, "lon": -181, "heading": 0}, "lon must be between"),
            ({"do": "place", "lat": "45", "lon": 10, "heading": 0}, "lat must be a number"),
            ({"do": "find", "text": "x" * 10000}, "longer than 200"),
            ({"do": "address", "city": "Sampleton", "street": "M" * 10000}, "longer than"),
            ({"do": "save", "format": "route", "name": "../../evil"}, "a route name is"),
            ({"do": "save", "format": "exe", "name": "ok"}, "format must be one of"),
            ({"do": "move", "step": "fly"}, "step must be one of"),
            ({"do": "settings", "setting": "language", "value": "xx"}, "value must be one of"),
            ({"do": "start-poi", "index": 5}, "no place 6"),
        ]
        for request, words in cases:
            with self.subTest(request=str(request)[:60]):
                status, answer = web.act(session, **request)
                self.assertEqual(status, 400, answer)
                self.assertIn(words, answer["error"])
        status, answer = web.act(session, do="where")
        self.assertEqual(status, 200)
        self.assertIn("Main Street", answer["text"])

    def test_a_client_leaving_mid_request_harms_nothing(self):
        web = self.web
        for partial in (b"POST /api/act HTTP/1.1\r\nContent-Length: 500\r\n", b"GET /?tok",
                        b"POST /api/act HTTP/1.1\r\nHost: %s:%d\r\nOrigin: %s\r\n"
                        b"X-Gpsweb-Token: %s\r\nContent-Type: application/json\r\n"
                        b"Content-Length: 500\r\n\r\n{\"do\":" % (
                            web.host.encode(), web.port, web.origin.encode(), web.token.encode())):
            s = socket.create_connection((web.host, web.port))
            s.sendall(partial)
            s.close()
        status, _ = web.act(web.session(), do="where")
        self.assertEqual(status, 200)

    def test_two_tabs_and_a_burst_of_requests(self):
        web = self.web
        first, second = web.session(), web.session()
        _, before = web.act(first, do="where")
        count = 200
        requests = [(second, {"do": "move", "step": ("forward", "back", "left", "right")[i % 4]})
                    for i in range(count // 2)]
        requests += [(first, {"do": "where"})] * (count // 2)
        started = time.monotonic()
        with ThreadPoolExecutor(8) as pool:
            results = list(pool.map(lambda r: web.act(r[0], **r[1]), requests))
        seconds = time.monotonic() - started
        print("\n%d requests of two tabs in %.2f s" % (count, seconds), file=sys.stderr)
        self.assertEqual({status for status, _ in results}, {200})
        # The second tab's walk did not move the first tab's walker.
        self.assertEqual({a["text"] for (s, _), (_, a) in zip(requests, results) if s == first},
                         {before["text"]})
        # A fifth page ends the least recently used session, whose page is told to reload.
        for _ in range(4):
            web.session()
        status, answer = web.act(first, do="where")
        self.assertEqual(status, 410)
        self.assertIn("reload the page", answer["error"])

    def test_listening_beyond_the_loopback_warns(self):
        web = Gpsweb(self.addCleanup, "--listen", "0.0.0.0")
        web.stop()
        self.assertIn("warning: listening on 0.0.0.0", web.errors)
        self.assertTrue(web.url.startswith("http://127.0.0.1:"))


class Browser(unittest.TestCase):
    WALK = ["ArrowUp", "w", "ArrowRight", "ArrowUp", "i", "a", "ArrowLeft", "ArrowDown", "x"]

    def setUp(self):
        chromium = shutil.which("chromium")
        if not chromium or not shutil.which("node") or not shutil.which("npm"):
            if os.geteuid() == 0:
                self.fail("chromium, node or npm is missing: make test installs them")
            self.skipTest("chromium, node and npm are needed (make test installs them as root)")
        self.chromium = chromium
        folder = os.path.join(ARGS.build, "tests", "gpsweb", "npm")
        os.makedirs(folder, exist_ok=True)
        here = os.path.dirname(os.path.abspath(__file__))
        lock = os.path.join(here, "package-lock.json")
        stamp = os.path.join(folder, "node_modules", ".package-lock.json")
        if not os.path.exists(stamp) or os.path.getmtime(stamp) < os.path.getmtime(lock):
            for name in ("package.json", "package-lock.json"):
                shutil.copyfile(os.path.join(here, name), os.path.join(folder, name))
            subprocess.run(["npm", "ci", "--no-audit", "--no-fund"], cwd=folder, check=True,
                           timeout=600, stdout=subprocess.DEVNULL)
        self.npm = folder

    def drive(self, web, **scenario):
        """What the page showed, driven in chromium by browser_drive.mjs through `scenario`."""
        scenario.update(url=web.url, chromium=self.chromium)
        path = os.path.join(os.path.dirname(web.settings), "scenario.json")
        with open(path, "w") as f:
            json.dump(scenario, f)
        # Beside its node_modules, where an ES module finds its packages.
        driver = os.path.join(self.npm, "browser_drive.mjs")
        shutil.copyfile(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                     "browser_drive.mjs"), driver)
        run = subprocess.run(["node", driver, path], capture_output=True, text=True, timeout=240)
        self.assertEqual(run.returncode, 0, run.stderr[-3000:])
        seen = json.loads(run.stdout.strip().splitlines()[-1])
        self.assertNotIn("pageErrors", seen)
        return seen

    @staticmethod
    def report(where, seen):
        times = sorted(step["ms"] for step in seen["walk"])
        print("\nkeystroke to answer on %s: median %d ms, slowest %d ms"
              % (where, times[len(times) // 2], times[-1]), file=sys.stderr)

    def test_a_walk_through_vaduz_is_timed(self):
        """The keystrokes' answers on a country's map (reported, not asserted as a timing)."""
        country = os.path.join(ARGS.build, "data", "osm", "Liechtenstein.rmf")
        if not os.path.exists(country):
            self.skipTest("no compiled Liechtenstein map")
        maps = tempfile.mkdtemp(prefix="gpsweb-maps-")
        self.addCleanup(shutil.rmtree, maps, True)
        os.symlink(country, os.path.join(maps, "Liechtenstein.rmf"))
        web = Gpsweb(self.addCleanup, maps=maps, start=(47.13950, 9.52220))  # Vaduz, Städtle
        seen = self.drive(web, walk=self.WALK, walkOnly=True, shots="")
        self.assertTrue(all(step["text"] for step in seen["walk"]), seen["walk"])
        self.assertEqual({step["focus"] for step in seen["walk"]}, {"walk"}, "the focus stays")
        self.report("Liechtenstein", seen)

    def test_a_first_walk_starts_where_the_drawing_is_clicked(self):
        """No start place: the page draws the middle of the maps, and a click places the walker."""
        web = Gpsweb(self.addCleanup, start=None)
        seen = self.drive(web, firstClick=True, shots=os.environ.get("GPSWEB_SCREENSHOTS", ""))
        self.assertEqual(seen["axe"], {"overview": []})
        seen = seen["first"]
        self.assertEqual(seen["walker"], 0, "no walker before the click")
        self.assertGreater(seen["mostPoints"], 2)
        self.assertTrue(seen["click"]["text"])
        self.assertEqual(seen["walkerAfter"], 1, "the walker drawn where the click fell")

    def test_a_keyboard_walk_says_what_the_service_says(self):
        web = Gpsweb(self.addCleanup)
        seen = self.drive(web, walk=self.WALK, place="Town Lib", routeName="desk-walk",
                          unitsKey="Home", shots=os.environ.get("GPSWEB_SCREENSHOTS", ""))

        # The same steps straight through the service, from the same start; then the route the
        # page saved, loaded by the service.
        routes = os.path.join(web.settings, "routes")
        env = dict(os.environ, GPSLIB_REGISTRY=web.registry, GPSLIB_RUNTIME=ARGS.runtime)
        reference = subprocess.run(
            [sys.executable, "-c", REFERENCE, os.path.join(ARGS.source, "python"),
             os.path.join(web.settings, "reference"), ARGS.maps, json.dumps(START),
             os.path.join(routes, "desk-walk.xml")] + self.WALK,
            capture_output=True, text=True, timeout=60, env=env)
        self.assertEqual(reference.returncode, 0, reference.stderr[-2000:])
        expected, route_loads = json.loads(reference.stdout)
        self.assertEqual([step["text"] for step in seen["walk"]], expected)
        self.assertEqual([step["history"] for step in seen["walk"]], expected)
        self.assertEqual({step["focus"] for step in seen["walk"]}, {"walk"}, "the focus stays")
        self.report("the sample town", seen)

        steps = seen["steps"]
        self.assertGreaterEqual(steps["places"], 1)
        self.assertIn("Town Library", steps["find"]["text"])
        self.assertRegex(steps["plan"]["text"], r"\d")
        self.assertEqual(steps["save"]["text"], "Route saved as desk-walk.xml.")
        self.assertEqual(steps["gpx"]["text"], "Route saved as desk-walk.gpx.")
        self.assertEqual(steps["download"], "Download desk-walk.gpx")
        self.assertEqual(steps["routeLines"], 1)
        self.assertGreater(steps["streetLines"], 3)
        self.assertGreater(steps["mostPoints"], 2, "streets drawn as they run, not corner to corner")
        self.assertIn("a route name is", steps["urgent"])
        self.assertEqual(steps["badName"]["focus"], "walk")
        self.assertEqual(steps["units"]["text"], "Units metric.")
        self.assertEqual(steps["units"]["focus"], "units")
        self.assertTrue(steps["click"]["text"])
        # Every state of the page passes axe-core; Tab visits every control in page order.
        self.assertEqual(seen["axe"], {k: [] for k in ("start", "walking", "places", "route",
                                                        "settings")})
        self.assertEqual(seen["tabOrder"], seen["focusables"])

        self.assertIs(route_loads, True, "the saved route loads in the service")
        with open(os.path.join(routes, "desk-walk.gpx")) as f:
            self.assertIn("<rtept", f.read())


REFERENCE = """
import json, sys
sys.path.insert(0, sys.argv[1])
import gpslib
core = gpslib.create("GPS.GPSCore")
core.Start(gpslib.settings_folder(sys.argv[2]), "")
system = core.SystemGetSettings()
system.SetMapPOIDirectory(sys.argv[3] + "/")
core.SystemSetSettings(system)
core.SystemMapsPOIsLoad()
core.SystemSetCurrentMode(gpslib.VirtualMode)
at = gpslib.create("GPS.LocationObject")
at.SetLatitude(json.loads(sys.argv[4])[0])
at.SetLongitude(json.loads(sys.argv[4])[1])
core.VirtualSet(at, 0)


def around():
    found = core.POIsFindNearest(gpslib.VirtualMode)[0]
    config = gpslib.create("GPS.POIDescriptionConfigurationObject")
    config.SetDescriptionDynamic(True)
    texts = core.POIGetLastSearchDescriptions(gpslib.VirtualMode, config)[1]
    return "%d found. %s" % (min(found, 10), texts[0])


steps = {"ArrowUp": core.VirtualForward, "ArrowDown": core.VirtualBackup,
         "ArrowLeft": core.VirtualTurnLeft, "ArrowRight": core.VirtualTurnRight,
         "x": core.VirtualCrossStreet,
         "w": lambda: core.WhereAmI(gpslib.VirtualMode).GetDescription(),
         "i": lambda: core.GetNearestIntersection(gpslib.VirtualMode).GetIntersectionDescription(),
         "a": around}
print(json.dumps([[steps[key]() for key in sys.argv[6:]], core.RouteLoad(sys.argv[5])]))
core.Stop()
"""


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for option in ("--gpsweb", "--runtime", "--maps", "--source", "--build"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
