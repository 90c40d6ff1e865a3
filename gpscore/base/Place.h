// A position with the name and description that go with it: what an event or an answer says
// the user was at, copied when the event is made.
#ifndef GPSCORE_BASE_PLACE_H_
#define GPSCORE_BASE_PLACE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace gpscore {

// Latitude and longitude are signed decimal degrees; 0.0/0.0 is no position (a place may still
// carry one, as a location object may).
struct Place {
    double latitude = 0.0;
    double longitude = 0.0;
    std::u16string name;
    std::u16string description;
    // Whether it holds a position.
    bool HasPosition() const { return latitude != 0.0 || longitude != 0.0; }
};

// A place someone else holds and may change (a client's location object): each reading sees it
// as it is now; none when it cannot be read.
class HeldPlace {
public:
    virtual ~HeldPlace() = default;
    virtual std::optional<Place> Read() const = 0;
};

// Where the user stands, as a mode (the live fix or the walker) answers it: the place, the
// heading and whether the mode counts it valid, and the distance and direction toward another
// place spoken the way that mode speaks them (its units, heading style and coarse directions).
struct Standpoint {
    std::optional<Place> place; // none when the mode has no location
    std::int16_t heading = -1;  // degrees, -1 none
    bool headingValid = false;
    // Empty when the mode says nothing.
    std::function<std::u16string(const Place& to)> distanceAndHeading;

    // A place with a position (0/0 is none).
    bool Valid() const { return place && place->HasPosition(); }
    std::u16string DistanceAndHeading(const Place& to) const {
        return distanceAndHeading ? distanceAndHeading(to) : std::u16string();
    }
};

} // namespace gpscore

#endif // GPSCORE_BASE_PLACE_H_
