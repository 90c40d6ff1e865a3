#include "Engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "StreetNames.h"
#include "formats/HouseNumber.h"
#include "os/codepage.h"

namespace gpsmap {
namespace {

constexpr double kStreetRadius = 50.0; // metres: farther than this is "no street"
constexpr double kPreferSlack = 10.0;  // metres: how much farther a street along the heading may be
constexpr double kHeadingTolerance = 45.0;
constexpr double kAheadMinimum = 3.0; // metres: an intersection closer than this is passed
constexpr double kBranchProbe = 20.0; // metres along a branch for its leaving direction
constexpr double kMergeAngle = 35.0;  // branches of one street closer than this are one
constexpr double kInsideSlack = 5.0;  // metres a piece inside a junction may bend beyond its width

using gpslib::os::AsciiLower;

bool IsPathClass(std::string_view cls) {
    return cls == "footway" || cls == "path" || cls == "cycleway" || cls == "steps" ||
           cls == "bridleway";
}

// The point `distance` metres along the edge from `node`'s end, and the bearing toward it.
Point AlongFrom(const Edge& e, bool fromStart, double distance) {
    double done = 0.0;
    std::size_t n = e.points.size();
    for (std::size_t k = 0; k + 1 < n; ++k) {
        const Point& a = fromStart ? e.points[k] : e.points[n - 1 - k];
        const Point& b = fromStart ? e.points[k + 1] : e.points[n - 2 - k];
        double seg = geo::Distance(a, b);
        if (done + seg >= distance && seg > 0) {
            double t = (distance - done) / seg;
            return {a.lat + t * (b.lat - a.lat), a.lon + t * (b.lon - a.lon)};
        }
        done += seg;
    }
    return fromStart ? e.points.back() : e.points.front();
}

// Direction in which an edge leaves `node`.
double LeavingBearing(const Edge& e, bool fromStart) {
    Point start = fromStart ? e.points.front() : e.points.back();
    Point probe = AlongFrom(e, fromStart, kBranchProbe);
    if (geo::Distance(start, probe) < 0.01) return 0.0;
    return geo::Bearing(start, probe);
}

// The side a walker is on and whether it must first cross, for a branch at `relative` degrees
// clockwise from the walking direction, when the walker arrives on `side`.
void SideFor(double relative, int side, Branch* b) {
    if (side == 0) return;
    bool right = side == 2;
    bool back = relative > 150.0 && relative < 210.0;
    bool toLeft = relative >= 210.0 && relative < 330.0;
    bool toRight = relative > 30.0 && relative <= 150.0;
    if (back) {
        b->side = right ? 1 : 2;
    } else {
        b->side = side;
        b->mustCross = right ? toLeft : toRight;
    }
}

} // namespace

// ---- Maps ---------------------------------------------------------------------------------------

std::string Engine::Initialize(const std::string& directory, const std::string& settingsDirectory,
                               bool searchOtherDirectories) {
    Unload();
    m_loadLog.clear();
    std::vector<std::string> folders = {directory};
    if (searchOtherDirectories) {
        if (!settingsDirectory.empty()) folders.push_back(settingsDirectory);
        if (const char* path = std::getenv("GPSLIB_MAP_PATH")) {
            std::string all = path;
            for (std::size_t i = 0; i <= all.size();) {
                std::size_t j = all.find(':', i);
                if (j == std::string::npos) j = all.size();
                if (j > i) folders.push_back(all.substr(i, j - i));
                i = j + 1;
            }
        }
        const char* xdg = std::getenv("XDG_DATA_HOME");
        const char* home = std::getenv("HOME");
        if (xdg && *xdg)
            folders.push_back(std::string(xdg) + "/gpslib/maps");
        else if (home && *home)
            folders.push_back(std::string(home) + "/.local/share/gpslib/maps");
        folders.insert(folders.end(), m_installedMapFolders.begin(), m_installedMapFolders.end());
    }
    std::string firstFailure;
    bool anyFile = false;
    for (const std::string& folder : folders) {
        std::string native = folder;
        std::replace(native.begin(), native.end(), '\\', '/');
        std::error_code ec;
        std::vector<std::filesystem::path> files;
        for (std::filesystem::directory_iterator it(native, ec), end; !ec && it != end;
             it.increment(ec)) {
            std::string ext = AsciiLower(it->path().extension().string());
            if (ext == ".rmf" && it->is_regular_file(ec)) files.push_back(it->path());
        }
        if (files.empty()) continue;
        anyFile = true;
        std::sort(files.begin(), files.end());
        std::vector<std::string> names;
        for (const std::filesystem::path& file : files) {
            names.push_back(file.stem().string());
            if (static_cast<int>(m_maps.size()) >= m_maxMaps) continue;
            auto map = std::make_unique<MapData>();
            std::string error;
            if (!map->Open(file.string(), &error)) {
                m_loadLog.push_back("refused " + file.string() + ": " + error);
                if (firstFailure.empty()) firstFailure = file.string() + ": " + error;
                continue;
            }
            m_loadLog.push_back("loaded " + file.string());
            m_maps.push_back(std::move(map));
            m_mapPaths.push_back(file.string());
        }
        if (!m_maps.empty()) {
            m_directory = folder;
            m_foundNames = names;
            std::sort(m_foundNames.begin(), m_foundNames.end());
            return "OK";
        }
    }
    if (!anyFile) return "NO MAPS FOUND: " + directory;
    return "NO MAPS LOADED: " + firstFailure;
}

std::vector<std::string> Engine::RefreshChangedMaps(bool checkFiles) {
    std::vector<std::string> log;
    for (std::size_t i = 0; i < m_maps.size();) {
        const std::string path = m_mapPaths[i];
        gpslib::os::FileStamp now;
        bool changed = m_maps[i]->Lost();
        if (!changed && checkFiles && gpslib::os::StampOf(path, &now).ok())
            changed = now != m_maps[i]->Stamp(); // a removed file is still read from its mapping
        if (!changed) {
            ++i;
            continue;
        }
        auto map = std::make_unique<MapData>();
        std::string error;
        if (map->Open(path, &error)) {
            log.push_back("changed while loaded, loaded again: " + path);
            m_maps[i++] = std::move(map);
            continue;
        }
        std::string line = "changed while loaded, unloaded until it opens again: " + path;
        line.append(": ").append(error);
        log.push_back(std::move(line));
        WaitingMap waiting{path, {}};
        (void)gpslib::os::StampOf(path, &waiting.seen);
        m_waitingMaps.push_back(std::move(waiting));
        m_maps.erase(m_maps.begin() + static_cast<std::ptrdiff_t>(i));
        m_mapPaths.erase(m_mapPaths.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (!checkFiles) return log;
    for (auto it = m_waitingMaps.begin(); it != m_waitingMaps.end();) {
        gpslib::os::FileStamp now;
        if (!gpslib::os::StampOf(it->path, &now).ok() || now == it->seen) {
            ++it;
            continue;
        }
        it->seen = now;
        auto map = std::make_unique<MapData>();
        std::string error;
        if (!map->Open(it->path, &error)) {
            ++it;
            continue;
        }
        log.push_back("loaded again: " + it->path);
        // Back in its place in the load order (the folder's files, sorted).
        auto at = std::upper_bound(m_mapPaths.begin(), m_mapPaths.end(), it->path);
        m_maps.insert(m_maps.begin() + (at - m_mapPaths.begin()), std::move(map));
        m_mapPaths.insert(at, it->path);
        it = m_waitingMaps.erase(it);
    }
    return log;
}

void Engine::Unload() {
    m_maps.clear();
    m_mapPaths.clear();
    m_waitingMaps.clear();
}

int Engine::MapCountOfLevel(const std::string& level) const {
    int n = 0;
    for (const auto& m : m_maps)
        n += m->Level() == level ? 1 : 0;
    return n;
}

std::vector<std::string> Engine::MapsMatching(const std::string& search) const {
    std::vector<std::string> out;
    std::string s = AsciiLower(search);
    for (const std::string& name : m_foundNames) {
        if (s.empty() || s == "*") {
            out.push_back(name);
            continue;
        }
        std::string n = AsciiLower(name);
        for (std::size_t i = 0; i < n.size(); ++i) {
            bool wordStart = i == 0 || n[i - 1] == '_' || n[i - 1] == ' ' || n[i - 1] == '-';
            if (wordStart && n.compare(i, s.size(), s) == 0) {
                out.push_back(name);
                break;
            }
        }
    }
    return out;
}

// ---- Streets -----------------------------------------------------------------------------------

bool Engine::Covered(Point p) const {
    for (const auto& m : m_maps)
        if (m->Covers(p, 100.0)) return true;
    return false;
}

std::string Engine::WayName(const MapData& map, int way, const Naming& naming) const {
    const Way& w = map.Way(way);
    std::string name(w.name.empty() ? w.ref : w.name);
    if (name.empty()) return IsPathClass(w.cls) ? naming.unnamedPath : naming.unnamedRoad;
    if (naming.expanded) name = ExpandAbbreviations(name);
    if (naming.detailed && !w.name.empty() && !w.ref.empty())
        name += " (" + std::string(w.ref) + ")";
    return name;
}

std::string Engine::StreetName(const Match& m, const Naming& naming) const {
    return WayName(*m.map, m.map->Edge(m.edge).way, naming);
}

std::vector<Match> Engine::MatchStreets(Point p, int heading, std::size_t limit) const {
    std::vector<Match> all;
    std::vector<int> near;
    for (const auto& map : m_maps) {
        if (!map->Covers(p, 100.0)) continue;
        map->EdgesNear(p, kStreetRadius + 5.0, &near);
        for (int ei : near) {
            const Edge& e = map->Edge(ei);
            Match best;
            best.distance = 1e18;
            double along = 0.0;
            for (std::size_t k = 0; k + 1 < e.points.size(); ++k) {
                geo::Projection pr = geo::Project(p, e.points[k], e.points[k + 1]);
                double seg = geo::Distance(e.points[k], e.points[k + 1]);
                if (pr.distance < best.distance) {
                    best.map = map.get();
                    best.edge = ei;
                    best.segment = k;
                    best.point = pr.point;
                    best.distance = pr.distance;
                    best.along = along + pr.t * seg;
                    best.bearing = geo::Bearing(e.points[k], e.points[k + 1]);
                    best.left = pr.cross > 0;
                }
                along += seg;
            }
            if (best.map != nullptr && best.distance <= kStreetRadius) all.push_back(best);
        }
    }
    std::sort(all.begin(), all.end(), [](const Match& a, const Match& b) {
        return a.distance != b.distance ? a.distance < b.distance : a.edge < b.edge;
    });
    if (!all.empty() && heading >= 0) {
        // Prefer a street along the heading among those nearly as near as the nearest.
        double limitDistance = all.front().distance + kPreferSlack;
        for (std::size_t i = 0; i < all.size() && all[i].distance <= limitDistance; ++i) {
            double d = geo::AngleBetween(all[i].bearing, heading);
            if (std::min(d, 180.0 - d) <= kHeadingTolerance) {
                std::rotate(all.begin(), all.begin() + static_cast<long>(i),
                            all.begin() + static_cast<long>(i) + 1);
                break;
            }
        }
    }
    // One match per street: the best of each.
    std::vector<Match> out;
    std::set<std::pair<const MapData*, int>> seen;
    for (const Match& m : all) {
        int street = m.map->Way(m.map->Edge(m.edge).way).street;
        if (!seen.insert({m.map, street}).second) continue;
        out.push_back(m);
        if (out.size() >= limit) break;
    }
    return out;
}

std::optional<Match> Engine::MatchStreet(Point p, int heading, const Naming& naming,
                                         const std::string* name) const {
    std::vector<Match> matches = MatchStreets(p, heading, 64);
    if (matches.empty()) return std::nullopt;
    if (name != nullptr && !name->empty()) {
        for (const Match& m : matches)
            if (StreetName(m, naming) == *name) return m;
        Naming plain;
        for (const Match& m : matches)
            if (AsciiLower(StreetName(m, plain)) == AsciiLower(*name) ||
                AsciiLower(std::string(m.map->Way(m.map->Edge(m.edge).way).name)) ==
                    AsciiLower(*name))
                return m;
    }
    return matches.front();
}

int Engine::StreetBearing(const Match& m, int heading) {
    double b = m.bearing;
    if (heading >= 0 && geo::AngleBetween(b, heading) > 90.0) b = std::fmod(b + 180.0, 360.0);
    return geo::WholeDegrees(b);
}

// ---- Walking along a street
// ------------------------------------------------------------------------

bool Engine::InsideJunction(const MapData& map, int edge, int intersection) {
    const Edge& e = map.Edge(edge);
    const IntersectionRow& x = map.Intersection(intersection);
    if (map.Node(e.from).intersection != intersection ||
        map.Node(e.to).intersection != intersection)
        return false;
    // A roundabout's ring; otherwise a piece no longer than the junction is wide (a loop whose
    // two ends meet at the junction is a street of its own).
    if (x.kind == 2) return map.Way(e.way).roundabout;
    double span = 0.0;
    for (std::size_t i = 0; i < x.nodes.size(); ++i)
        for (std::size_t j = i + 1; j < x.nodes.size(); ++j)
            span = std::max(span, geo::Distance(map.Node(x.nodes[i]).at, map.Node(x.nodes[j]).at));
    return e.from != e.to && e.length <= span + kInsideSlack;
}

bool Engine::WhereStreetsMeet(const MapData& map, int node) {
    const Node& n = map.Node(node);
    const IntersectionRow& x = map.Intersection(n.intersection);
    if (x.kind == 2 || x.nodes.size() == 1) return true;
    int street = -1;
    for (int ei : n.edges) {
        const Way& w = map.Way(map.Edge(ei).way);
        if (w.role != format::kRoleStreet) continue;
        if (street >= 0 && w.street != street) return true;
        street = w.street;
    }
    return false;
}

int Engine::StartIntersection(const Match& m, Point p, bool forward) const {
    // Only the junction the walker stands in is passed: the walker is at its position or where
    // its streets meet, or has left that point on a piece inside it (between the halves of a
    // dual carriageway, on a roundabout). A junction just ahead, however close, is the next one,
    // and so is one whose street split into halves behind the walker.
    const MapData& map = *m.map;
    const Edge& e = map.Edge(m.edge);
    for (int node : {e.from, e.to}) {
        const Node& n = map.Node(node);
        if (n.intersection >= 0 && geo::Distance(m.point, n.at) <= kAheadMinimum &&
            WhereStreetsMeet(map, node))
            return n.intersection;
    }
    int behind = forward ? e.from : e.to;
    int x = map.Node(behind).intersection;
    if (x >= 0 && WhereStreetsMeet(map, behind) && InsideJunction(map, m.edge, x)) return x;
    std::vector<int> near;
    map.IntersectionsNear(p, kAheadMinimum, &near);
    for (int y : near)
        if (geo::Distance(p, map.Intersection(y).at) <= kAheadMinimum) return y;
    return -1;
}

Engine::Walk Engine::WalkToIntersection(const Match& m, bool forward, double minimum,
                                        int skip) const {
    const MapData& map = *m.map;
    Walk w;
    int edge = m.edge;
    Edge current = map.Edge(edge);
    const Edge* e = &current;
    double distance = forward ? e->length - m.along : m.along;
    int node = forward ? e->to : e->from;
    auto arrivalOf = [&](const Edge& ed, bool fwd) {
        return fwd ? geo::Bearing(ed.points[ed.points.size() - 2], ed.points.back())
                   : geo::Bearing(ed.points[1], ed.points.front());
    };
    double arrival = arrivalOf(*e, forward);
    int street = map.Way(e->way).street;
    int role = map.Way(e->way).role;
    // A loop without an intersection (a closed path in a park) would be walked round until the
    // step or distance limit. Edge, node and street decide every later step, so a state seen
    // again starts the same lap again: nothing new lies ahead when the lap began past `minimum`
    // (no intersection on it was passed over as too near), or when it added no distance (edges
    // of no length in a broken map). Brent's checkpoints find the repeat within two laps, with no
    // memory of the path.
    struct State {
        int edge = -1, node = -1, street = -1;
        bool operator==(const State&) const = default;
    } checkpoint;
    double checkpointDistance = 0.0;
    int sinceCheckpoint = 0, checkpointSpan = 1;
    for (int steps = 0; steps < 5000 && distance < 50000.0; ++steps) {
        const Node& n = map.Node(node);
        if (n.intersection >= 0 && n.intersection != skip && distance > minimum) {
            w.intersection = n.intersection;
            w.distance = distance;
            w.arrival = arrival;
            w.node = node;
            return w;
        }
        const State now{edge, node, street};
        const bool lapAgain = now == checkpoint;
        if (lapAgain && (checkpointDistance > minimum || !(distance > checkpointDistance))) break;
        if (lapAgain || ++sinceCheckpoint == checkpointSpan) {
            // A lap again that started within `minimum` is walked once more from here.
            if (!lapAgain) checkpointSpan *= 2;
            checkpoint = now;
            checkpointDistance = distance;
            sinceCheckpoint = 0;
        }
        // Continue: the same street first, else the straightest street (a connector only when
        // walking one).
        int next = -1;
        double bestScore = 1e18;
        for (int candidate : n.edges) {
            if (candidate == edge) continue;
            const Edge& c = map.Edge(candidate);
            const Way& cw = map.Way(c.way);
            if (cw.role > format::kRoleConnector) continue;
            if (cw.role == format::kRoleConnector && role != format::kRoleConnector) continue;
            bool fwd = c.from == node;
            double turn = geo::AngleBetween(arrival, LeavingBearing(c, fwd));
            double score = turn + (cw.street == street ? 0.0 : 1000.0);
            if (score < bestScore) bestScore = score, next = candidate;
        }
        if (next < 0) break; // a dead end
        edge = next;
        current = map.Edge(edge);
        bool fwd = e->from == node;
        if (map.Way(e->way).street != street && n.intersection < 0 && bestScore >= 1000.0 &&
            street >= 0) {
            // The street went on under another name without an intersection: follow it.
            street = map.Way(e->way).street;
        }
        distance += e->length;
        node = fwd ? e->to : e->from;
        arrival = arrivalOf(*e, fwd);
    }
    return w;
}

std::vector<Branch> Engine::Branches(const MapData& map, int intersection, double arrival,
                                     int walkerSide, const Naming& naming,
                                     bool includeConnectors) const {
    const IntersectionRow& x = map.Intersection(intersection);
    struct Raw {
        Branch b;
        double sx = 0, sy = 0;
        int count = 0;
    };
    std::vector<Raw> raw;
    for (int node : x.nodes) {
        for (int ei : map.Node(node).edges) {
            const Edge& e = map.Edge(ei);
            const Way& w = map.Way(e.way);
            if (w.role > format::kRoleConnector) continue;
            if (w.role == format::kRoleConnector && !includeConnectors) continue;
            for (bool fromStart : {true, false}) {
                int here = fromStart ? e.from : e.to;
                if (here != node) continue;
                if (InsideJunction(map, ei, intersection)) continue;
                Branch b;
                b.name = WayName(map, e.way, naming);
                b.at = x.at;
                double bearing = LeavingBearing(e, fromStart);
                b.street = w.street;
                if (w.role == format::kRoleConnector) {
                    b.kind = 1;
                    b.skipped = true;
                } else {
                    // No way on: closed to walkers, or ending before another intersection.
                    Match m;
                    m.map = &map;
                    m.edge = ei;
                    m.along = fromStart ? 0.0 : e.length;
                    m.point = fromStart ? e.points.front() : e.points.back();
                    Walk walk = WalkToIntersection(m, fromStart, 0.0, intersection);
                    if (!w.foot || walk.intersection < 0) b.kind = 2;
                }
                // Branches of one street leaving the same way (the two halves of a dual
                // carriageway) are one branch.
                bool merged = false;
                for (Raw& r : raw) {
                    if (r.b.street == b.street && r.b.kind == b.kind &&
                        geo::AngleBetween(std::atan2(r.sx, r.sy) * 180.0 / geo::kPi, bearing) <
                            kMergeAngle) {
                        r.sx += std::sin(geo::Radians(bearing));
                        r.sy += std::cos(geo::Radians(bearing));
                        ++r.count;
                        merged = true;
                        break;
                    }
                }
                if (merged) continue;
                Raw r;
                r.b = b;
                r.sx = std::sin(geo::Radians(bearing));
                r.sy = std::cos(geo::Radians(bearing));
                r.count = 1;
                raw.push_back(std::move(r));
            }
        }
    }
    std::vector<Branch> out;
    for (Raw& r : raw) {
        double bearing = std::atan2(r.sx, r.sy) * 180.0 / geo::kPi;
        if (bearing < 0) bearing += 360.0;
        r.b.bearing = geo::WholeDegrees(bearing);
        if (arrival >= 0) {
            double relative = std::fmod(r.b.bearing - arrival + 720.0, 360.0);
            SideFor(relative, walkerSide, &r.b);
        }
        out.push_back(std::move(r.b));
        if (out.size() >= 150) break;
    }
    return out;
}

void Engine::Order(std::vector<Branch>& branches, double first) {
    std::sort(branches.begin(), branches.end(), [](const Branch& a, const Branch& b) {
        return a.bearing != b.bearing ? a.bearing < b.bearing : a.name < b.name;
    });
    if (branches.empty() || first < 0) return;
    std::size_t best = 0;
    double bestAngle = 1e9;
    for (std::size_t i = 0; i < branches.size(); ++i) {
        // Ties go to the branch clockwise of `first` (the right-hand one).
        // Whole degrees, as the bearings are: a street leaving at right angles to both sides
        // of a slightly curved arrival is a tie.
        double a = std::round(geo::AngleBetween(branches[i].bearing, first));
        double clockwise = std::fmod(branches[i].bearing - first + 720.0, 360.0);
        a += clockwise > 180.0 ? 0.5 : 0.0;
        if (a < bestAngle) bestAngle = a, best = i;
    }
    std::rotate(branches.begin(), branches.begin() + static_cast<long>(best), branches.end());
}

std::vector<Branch> Engine::CrossStreets(Point p, const std::string& currentStreet,
                                         int aheadHeading, const Naming& naming,
                                         bool includeConnectors) const {
    std::optional<Match> m = MatchStreet(p, aheadHeading, naming, &currentStreet);
    if (!m) return {};
    Walk walk;
    if (aheadHeading < 0) {
        // Standing on an intersection, that one is the nearest.
        Walk a = WalkToIntersection(*m, true, -1.0, -1);
        Walk b = WalkToIntersection(*m, false, -1.0, -1);
        if (a.intersection < 0 || (b.intersection >= 0 && b.distance < a.distance)) a = b;
        walk = a;
    } else {
        bool forward = geo::AngleBetween(m->bearing, aheadHeading) <= 90.0;
        walk = WalkToIntersection(*m, forward, kAheadMinimum, StartIntersection(*m, p, forward));
    }
    if (walk.intersection < 0) return {};
    std::vector<Branch> out =
        Branches(*m->map, walk.intersection, walk.arrival, 2, naming, includeConnectors);
    Order(out, aheadHeading < 0 ? -1.0 : walk.arrival);
    return out;
}

std::vector<Branch> Engine::MoveToNextIntersection(Point p, const std::string& street, int heading,
                                                   int side, const Naming& naming) const {
    std::optional<Match> m = MatchStreet(p, heading, naming, &street);
    if (!m || heading < 0) return {};
    bool forward = geo::AngleBetween(m->bearing, heading) <= 90.0;
    Walk walk = WalkToIntersection(*m, forward, kAheadMinimum, StartIntersection(*m, p, forward));
    if (walk.intersection < 0) return {};
    std::vector<Branch> out =
        Branches(*m->map, walk.intersection, walk.arrival, side, naming, true);
    Order(out, walk.arrival);
    return out;
}

std::vector<Branch> Engine::MoveAcrossStreet(Point p, const std::string& street, int heading,
                                             int side, const Naming& naming) const {
    std::optional<Match> m = MatchStreet(p, heading, naming, &street);
    if (!m) return {};
    double along = heading >= 0 && geo::AngleBetween(m->bearing, heading) > 90.0
                       ? std::fmod(m->bearing + 180.0, 360.0)
                       : m->bearing;
    std::string name = StreetName(*m, naming);
    int other = side == 1 ? 2 : side == 2 ? 1 : 0;
    int street_ = m->map->Way(m->map->Edge(m->edge).way).street;
    Branch ahead{name, m->point, geo::WholeDegrees(along), 0, false, other, false, street_};
    Branch back{name,  m->point, geo::WholeDegrees(along + 180.0),
                0,     false,    other == 0 ? 0 : (other == 1 ? 2 : 1),
                false, street_};
    std::vector<Branch> out = {ahead, back};
    Order(out, heading >= 0 ? heading : along);
    return out;
}

// ---- Details ------------------------------------------------------------------------------------

void Engine::FillAreas(const MapData& map, Point p, Details* d) const {
    auto name = [&](int kind) {
        std::optional<Area> a = map.AreaAt(p, kind);
        return a ? std::string(a->name) : std::string();
    };
    d->city = name(format::kAreaCity);
    if (d->city.empty())
        if (std::optional<Place> place = map.NearestPlace(p, 8000.0))
            d->city = std::string(place->name);
    d->borough = name(format::kAreaBorough);
    d->area = name(format::kAreaSuburb);
    d->county = name(format::kAreaCounty);
    d->state = name(format::kAreaState);
    d->country = name(format::kAreaCountry);
    d->postcode = name(format::kAreaPostal);
    d->map = map.Name();
}

std::vector<Details> Engine::LocationDetails(Point p, int heading, const Naming& naming) const {
    std::vector<Match> matches = MatchStreets(p, heading, 5);
    if (matches.empty()) {
        for (const auto& map : m_maps)
            if (map->Covers(p, 100.0)) {
                Details d;
                d.at = p;
                FillAreas(*map, p, &d);
                return {d};
            }
        return {};
    }
    std::vector<Details> out;
    for (const Match& m : matches) {
        const MapData& map = *m.map;
        const Edge& edge = map.Edge(m.edge);
        const Way& way = map.Way(edge.way);
        const StreetRow& street = map.Street(way.street);
        Details d;
        d.at = m.point;
        d.onStreet = true;
        d.streetShort = StreetName(m, naming);
        Naming detailed = naming;
        detailed.detailed = true;
        d.streetDetailed = StreetName(m, detailed);
        d.streetRaw = way.name.empty() ? StreetName(m, Naming{false, false, naming.unnamedRoad,
                                                              naming.unnamedPath, naming.joiner})
                                       : way.name;
        d.classification = way.cls;
        std::replace(d.classification.begin(), d.classification.end(), '_', ' ');
        d.speedKmh = std::round(way.maxspeed);
        d.speedMph = std::round(way.maxspeed / 1.609344);
        d.lanes = way.lanes;
        FillAreas(map, p, &d);
        if (d.postcode.empty()) d.postcode = street.postcode;
        if (d.city.empty()) d.city = street.city;
        if (d.state.empty()) d.state = street.state;

        // The street stretch between its two intersections, edge by edge, with each edge's
        // direction relative to the matched edge.
        std::vector<std::pair<int, bool>> stretch = {{m.edge, true}};
        for (bool forward : {true, false}) {
            int node = forward ? edge.to : edge.from;
            int current = m.edge;
            for (int steps = 0; steps < 200; ++steps) {
                const Node& n = map.Node(node);
                if (n.intersection >= 0) break;
                int next = -1;
                for (int c : n.edges) {
                    if (c == current) continue;
                    const Way& cw = map.Way(map.Edge(c).way);
                    if (cw.street == way.street) next = c;
                }
                if (next < 0) break;
                const Edge& ne = map.Edge(next);
                // Walking away from the matched edge: its drawing sense agrees with the matched
                // edge's when we leave through its first point going forward.
                bool nextForward = ne.from == node;
                bool agrees = forward ? nextForward : !nextForward;
                stretch.push_back({next, agrees});
                current = next;
                node = nextForward ? ne.to : ne.from;
            }
        }
        std::vector<int> edgeIds;
        std::map<int, bool> sense;
        for (const auto& [id, agrees] : stretch) {
            edgeIds.push_back(id);
            sense[id] = agrees;
        }
        std::vector<AddressRow> rows = map.AddressesOnEdges(edgeIds);
        // Sides relative to the heading: flipped when the heading runs against the drawing.
        bool flip = heading >= 0 && geo::AngleBetween(m.bearing, heading) > 90.0;
        struct Range {
            const AddressRow* low = nullptr;
            const AddressRow* high = nullptr;
        } ranges[3];
        const AddressRow* nearest[3] = {nullptr, nullptr, nullptr};
        double nearestDistance[3] = {60.0, 60.0, 60.0};
        for (const AddressRow& a : rows) {
            int side = a.side;
            if (!sense[a.edge]) side = side == 1 ? 2 : side == 2 ? 1 : 0;
            if (side != 1 && side != 2) continue;
            if (flip) side = side == 1 ? 2 : 1;
            Range& r = ranges[side];
            if (a.value > 0) {
                if (r.low == nullptr || a.value < r.low->value) r.low = &a;
                if (r.high == nullptr || a.value > r.high->value) r.high = &a;
            }
            double dist = geo::Distance(m.point, a.at);
            // The house in front of the matched point: its projection onto the street, near.
            if (a.edge == m.edge) dist = std::fabs(a.offset - m.along);
            if (dist < nearestDistance[side]) nearestDistance[side] = dist, nearest[side] = &a;
        }
        if (ranges[2].low) {
            d.rightFromText = ranges[2].low->number, d.rightFrom = ranges[2].low->value;
            d.rightToText = ranges[2].high->number, d.rightTo = ranges[2].high->value;
        }
        if (ranges[1].low) {
            d.leftFromText = ranges[1].low->number, d.leftFrom = ranges[1].low->value;
            d.leftToText = ranges[1].high->number, d.leftTo = ranges[1].high->value;
        }
        if (nearest[2]) d.houseRight = nearest[2]->value;
        if (nearest[1]) d.houseLeft = nearest[1]->value;
        int positionSide = m.left ? 1 : 2;
        if (flip) positionSide = positionSide == 1 ? 2 : 1;
        if (nearest[positionSide]) d.houseNumber = nearest[positionSide]->number;
        out.push_back(std::move(d));
    }
    return out;
}

std::string Engine::DescribePosition(Point p, const Naming& naming) const {
    for (const auto& map : m_maps) {
        if (!map->Covers(p, 100.0)) continue;
        std::vector<int> near;
        int best = -1;
        double bestDistance = 1e18;
        for (double radius : {200.0, 1000.0, 5000.0}) {
            map->IntersectionsNear(p, radius, &near);
            for (int x : near) {
                double d = geo::Distance(p, map->Intersection(x).at);
                if (d < bestDistance) bestDistance = d, best = x;
            }
            if (best >= 0) break;
        }
        Details d;
        FillAreas(*map, p, &d);
        std::string text;
        if (best >= 0) {
            std::vector<std::string> names;
            for (const Branch& b : Branches(*map, best, -1, 0, naming, false))
                if (b.kind != 1 && std::find(names.begin(), names.end(), b.name) == names.end())
                    names.push_back(b.name);
            std::sort(names.begin(), names.end());
            for (std::size_t i = 0; i < names.size(); ++i)
                text += (i ? naming.joiner : "") + names[i];
        }
        if (!d.city.empty()) text += (text.empty() ? "" : ", ") + d.city;
        if (!d.postcode.empty()) text += (text.empty() ? "" : ", ") + d.postcode;
        return text;
    }
    return {};
}

// ---- Address search ----------------------------------------------------------------------------

const MapData* Engine::FindMap(const std::string& name, Point) const {
    for (const auto& m : m_maps)
        if (AsciiLower(m->Name()) == AsciiLower(name)) return m.get();
    return nullptr;
}

namespace {

// The street of an address record: by key when it names this street, else by name (and city or
// postal code when given).
int FindStreet(const MapData& map, long key, const std::string& street, const std::string& city,
               const std::string& postcode) {
    if (key >= 0 && static_cast<std::size_t>(key) < map.StreetCount() &&
        (street.empty() ||
         AsciiLower(map.Street(static_cast<int>(key)).name) == AsciiLower(street)))
        return static_cast<int>(key);
    int fallback = -1;
    for (std::size_t i = 0; i < map.StreetCount(); ++i) {
        const StreetRow& s = map.Street(static_cast<int>(i));
        if (street.empty() || AsciiLower(s.name) != AsciiLower(street)) continue;
        if ((!city.empty() && s.city == city) || (!postcode.empty() && s.postcode == postcode))
            return static_cast<int>(i);
        if (fallback < 0) fallback = static_cast<int>(i);
    }
    return fallback;
}

Point PointAt(const Edge& e, double offset) {
    return AlongFrom(e, true, std::max(0.0, offset));
}

} // namespace

std::optional<Point> Engine::AddressPosition(const std::string& mapName, long streetKey,
                                             const std::string& street, const std::string& city,
                                             const std::string& postcode,
                                             const std::string& number) const {
    const MapData* map = FindMap(mapName, {});
    if (map == nullptr) return std::nullopt;
    int s = FindStreet(*map, streetKey, street, city, postcode);
    if (s < 0) return std::nullopt;
    if (number.empty() || number == "-1") {
        // The middle of the street: the middle of its middle edge.
        std::vector<int> own;
        for (int i : map->StreetEdges(s))
            if (map->Way(map->Edge(i).way).street == s) own.push_back(i);
        if (own.empty()) return std::nullopt;
        const Edge& e = map->Edge(own[own.size() / 2]);
        return PointAt(e, e.length / 2);
    }
    std::vector<AddressRow> rows = map->AddressesOfStreet(s);
    const format::HouseNumber wanted = format::ParseHouseNumber(number);
    // The building itself; else a building of that number (the one without a part, else the
    // first part), since "36" asks for the buildings of number 36 and "36 к3" is at least there.
    const AddressRow* same = nullptr;
    std::string samePart;
    for (const AddressRow& a : rows) {
        format::HouseNumber h = format::ParseHouseNumber(a.number);
        if (h.value == wanted.value && h.part == wanted.part)
            return PointAt(map->Edge(a.edge), a.offset);
        if (wanted.value > 0 && h.value == wanted.value && (!same || h.part < samePart))
            same = &a, samePart = h.part;
    }
    if (same) return PointAt(map->Edge(same->edge), same->offset);
    // Between the two nearest numbers of the same parity that enclose it.
    long value = wanted.value;
    if (value <= 0) return std::nullopt;
    const AddressRow* low = nullptr;
    const AddressRow* high = nullptr;
    for (const AddressRow& a : rows) {
        if (a.value <= 0 || a.value % 2 != value % 2) continue;
        if (a.value < value && (!low || a.value > low->value)) low = &a;
        if (a.value > value && (!high || a.value < high->value)) high = &a;
    }
    if (!low || !high) return std::nullopt;
    double t = static_cast<double>(value - low->value) / (high->value - low->value);
    if (low->edge == high->edge) // along the street itself, bends included
        return PointAt(map->Edge(low->edge), low->offset + t * (high->offset - low->offset));
    Point pl = PointAt(map->Edge(low->edge), low->offset);
    Point ph = PointAt(map->Edge(high->edge), high->offset);
    Point guess{pl.lat + t * (ph.lat - pl.lat), pl.lon + t * (ph.lon - pl.lon)};
    // Back onto the addressed street (a nearer path or another street is not the address).
    Point best = guess;
    double bestDistance = 1e18;
    for (int ei : map->StreetEdges(s)) {
        const Edge e = map->Edge(ei);
        if (map->Way(e.way).street != s) continue;
        for (std::size_t i = 0; i + 1 < e.points.size(); ++i) {
            geo::Projection pr = geo::Project(guess, e.points[i], e.points[i + 1]);
            if (pr.distance < bestDistance) {
                bestDistance = pr.distance;
                best = pr.point;
            }
        }
    }
    return best;
}

std::optional<std::vector<Engine::Crossing>>
Engine::StreetCrossings(const std::string& mapName, long streetKey, const std::string& street,
                        const std::string& city, const std::string& postcode, bool matchPostcode,
                        const Naming& naming) const {
    const MapData* map = FindMap(mapName, {});
    if (map == nullptr) return std::nullopt;
    int s = FindStreet(*map, streetKey, street, city, postcode);
    if (s < 0) return std::nullopt;
    std::set<int> xs;
    Point first{1000, 1000};
    for (int ei : map->StreetEdges(s)) {
        const Edge e = map->Edge(ei);
        if (map->Way(e.way).street != s) continue;
        for (int node : {e.from, e.to}) {
            int x = map->Node(node).intersection;
            if (x >= 0) xs.insert(x);
        }
        // One end of the street: the westernmost (then southernmost) point.
        for (const Point& p : {e.points.front(), e.points.back()})
            if (p.lon < first.lon || (p.lon == first.lon && p.lat < first.lat)) first = p;
    }
    std::vector<std::pair<double, Crossing>> found;
    for (int x : xs) {
        const IntersectionRow& row = map->Intersection(x);
        Details d;
        FillAreas(*map, row.at, &d);
        if (d.postcode.empty()) d.postcode = map->Street(s).postcode;
        if (matchPostcode && d.postcode != postcode) continue;
        std::set<std::string> names;
        for (const Branch& b : Branches(*map, x, -1, 0, naming, false))
            if (b.street != s && b.kind != 1) names.insert(b.name);
        for (const std::string& name : names)
            found.push_back(
                {geo::Distance(first, row.at), {name, d.city, d.postcode, map->Name(), row.at}});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Crossing> out;
    out.reserve(found.size());
    for (auto& f : found)
        out.push_back(std::move(f.second));
    return out;
}

// ---- Routes -------------------------------------------------------------------------------------

bool Engine::FindRoute(const RouteRequest& request, const RouteNaming& naming, Route* out) const {
    auto valid = [](Point p) {
        return std::isfinite(p.lat) && std::isfinite(p.lon) && p.lat >= -90 && p.lat <= 90 &&
               p.lon >= -180 && p.lon <= 180;
    };
    if (!valid(request.start) || !valid(request.end)) return false;
    for (const auto& map : m_maps) {
        if (!map->Covers(request.start, 100.0) || !map->Covers(request.end, 100.0)) continue;
        if (gpsmap::FindRoute(*map, request, naming, &m_routeScratch, out)) return true;
    }
    *out = Route{};
    return false;
}

} // namespace gpsmap
