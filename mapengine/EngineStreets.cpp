// The engine's street queries: matching a position onto the streets, and walking a street to its
// intersections and the branches that leave them, as the walker's moves and the cross streets
// ahead see them.
#include <algorithm>
#include <cmath>
#include <set>

#include "EdgeGeometry.h"
#include "Engine.h"
#include "StreetNames.h"
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

std::string Engine::WayName(const MapData& map, int way, const Naming& naming) const {
    return WayDisplayName(map.Way(way), naming.expanded, naming.detailed, map.Language(),
                          naming.unnamedRoad, naming.unnamedPath,
                          naming.speakKinds ? &naming.kinds : nullptr);
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
    // At the same distance (a corner, where the ways meet at one node) a way with a name or ref
    // before one without: a walker at a corner is on the named street, not on the driveway.
    auto named = [](const Match& m) {
        const Way w = m.map->Way(m.map->Edge(m.edge).way);
        return !w.name.empty() || !w.ref.empty();
    };
    std::sort(all.begin(), all.end(), [&](const Match& a, const Match& b) {
        if (a.distance != b.distance) return a.distance < b.distance;
        if (named(a) != named(b)) return named(a);
        return a.edge < b.edge;
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

// ---- Walking along a street ---------------------------------------------------------------------

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
                // carriageway), or of one spoken name (its slip lanes and cycle tracks drawn
                // apart, a square's ring), are one branch: a street is said once, and there is a
                // way on when any of them goes on.
                bool merged = false;
                for (Raw& r : raw) {
                    bool same =
                        (r.b.street == b.street && r.b.kind == b.kind) || r.b.name == b.name;
                    if (same && geo::AngleBetween(std::atan2(r.sx, r.sy) * 180.0 / geo::kPi,
                                                  bearing) < kMergeAngle) {
                        if (b.kind < r.b.kind) r.b.kind = b.kind, r.b.street = b.street;
                        r.b.skipped = r.b.skipped && b.skipped;
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

} // namespace gpsmap
