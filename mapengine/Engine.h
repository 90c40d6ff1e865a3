// The map engine's logic, free of the object runtime: the loaded maps and every street-side
// query, with plain C++ answers. CGPSMap (GPSMap.h) turns them into records and statuses.
// docs/maps.md explains the algorithms.
//
// Thread safety: none; the caller serialises every call (CGPSMap holds one lock around each).
#ifndef MAPENGINE_ENGINE_H_
#define MAPENGINE_ENGINE_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "MapData.h"
#include "Router.h"
#include "StreetNames.h"

namespace gpsmap {

// How names are written: the keywords of the query and the resource texts for ways without a
// name.
struct Naming {
    bool expanded = false; // abbreviations written out ("St" -> "Street")
    bool detailed = false; // "Name (ref)"
    std::string unnamedRoad = "Unnamed road";
    std::string unnamedPath = "Unnamed path";
    std::string joiner = " and ";
    // What ways without a name are spoken as; `speakKinds` false keeps the two unnamed words
    // (the raw street name).
    KindWords kinds;
    bool speakKinds = true;
};

// A position matched onto a street.
struct Match {
    const MapData* map = nullptr;
    int edge = -1;
    std::size_t segment = 0; // index of the segment's first point in the edge's geometry
    Point point;             // the closest point on the street
    double distance = 0.0;   // metres from the position to `point`
    double along = 0.0;      // metres along the edge from its first point to `point`
    double bearing = 0.0;    // the segment's direction in drawing order
    bool left = false;       // the position lies left of the drawing direction
};

// One branch leaving an intersection (or the walker's place).
struct Branch {
    std::string name;
    Point at;
    int bearing = 0;
    int kind = 0; // 0 street, 1 connector, 2 no way on
    bool skipped = false;
    int side = 0; // SideOfStreet: 0 unknown, 1 left, 2 right
    bool mustCross = false;
    int street = -1;
};

struct Details {
    Point at;
    bool onStreet = false;
    std::string streetShort, streetDetailed, streetRaw, classification;
    std::string houseNumber;
    int houseRight = 0, houseLeft = 0;
    std::string rightFromText, rightToText, leftFromText, leftToText;
    int rightFrom = 0, rightTo = 0, leftFrom = 0, leftTo = 0;
    std::string city, borough, area, county, state, country, postcode, map;
    double speedMph = 0.0, speedKmh = 0.0;
    int lanes = 0;
};

class Engine {
public:
    // ---- Maps (EngineMaps.cpp) ------------------------------------------------------------------
    // Unloads, then loads the ".rmf" files of `directory` (and, when asked, of the other folders
    // of docs/components.md). Answers "OK", "NO MAPS FOUND: ..." or "NO MAPS LOADED: ...".
    std::string Initialize(const std::string& directory, const std::string& settingsDirectory,
                           bool searchOtherDirectories);
    void Unload();
    const std::string& MapDirectory() const { return m_directory; }
    int MapCount() const { return static_cast<int>(m_maps.size()); }
    // The files of the loaded maps, in load order.
    const std::vector<std::string>& MapPaths() const { return m_mapPaths; }
    int MapCountOfLevel(const std::string& level) const;
    // The installed maps folders, searched last by Initialize when asked to search other
    // folders; by default those of the usual prefixes. The module sets its own installation's.
    void SetInstalledMapFolders(std::vector<std::string> folders) {
        m_installedMapFolders = std::move(folders);
    }
    // Names of the maps found by the last Initialize whose name matches `search`.
    std::vector<std::string> MapsMatching(const std::string& search) const;
    void SetMaxMaps(int count) { m_maxMaps = count; }
    // Log lines of the last Initialize (refused files and the answer).
    const std::vector<std::string>& LoadLog() const { return m_loadLog; }
    // Follows map files that changed while loaded. A map whose file was cut short under it
    // (Lost) always, and with `checkFiles` each map whose file now has another stamp (a new file
    // moved over it, or the file rewritten in place), is opened again; one that does not open (a
    // copy still being written) is unloaded and waits, and is opened as soon as a check finds
    // its file changed again and whole. Answers a log line per change, none when nothing changed.
    std::vector<std::string> RefreshChangedMaps(bool checkFiles);

    // ---- Queries (EngineStreets.cpp, EngineAddresses.cpp) ---------------------------------------
    // True when some loaded map covers p.
    bool Covered(Point p) const;
    // The street at p: nearest street within 50 m; among those within 10 m more, one whose
    // direction is within 45 degrees of `heading` is preferred. With `name`, only streets of
    // that display name (falling back to any street when none of the name is near).
    std::optional<Match> MatchStreet(Point p, int heading, const Naming& naming,
                                     const std::string* name = nullptr) const;
    // The nearest distinct streets at p, best first, at most `limit`.
    std::vector<Match> MatchStreets(Point p, int heading, std::size_t limit) const;
    std::string StreetName(const Match& m, const Naming& naming) const;
    std::string WayName(const MapData& map, int way, const Naming& naming) const;
    // Direction of the matched street in the sense closer to the heading (drawing order for -1).
    static int StreetBearing(const Match& m, int heading);

    // The branches of the current street's nearest intersection (aheadHeading -1) or of the
    // next one ahead; empty when none.
    std::vector<Branch> CrossStreets(Point p, const std::string& currentStreet, int aheadHeading,
                                     const Naming& naming, bool includeConnectors) const;
    // The walker's moves; `side` is the SideOfStreet the walker is on.
    std::vector<Branch> MoveToNextIntersection(Point p, const std::string& street, int heading,
                                               int side, const Naming& naming) const;
    std::vector<Branch> MoveAcrossStreet(Point p, const std::string& street, int heading, int side,
                                         const Naming& naming) const;

    // Street, address and area details at p, best street first, at most 5; one record without
    // street fields when no street is near; empty when no map covers p.
    std::vector<Details> LocationDetails(Point p, int heading, const Naming& naming) const;
    // "A and B, City, 12345" for the intersection nearest p; empty off every map.
    std::string DescribePosition(Point p, const Naming& naming) const;

    // The position of a house number (empty or "-1": the street's middle).
    std::optional<Point> AddressPosition(const std::string& map, long streetKey,
                                         const std::string& street, const std::string& city,
                                         const std::string& postcode,
                                         const std::string& number) const;
    struct Crossing {
        std::string crossStreet, city, postcode, map;
        Point at;
    };
    // The intersections along a street and the other streets meeting at each; nullopt when the
    // street is not found.
    std::optional<std::vector<Crossing>>
    StreetCrossings(const std::string& map, long streetKey, const std::string& street,
                    const std::string& city, const std::string& postcode, bool matchPostcode,
                    const Naming& naming) const;

    // The areas at p on one map.
    void FillAreas(const MapData& map, Point p, Details* d) const;

    // ---- Crossings (EngineCrossings.cpp) --------------------------------------------------------
    // A place where a walker crosses a road, seen from a position.
    struct PedestrianCrossing {
        Point at;
        double distance = 0.0; // metres from the position asked about
        int bearing = -1;      // degrees from it; -1 when it is the position itself
        std::string street;    // the street crossed, named as the street answers name it
        gpslib::formats::CrossingRecord facts{};
    };
    // The crossings within `radius` metres of p, nearest first: none off every map and on maps
    // compiled before crossings were kept. A junction's are those within 25 m of its position.
    std::vector<PedestrianCrossing> CrossingsNear(Point p, double radius,
                                                  const Naming& naming) const;
    // The nearest crossing ahead of a walker at p facing `heading` (degrees): no farther than
    // `range` metres and within 45 degrees of the heading; none when there is no such crossing.
    std::optional<PedestrianCrossing> NextCrossingAhead(Point p, int heading, double range,
                                                        const Naming& naming) const;
    // The crossings a found route uses, in its order: each where the route goes over the road
    // at the crossing's node (arriving and leaving by other ways than the road), its distance
    // the metres along the route from its start. None for a route without steps.
    std::vector<PedestrianCrossing> CrossingsOnRoute(const Route& route,
                                                     const Naming& naming) const;

    // ---- Drawing (EngineDrawing.cpp)
    // --------------------------------------------------------------
    struct MapBox {
        std::string name;
        Box box;
    };
    // The loaded maps' names and bounds, in load order.
    std::vector<MapBox> MapBoxes() const;
    // A way's stretch as a drawing shows it: its points in drawing order.
    struct StreetShape {
        std::string name, cls;
        bool foot = true, car = true;
        std::vector<Point> points;
    };
    // The ways with an edge whose points' box meets `box` on every loaded map, consecutive edges
    // of a way joined into one shape, nearest the box's centre first; at most `limit`, with
    // *complete false when more were there. REQUIRES: box is a small box of valid degrees (a
    // large one reads the grid cells of the whole box).
    std::vector<StreetShape> StreetsInBox(const Box& box, std::size_t limit, const Naming& naming,
                                          bool* complete) const;

    // ---- Routes (EngineMaps.cpp: the map a route runs on) ---------------------------------------
    // A route between two positions on the first map that holds both and connects them; false
    // when there is none (an end off every map or far from every usable street, or no way
    // between them). docs/routing.md describes the profiles and the points.
    bool FindRoute(const RouteRequest& request, const RouteNaming& naming, Route* out) const;

private:
    struct Walk {
        int intersection = -1;
        double distance = 0.0;
        double arrival = 0.0; // walking direction on arrival
        int node = -1;
    };
    // Walks along the matched street from the match in `forward` (drawing) direction to the first
    // intersection farther than `minimum` metres, other than `skip`.
    Walk WalkToIntersection(const Match& m, bool forward, double minimum, int skip) const;
    std::vector<Branch> Branches(const MapData& map, int intersection, double arrival,
                                 int walkerSide, const Naming& naming,
                                 bool includeConnectors) const;
    static void Order(std::vector<Branch>& branches, double first);
    const MapData* FindMap(const std::string& name, Point near) const;
    // The junction the walker at p (matched as m, walking the edge `forward`) stands in; -1
    // when none.
    int StartIntersection(const Match& m, Point p, bool forward) const;
    // True when streets meet at the node of an intersection (not only a street splitting into
    // its halves before the junction).
    static bool WhereStreetsMeet(const MapData& map, int node);
    // True when the edge lies inside the junction: between two of its nodes and no longer than
    // the junction is wide, or on its roundabout's ring.
    static bool InsideJunction(const MapData& map, int edge, int intersection);

    std::vector<std::unique_ptr<MapData>> m_maps;
    std::vector<std::string> m_mapPaths;
    std::vector<std::string> m_foundNames;
    std::vector<std::string> m_loadLog;
    std::vector<std::string> m_installedMapFolders = {"/usr/local/share/gpslib/maps",
                                                      "/usr/share/gpslib/maps"};
    struct WaitingMap {
        std::string path;
        gpslib::os::FileStamp seen; // when last tried
    };
    std::vector<WaitingMap> m_waitingMaps; // changed while loaded, not yet whole again
    std::string m_directory;
    int m_maxMaps = 100;
    mutable RouteScratch m_routeScratch; // the search's memory, reused (calls are serialised)
};

} // namespace gpsmap

#endif // MAPENGINE_ENGINE_H_
