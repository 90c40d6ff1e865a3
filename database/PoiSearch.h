// The map engine's POI operations over the loaded POI files: the ring search that FindPOIs
// widens step by step, and the list of files it searches (AddPOIFile, ClearPOIFiles,
// GetNumberOfCommercialPOIFilesLoaded, GetLoadedPOICategories). A library for the engine: it
// knows nothing of the object runtime, so the engine converts its arguments and answers
// (PoiSearchCom.h does that for the engine's FindPOIs).
//
// Thread safety: none; the engine calls it under its own lock.
#ifndef DATABASE_POISEARCH_H_
#define DATABASE_POISEARCH_H_

#include <memory>
#include <string>
#include <vector>

#include "PoiFile.h"

namespace gpsdb {

// 10,000 miles: a search that reaches it has searched the whole earth.
constexpr double kMaxSearchDistanceKm = 16093.44;
// The first ring of a search with no starting distance of its own.
constexpr double kFirstRingKm = 0.25;

// Directions, numbered as the type library's enumeration.
enum PoiDirection {
    kDirectionAll = 0,
    kDirectionNorth,
    kDirectionEast,
    kDirectionSouth,
    kDirectionWest,
    kDirectionAhead,
    kDirectionRight,
    kDirectionBehind,
    kDirectionLeft,
};

struct PoiQuery {
    double latitude = 0.0, longitude = 0.0;
    int category = 0, subcategory = 0; // 0: all
    int direction = kDirectionAll;
    int heading = -1; // degrees; -1 unknown (relative directions then mean all)
    bool privateOnly = false, publicOnly = false, includePrivate = false;
    long maxResults = 25;
    double distanceStartingKm = -1.0; // the first ring's radius when above 0
    int fileIndex = -1;               // -1 every file; n the n-th (map files first, then added)
};

struct PoiHit {
    std::string name;
    PoiKey key = 0;
    double distanceKm = 0.0;
};

// Whether a POI passes the user-POI visibility rule of a search: with "private only" and/or
// "public only" only user POIs of that kind (both: every user POI); with neither, commercial POIs
// and public user POIs, and private ones when `includePrivate`.
bool VisibleTo(bool isUser, bool isPrivate, bool privateOnly, bool publicOnly, bool includePrivate);

class PoiSearch {
public:
    // The POI file that comes and goes with a map; false when it cannot be used (logged by the
    // caller with *error).
    bool AddMapFile(const std::string& path, std::string* error);
    void ClearMapFiles();
    // A stand-alone POI file, as map loading offers it with what GetPOIFileInfo answered. Taken
    // when `isPoiFile`, `categories` is not empty, the limit is not reached, the path is not
    // loaded yet and the file opens.
    bool AddFile(const std::string& path, const std::vector<int>& categories, bool isPoiFile);
    void ClearFiles();
    // The limit of stand-alone files (default 100); values below 1 keep it.
    void SetMaxFiles(int count);
    void SetCacheKilobytes(int kilobytes);

    // Map files and stand-alone files, without the user's own "user.pdb".
    int CommercialFileCount() const;
    // The distinct declared categories of every loaded file, ascending.
    std::vector<int> Categories() const;

    // Searches the ring from *distanceKm (exclusive) to the next radius (inclusive), appends the
    // POIs that pass the filters to *hits nearest first, and sets *distanceKm to the radius
    // reached. True when something was appended.
    bool FindPOIs(const PoiQuery& query, double* distanceKm, std::vector<PoiHit>* hits);

private:
    struct Loaded {
        std::unique_ptr<PoiFile> file;
        std::vector<int> categories;
        bool isUserFile = false;
        // The box of every record of a file that does not change (read once; `extent` false
        // until then or when the file has none).
        bool extentRead = false, extent = false;
        double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
    };
    // The farthest a record of `l` can lie from the position, in kilometres; infinity when that
    // cannot be bounded (a file that changes, or a box too wide to bound by its corners).
    static double FarthestKm(Loaded* l, double latitude, double longitude);
    std::vector<Loaded*> Files(int index);

    std::vector<Loaded> m_mapFiles, m_files;
    int m_maxFiles = 100;
    int m_cacheKilobytes = 0;
};

} // namespace gpsdb

#endif // DATABASE_POISEARCH_H_
