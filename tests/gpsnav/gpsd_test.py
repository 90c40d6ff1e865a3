"""gpsnav with a receiver shared by gpsd: a real gpsd, fed by gpsfake with a capture of a real
receiver, started and stopped by the test on a loopback port. The service connects, gets a
fix, notices gpsd going away and connects again when it is back.

Arguments: --gpsnav PROGRAM --build BUILD_DIR --captures NMEA_DIR
Skipped, with a message, when gpsd or gpsfake is not installed.
"""
import argparse
import os
import random
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

ARGS = None
CAPTURE = "haicom-305N.log"


def free_port():
    """A free loopback port above the settings' largest port number (32767), which gpsnav
    names through the port name."""
    for port in random.sample(range(40000, 60000), 200):
        with socket.socket() as s:
            try:
                s.bind(("127.0.0.1", port))
                return port
            except OSError:
                continue
    raise RuntimeError("no free port")


class FakeGpsd:
    """gpsfake replaying a capture in a loop into its own gpsd on `port`."""

    def __init__(self, port, capture, tmp):
        # The captures are stored with bare line feeds; receivers send CR LF.
        wire = os.path.join(tmp, "capture.log")
        with open(capture, "rb") as f, open(wire, "wb") as out:
            for line in f:
                if not line.startswith(b"#"):
                    out.write(line.rstrip(b"\r\n") + b"\r\n")
        self.process = subprocess.Popen(
            ["gpsfake", "-q", "-n", "-c", "0.05", "-P", str(port), wire],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        # Ready when a watcher gets sentences: gpsd listens before gpsfake has added the
        # capture's device, and a watcher that comes before the device may get nothing from it.
        deadline = time.time() + 60
        while time.time() < deadline:
            try:
                with socket.create_connection(("127.0.0.1", port), timeout=0.5) as probe:
                    probe.sendall(b'?WATCH={"enable":true,"nmea":true}\n')
                    got, give_up = b"", min(deadline, time.time() + 3)
                    while b"\n$" not in got and time.time() < give_up:
                        if select.select([probe], [], [], 1.0)[0]:
                            chunk = probe.recv(4096)
                            if not chunk:
                                break
                            got += chunk
                    if b"\n$" in got:
                        return
            except OSError:
                time.sleep(0.1)
        self.stop()
        raise RuntimeError("gpsd sent no sentence on port %d" % port)

    def stop(self):
        try:
            os.killpg(self.process.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
        # gpsd may outlive gpsfake for a moment.
        time.sleep(0.5)


class Gpsd(unittest.TestCase):
    def setUp(self):
        for program in ("gpsd", "gpsfake"):
            if shutil.which(program) is None and not os.path.exists("/usr/sbin/" + program):
                self.skipTest("%s is not installed (Debian: gpsd, gpsd-clients)" % program)
        os.environ["PATH"] += ":/usr/sbin"
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.tmp = tmp.name
        self.port = free_port()
        self.capture = os.path.join(ARGS.captures, CAPTURE)
        if not os.path.exists(self.capture):
            self.skipTest("the capture %s is not there" % self.capture)

    def gpsnav(self):
        env = dict(os.environ, GPSLIB_REGISTRY=os.path.join(self.tmp, "registry.reg"))
        process = subprocess.Popen(
            [ARGS.gpsnav, "--settings", os.path.join(self.tmp, "settings") + "/",
             "--maps", os.path.join(ARGS.build, "data", "sample"),
             "--receiver", "gpsd://127.0.0.1:%d" % self.port, "--speed", "5"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        self.addCleanup(process.kill)
        self.output = b""
        self.rounds = 0
        return process

    def lines_until(self, process, text, timeout=60):
        deadline = time.time() + timeout
        while text.encode() not in self.output:
            left = deadline - time.time()
            if left <= 0 or not select.select([process.stdout], [], [], left)[0]:
                self.fail("%r not printed; got %r" % (text, self.output.decode()))
            chunk = os.read(process.stdout.fileno(), 4096)
            if not chunk:
                self.fail("gpsnav ended before %r; got %r" % (text, self.output.decode()))
            self.output += chunk
        return self.output.decode()

    def wait_until_said(self, process, text, since, rounds=12):
        """Lets the walk go on in rounds of ten scripted seconds (two real ones at --speed 5)
        until `text` is said after byte `since` of the output: a loaded machine may take a few
        rounds to start gpsd and for the retry to find it. Each round's marker is new, so that a
        round always waits, and a text said before `since` (a start that said "No connection"
        before the first sentence came) never answers for a later step. Returns where the text
        was said."""
        for i in range(rounds):
            self.rounds += 1
            process.stdin.write(b"wait 10\necho round %d\n" % self.rounds)
            process.stdin.flush()
            self.lines_until(process, "round %d\n" % self.rounds)
            at = self.output.find(text.encode(), since)
            if at >= 0:
                return at + len(text)
        self.fail("%r not said in %d rounds; got %r" % (text, rounds, self.output[since:].decode()))

    def test_connects_gets_a_fix_and_reconnects_when_gpsd_comes_back(self):
        gpsd = FakeGpsd(self.port, self.capture, self.tmp)
        self.addCleanup(gpsd.stop)
        process = self.gpsnav()
        self.lines_until(process, "Receiver: gpsd://127.0.0.1:%d" % self.port)
        self.wait_until_said(process, "GPS receiver connected.", 0)
        self.wait_until_said(process, "GPS position found.", 0)

        stopped = len(self.output)
        gpsd.stop()
        lost = self.wait_until_said(process, "No connection to the GPS receiver.", stopped)

        gpsd = FakeGpsd(self.port, self.capture, self.tmp)
        self.addCleanup(gpsd.stop)
        self.wait_until_said(process, "GPS receiver connected.", lost)
        process.stdin.write(b"quit\n")
        process.stdin.close()
        self.assertEqual(process.wait(timeout=30), 0)

    def test_gpsd_that_is_not_running_is_said_in_one_line(self):
        process = self.gpsnav()
        out = self.lines_until(process, "The receiver could not be opened: gpsd://127.0.0.1:%d"
                               % self.port)
        process.stdin.write(b"echo going on\n")
        process.stdin.close()
        self.lines_until(process, "going on")
        self.assertEqual(process.wait(timeout=30), 0)
        self.assertNotIn("GPS receiver connected.", out)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--gpsnav", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--captures", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
