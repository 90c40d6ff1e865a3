#include "Router.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>

#include "LandmarkGuide.h"
#include "RouteHierarchy.h"
#include "RouteStates.h"
#include "StreetNames.h"
#include "WalkCosts.h"

namespace gpsmap {
namespace {

constexpr double kOnNetwork = 25.0; // metres: a farther end keeps its own point

// How important a street is when naming the cross street of a point: lower is more important.
int ClassRank(const Way& w) {
    static const char* kOrder[] = {"motorway", "trunk",        "primary",     "secondary",
                                   "tertiary", "unclassified", "residential", "living_street"};
    int rank = 8;
    for (int i = 0; i < 8; ++i)
        if (w.cls == kOrder[i]) rank = i;
    return rank + (w.role == format::kRoleStreet ? 0 : 10);
}

int Degrees(double bearing) {
    return geo::WholeDegrees(bearing);
}

class Search : public RouteStates {
public:
    Search(const MapData& map, const RouteRequest& request, RouteScratch* scratch)
        : RouteStates(map, request, scratch) {}

    bool Run(Route* out) {
        if (!Usable()) return false;
        Snap start = SnapTo(m_request.start, true), end = SnapTo(m_request.end, false);
        if (start.edge < 0 || end.edge < 0) return false;
        m_startAt = start.point;
        m_endAt = end.point;
        AddPieces(start, end);
        std::vector<int> path;
        const HierarchyAnswer through = Hierarchical(&path, out);
        if (through == HierarchyAnswer::kNone) return false;
        if (through == HierarchyAnswer::kBroken) {
            PrepareLandmarks();
            if (!Bidirectional(&path, out)) return false;
        }
        Describe(path, start, end, out);
        return true;
    }

private:
    Point At(int node) const {
        if (node == m_n) return m_startAt;
        if (node == m_n + 1) return m_endAt;
        return m_map.NodeAt(node);
    }

    // ---- The search ----------------------------------------------------------------------------
    // Half the difference of two lower bounds, of the cost from a node to the end and of the cost
    // from the start to it: the same guide for both directions, so that each stays exact. Each
    // bound is the larger of the straight line at the profile's cheapest price and the map's route
    // bounds through its landmarks (docs/routing.md).
    double Potential(int node) const {
        Point p = At(node);
        double toEnd = m_p->minPerMetre * geo::Distance(p, m_endAt);
        double fromStart = m_p->minPerMetre * geo::Distance(m_startAt, p);
        if (m_guide.On()) {
            if (node < m_n) {
                toEnd = std::max(toEnd, m_guide.ToEnd(node));
                fromStart = std::max(fromStart, m_guide.FromStart(node));
            } else { // the end's own point: the start is never a node the search reaches
                fromStart = std::max(fromStart, m_guide.FromStartToEnd());
            }
        }
        return 0.5 * (toEnd - fromStart);
    }

    // The landmarks guide the search from the nodes it leaves the start by to those it reaches
    // the end by. Not for the preferences that make a way cheaper than the bounds were measured
    // with: a shortest drive, preferred freeways, a mixed route (docs/routing.md).
    void PrepareLandmarks() {
        const RoutePreferences& p = m_request.preferences;
        const bool served = m_walking || (p.vehicleMode == 0 && p.freeway != 2 && m_layers == 1);
        std::vector<int> exits, entries;
        bool direct = false; // a piece from the start straight to the end
        for (const Piece& piece : m_pieces) {
            if (piece.tail == m_n && piece.head < m_n) exits.push_back(piece.head);
            if (piece.head == m_n + 1 && piece.tail < m_n) entries.push_back(piece.tail);
            direct = direct || (piece.tail == m_n && piece.head == m_n + 1);
        }
        m_guide.Prepare(m_map, m_walking, served && !m_request.plainSearch, exits, entries, direct);
    }

    // Through the map's route hierarchy, when it serves the request: the start's pieces and the
    // steps after them lead into it, the steps before the end's pieces out of it; a route that
    // never leaves the pieces (both ends on one edge, or on two edges that meet) is found here.
    // kBroken when the hierarchy cannot answer: the search without it then does.
    HierarchyAnswer Hierarchical(std::vector<int>* path, Route* out) {
        if (m_request.plainSearch || m_layers != 1 || !HierarchyServes(m_request) ||
            !m_map.HasHierarchy(m_walking))
            return HierarchyAnswer::kBroken;
        std::vector<HierarchyEnd> sources, targets;
        std::vector<int> before, after; // the piece before each source, after each target
        double best = kRouteInfinity;
        std::vector<int> direct;
        for (int p = FirstPiece(); p < StateCount(); ++p) {
            const Piece& piece = PieceOf(p);
            if (piece.tail == m_n) {
                const double paid = Cost(p) + (piece.anchor ? 0.0 : StartPenalty(piece.leave));
                if (piece.head == m_n + 1 && paid < best) best = paid, direct = {p};
                ForNext(p, [&](int v) {
                    const double turn = Turn(p, v);
                    if (turn < 0) return;
                    const double cost = paid + turn + Cost(v);
                    if (!IsPiece(v)) {
                        sources.push_back({v, cost}), before.push_back(p);
                    } else if (PieceOf(v).head == m_n + 1 && cost < best) {
                        best = cost, direct = {p, v};
                    }
                });
            }
            if (piece.head == m_n + 1 && piece.tail < m_n) {
                ForPrevious(p, [&](int u) {
                    const double turn = IsPiece(u) ? -1.0 : Turn(u, p);
                    if (turn >= 0) targets.push_back({u, turn + Cost(p)}), after.push_back(p);
                });
            }
        }
        std::vector<int> middle;
        double cost = kRouteInfinity;
        const HierarchyAnswer answer =
            SearchHierarchy(m_map, m_walking, sources, targets, m_s, &middle, &cost, &out->visited);
        if (answer == HierarchyAnswer::kBroken) return answer;
        if (answer == HierarchyAnswer::kFound && cost < best) {
            // The pieces the cheapest way into the first state and out of the last one took.
            auto cheapest = [](const std::vector<HierarchyEnd>& ends,
                               const std::vector<int>& pieces, int state) {
                std::size_t pick = ends.size();
                for (std::size_t i = 0; i < ends.size(); ++i)
                    if (ends[i].state == state &&
                        (pick == ends.size() || ends[i].cost < ends[pick].cost))
                        pick = i;
                return pick < ends.size() ? pieces[pick] : -1;
            };
            const int in = cheapest(sources, before, middle.front());
            const int leave = cheapest(targets, after, middle.back());
            if (in < 0 || leave < 0) return HierarchyAnswer::kBroken;
            best = cost;
            direct.assign(1, in);
            direct.insert(direct.end(), middle.begin(), middle.end());
            direct.push_back(leave);
        }
        if (direct.empty()) return HierarchyAnswer::kNone;
        out->cost = best;
        *path = std::move(direct);
        return HierarchyAnswer::kFound;
    }

    bool Bidirectional(std::vector<int>* path, Route* out) {
        std::size_t states = static_cast<std::size_t>(2 * m_e * m_layers) + m_pieces.size();
        RouteScratch& s = *m_s;
        s.forward.Fit(states);
        s.backward.Fit(states);
        if (++s.stamp == 0) {
            s.forward.Forget();
            s.backward.Forget();
            s.stamp = 1;
        }
        const unsigned stamp = s.stamp;
        using Entry = std::pair<double, int>;
        using Queue = std::priority_queue<Entry, std::vector<Entry>, std::greater<>>;
        Queue fq, bq;
        // A state's slot when this search reached it; null otherwise.
        auto known = [stamp](const SearchSide& side, int v) -> const SearchSide::Slot* {
            const SearchSide::Slot* slot = side.Find(v);
            return slot != nullptr && slot->seen == stamp ? slot : nullptr;
        };
        auto reach = [stamp](SearchSide& side, int v, double cost, int parent) {
            SearchSide::Slot& slot = side.At(v);
            slot.cost = cost, slot.parent = parent, slot.seen = stamp;
        };
        double best = kRouteInfinity;
        int meet = -1;
        auto offer = [&](int v) {
            const auto* f = known(s.forward, v);
            const auto* b = known(s.backward, v);
            if (f == nullptr || b == nullptr) return;
            if (f->cost + b->cost < best) best = f->cost + b->cost, meet = v;
        };
        int first = 2 * m_e * m_layers;
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            int v = first + static_cast<int>(i);
            if (m_pieces[i].tail == m_n) {
                double cost = Cost(v);
                if (!m_pieces[i].anchor) cost += StartPenalty(m_pieces[i].leave);
                reach(s.forward, v, cost, -1);
                fq.push({cost + Potential(m_pieces[i].head), v});
            }
            if (m_pieces[i].head == m_n + 1) {
                reach(s.backward, v, 0.0, -1);
                bq.push({-Potential(m_n + 1), v});
            }
        }
        for (std::size_t i = 0; i < m_pieces.size(); ++i)
            offer(first + static_cast<int>(i));
        int visited = 0;
        auto stale = [stamp](Queue& q, const SearchSide& side) {
            while (!q.empty()) {
                const SearchSide::Slot* slot = side.Find(q.top().second);
                if (slot == nullptr || slot->done != stamp) break;
                q.pop();
            }
        };
        while (true) {
            stale(fq, s.forward);
            stale(bq, s.backward);
            if (fq.empty() || bq.empty()) break;
            if (fq.top().first + bq.top().first >= best) break;
            ++visited;
            if (fq.top().first <= bq.top().first) {
                int u = fq.top().second;
                fq.pop();
                SearchSide::Slot& settled = s.forward.At(u);
                settled.done = stamp;
                double du = settled.cost;
                ForNext(u, [&](int v) {
                    double turn = Turn(u, v);
                    if (turn < 0) return;
                    double d = du + turn + Cost(v);
                    const auto* slot = known(s.forward, v);
                    if (slot != nullptr && slot->cost <= d) return;
                    reach(s.forward, v, d, u);
                    fq.push({d + Potential(Head(v)), v});
                    offer(v);
                });
            } else {
                int v = bq.top().second;
                bq.pop();
                SearchSide::Slot& settled = s.backward.At(v);
                settled.done = stamp;
                double dv = settled.cost + Cost(v);
                ForPrevious(v, [&](int u) {
                    double turn = Turn(u, v);
                    if (turn < 0) return;
                    double d = dv + turn;
                    const auto* slot = known(s.backward, u);
                    if (slot != nullptr && slot->cost <= d) return;
                    reach(s.backward, u, d, v);
                    bq.push({d - Potential(Head(u)), u});
                    offer(u);
                });
            }
        }
        out->visited = visited;
        if (meet < 0) return false;
        out->cost = best;
        std::vector<int> head;
        for (int v = meet; v >= 0; v = s.forward.Find(v)->parent)
            head.push_back(v);
        std::reverse(head.begin(), head.end());
        for (int v = s.backward.Find(meet)->parent; v >= 0; v = s.backward.Find(v)->parent)
            head.push_back(v);
        *path = std::move(head);
        return true;
    }

    // ---- Cutting the path into points ----------------------------------------------------------
    std::string WayName(int way) const {
        return WayDisplayName(m_map.Way(way), m_naming->expanded, m_naming->detailed,
                              m_map.Language(), m_naming->unnamedRoad, m_naming->unnamedPath);
    }

    bool Unnamed(const std::string& name) const {
        return name == m_naming->unnamedRoad || name == m_naming->unnamedPath;
    }

    // A sidewalk belongs to the street beside it: its name, lanes and speed are that street's.
    int BesideStreet(const std::vector<Point>& line, int way) const {
        Point mid = line[line.size() / 2];
        if (line.size() == 2)
            mid = {(line[0].lat + line[1].lat) / 2, (line[0].lon + line[1].lon) / 2};
        std::vector<int> near;
        m_map.EdgesNear(mid, 40.0, &near);
        double best = 40.0;
        int bestWay = -1;
        for (int ei : near) {
            const Edge& e = EdgeRef(ei);
            if (m_map.Way(e.way).role != format::kRoleStreet) continue;
            for (std::size_t k = 0; k + 1 < e.points.size(); ++k) {
                double d = geo::Project(mid, e.points[k], e.points[k + 1]).distance;
                if (d < best) best = d, bestWay = e.way;
            }
        }
        return bestWay >= 0 ? bestWay : way;
    }

    void Describe(std::vector<int> path, const Snap& start, const Snap& end, Route* out) {
        out->map = &m_map;
        // An end placed on a node leaves a piece of no length: the route starts (or ends) on the
        // next one.
        while (path.size() > 1 && Length(path.front()) < 0.5)
            path.erase(path.begin());
        while (path.size() > 1 && Length(path.back()) < 0.5)
            path.pop_back();
        std::size_t count = path.size();
        std::vector<std::vector<Point>> lines(count);
        std::vector<double> lengths(count), offsets(count);
        std::vector<std::string> names(count);
        std::vector<int> roles(count), ways(count);
        double total = 0.0;
        for (std::size_t i = 0; i < count; ++i) {
            int v = path[i];
            RouteStep step;
            step.edge = EdgeOf(v);
            step.forward = DirOf(v) == 0;
            step.walked = !m_walking && LayerOf(v) == 1;
            const Edge& e = EdgeRef(step.edge);
            if (IsPiece(v)) {
                step.from = PieceOf(v).from, step.to = PieceOf(v).to;
            } else {
                step.from = step.forward ? 0.0 : e.length;
                step.to = step.forward ? e.length : 0.0;
            }
            out->steps.push_back(step);
            lines[i] = SubLine(e, step.from, step.to);
            lengths[i] = Length(v);
            total += lengths[i];
            offsets[i] = total; // at the end of step i
            roles[i] = m_map.Way(e.way).role;
            ways[i] = roles[i] == format::kRoleSidewalk ? BesideStreet(lines[i], e.way) : e.way;
        }
        // A crossing belongs to the walk it is part of: the street before it, or after.
        for (std::size_t i = 1; i < count; ++i)
            if (roles[i] == format::kRoleCrossing) ways[i] = ways[i - 1];
        for (std::size_t i = 0; i < count && roles.front() == format::kRoleCrossing; ++i)
            if (roles[i] != format::kRoleCrossing) {
                std::fill(ways.begin(), ways.begin() + static_cast<long>(i), ways[i]);
                break;
            }
        for (std::size_t i = 0; i < count; ++i)
            names[i] = WayName(ways[i]);

        const Way firstWayRow = m_map.Way(ways.front()), lastWayRow = m_map.Way(ways.back());
        const Way* firstWay = &firstWayRow;
        const Way* lastWay = &lastWayRow;
        double firstLeave = Leave(path.front()), lastArrive = Arrive(path.back());
        // A point at `at` on the way `w` called `name`, facing `forward` along the route and
        // `reverse` back.
        auto along = [](Point at, const Way& w, const std::string& name, double forward,
                        double reverse) {
            RoutePointData p;
            p.at = at;
            p.streetForward = name;
            p.lanes = w.lanes;
            p.speed = static_cast<int>(std::lround(std::clamp(w.maxspeed, 0.0, 1000.0)));
            p.orientationForward = Degrees(forward);
            p.orientationReverse = Degrees(reverse);
            return p;
        };
        std::vector<RoutePointData>& points = out->points;
        double approach = 0.0;
        if (start.distance > kOnNetwork) {
            RoutePointData p =
                along(m_request.start, *firstWay, names.front(), firstLeave, firstLeave + 180.0);
            p.name = names.front();
            points.push_back(p);
            approach += start.distance;
        }
        {
            RoutePointData p =
                along(start.point, *firstWay, names.front(), firstLeave, firstLeave + 180.0);
            p.name = names.front();
            p.featureIndex = 0;
            p.distance = points.empty() ? 0.0 : start.distance;
            points.push_back(p);
        }
        int stretch = 0;
        double last = 0.0;
        for (std::size_t i = 0; i + 1 < count;) {
            int node = Head(path[i]);
            const Node& n = m_map.Node(node);
            std::size_t j = i;
            if (n.intersection >= 0) {
                while (j + 2 < count &&
                       m_map.Node(Head(path[j + 1])).intersection == n.intersection)
                    ++j;
            } else if (n.edges.size() < 3 && names[i] == names[i + 1] &&
                       out->steps[i].walked == out->steps[i + 1].walked) {
                ++i;
                continue;
            }
            std::size_t in = i, leave = j + 1;
            double arrive = Arrive(path[in]), depart = Leave(path[leave]);
            double angle = TurnAngle(arrive, depart);
            bool crossing =
                roles[in] == format::kRoleCrossing || roles[leave] == format::kRoleCrossing;
            bool renamed = names[in] != names[leave];
            bool parked = out->steps[in].walked != out->steps[leave].walked;
            bool turning = renamed || parked || (!crossing && std::fabs(angle) >= kTurnAngle);
            if (turning) ++stretch;
            if (turning || (!m_request.turnsOnly && n.intersection >= 0)) {
                RoutePointData p =
                    along(n.intersection >= 0 ? m_map.Intersection(n.intersection).at : n.at,
                          m_map.Way(ways[leave]), names[leave], depart, arrive + 180.0);
                p.turning = turning;
                p.featureIndex = stretch;
                p.distance = offsets[in] - last;
                last = offsets[in];
                p.crossStreet =
                    turning && renamed ? names[in] : CrossStreet(path, in, leave, names);
                // An unnamed street keeps the resource word alone, so that the service composes
                // a better name for it; an unnamed cross street is left out of the name.
                p.name = Unnamed(p.streetForward) || p.crossStreet.empty() || Unnamed(p.crossStreet)
                             ? p.streetForward
                             : p.streetForward + m_naming->joiner + p.crossStreet;
                points.push_back(p);
            }
            i = j + 1;
        }
        {
            RoutePointData p =
                along(end.point, *lastWay, names.back(), lastArrive, lastArrive + 180.0);
            p.featureIndex = stretch;
            p.distance = total - last;
            points.push_back(p);
        }
        if (end.distance > kOnNetwork) {
            RoutePointData p =
                along(m_request.end, *lastWay, names.back(), lastArrive, lastArrive + 180.0);
            p.distance = end.distance;
            points.push_back(p);
            approach += end.distance;
        }
        points.back().name = m_request.endName;
        points.back().description = m_request.endDescription;
        out->length = total + approach;
    }

    // The most important other street at the nodes of a junction the path passes (steps `in`
    // to `leave`): the street crossed.
    std::string CrossStreet(const std::vector<int>& path, std::size_t in, std::size_t leave,
                            const std::vector<std::string>& names) const {
        std::vector<int> used;
        for (std::size_t k = in; k <= leave; ++k)
            used.push_back(EdgeOf(path[k]));
        int bestRank = 1000;
        std::string best;
        for (std::size_t k = in; k < leave; ++k) {
            const Node& n = m_map.Node(Head(path[k]));
            for (int e : n.edges) {
                if (std::find(used.begin(), used.end(), e) != used.end()) continue;
                const Way& w = m_map.Way(EdgeRef(e).way);
                if (w.role > format::kRoleConnector) continue;
                std::string name = WayName(EdgeRef(e).way);
                int rank = ClassRank(w) + (Unnamed(name) ? 5 : 0); // a named street first
                if (name == names[in] || name == names[leave] || rank >= bestRank) continue;
                bestRank = rank, best = name;
            }
        }
        return best;
    }

public:
    const RouteNaming* m_naming = nullptr;

private:
    Point m_startAt, m_endAt;
    // The map's route bounds for this search (off: the straight line alone guides it).
    LandmarkGuide m_guide;
};

} // namespace

bool FindRoute(const MapData& map, const RouteRequest& request, const RouteNaming& naming,
               RouteScratch* scratch, Route* out) {
    *out = Route{};
    Search search(map, request, scratch);
    search.m_naming = &naming;
    return search.Run(out);
}

} // namespace gpsmap
