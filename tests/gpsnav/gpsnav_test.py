"""gpsnav as its users meet it: scripted and JSON runs on the sample town, bad input, a closed
output, the interactive terminal through a pseudo-terminal (prompt, completion, events arriving
while a command is typed, Ctrl-C), the demo walk against its stored transcript, and speech.

Arguments: --gpsnav PROGRAM --source REPOSITORY --build BUILD_DIR

The demo transcripts: tests/gpsnav/demo_transcript*.txt. Regenerate them with
    GPSNAV_REGENERATE=1 ctest --test-dir build -R Gpsnav.Demo
"""
import argparse
import json
import os
import pty
import select
import signal
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import wave

ARGS = None


REGISTERED = "Registered the service modules in "


def english_environment(lang="C"):
    """The environment with LANG set and no LC_ALL or LC_MESSAGES, so that gpsnav speaks the
    language the test expects whatever the developer's locale."""
    env = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_MESSAGES")}
    env["LANG"] = lang
    return env


class Runner:
    """Runs gpsnav in a settings folder and a registry store of its own."""

    def __init__(self, tmp, maps=None):
        self.tmp = tmp
        self.maps = maps or os.path.join(ARGS.build, "data", "sample")
        self.settings = os.path.join(tmp, "settings") + "/"
        self.registered = False
        self.env = dict(english_environment(), GPSLIB_REGISTRY=os.path.join(tmp, "registry.reg"),
                        HOME=tmp, XDG_CONFIG_HOME=os.path.join(tmp, "config"))

    def command(self, *options):
        return [ARGS.gpsnav, "--settings", self.settings, "--maps", self.maps] + list(options)

    def run(self, script, *options, timeout=60):
        """(exit code, output less the first run's registration line, errors)."""
        done = subprocess.run(self.command(*options), input=script.encode(),
                              capture_output=True, env=self.env, timeout=timeout)
        out = done.stdout.decode()
        if out.startswith(REGISTERED):
            self.registered = True
            out = out[out.index("\n") + 1:]
        return done.returncode, out, done.stderr.decode()


def start_lines(receiver="none"):
    return ["gpslib 3.3", "Service started.", "1 map loaded.", "Receiver: " + receiver]


class Fresh(unittest.TestCase):
    """Each test with a runner in a temporary folder of its own."""

    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.tmp = tmp.name
        self.runner = Runner(tmp.name)


class Scripted(Fresh):
    def test_answers_are_plain_lines_of_the_service_text(self):
        script = "\n".join([
            "help where", "wher", "status", "settings units metric", "mode", "mode virtual",
            "mode gps", 'dest 45.0031,10.0055 "Town Library"', "dest 91,0", "route fly",
            "echo done", 'find "open', "quit", "echo never"]) + "\n"
        code, out, err = self.runner.run(script, "--receiver", "none")
        self.assertEqual(code, 0, err)
        self.assertEqual(out.splitlines(), start_lines() + [
            "where (w) [LAT,LON]: Where am I: the street, the house number and the city.",
            "Unknown command wher. Did you mean where?",
            "No GPS receiver is selected.",
            "Units metric.",
            "Mode gps.",
            "Mode virtual.",
            "Mode gps.",
            "There is no GPS position yet.",
            "usage: dest [LAT,LON [NAME] | here | poi|fav|history|note|place N|NAME | address | "
            "clear]",
            "usage: route walk | drive | from FILE [walk|drive] | next | back | first | last | N "
            "| status | reverse | recalc | save FILE | load FILE | directions [FILE] "
            "[turns|all] [numbered|plain] | close",
            "done",
            "A quote is not closed.",
        ])
        self.assertTrue(self.runner.registered, "the first run registers the modules")

    def test_windows_line_ends_and_comments_read_as_plain_lines(self):
        script = "# a comment\necho one\nmode\n\necho two\n"
        unix = self.runner.run(script, "--receiver", "none")
        windows = self.runner.run(script.replace("\n", "\r\n"), "--receiver", "none")
        self.assertEqual(unix, windows)
        self.assertEqual(unix[1].splitlines()[-3:], ["one", "Mode gps.", "two"])

    def test_strict_stops_at_the_first_failure(self):
        cases = [
            ([], "echo one\nbogus\necho two\n", 0, True),
            (["--strict"], "echo one\nbogus\necho two\n", 1, False),
            (["--strict"], "echo one\nroute\necho two\n", 1, False),
            (["--strict"], "echo one\necho two\n", 0, True),
        ]
        for options, script, want_code, two in cases:
            code, out, _ = self.runner.run(script, "--receiver", "none", *options)
            self.assertEqual(code, want_code, (options, script))
            self.assertEqual("two" in out.splitlines(), two, (options, script, out))

    def test_script_file_option(self):
        path = os.path.join(self.tmp, "commands.txt")
        with open(path, "wb") as f:
            f.write(b"echo from the file\r\n")
        code, out, _ = self.runner.run("echo from stdin\n", "--receiver", "none",
                                       "--script", path)
        self.assertEqual(code, 0)
        self.assertIn("from the file", out.splitlines())
        self.assertNotIn("from stdin", out)

    def test_json_lines_carry_command_status_texts_and_events(self):
        trace = os.path.join(ARGS.source, "data", "demo", "sampleton-walk.trc")
        code, out, err = self.runner.run("settings units metric\nwait 3\nstatus\nnowhere\nroute\n", "--json",
                                         "--receiver", trace, "--speed", "100")
        self.assertEqual(code, 0, err)
        objects = [json.loads(line) for line in out.splitlines()]
        commands = [o for o in objects if "command" in o]
        events = [o for o in objects if "event" in o]
        self.assertEqual([(c["command"], c["status"]) for c in commands],
                         [("start", "ok"), ("settings", "ok"), ("wait", "ok"), ("status", "ok"),
                          ("nowhere", "unknown"), ("route", "usage")])
        self.assertEqual(commands[3]["texts"], ["Accurate to about 5 metres, 8 satellites."])
        self.assertEqual([e["event"] for e in events][:2],
                         ["GPSConnectionGained", "GPSGainedFix"])
        for e in events:
            self.assertEqual(set(e), {"event", "type", "urgency", "time", "text", "latitude",
                                      "longitude"})
            self.assertAlmostEqual(e["latitude"], 45.002, places=3)
            self.assertAlmostEqual(e["longitude"], 10.001, places=3)

    def test_bad_options_give_one_line_and_exit_code_2(self):
        cases = [["--speed", "0"], ["--at", "95,0"], ["--frobnicate"], ["--maps"],
                 ["--script", "/nonexistent/script"], ["--speak=festival"], ["--rate", "5"]]
        for options in cases:
            code, out, err = self.runner.run("", *options)
            self.assertEqual(code, 2, options)
            self.assertEqual(out, "", options)
            self.assertTrue(err.startswith("gpsnav: "), (options, err))

    def test_a_receiver_that_is_not_there_is_said_and_the_run_goes_on(self):
        cases = [("/nonexistent/walk.trc", "No such receiver, trace or GPX file: "),
                 ("/dev/nothing", "A receiver device ends in its number"),
                 ("gpsd://localhost:99999", "A gpsd port is a number from 1 to 65535")]
        for receiver, message in cases:
            code, out, _ = self.runner.run("echo still here\n", "--receiver", receiver)
            self.assertEqual(code, 0, receiver)
            self.assertTrue(any(line.startswith(message) for line in out.splitlines()),
                            (receiver, out))
            self.assertIn("still here", out.splitlines())

    def test_a_virtual_start_answers_from_that_place(self):
        code, out, _ = self.runner.run("settings units metric\ndest 45.0031,10.0055 Library\n",
                                       "--receiver", "none", "--at", "45.002,10.001")
        self.assertEqual(code, 0)
        lines = out.splitlines()
        # Where the virtual walker is not built yet, the receiver is placed there instead.
        self.assertTrue(lines[4] in ("Virtual position set.",
                                     "Virtual exploration is not available yet; the receiver is "
                                     "placed at the position instead."), lines)
        self.assertRegex(lines[-1], r"^Library, 0\.3[67] kilometres, ")

    def test_a_gpx_track_replays_through_gpxtrace_when_it_is_there(self):
        gpx = os.path.join(ARGS.source, "data", "demo", "sampleton-walk.gpx")
        beside = os.path.join(ARGS.build, "apps", "gpxtrace", "gpxtrace")
        have_tool = os.path.exists(beside) or shutil.which("gpxtrace") is not None
        code, out, _ = self.runner.run("wait 3\necho after\n", "--receiver", gpx,
                                       "--speed", "100")
        self.assertEqual(code, 0)
        lines = out.splitlines()
        if have_tool:
            self.assertIn("Receiver: " + gpx, lines)
            self.assertIn("GPS receiver connected.", lines)
        else:
            self.assertIn("Replaying a GPX track needs gpxtrace, which is not installed yet or "
                          "could not read %s." % gpx, lines)
        self.assertEqual(lines[-1], "after")

    def test_a_closed_output_ends_the_run_with_exit_code_4(self):
        process = subprocess.Popen(self.runner.command("--receiver", "none"),
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, env=self.runner.env)
        process.stdout.close()
        process.stdin.write(b"echo one\n" * 100)
        process.stdin.close()
        self.assertEqual(process.wait(timeout=60), 4)
        self.assertTrue(os.path.exists(self.runner.settings + "GPSSystemSettings.inf"),
                        "the service was stopped and saved its settings")


class Terminal(Fresh):
    """gpsnav on a pseudo-terminal, as a user at a terminal meets it."""

    def setUp(self):
        super().setUp()
        self.output = b""
        self.seen = 0

    def start(self, *options):
        pid, fd = pty.fork()
        if pid == 0:
            os.execve(ARGS.gpsnav, self.runner.command(*options), self.runner.env)
        self.pid, self.fd = pid, fd
        self.addCleanup(self.stop)

    def stop(self):
        try:
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
        except (ProcessLookupError, ChildProcessError):
            pass
        os.close(self.fd)

    def expect(self, text, timeout=20):
        """Reads until `text` is printed after the previous match; returns what came between."""
        deadline = time.time() + timeout
        wanted = text.encode()
        while wanted not in self.output[self.seen:]:
            left = deadline - time.time()
            if left <= 0:
                self.fail("%r not printed; got %r" % (text, self.output[self.seen:]))
            ready, _, _ = select.select([self.fd], [], [], left)
            if ready:
                try:
                    chunk = os.read(self.fd, 4096)
                except OSError:
                    chunk = b""
                if not chunk:
                    self.fail("gpsnav ended before %r; got %r" % (text, self.output[self.seen:]))
                self.output += chunk
        end = self.output.index(wanted, self.seen) + len(wanted)
        came = self.output[self.seen:end].decode(errors="replace")
        self.seen = end
        return came

    def type(self, keys):
        os.write(self.fd, keys.encode())

    def exit_code(self, timeout=20):
        deadline = time.time() + timeout
        while time.time() < deadline:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                return os.waitstatus_to_exitcode(status)
            try:
                select.select([self.fd], [], [], 0.1)
                os.read(self.fd, 4096)
            except OSError:
                pass
        self.fail("gpsnav did not end")

    def test_prompt_commands_completion_and_quit(self):
        self.start("--receiver", "none")
        self.expect("gpsnav> ")
        self.type("help corner\r")
        self.expect("corner (c): The nearest intersection.")
        self.expect("gpsnav> ")
        # Tab completes a command and then its first argument (the answer shows that the line
        # read "settings units metric").
        self.type("sett\t")
        time.sleep(0.3)
        self.type("uni\t")
        time.sleep(0.3)
        self.type("metric\r")
        self.expect("Units metric.")
        self.expect("gpsnav> ")
        self.type("quit\r")
        self.assertEqual(self.exit_code(), 0)

    def test_events_arrive_while_a_command_is_typed_and_the_line_survives(self):
        trace = os.path.join(ARGS.source, "data", "demo", "sampleton-walk.trc")
        self.start("--receiver", trace, "--speed", "2")
        self.expect("gpsnav> ")
        self.type("ech")
        # The receiver connects after the first poll: its event is printed, then the prompt and
        # the part of the line already typed come back.
        self.expect("GPS receiver connected.")
        self.expect("gpsnav> ech")
        self.type("o typed on\r")
        self.expect("typed on")
        self.type("quit\r")
        self.assertEqual(self.exit_code(), 0)

    def test_ctrl_c_drops_the_line_at_the_prompt_and_stops_a_long_command(self):
        self.start("--receiver", "none", "--at", "45.002,10.001")
        self.expect("gpsnav> ")
        self.type("echo dropped")
        self.expect("dropped")
        self.type("\x03")
        self.expect("gpsnav> ")
        self.type("echo kept\r")
        out = self.expect("kept\r\n")
        self.assertNotIn("dropped", out)
        self.expect("gpsnav> ")
        # Ctrl-C while a list is being heard: the session goes on and the list is still there.
        self.type("around\r")
        self.expect("5. ")
        self.type("\x03")
        time.sleep(0.5)
        self.type("list\r")
        self.expect("1. FreshMart")
        self.expect("gpsnav> ")
        self.type("wait 600\r")
        time.sleep(0.5)
        self.type("\x03")
        self.expect("Interrupted: the service stopped and the settings are saved.")
        self.assertEqual(self.exit_code(), 130)
        self.assertTrue(os.path.exists(self.runner.settings + "GPSSystemSettings.inf"))


def run_demo(tmp, *options):
    env = dict(english_environment(), GPSLIB_REGISTRY=os.path.join(tmp, "registry.reg"))
    build = os.path.join(tmp, "build")
    os.makedirs(os.path.join(build, "apps", "gpsnav"))
    os.symlink(ARGS.gpsnav, os.path.join(build, "apps", "gpsnav", "gpsnav"))
    os.symlink(os.path.join(ARGS.build, "data"), os.path.join(build, "data"))
    script = os.path.join(ARGS.source, "data", "demo", "run-demo.sh")
    return subprocess.run(["sh", script, build] + list(options), capture_output=True, env=env,
                          timeout=120)


NOT_AVAILABLE = "not available yet"


def compare_transcript(stored, actual):
    """None when `actual` matches the stored transcript, else a message.

    Exact, except while the stored transcript still has answers the service did not give yet
    (its "not available yet" lines): then each such line may have become any answer, and lines
    the service now adds may appear; every other stored line must still come, in order."""
    if NOT_AVAILABLE not in "\n".join(stored):
        return None if stored == actual else "the transcript differs"
    at = 0
    for line in stored:
        if NOT_AVAILABLE in line:
            continue
        while at < len(actual) and actual[at] != line:
            at += 1
        if at == len(actual):
            return "missing from the walk: %r" % line
        at += 1
    return None


def transcript(code):
    suffix = "" if code == "en" else "_" + code
    return os.path.join(ARGS.source, "tests", "gpsnav", "demo_transcript%s.txt" % suffix)


class Demo(unittest.TestCase):
    def test_the_demo_walk_in_each_language(self):
        """The demo walk at a hundred times its speed (the walk's time is counted in polls, so the
        transcript is the one of its own speed) against its stored transcript in each language:
        English's as compare_transcript allows; every other language exactly, with the same
        events at the same times as the English walk."""
        english = None
        for code in ("en", "de", "fr", "es", "it", "pt-BR"):
            options = ("--speed", "1000") + (() if code == "en" else ("--language", code))
            with self.subTest(code), tempfile.TemporaryDirectory() as tmp:
                done = run_demo(tmp, *options)
                self.assertEqual(done.returncode, 0, done.stderr.decode())
                # The registration line depends on the store; the walk starts after it.
                actual = [line for line in done.stdout.decode().splitlines()
                          if REGISTERED not in line]
                if os.environ.get("GPSNAV_REGENERATE"):
                    with open(transcript(code), "w") as f:
                        f.write("\n".join(actual) + "\n")
                    continue
                with open(transcript(code)) as f:
                    stored = f.read().splitlines()
                if code == "en":
                    english = stored
                    message = compare_transcript(stored, actual)
                    self.assertIsNone(message, "%s\nRegenerate with: GPSNAV_REGENERATE=1 ctest "
                                      "--test-dir build -R Gpsnav.Demo\nThe walk printed:\n%s"
                                      % (message, "\n".join(actual)))
                    continue
                self.assertEqual([line.split(" ")[0] for line in actual],
                                 [line.split(" ")[0] for line in english])
                self.assertEqual(actual, stored)


class Languages(Fresh):
    DEST = "dest 45.0031,10.0055 Library\n"

    def test_the_language_is_chosen_remembered_and_refused_when_unknown(self):
        runner = self.runner
        where = ("--receiver", "none", "--at", "45.002,10.001")
        # A first start in German measures in metres.
        code, out, _ = runner.run(self.DEST, *where, "--language", "de")
        self.assertEqual(code, 0)
        self.assertIn("Library, 0,37 Kilometer, rechts", out.splitlines())
        # Remembered, whatever the environment says.
        runner.env["LANG"] = "fr_FR.UTF-8"
        self.assertIn("Library, 0,37 Kilometer, rechts", runner.run(self.DEST, *where)[1])
        code, out, err = runner.run("", "--language", "xx")
        self.assertEqual((code, out), (2, ""))
        self.assertIn("no language 'xx'; the languages are en, de, fr, es, it, pt-BR", err)
        # A first start takes the environment's language.
        os.mkdir(os.path.join(self.tmp, "fresh"))
        fresh = Runner(os.path.join(self.tmp, "fresh"))
        fresh.env["LANG"] = "fr_FR.UTF-8"
        out = fresh.run(self.DEST, *where)[1]
        self.assertIn("Library, 0,37 kilomètre, à droite", out.splitlines())


class Speech(Fresh):
    def test_a_hung_speech_engine_never_holds_up_the_answers(self):
        fake = os.path.join(self.tmp, "bin")
        os.mkdir(fake)
        with open(os.path.join(fake, "espeak-ng"), "w") as f:
            f.write("#!/bin/sh\nexec sleep 600\n")
        os.chmod(os.path.join(fake, "espeak-ng"), 0o755)
        self.runner.env["PATH"] = fake + ":" + self.runner.env["PATH"]
        script = "".join("echo line %d\n" % i for i in range(40))
        started = time.time()
        code, out, _ = self.runner.run(script, "--receiver", "none", "--speak=espeak-ng")
        self.assertEqual(code, 0)
        self.assertEqual(out.splitlines()[-40:], ["line %d" % i for i in range(40)])
        # The answers come at once; only the exit waits a little for the speech.
        self.assertLess(time.time() - started, 30)

    def test_espeak_writes_a_wave_that_is_not_silent(self):
        if shutil.which("espeak-ng") is None:
            self.skipTest("espeak-ng is not installed")
        wav = os.path.join(self.tmp, "said.wav")
        code, out, err = self.runner.run("echo Main Street and Oak Avenue\n", "--receiver",
                                         "none", "--speak=espeak-ng", "--speak-wave", wav)
        self.assertEqual(code, 0, err)
        self.assertIn("Speech: espeak-ng.", out.splitlines())
        with wave.open(wav) as w:
            frames = w.readframes(w.getnframes())
            width = w.getsampwidth()
        self.assertEqual(width, 2)
        samples = struct.unpack("<%dh" % (len(frames) // 2), frames)
        self.assertGreater(len(samples), 1000)
        self.assertGreater(max(abs(s) for s in samples), 1000)


def parse_arguments():
    """The test's arguments (kept in ARGS) and what is left for unittest."""
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--gpsnav", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    ARGS, rest = parser.parse_known_args()
    return ARGS, [sys.argv[0]] + rest


if __name__ == "__main__":
    unittest.main(argv=parse_arguments()[1])
