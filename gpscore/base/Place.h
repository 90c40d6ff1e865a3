// A position with the name and description that go with it: what an event or an answer says
// the user was at, copied when the event is made.
#ifndef GPSCORE_BASE_PLACE_H_
#define GPSCORE_BASE_PLACE_H_

#include <string>

namespace gpscore {

// Latitude and longitude are signed decimal degrees; 0.0/0.0 is no position (a place may still
// carry one, as a location object may).
struct Place {
    double latitude = 0.0;
    double longitude = 0.0;
    std::u16string name;
    std::u16string description;
};

} // namespace gpscore

#endif // GPSCORE_BASE_PLACE_H_
