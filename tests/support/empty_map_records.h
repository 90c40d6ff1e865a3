// The map library's record classes with nothing of their own (the generated bases' answers),
// for an executable that compiles in the library's class table to offer a fake engine: the table
// needs a factory for every class. Include it in one file of the executable.
#pragma once

#include <gpslib/registry.h>

#include "GPSMapLib_classes.h"

namespace gpslib::test {

class CEmptyCrossStreetRecord : public CCrossStreetRecordBase {};
class CEmptyLocationDetailRecord : public CLocationDetailRecordBase {};
class CEmptyRoutePoint : public CRoutePointBase {};
class CEmptyCrossingRecord : public CCrossingRecordBase {};
class CEmptyStreetShapeRecord : public CStreetShapeRecordBase {};

} // namespace gpslib::test

GPSLIB_CLASS_FACTORY(CrossStreetRecord, gpslib::test::CEmptyCrossStreetRecord)
GPSLIB_CLASS_FACTORY(LocationDetailRecord, gpslib::test::CEmptyLocationDetailRecord)
GPSLIB_CLASS_FACTORY(RoutePoint, gpslib::test::CEmptyRoutePoint)
GPSLIB_CLASS_FACTORY(CrossingRecord, gpslib::test::CEmptyCrossingRecord)
GPSLIB_CLASS_FACTORY(StreetShapeRecord, gpslib::test::CEmptyStreetShapeRecord)
