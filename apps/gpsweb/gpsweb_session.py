"""One page session of gpsweb: its own GPSCore, driven by the page's actions.

Every action takes the request's JSON object, calls the service under the session's lock and
answers a dict: "text" (the service's words, for the live region and the history), "urgent"
(said assertively), and what the drawing and the controls need. A bad argument raises
BadRequest, which the server answers as 400 with its message.
"""
import math
import os
import re
import threading

import gpslib
from gpslib import enums

# The page's names of the settings' choices.
UNITS = {"metric": enums.Metric, "imperial": enums.Imperial}
HEADINGS = {"clock": enums.ClockFace, "ahead": enums.AheadLeft, "combo": enums.Combo,
            "compass": enums.LeftRightDegreesCompass}
TURNS = {"automatic": enums.RouteTurnPedestrianAutomatic,
         "fewest": enums.RouteTurnPedestrianFewest}
LANGUAGES = gpslib.LANGUAGES

MAX_TEXT = 200  # Characters of a searched name or an address part.
MAX_LISTED = 10  # POIs a search lists.
ROUTE_NAME = re.compile(r"^[A-Za-z0-9][A-Za-z0-9 _-]{0,63}$")
ROUTE_FORMATS = {"route": ".xml", "gpx": ".gpx"}
# The drawing: 300 m either side of the walker; before the walk, the middle of the maps, at most
# 1.5 km either side. The map engine answers boxes up to 0.05 degrees on a side.
DRAWING_AROUND_WALKER_M = 300.0
DRAWING_OVERVIEW_MAX_M = 1500.0
DRAWING_MAX_BOX_DEGREES = 0.0499
DRAWING_MAX_STREETS = 600
METRES_PER_DEGREE = 111320.0


class BadRequest(Exception):
    """An action or argument the page should not have sent: answered 400 with the message."""


def text_arg(request, name, required=True):
    value = request.get(name, "")
    if not isinstance(value, str):
        raise BadRequest("%s must be text" % name)
    value = value.strip()
    if len(value) > MAX_TEXT:
        raise BadRequest("%s is longer than %d characters" % (name, MAX_TEXT))
    if required and not value:
        raise BadRequest("%s is empty" % name)
    return value


def number_arg(request, name, low, high):
    value = request.get(name)
    if isinstance(value, bool) or not isinstance(value, (int, float)) or not math.isfinite(value):
        raise BadRequest("%s must be a number" % name)
    if not low <= value <= high:
        raise BadRequest("%s must be between %s and %s" % (name, low, high))
    return value


def choice_arg(request, name, choices):
    value = request.get(name)
    if value not in choices:
        raise BadRequest("%s must be one of %s" % (name, ", ".join(choices)))
    return value


class Session:
    """A GPSCore started on its own settings folder, with the map engine the drawing reads.

    REQUIRES: callers hold `lock` around every method but close() (the server does).
    """

    def __init__(self, settings, maps, routes, language=None, at=None):
        self.lock = threading.Lock()
        self.settings = settings
        self.maps = maps
        self.routes = routes
        self.core = None
        self.pois = []  # (name, latitude, longitude) of the last search, in its order.
        self.language = language or "en"
        self.turns = "automatic"  # Asked of each walking route; not a setting of the service.
        self.start(language)
        if at is not None and self.walker() is None:
            self.place({"lat": at[0], "lon": at[1], "heading": 0})
        # A map engine of our own for the drawing (its IGPSMapDrawing): the service's is its own.
        engine = gpslib.create("GPS.GPSMap")
        engine.Initalize(os.path.join(maps, ""), self.folder, False)
        self.engine = engine.query("IGPSMapDrawing")
        self.overview = None  # The drawing before the walk: it changes only with the maps.

    def start(self, language):
        self.folder = gpslib.settings_folder(self.settings, language=language)
        self.core = gpslib.create("GPS.GPSCore")
        self.started = self.core.Start(self.folder, "")
        system = self.core.SystemGetSettings()
        system.SetMapPOIDirectory(os.path.join(self.maps, ""))
        self.core.SystemSetSettings(system)
        self.maps_loaded = self.core.SystemMapsPOIsLoad()
        self.core.SystemSetCurrentMode(enums.VirtualMode)

    def close(self):
        if self.core is not None:
            self.core.Stop()
            self.core = None

    # -- what the page shows besides the words --------------------------------------------------

    def walker(self):
        """The walker's position, heading and street, or None before it is placed."""
        virtual = self.core.VirtualGet()
        if virtual is None or not virtual.IsValid():
            return None
        return {"lat": virtual.GetLatitude(), "lon": virtual.GetLongitude(),
                "heading": virtual.GetHeadingDegrees(), "street": virtual.GetCurrentStreetName()}

    def route_points(self):
        if not self.core.RouteActive():
            return []
        route = self.core.RouteGet()
        points = []
        for i in range(1, route.GetWaypointCount() + 1):  # Waypoints are numbered from 1.
            w = route.GetWaypoint(i)
            points.append({"lat": w.GetLatitude(), "lon": w.GetLongitude(),
                           "name": w.GetStreetNameForward()})
        return points

    def answer(self, text, **more):
        more.update(text=text or "", walker=self.walker())
        return more

    # -- actions ---------------------------------------------------------------------------------

    def act(self, request):
        name = request.get("do")
        action = ACTIONS.get(name) if isinstance(name, str) else None
        if action is None:
            raise BadRequest("unknown action; the actions are " + ", ".join(sorted(ACTIONS)))
        return action(self, request)

    def state(self, request):
        system = self.core.SystemGetSettings()
        settings = {
            "units": "metric" if system.GetUnits() == UNITS["metric"] else "imperial",
            "heading": {v: k for k, v in HEADINGS.items()}.get(system.GetHeadingMode(), "clock"),
            "detailed": bool(system.GetStreetNamesDetailed()),
            "sides": bool(system.GetVirtualSideOfStreetTracking()),
            "turns": self.turns,
            "language": self.language,
        }
        return self.answer("%d maps loaded." % self.maps_loaded if self.maps_loaded != 1
                           else "1 map loaded.", settings=settings, route=self.route_points(),
                           copyright=self.core.SystemGetCopyright())

    def place(self, request):
        """Start the walk at a position (a click on the drawing)."""
        location = gpslib.create("GPS.LocationObject")
        location.SetLatitude(number_arg(request, "lat", -90, 90))
        location.SetLongitude(number_arg(request, "lon", -180, 180))
        self.core.VirtualSet(location, int(number_arg(request, "heading", 0, 359)))
        return self.answer(self.core.VirtualGetOnStreetMessage())

    def address(self, request):
        city, street = text_arg(request, "city"), text_arg(request, "street")
        number = text_arg(request, "number", required=False)
        search = gpslib.create("GPS.AddressSearchConfigurationObject")
        search.SetStartsWith(True)
        search.SetSearchName(city)
        _, maps = self.core.AddressFindMapsForCitySearch("")
        for map_name in maps or []:
            _, cities = self.core.AddressFindCity(map_name, search)
            if cities:
                break
        else:
            return self.answer("No city %s." % city)
        search.SetLastSearchIndex(0)
        search.SetSearchName(street)
        _, streets = self.core.AddressFindStreet(search)
        if not streets:
            return self.answer("No street %s in %s." % (street, cities[0]))
        search.SetLastSearchIndex(0)
        search.SetStreetAddressNumber(number)
        if number:
            self.core.AddressFindStreetAddress(search)
            search.SetLastSearchIndex(0)
        ok, address = self.core.AddressGet(search)
        if not ok or address is None:
            return self.answer("No house number %s on %s." % (number, streets[0]))
        self.core.VirtualSetByAddress(address)
        return self.answer(self.core.VirtualGetOnStreetMessage(), place=address.GetAddress())

    def find(self, request):
        """Places whose name starts with the text, nearest the walker first."""
        pattern = gpslib.create("GPS.POIObject")
        pattern.SetName(text_arg(request, "text"))
        config = gpslib.create("GPS.POISearchConfigurationObject")
        config.SetPOISearchObject(pattern)
        config.SetStartsWithSearch(True)
        config.SetNewSearch(True)
        return self._listed(self.core.POIsFind(enums.VirtualMode, config))

    def around(self, request):
        return self._listed(self.core.POIsFindNearest(enums.VirtualMode))

    def _listed(self, found):
        count = found[0]
        self.pois = []
        for i in range(min(count or 0, MAX_LISTED)):
            poi = self.core.POIGet(i)
            self.pois.append((poi.GetName(), poi.GetLatitude(), poi.GetLongitude()))
        config = gpslib.create("GPS.POIDescriptionConfigurationObject")
        config.SetDescriptionDynamic(True)
        texts = []
        if self.pois and self.walker() is not None:
            texts = self.core.POIGetLastSearchDescriptions(enums.VirtualMode, config)[1] or []
        texts = texts[:len(self.pois)] or [name for name, _, _ in self.pois]
        if not texts:
            return self.answer(self.core.POIGetLastSearchDistanceDescription() or
                               "Nothing found.", pois=[])
        pois = [{"name": name, "lat": lat, "lon": lon, "text": text}
                for (name, lat, lon), text in zip(self.pois, texts)]
        return self.answer("%d found. %s" % (len(pois), texts[0]), pois=pois)

    def _poi(self, request):
        index = int(number_arg(request, "index", 0, MAX_LISTED - 1))
        if index >= len(self.pois):
            raise BadRequest("no place %d in the last search" % (index + 1))
        return self.core.POIGet(index)

    def start_at_poi(self, request):
        self.core.VirtualSetByPOI(self._poi(request))
        return self.answer(self.core.VirtualGetOnStreetMessage())

    def destination_poi(self, request):
        self.core.DestinationSetByPOI(self._poi(request))
        return self._where_is_destination()

    def destination_here(self, request):
        self.core.DestinationSetByLocation(self.core.GetLocation(enums.VirtualMode))
        return self._where_is_destination()

    def _where_is_destination(self):
        config = gpslib.create("GPS.DescriptionConfigurationObject")
        return self.answer(self.core.DestinationWhereIs(enums.VirtualMode, config))

    def move(self, request):
        step = choice_arg(request, "step", MOVES)
        return self.answer(getattr(self.core, MOVES[step])())

    def where(self, request):
        where = self.core.WhereAmI(enums.VirtualMode)
        text = where.GetDescription() if where is not None else ""
        return self.answer(text or "No street nearby on the loaded maps.")

    def corner(self, request):
        corner = self.core.GetNearestIntersection(enums.VirtualMode)
        return self.answer(corner.GetIntersectionDescription() if corner else "")

    def plan(self, request):
        config = gpslib.create("GPS.RouteConfigurationObject")
        config.SetRouteType(enums.RouteTypePedestrian)
        config.SetRouteTurnPreferencePedestrian(TURNS[self.turns])
        if not self.core.RouteCreateAutomatic(enums.VirtualMode, config):
            return self.answer("No route found to the destination.", urgent=True)
        text = self.core.RouteGet().TotalRouteDistanceDescription()
        return self.answer(text or "Route planned.", route=self.route_points())

    def directions(self, request):
        step = choice_arg(request, "step", ("next", "back"))
        if not self.core.RouteActive():
            return self.answer("No route: set a destination and plan a route first.")
        explore = (self.core.RouteVirtualExploreForward if step == "next"
                   else self.core.RouteVirtualExploreBackward)
        text, waypoint = explore(enums.WaypointModeTurnsOnly)
        at = None
        if waypoint is not None:
            at = {"lat": waypoint.GetLatitude(), "lon": waypoint.GetLongitude()}
        return self.answer(text, waypoint=at)

    def save(self, request):
        """Saves the route into the route folder, by a plain name: never a path."""
        name = text_arg(request, "name")
        if not ROUTE_NAME.match(name):
            raise BadRequest("a route name is 1 to 64 letters, digits, blanks, '-' or '_'")
        kind = choice_arg(request, "format", ROUTE_FORMATS)
        if not self.core.RouteActive():
            return self.answer("No route to save: plan a route first.")
        os.makedirs(self.routes, exist_ok=True)
        path = os.path.join(self.routes, name + ROUTE_FORMATS[kind])
        if kind == "route":
            saved = self.core.RouteSave(path)
        else:
            saved = write_gpx(path, name, self.route_points())
        if not saved:
            return self.answer("The route could not be saved as %s." % os.path.basename(path),
                               urgent=True)
        return self.answer("Route saved as %s." % os.path.basename(path),
                           file=os.path.basename(path))

    def configure(self, request):
        """One setting at a time, as the page's settings form sends them."""
        what = choice_arg(request, "setting", ("units", "heading", "detailed", "sides", "turns",
                                               "language"))
        if what == "language":
            language = choice_arg(request, "value", LANGUAGES)
            self.core.Stop()
            self.start(language)
            self.overview = None
            self.language = language
            return self.answer("Language %s." % language, language=language)
        if what == "turns":
            self.turns = choice_arg(request, "value", TURNS)
            return self.answer("Turns %s." % self.turns)
        system = self.core.SystemGetSettings()
        if what == "units":
            system.SetUnits(UNITS[choice_arg(request, "value", UNITS)])
        elif what == "heading":
            system.SetHeadingMode(HEADINGS[choice_arg(request, "value", HEADINGS)])
        else:
            value = request.get("value")
            if not isinstance(value, bool):
                raise BadRequest("value must be true or false")
            (system.SetStreetNamesDetailed if what == "detailed"
             else system.SetVirtualSideOfStreetTracking)(value)
        self.core.SystemSetSettings(system)
        value = request["value"]
        return self.answer(SAID.get(what, what.capitalize()) +
                           (" on." if value is True else " off." if value is False else
                            " " + value + "."))

    def drawing(self, request):
        """The streets of the drawing's view, the found places and the route, in degrees. The view
        is around the walker, or before the walk starts the middle of the loaded maps, where a
        click on a street chooses the start."""
        here = self.walker()
        if here is None:
            if self.overview is None:
                self.overview = self._overview()
            view, streets = self.overview
        else:
            view = {"lat": here["lat"], "lon": here["lon"], "metres": DRAWING_AROUND_WALKER_M}
            streets = self._streets(view)
        return {"walker": here, "view": view, "streets": streets, "route": self.route_points(),
                "pois": [{"name": n, "lat": a, "lon": o} for n, a, o in self.pois]}

    def _overview(self):
        """The middle of the loaded maps, as much of them as the drawing shows; None without
        maps."""
        maps, south, west, north, east = self.engine.GetLoadedMapsBounds()
        if not maps:
            return None, []
        lat, lon = (south + north) / 2, (west + east) / 2
        across = max((north - south) * METRES_PER_DEGREE,
                     (east - west) * METRES_PER_DEGREE * math.cos(math.radians(lat)))
        view = {"lat": lat, "lon": lon, "metres": min(across * 0.55, DRAWING_OVERVIEW_MAX_M)}
        return view, self._streets(view)

    def _streets(self, view):
        """The ways in the view's square, each with its points, from the map engine's drawing
        interface (the true shapes of the streets, nearest the middle first)."""
        half_lat = min(view["metres"] / METRES_PER_DEGREE, DRAWING_MAX_BOX_DEGREES / 2)
        half_lon = min(half_lat / max(0.01, math.cos(math.radians(view["lat"]))),
                       DRAWING_MAX_BOX_DEGREES / 2)
        south, north = max(-90.0, view["lat"] - half_lat), min(90.0, view["lat"] + half_lat)
        west, east = max(-180.0, view["lon"] - half_lon), min(180.0, view["lon"] + half_lon)
        _, records, points = self.engine.GetStreetsInBox(
            south, west, north, east, DRAWING_MAX_STREETS, "STREET EXPANDED")
        streets = []
        for r in records or []:
            first, count = r.GetFirstPoint(), r.GetPointCount()
            shape = points[2 * first:2 * (first + count)]
            streets.append({"name": r.GetName(), "drivable": r.IsDrivable(),
                            "points": [[round(shape[i], 7), round(shape[i + 1], 7)]
                                       for i in range(0, len(shape), 2)]})
        return streets


SAID = {"detailed": "Detailed street names", "sides": "Side of the street"}
MOVES = {"forward": "VirtualForward", "back": "VirtualBackup", "left": "VirtualTurnLeft",
         "right": "VirtualTurnRight", "cross": "VirtualCrossStreet",
         "street": "VirtualGetOnStreetMessage"}
ACTIONS = {
    "state": Session.state, "place": Session.place, "address": Session.address,
    "find": Session.find, "around": Session.around, "start-poi": Session.start_at_poi,
    "dest-poi": Session.destination_poi, "dest-here": Session.destination_here,
    "move": Session.move, "where": Session.where, "corner": Session.corner,
    "plan": Session.plan, "directions": Session.directions, "save": Session.save,
    "settings": Session.configure, "drawing": Session.drawing,
}


def write_gpx(path, name, points):
    """The route as a GPX route (rte), written beside the route files."""
    from xml.sax.saxutils import escape, quoteattr
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<gpx version="1.1" creator="gpsweb" xmlns="http://www.topografix.com/GPX/1/1">',
             "<rte><name>%s</name>" % escape(name)]
    for p in points:
        lines.append("<rtept lat=%s lon=%s><name>%s</name></rtept>" % (
            quoteattr("%.7f" % p["lat"]), quoteattr("%.7f" % p["lon"]), escape(p["name"] or "")))
    lines.append("</rte></gpx>")
    try:
        with open(path + ".new", "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        os.replace(path + ".new", path)
    except OSError:
        return False
    return True
