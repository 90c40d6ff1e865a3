// The user's own places: the history of places (where the user went or looked), and, to come,
// favorites and spoken annotations. All three live beside the maps in the database component's
// personal stores.
#ifndef GPSCORE_POI_PERSONALPLACES_H_
#define GPSCORE_POI_PERSONALPLACES_H_

#include <string>
#include <string_view>

#include "GPSLib_classes.h"

namespace gpscore {

struct ServiceContext;

// REQUIRES for every method: the service's core lock held.
class PersonalPlaces {
public:
    explicit PersonalPlaces(ServiceContext& context) : m_context(context) {}

    // The personal stores beside the maps: the folder, "\\" unless it ends in a separator, then
    // "History.hdb", "Favorites.fdb" or "Annotations.adb".
    static std::u16string HistoryFile(const std::u16string& directory);
    static std::u16string FavoritesFile(const std::u16string& directory);
    static std::u16string AnnotationsFile(const std::u16string& directory);

    // Adds a place to the history of places, the oldest making room beyond 25; an empty name
    // keeps the place's own.
    void AddToHistory(ILocationObject* place, std::u16string_view name);

    // The annotation nearest `place` when it lies within the arrived-near threshold: its name
    // and its details. False when there is none.
    bool AnnotationNear(ILocationObject* place, std::u16string* name,
                        std::u16string* details) const;

    // To come: HistoryGetList/Item, FavoritesGetList/Item/Add…/GetCount,
    // AnnotationsGetList/Item/Add/GetCount/IsNear.

private:
    ServiceContext& m_context;
};

} // namespace gpscore

#endif // GPSCORE_POI_PERSONALPLACES_H_
