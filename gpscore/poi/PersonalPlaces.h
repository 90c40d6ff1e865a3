// The user's own places: the history of places (where the user went or looked), the favorites
// and the spoken annotations. All three live beside the maps in the database component's
// personal stores, one file each, reached through one database object.
#ifndef GPSCORE_POI_PERSONALPLACES_H_
#define GPSCORE_POI_PERSONALPLACES_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "address/AddressSearch.h"
#include "base/Place.h"
#include "poi/POIBuilder.h"

namespace gpscore {

struct ServiceContext;

// REQUIRES for every method: the service's core lock held.
class PersonalPlaces {
public:
    explicit PersonalPlaces(ServiceContext& context) : m_context(context) {}

    // A file beside the maps: the folder, "\\" unless it already ends in "\\" or "/", then the
    // name.
    static std::u16string BesideMaps(const std::u16string& directory, std::u16string_view name);
    // The personal stores: "History.hdb", "Favorites.fdb", "Annotations.adb".
    static std::u16string HistoryFile(const std::u16string& directory);
    static std::u16string FavoritesFile(const std::u16string& directory);
    static std::u16string AnnotationsFile(const std::u16string& directory);

    // --- History
    // Adds a place to the history of places, the oldest making room beyond 25; an empty name
    // keeps the place's own. Nothing for no place.
    void AddToHistory(const std::optional<Place>& place, std::u16string_view name);
    // One description per entry, seen from `here`.
    std::vector<std::u16string> HistoryList(const Standpoint& here) const;
    // The entry's place with its own name and description; none outside the list.
    std::optional<Place> HistoryItem(std::int16_t index) const;

    // --- Favorites
    // A place without a position is refused.
    bool FavoritesAddLocation(const Place& place);
    // An address is kept with its position and texts; one without a position is refused.
    bool FavoritesAddAddress(const AddressPlace& address);
    bool FavoritesAddPOI(const POIData& poi);
    std::int16_t FavoritesCount() const;
    std::vector<std::u16string> FavoritesList(const Standpoint& here) const;
    // The entry as seen from `here`; none outside the list.
    std::optional<POIData> FavoritesItem(std::int16_t index, const Standpoint& here) const;

    // --- Annotations
    bool AnnotationsAdd(const POIData& poi);
    std::int16_t AnnotationsCount() const;
    std::vector<std::u16string> AnnotationsList(const Standpoint& here) const;
    // The entry as seen from `here` and its description; none (and no description) outside the
    // list.
    std::optional<POIData> AnnotationsItem(std::int16_t index, const Standpoint& here,
                                           std::u16string* description) const;
    // Whether an annotation lies within the arrived-near threshold of `here`.
    bool AnnotationsIsNear(const Standpoint& here) const;

    // The annotation nearest the position when it lies within the arrived-near threshold: its
    // name and its details. False when there is none, or for no position (0/0).
    bool AnnotationNear(double latitude, double longitude, std::u16string* name,
                        std::u16string* details) const;

private:
    struct Annotation {
        double latitude = 0, longitude = 0;
        std::u16string name, details;
    };

    std::u16string Folder() const;
    std::u16string Author() const;
    bool AddLocationTo(const std::u16string& file, const Place& place, std::u16string_view name,
                       bool history);
    // Copies the POI with its media file (through the scratch file) into `file`.
    bool CopyPOITo(const std::u16string& file, const POIData& poi, bool annotation);
    // The names and keys of a personal file, in key order.
    bool NamesAndKeys(const std::u16string& file, std::vector<std::u16string>* names,
                      std::vector<std::int32_t>* keys) const;
    std::optional<POIData> Entry(const std::u16string& file, std::int16_t index,
                                 const Standpoint& here) const;
    std::u16string Describe(const POIData& poi, const Standpoint& here) const;
    std::vector<std::u16string> DescribeAll(const std::u16string& file,
                                            const Standpoint& here) const;
    const std::vector<Annotation>& Annotations() const;

    ServiceContext& m_context;
    // The annotations' positions, read again when the file or its count changes.
    mutable std::unique_ptr<std::vector<Annotation>> m_annotations;
    mutable std::u16string m_annotationsFile;
    mutable std::int16_t m_nAnnotationsCount = -1;
};

} // namespace gpscore

#endif // GPSCORE_POI_PERSONALPLACES_H_
