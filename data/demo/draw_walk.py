#!/usr/bin/env python3
"""Draws the demo walk through the sample town and writes it as a GPX track and as a trace.

The walk: from Main Street by the Corner Cafe east to Oak Avenue, where the way to the Town
Library turns north; the walker first goes on straight (the wrong turn), turns back, walks up
Oak Avenue and east along North Street to the library. One fix a second (RMC, GGA and GSA) at 1.5 m/s, with a
recorded note at the Oak Avenue bus stop.

    python3 data/demo/draw_walk.py   # rewrites sampleton-walk.gpx and sampleton-walk.trc

The trace format: the receiver's NMEA sentences with CR LF, and "\\n\\n<Ann>TEXT</Ann>\\n\\n"
blocks for notes. A GPX-to-trace converter gives the same walk from the GPX file.
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ORIGIN_LAT, ORIGIN_LON = 45.0, 10.0
SPEED = 1.5  # metres a second
EARTH = 6367000.0

# (x, y) in thousandths of a degree east and north of 45 N 10 E, and seconds to stand there.
LEGS = [((1.0, 2.0), 6), ((3.0, 2.0), 0), ((3.9, 2.0), 2), ((3.0, 2.0), 0), ((3.0, 3.0), 0),
        ((5.5, 3.0), 10)]
NOTES = [((2.7, 2.0), "Bus stop Oak Avenue")]


def position(x, y):
    return ORIGIN_LAT + y / 1000.0, ORIGIN_LON + x / 1000.0


def metres(a, b):
    (lat1, lon1), (lat2, lon2) = position(*a), position(*b)
    dy = math.radians(lat2 - lat1) * EARTH
    dx = math.radians(lon2 - lon1) * EARTH * math.cos(math.radians((lat1 + lat2) / 2))
    return math.hypot(dx, dy), (math.degrees(math.atan2(dx, dy)) + 360) % 360


def fixes():
    """(x, y, course, speed in m/s) once a second."""
    out = []
    (start, pause) = LEGS[0]
    course = 90.0
    out += [(start[0], start[1], course, 0.0)] * pause
    for (a, _), (b, pause) in zip(LEGS, LEGS[1:]):
        length, course = metres(a, b)
        steps = max(1, round(length / SPEED))
        for i in range(1, steps + 1):
            t = i / steps
            out.append((a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, course, SPEED))
        out += [(b[0], b[1], course, 0.0)] * pause
    return out


def nmea(body):
    check = 0
    for c in body:
        check ^= ord(c)
    return "$%s*%02X\r\n" % (body, check)


def angle(value, hemispheres, width):
    hemi = hemispheres[0] if value >= 0 else hemispheres[1]
    value = abs(value)
    degrees = int(value)
    return "%0*d%07.4f" % (width, degrees, (value - degrees) * 60), hemi


def main():
    track = fixes()
    trace, gpx = [], []
    noted = set()
    for second, (x, y, course, speed) in enumerate(track):
        lat, lon = position(x, y)
        hh, mm, ss = 9, (second // 60) % 60, second % 60
        clock = "%02d%02d%02d.00" % (hh, mm, ss)
        la, ns = angle(lat, "NS", 2)
        lo, ew = angle(lon, "EW", 3)
        knots = speed * 3600 / 1852
        trace.append(nmea("GPRMC,%s,A,%s,%s,%s,%s,%05.1f,%05.1f,061226,,,A" %
                          (clock, la, ns, lo, ew, knots, course)))
        trace.append(nmea("GPGGA,%s,%s,%s,%s,%s,1,08,0.9,120.0,M,48.0,M,," %
                          (clock, la, ns, lo, ew)))
        # The satellites in use: with it a fix is longer than one playback chunk, so the
        # replay moves on by exactly one fix a poll.
        trace.append(nmea("GPGSA,A,3,04,05,09,12,24,25,29,30,,,,,1.8,0.9,1.5"))
        for index, ((nx, ny), text) in enumerate(NOTES):
            if index not in noted and abs(x - nx) < 0.1 and abs(y - ny) < 0.05:
                noted.add(index)
                trace.append("\n\n<Ann>%s</Ann>\n\n" % text)
        gpx.append('      <trkpt lat="%.7f" lon="%.7f"><time>2026-12-06T09:%02d:%02dZ</time>'
                   '</trkpt>\n' % (lat, lon, mm, ss))
    with open(os.path.join(HERE, "sampleton-walk.trc"), "w", newline="") as f:
        f.write("".join(trace))
    with open(os.path.join(HERE, "sampleton-walk.gpx"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<gpx version="1.1" creator="draw_walk.py" '
                'xmlns="http://www.topografix.com/GPX/1/1">\n'
                '  <trk><name>Sampleton walk to the Town Library</name><trkseg>\n')
        f.write("".join(gpx))
        f.write("  </trkseg></trk>\n</gpx>\n")
    print("%d fixes, %d seconds" % (len(track), len(track)))


if __name__ == "__main__":
    main()
