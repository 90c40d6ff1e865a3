// The user's own places: the history of places (where the user went or looked), the favorites
// and the spoken annotations. All three live beside the maps in the database component's
// personal stores, one file each, reached through one database object.
#ifndef GPSCORE_POI_PERSONALPLACES_H_
#define GPSCORE_POI_PERSONALPLACES_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "GPSLib_classes.h"
#include "poi/POIObject.h"

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
    // keeps the place's own.
    void AddToHistory(ILocationObject* place, std::u16string_view name);
    HRESULT HistoryList(Mode mode, const ModePlaces& places, VARIANT* list, SHORT* count);
    HRESULT HistoryItem(SHORT index, ILocationObject** ppLocation);

    // --- Favorites
    bool FavoritesAddLocation(ILocationObject* place);
    // An address is kept with its position and texts; one without a position is refused.
    bool FavoritesAddAddress(IAddressObject* address);
    bool FavoritesAddPOI(IPOIObject* poi);
    SHORT FavoritesCount() const;
    HRESULT FavoritesList(Mode mode, const ModePlaces& places, VARIANT* list, SHORT* count);
    HRESULT FavoritesItem(SHORT index, const ModePlaces& places, IPOIObject** ppPOI);

    // --- Annotations
    bool AnnotationsAdd(IPOIObject* poi);
    SHORT AnnotationsCount() const;
    HRESULT AnnotationsList(Mode mode, const ModePlaces& places, VARIANT* list);
    HRESULT AnnotationsItem(Mode mode, SHORT index, const ModePlaces& places, IPOIObject** ppPOI,
                            BSTR* description);
    // Whether an annotation lies within the arrived-near threshold of the mode's position.
    bool AnnotationsIsNear(Mode mode, const ModePlaces& places);

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
    // Adds `record` to `file`: a record in the way is deleted and the add tried once more.
    bool AddRecord(const std::u16string& file, IPOIRecord* record, std::u16string_view media,
                   const char* failure, const char* secondFailure);
    bool AddLocationTo(const std::u16string& file, ILocationObject* place, std::u16string_view name,
                       bool history);
    // Copies the POI with its media file (through the scratch file) into `file`.
    bool CopyPOITo(const std::u16string& file, IPOIObject* poi, bool annotation);
    // The names and keys of a personal file, in key order.
    bool NamesAndKeys(const std::u16string& file, std::vector<std::u16string>* names,
                      std::vector<LONG>* keys) const;
    gpslib::ComPtr<IPOIObject> Entry(const std::u16string& file, SHORT index, Mode mode,
                                     const ModePlaces& places) const;
    std::u16string Describe(IPOIObject* poi, Mode mode, const ModePlaces& places) const;
    HRESULT DescribeAll(const std::u16string& file, Mode mode, const ModePlaces& places,
                        VARIANT* list, SHORT* count) const;
    const std::vector<Annotation>& Annotations() const;

    ServiceContext& m_context;
    // The annotations' positions, read again when the file or its count changes.
    mutable std::unique_ptr<std::vector<Annotation>> m_annotations;
    mutable std::u16string m_annotationsFile;
    mutable SHORT m_nAnnotationsCount = -1;
};

} // namespace gpscore

#endif // GPSCORE_POI_PERSONALPLACES_H_
