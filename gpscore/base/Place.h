// A position with the name and description that go with it: what an event or an answer says
// the user was at, copied when the event is made.
#ifndef GPSCORE_BASE_PLACE_H_
#define GPSCORE_BASE_PLACE_H_

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

} // namespace gpscore

#endif // GPSCORE_BASE_PLACE_H_
