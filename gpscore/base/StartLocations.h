// The table of start locations by map name, through which the virtual position can be put on a
// map: a text resource of the service module and its lookup.
#ifndef GPSCORE_BASE_STARTLOCATIONS_H_
#define GPSCORE_BASE_STARTLOCATIONS_H_

#include <optional>
#include <string_view>

namespace gpscore {

struct StartLocation {
    double latitude = 0.0;
    double longitude = 0.0;
};

// The resource's bytes: 8-bit text, one "Name=latitude,longitude" line per map, CR LF ends.
std::string_view StartLocationsResource();

// The first line whose name equals `mapName` with blanks as underscores (converted to the 8-bit
// code page, compared without regard to case) and whose value holds a comma; nullopt when none.
std::optional<StartLocation> FindStartLocation(std::u16string_view mapName,
                                               std::string_view table = StartLocationsResource());

} // namespace gpscore

#endif // GPSCORE_BASE_STARTLOCATIONS_H_
