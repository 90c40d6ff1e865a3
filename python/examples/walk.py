#!/usr/bin/env python3
"""Walks a recorded trace through the navigation service and prints its automatic events, each
with its time in the walk: the service from Python, through the gpslib package.

    python3 walk.py TRACE [--maps DIR] [--settings DIR] [--dest LAT,LON[,NAME]] [--seconds N]

The walk is replayed as fast as the service answers: one poll of the receiver is one second.
"""
import argparse
import os
import sys
import tempfile

import gpslib
from gpslib.enums import ClockFace, GPSTypeSimulated, Metric


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("trace", help="a trace file (.trc) recorded from a receiver")
    parser.add_argument("--maps", help="the folder of the maps")
    parser.add_argument("--settings", help="the settings folder (default: a new one)")
    parser.add_argument("--dest", help="the destination: LAT,LON[,NAME]")
    parser.add_argument("--seconds", type=int, default=600, help="how long to walk")
    args = parser.parse_args()

    settings = gpslib.settings_folder(args.settings or tempfile.mkdtemp(prefix="gpslib-walk-"))
    core = gpslib.create("GPS.GPSCore")
    print("Start:", core.Start(settings, ""))
    system = core.SystemGetSettings()
    system.SetUnits(Metric)
    system.SetHeadingMode(ClockFace)
    if args.maps:
        system.SetMapPOIDirectory(args.maps)
    core.SystemSetSettings(system)
    if args.maps:
        print("Maps loaded:", core.SystemMapsPOIsLoad())

    clock = [0]
    sink = gpslib.EventSink(lambda e: print("%d:%02d %s" % (clock[0] // 60, clock[0] % 60,
                                                            e.description), flush=True))
    core.RegisterUIAutoEventCallback(sink)

    receiver = core.GPSGetSettings()
    receiver.SetGPSReceiverType(GPSTypeSimulated)  # A recorded trace played back.
    receiver.SetSimulatedGPSFile(os.path.abspath(args.trace))
    if not core.GPSSetSettings(receiver):
        sys.exit("The trace cannot be opened: " + args.trace)

    if args.dest:
        parts = args.dest.split(",", 2)
        place = gpslib.create("GPS.LocationObject")
        place.SetLatitude(float(parts[0]))
        place.SetLongitude(float(parts[1]))
        if len(parts) > 2:
            place.SetName(parts[2])
        core.DestinationSetByLocation(place)

    for second in range(1, args.seconds + 1):
        clock[0] = second
        core.GPSForcePoll()
    core.Stop()
    if sink.errors:
        sys.exit("The event callback failed: %r" % sink.errors[0])


if __name__ == "__main__":
    main()
