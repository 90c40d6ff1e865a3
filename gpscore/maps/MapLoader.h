// Loading maps and the files that sit beside them: the map engine's maps, the address (city and
// postal) databases, the POI files and the personal stores (history, favorites, annotations).
// Runs inside Start, again for SystemMapsPOIsLoad and for a changed map folder, and is undone by
// SystemMapsPOIsUnLoad and Stop.
#ifndef GPSCORE_MAPS_MAPLOADER_H_
#define GPSCORE_MAPS_MAPLOADER_H_

#include <string>

namespace gpscore {

struct ServiceContext;

// REQUIRES for every method: the service's core lock held.
class MapLoader {
public:
    explicit MapLoader(ServiceContext& context) : m_context(context) {}

    // Loads everything from the map folder of the system settings; the engine's answer ("OK"
    // when the maps loaded) or the no-engine text.
    std::u16string Load();
    void Unload();

private:
    // Offers the engine every POI file of `directory` that has no map of its base name beside
    // it; answers how many there were.
    int LoadStandAlonePOIFiles(const std::u16string& directory);

    ServiceContext& m_context;
};

} // namespace gpscore

#endif // GPSCORE_MAPS_MAPLOADER_H_
