"""gpsweb's HTTP side: one local page over the service, for a keyboard and a screen reader.

Every request carries the access token (the `token` query parameter for the page and its two
files, the X-Gpsweb-Token header for the API) and is compared with it in constant time; the Host
must be the server's own and an Origin, when sent, too; the API takes only JSON posted by the
page. Requests name no file: the page's files come from a fixed table, and a saved route is
fetched by its plain name from the route folder. docs/gpsweb.md has the whole design.
"""
import argparse
import hmac
import ipaddress
import json
import os
import secrets
import signal
import socket
import sys
import threading
import time
import traceback
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

import gpslib
import gpsweb_session
from gpsweb_session import BadRequest, Session

PAGE_FILES = {"/": ("index.html", "text/html; charset=utf-8"),
              "/page.js": ("page.js", "text/javascript; charset=utf-8"),
              "/page.css": ("page.css", "text/css; charset=utf-8")}
MAX_BODY = 64 * 1024
MAX_SESSIONS = 4
REQUEST_TIMEOUT_S = 10
SECURITY_HEADERS = {
    "Content-Security-Policy": "default-src 'none'; script-src 'self'; style-src 'self'; "
                               "connect-src 'self'; img-src 'self'; frame-ancestors 'none'; "
                               "form-action 'none'; base-uri 'none'",
    "X-Content-Type-Options": "nosniff",
    "Referrer-Policy": "no-referrer",
    "Cache-Control": "no-store",
}


class Sessions:
    """The page sessions, each with its own service. A page opens one when it loads; past
    MAX_SESSIONS the least recently used one is stopped, and its page is told to reload."""

    def __init__(self, options):
        self.options = options
        self.lock = threading.Lock()
        self.open = {}  # id -> (slot, Session, last use)

    def new(self):
        with self.lock:
            slots = {slot for slot, _, _ in self.open.values()}
            if len(self.open) >= MAX_SESSIONS:
                oldest = min(self.open, key=lambda k: self.open[k][2])
                slot, session, _ = self.open.pop(oldest)
                with session.lock:
                    session.close()
                slots.discard(slot)
            slot = min(set(range(1, MAX_SESSIONS + 1)) - slots)
            settings = os.path.join(self.options.settings, "session-%d" % slot)
            session = Session(settings, self.options.maps, self.options.routes,
                              self.options.language, self.options.at)
            key = secrets.token_urlsafe(16)
            self.open[key] = (slot, session, time.monotonic())
            return key

    def get(self, key):
        with self.lock:
            entry = self.open.get(key) if isinstance(key, str) else None
            if entry is None:
                return None
            self.open[key] = (entry[0], entry[1], time.monotonic())
            return entry[1]

    def close_all(self):
        with self.lock:
            for _, session, _ in self.open.values():
                with session.lock:
                    session.close()
            self.open.clear()


class Handler(BaseHTTPRequestHandler):
    server_version = "gpsweb"
    protocol_version = "HTTP/1.1"
    timeout = REQUEST_TIMEOUT_S

    def log_message(self, format, *args):
        if self.server.options.verbose:
            super().log_message(format, *args)

    # -- answers ---------------------------------------------------------------------------------

    def send(self, status, body, content_type="application/json; charset=utf-8", extra=None):
        if isinstance(body, (dict, list)):
            body = json.dumps(body, ensure_ascii=False)
        data = body.encode("utf-8") if isinstance(body, str) else body
        try:
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(data)))
            for name, value in {**SECURITY_HEADERS, **(extra or {})}.items():
                self.send_header(name, value)
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(data)
        except (BrokenPipeError, ConnectionResetError, socket.timeout):
            self.close_connection = True

    def refuse(self, status, message):
        self.close_connection = True
        self.send(status, {"error": message})

    # -- checks ----------------------------------------------------------------------------------

    def checked(self, token_from_query):
        """Whether the request may go on; answers the refusal when not."""
        origin = "http://" + (self.headers.get("Host") or "")
        if self.server.hosts is not None and self.headers.get("Host") not in self.server.hosts:
            self.refuse(403, "Unknown host: open the address gpsweb printed.")
            return False
        if self.headers.get("Origin") not in (None, origin):
            self.refuse(403, "Requests from another origin are refused.")
            return False
        given = (parse_qs(urlsplit(self.path).query).get("token", [""])[0] if token_from_query
                 else self.headers.get("X-Gpsweb-Token", ""))
        if not hmac.compare_digest(given.encode("utf-8", "replace"), self.server.token):
            self.refuse(401, "Missing or wrong access token: open the address gpsweb printed.")
            return False
        return True

    # -- requests --------------------------------------------------------------------------------

    def do_GET(self):
        path = urlsplit(self.path).path
        if not self.checked(token_from_query=True):
            return
        if path in PAGE_FILES:
            name, content_type = PAGE_FILES[path]
            body = self.server.page[name]
            if name == "index.html":
                body = body.replace("{{TOKEN}}", self.server.token.decode())
            self.send(200, body, content_type)
        elif path.startswith("/routes/"):
            self.send_route(path[len("/routes/"):])
        else:
            self.refuse(404, "No such page.")

    do_HEAD = do_GET

    def send_route(self, name):
        """A saved route, by its plain name in the route folder (nothing else is served)."""
        base, dot, extension = name.rpartition(".")
        if (not gpsweb_session.ROUTE_NAME.match(base) or
                "." + extension not in gpsweb_session.ROUTE_FORMATS.values()):
            return self.refuse(404, "No such route file.")
        try:
            with open(os.path.join(self.server.options.routes, name), "rb") as f:
                data = f.read(16 * 1024 * 1024)
        except OSError:
            return self.refuse(404, "No such route file.")
        kind = "application/gpx+xml" if extension == "gpx" else "application/xml"
        self.send(200, data, kind,
                  {"Content-Disposition": 'attachment; filename="%s"' % name})

    def do_POST(self):
        path = urlsplit(self.path).path
        if not self.checked(token_from_query=False):
            return
        if self.headers.get("Origin") is None:
            return self.refuse(403, "The page's requests carry their origin; this one did not.")
        if not (self.headers.get("Content-Type") or "").startswith("application/json"):
            return self.refuse(415, "The API takes JSON.")
        try:
            length = int(self.headers.get("Content-Length", ""))
        except ValueError:
            return self.refuse(411, "A length is needed.")
        if length < 0 or length > MAX_BODY:
            return self.refuse(413, "The request is larger than %d bytes." % MAX_BODY)
        try:
            body = self.rfile.read(length)
        except (OSError, socket.timeout):
            self.close_connection = True
            return
        if len(body) < length:  # The client went away mid-request.
            self.close_connection = True
            return
        try:
            request = json.loads(body.decode("utf-8"))
        except (UnicodeDecodeError, json.JSONDecodeError, RecursionError):
            return self.refuse(400, "The request is not JSON.")
        if not isinstance(request, dict):
            return self.refuse(400, "The request is not a JSON object.")
        if path == "/api/session":
            try:
                return self.send(200, {"session": self.server.sessions.new()})
            except gpslib.Error as e:
                return self.refuse(503, "The service could not start: %s." % e)
        if path != "/api/act":
            return self.refuse(404, "No such request.")
        session = self.server.sessions.get(self.headers.get("X-Gpsweb-Session"))
        if session is None:
            return self.refuse(410, "This page's session has ended (another page took its "
                                    "place, or gpsweb was restarted): reload the page.")
        try:
            with session.lock:
                if session.core is None:
                    return self.refuse(410, "This page's session has ended: reload the page.")
                answer = session.act(request)
        except BadRequest as e:
            return self.refuse(400, str(e))
        except gpslib.Error as e:
            return self.refuse(422, "The service could not do that (%s)." % e)
        except Exception:  # Never a crash of the server: a clear error, logged.
            traceback.print_exc()
            return self.refuse(500, "Internal error in gpsweb.")
        self.send(200, answer)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, options, address):
        self.address_family = socket.AF_INET6 if ":" in address[0] else socket.AF_INET
        super().__init__(address, Handler)
        self.options = options
        self.token = secrets.token_urlsafe(24).encode()
        self.sessions = Sessions(options)
        self.page = {}
        for name, _ in PAGE_FILES.values():
            with open(os.path.join(options.page, name), encoding="utf-8") as f:
                self.page[name] = f.read()
        port = self.server_address[1]
        host = address[0]
        shown = "127.0.0.1" if host in ("0.0.0.0", "::", "") else (
            "[%s]" % host if ":" in host else host)
        # On the loopback only the names of this machine: a page of another site that rebinds
        # its own name to 127.0.0.1 is refused even before the token is checked.
        self.hosts = None if not is_loopback(host) else {
            "%s:%d" % (n, port) for n in ("127.0.0.1", "localhost", "[::1]", shown)}
        self.url = "http://%s:%d/?token=%s" % (shown, port, self.token.decode())


def is_loopback(address):
    try:
        return ipaddress.ip_address(address).is_loopback
    except ValueError:
        return address == "localhost"


def latlon(text):
    try:
        lat, lon = (float(part) for part in text.split(","))
    except ValueError:
        raise argparse.ArgumentTypeError("wants LAT,LON in decimal degrees, for example 45.002,10.0015")
    if not (-90 <= lat <= 90 and -180 <= lon <= 180):
        raise argparse.ArgumentTypeError("latitude -90 to 90, longitude -180 to 180")
    return lat, lon


def parse(argv, defaults):
    p = argparse.ArgumentParser(
        prog="gpsweb", description="Serve one accessible web page over the navigation service: "
        "explore a town and plan a walk from your desk.")
    p.add_argument("--maps", required=True, help="folder of the compiled maps (.rmf, .pdb)")
    p.add_argument("--port", type=int, default=8080, help="port (0: any free one); 8080")
    p.add_argument("--listen", default="127.0.0.1",
                   help="address to listen on; another than the loopback warns")
    config = os.environ.get("XDG_CONFIG_HOME") or os.path.join(os.path.expanduser("~"), ".config")
    p.add_argument("--settings", default=os.path.join(config, "gpslib", "gpsweb"),
                   help="the service's settings folder (one folder per page session inside)")
    p.add_argument("--routes", help="where routes are saved; SETTINGS/routes")
    p.add_argument("--language", choices=gpsweb_session.LANGUAGES, help="the service's language")
    p.add_argument("--at", type=latlon, help="LAT,LON where a first walk starts")
    p.add_argument("--verbose", action="store_true", help="log every request")
    options = p.parse_args(argv)
    options.page = defaults["page"]
    options.routes = options.routes or os.path.join(options.settings, "routes")
    if not 0 <= options.port <= 65535:
        p.error("--port wants 0 to 65535")
    if not os.path.isdir(options.maps):
        p.error("no maps folder %s" % options.maps)
    for folder in ("maps", "settings", "routes"):
        setattr(options, folder, os.path.abspath(getattr(options, folder)))
    return options


def main(argv, defaults):
    options = parse(argv, defaults)
    if not is_loopback(options.listen):
        print("gpsweb: warning: listening on %s, not only this machine's loopback address: "
              "anyone who can reach it and learns the address can drive the service."
              % options.listen, file=sys.stderr)
    try:
        server = Server(options, (options.listen, options.port))
    except OSError as e:
        print("gpsweb: cannot listen on %s port %d: %s" % (options.listen, options.port,
                                                          e.strerror), file=sys.stderr)
        return 1

    def stop(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, stop)
    print("gpsweb: open %s" % server.url, flush=True)
    try:
        server.serve_forever(poll_interval=3600)  # Shutdown comes as a signal: no idle wakeups.
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
        server.sessions.close_all()
    return 0
