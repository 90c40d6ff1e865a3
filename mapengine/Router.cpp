#include "Router.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>

#include "LandmarkGuide.h"
#include "StreetNames.h"
#include "WalkCosts.h"

namespace gpsmap {
namespace {

constexpr double kSnapRadius = 500.0; // metres: farther from every usable street is no route
constexpr double kOnNetwork = 25.0;   // metres: a farther end keeps its own point
constexpr double kTurnAngle = 45.0;   // degrees: a smaller change of direction is no turn
// Seconds added by a turn or a U-turn (docs/routing.md).
constexpr double kVehicleTurn = 2.0;
constexpr double kAcrossTraffic = 10.0;
constexpr double kFewestVehicle = 20.0;
constexpr double kFewestPedestrian = 30.0;
constexpr double kDeadEndUTurn = 30.0;
constexpr double kStartUTurnVehicle = 60.0;
constexpr double kStartUTurnPedestrian = 15.0;
constexpr double kShortestTurns = 0.25; // the share of the turn costs a shortest route pays
constexpr double kParking = 120.0;      // leaving the car to walk the last stretch
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// How important a street is when naming the cross street of a point: lower is more important.
int ClassRank(const Way& w) {
    static const char* kOrder[] = {"motorway", "trunk",        "primary",     "secondary",
                                   "tertiary", "unclassified", "residential", "living_street"};
    int rank = 8;
    for (int i = 0; i < 8; ++i)
        if (w.cls == kOrder[i]) rank = i;
    return rank + (w.role == format::kRoleStreet ? 0 : 10);
}

// Signed change of direction from `from` to `to`, degrees in (-180, 180], right positive.
double TurnAngle(double from, double to) {
    double d = std::fmod(to - from + 540.0, 360.0) - 180.0;
    return d <= -180.0 ? 180.0 : d;
}

int Degrees(double bearing) {
    return geo::WholeDegrees(bearing);
}

// The part of an edge between two offsets along its drawing order, in travel order.
std::vector<Point> SubLine(const Edge& e, double from, double to) {
    bool forward = from <= to;
    double lo = std::min(from, to), hi = std::max(from, to);
    std::vector<Point> out;
    double done = 0.0;
    auto at = [&](const Point& a, const Point& b, double seg, double offset) {
        double t = seg > 0 ? std::clamp((offset - done) / seg, 0.0, 1.0) : 0.0;
        return Point{a.lat + t * (b.lat - a.lat), a.lon + t * (b.lon - a.lon)};
    };
    for (std::size_t k = 0; k + 1 < e.points.size(); ++k) {
        const Point& a = e.points[k];
        const Point& b = e.points[k + 1];
        double seg = geo::Distance(a, b);
        if (done + seg >= lo && out.empty()) out.push_back(at(a, b, seg, lo));
        if (!out.empty() && done + seg < hi) out.push_back(b);
        if (done + seg >= hi) {
            out.push_back(at(a, b, seg, hi));
            break;
        }
        done += seg;
    }
    if (out.empty()) out = {e.points.back(), e.points.back()};
    if (out.size() == 1) out.push_back(out.front());
    if (!forward) std::reverse(out.begin(), out.end());
    return out;
}

// Direction leaving the first point of a line over its first 10 m, and arriving at its last.
double LineLeaving(const std::vector<Point>& line) {
    double done = 0.0;
    for (std::size_t k = 1; k < line.size(); ++k) {
        done += geo::Distance(line[k - 1], line[k]);
        if (done >= 10.0 || k + 1 == line.size())
            return done > 0.01 ? geo::Bearing(line.front(), line[k]) : -1.0;
    }
    return -1.0;
}

double LineArriving(std::vector<Point> line) {
    std::reverse(line.begin(), line.end());
    double b = LineLeaving(line);
    return b < 0 ? -1.0 : std::fmod(b + 180.0, 360.0);
}

struct Snap {
    int edge = -1;
    double along = 0.0, distance = kInfinity;
    Point point;
};

// A part of an edge that the search treats like an edge: the pieces from the start to the ends
// of its edge, from the ends of the end's edge to the end, and from the start to the end when
// both lie on one edge.
struct Piece {
    int edge = 0, dir = 0, layer = 0;
    int tail = 0, head = 0; // nodes; the start is node N, the end N + 1
    double from = 0.0, to = 0.0, length = 0.0;
    double leave = 0.0, arrive = 0.0;
    bool anchor = false; // no length: ties an end that lies on a node to that node
};

class Search {
public:
    Search(const MapData& map, const RouteRequest& request, RouteScratch* scratch)
        : m_map(map), m_request(request), m_s(scratch) {
        const RoutePreferences& p = request.preferences;
        m_walking = request.walking;
        m_layers = !m_walking && p.vehicleMode == 2 ? 2 : 1;
        m_n = static_cast<int>(map.NodeCount());
        m_e = static_cast<int>(map.EdgeCount());
        for (int layer = 0; layer < m_layers; ++layer)
            m_car[layer] = !m_walking && layer == 0;
        m_p = &Prices(*scratch);
    }

    bool Run(Route* out) {
        if (m_p->minPerMetre == kInfinity) return false;
        Snap start = SnapTo(m_request.start, true), end = SnapTo(m_request.end, false);
        if (start.edge < 0 || end.edge < 0) return false;
        m_startAt = start.point;
        m_endAt = end.point;
        AddPieces(start, end);
        PrepareLandmarks();
        std::vector<int> path;
        if (!Bidirectional(&path, out)) return false;
        Describe(path, start, end, out);
        return true;
    }

private:
    // ---- The prices of the ways ----------------------------------------------------------------
    // The prices for this map, profile and preferences: kept in the scratch, worked out once.
    ProfileCosts& Prices(RouteScratch& s) const {
        const RoutePreferences& p = m_request.preferences;
        const int key =
            m_walking ? 0 : 1 + p.vehicleMode + 3 * (p.freeway + 4 * (p.roundabout + 3 * p.toll));
        ProfileCosts* slot = &s.profiles[0];
        for (ProfileCosts& c : s.profiles) {
            if (c.map == m_map.Serial() && c.key == key) {
                c.used = ++s.uses;
                return c;
            }
            if (c.used < slot->used) slot = &c;
        }
        ProfileCosts& c = *slot;
        c.map = m_map.Serial();
        c.key = key;
        c.used = ++s.uses;
        WorkOutPrices(m_map, m_request, m_layers, &c);
        return c;
    }

    // ---- The states: directed edges per layer, then the pieces -----------------------------
    int Real(int edge, int dir, int layer) const { return (edge * 2 + dir) * m_layers + layer; }
    bool IsPiece(int v) const { return v >= 2 * m_e * m_layers; }
    const Piece& PieceOf(int v) const {
        return m_pieces[static_cast<std::size_t>(v - 2 * m_e * m_layers)];
    }
    int EdgeOf(int v) const { return IsPiece(v) ? PieceOf(v).edge : v / m_layers / 2; }
    int DirOf(int v) const { return IsPiece(v) ? PieceOf(v).dir : (v / m_layers) % 2; }
    int LayerOf(int v) const { return IsPiece(v) ? PieceOf(v).layer : v % m_layers; }
    Edge EdgeRef(int edge) const { return m_map.Edge(edge); }
    int Tail(int v) const {
        if (IsPiece(v)) return PieceOf(v).tail;
        const Edge& e = EdgeRef(EdgeOf(v));
        return DirOf(v) == 0 ? e.from : e.to;
    }
    int Head(int v) const {
        if (IsPiece(v)) return PieceOf(v).head;
        const Edge& e = EdgeRef(EdgeOf(v));
        return DirOf(v) == 0 ? e.to : e.from;
    }
    double Leave(int v) const {
        return IsPiece(v) ? PieceOf(v).leave : EdgeRef(EdgeOf(v)).leaving[DirOf(v)];
    }
    double Arrive(int v) const {
        if (IsPiece(v)) return PieceOf(v).arrive;
        return std::fmod(EdgeRef(EdgeOf(v)).leaving[1 - DirOf(v)] + 180.0, 360.0);
    }
    double Length(int v) const {
        return IsPiece(v) ? PieceOf(v).length : EdgeRef(EdgeOf(v)).length;
    }
    Point At(int node) const {
        if (node == m_n) return m_startAt;
        if (node == m_n + 1) return m_endAt;
        return m_map.NodeAt(node);
    }
    // Cost per metre of an edge in one direction and layer; negative when not allowed.
    double PerMetre(int edge, int dir, int layer) const {
        int way = EdgeRef(edge).way;
        double c = m_p->perMetre[layer][static_cast<std::size_t>(way)];
        if (c < 0 || !m_car[layer]) return c;
        int oneway = m_p->oneway[static_cast<std::size_t>(way)];
        if ((oneway == 1 && dir == 1) || (oneway == -1 && dir == 0)) return -1.0;
        return c;
    }
    double Cost(int v) const { return Length(v) * PerMetre(EdgeOf(v), DirOf(v), LayerOf(v)); }

    // The cost of going on from state u into state v at their node; negative when forbidden.
    double Turn(int u, int v) const {
        int node = Head(u);
        int lu = LayerOf(u), lv = LayerOf(v);
        if (lv < lu) return -1.0;
        double cost = lv != lu ? kParking : 0.0;
        // From an end on a node: only the initial heading counts; into one: nothing.
        if (IsPiece(u) && PieceOf(u).anchor) return cost + StartPenalty(Leave(v));
        if (IsPiece(v) && PieceOf(v).anchor) return cost;
        int eu = EdgeOf(u), ev = EdgeOf(v);
        const Node at = m_map.Node(node);
        std::size_t degree = at.edges.size();
        if (eu == ev && DirOf(u) != DirOf(v)) {
            if (degree > 1) return -1.0; // turning back is for dead ends only
            return cost + (m_car[lv] ? kDeadEndUTurn : 0.0);
        }
        if (m_car[lv] && lu == lv) {
            std::span<const Restriction> rules = m_map.RestrictionsAt(node);
            if (!rules.empty()) {
                bool only = false, listed = false;
                for (const Restriction& r : rules) {
                    if (r.from != eu || !m_map.Meets(r)) continue;
                    if (r.only) {
                        only = true;
                        listed = listed || r.to == ev;
                    } else if (r.to == ev) {
                        return -1.0;
                    }
                }
                if (only && !listed) return -1.0;
            }
        }
        if (degree < 3) return cost;
        if (!m_car[lv] && lu == lv) {
            cost += m_p->walk.AtNode(m_map, node, at, m_map.EdgeWay(eu), m_map.EdgeWay(ev),
                                     std::fmod(Arrive(u) + 180.0, 360.0), Leave(v));
        }
        double angle = TurnAngle(Arrive(u), Leave(v));
        if (std::fabs(angle) < kTurnAngle) return cost;
        if (!m_car[lv]) {
            return cost + (m_request.preferences.turnPedestrian == 1 ? kFewestPedestrian : 0.0);
        }
        double turn = kVehicleTurn;
        int pref = m_request.preferences.turnVehicle;
        if (pref == 1) turn += kFewestVehicle;
        if (pref == 2 && angle < 0) turn += kAcrossTraffic;
        if (pref == 3 && angle > 0) turn += kAcrossTraffic;
        // The shortest route weighs turns lightly: its length comes first.
        if (m_request.preferences.vehicleMode == 1) turn *= kShortestTurns;
        return cost + turn;
    }

    // Leaving the start against the traveller's heading: a U-turn.
    double StartPenalty(double leave) const {
        int heading = m_request.initialHeading;
        if (heading < 0 || geo::AngleBetween(leave, heading) <= 90.0) return 0.0;
        return m_walking ? kStartUTurnPedestrian : kStartUTurnVehicle;
    }

    // States leaving the head of u (forward) or arriving at the tail of v (backward).
    template <class F> void ForNext(int u, F f) const {
        int node = Head(u);
        if (node >= m_n) return;
        int lu = LayerOf(u);
        for (int e : m_map.Node(node).edges) {
            const Edge& edge = EdgeRef(e);
            for (int dir = 0; dir < 2; ++dir) {
                if ((dir == 0 ? edge.from : edge.to) != node) continue;
                for (int layer = lu; layer < m_layers; ++layer)
                    if (PerMetre(e, dir, layer) >= 0) f(Real(e, dir, layer));
            }
        }
        for (std::size_t i = 0; i < m_pieces.size(); ++i)
            if (m_pieces[i].tail == node && m_pieces[i].layer >= lu)
                f(2 * m_e * m_layers + static_cast<int>(i));
    }
    template <class F> void ForPrevious(int v, F f) const {
        int node = Tail(v);
        if (node >= m_n) return;
        int lv = LayerOf(v);
        for (int e : m_map.Node(node).edges) {
            const Edge& edge = EdgeRef(e);
            for (int dir = 0; dir < 2; ++dir) {
                if ((dir == 0 ? edge.to : edge.from) != node) continue;
                for (int layer = 0; layer <= lv; ++layer)
                    if (PerMetre(e, dir, layer) >= 0) f(Real(e, dir, layer));
            }
        }
        for (std::size_t i = 0; i < m_pieces.size(); ++i)
            if (m_pieces[i].head == node && m_pieces[i].layer <= lv)
                f(2 * m_e * m_layers + static_cast<int>(i));
    }

    // ---- Placing the two ends ------------------------------------------------------------------
    // The nearest usable edge, looked for in widening circles: most ends lie by a street, and
    // the widest circle holds thousands of segments in a town.
    Snap SnapTo(Point p, bool start) const {
        for (double radius : {kSnapRadius / 10, kSnapRadius / 3, kSnapRadius}) {
            Snap best = SnapWithin(p, start, radius);
            if (best.edge >= 0 || radius == kSnapRadius) return best;
        }
        return Snap{};
    }

    Snap SnapWithin(Point p, bool start, double radius) const {
        Snap best;
        std::vector<int> near;
        m_map.AllEdgesNear(p, radius, &near);
        for (int ei : near) {
            bool usable = false;
            for (int layer = 0; layer < (start ? 1 : m_layers); ++layer)
                for (int dir = 0; dir < 2; ++dir)
                    usable = usable || PerMetre(ei, dir, layer) >= 0;
            if (!usable) continue;
            const Edge& e = EdgeRef(ei);
            double along = 0.0;
            for (std::size_t k = 0; k + 1 < e.points.size(); ++k) {
                geo::Projection pr = geo::Project(p, e.points[k], e.points[k + 1]);
                double seg = geo::Distance(e.points[k], e.points[k + 1]);
                if (pr.distance < best.distance - 1e-9) {
                    best.edge = ei;
                    best.along = std::min(along + pr.t * seg, e.length);
                    best.distance = pr.distance;
                    best.point = pr.point;
                }
                along += seg;
            }
        }
        if (best.distance > radius) best.edge = -1;
        return best;
    }

    void AddPiece(int edge, int dir, int layer, int tail, int head, double from, double to) {
        if (PerMetre(edge, dir, layer) < 0) return;
        Piece piece{edge, dir, layer, tail, head, from, to, std::fabs(to - from), 0.0, 0.0};
        std::vector<Point> line = SubLine(EdgeRef(edge), from, to);
        piece.leave = LineLeaving(line);
        piece.arrive = LineArriving(line);
        const Edge& e = EdgeRef(edge);
        // A piece too short to have a direction takes its edge's.
        double forward = geo::Bearing(e.points.front(), e.points.back());
        if (piece.leave < 0) piece.leave = dir == 0 ? e.leaving[0] : e.leaving[1];
        if (piece.arrive < 0) piece.arrive = dir == 0 ? forward : std::fmod(forward + 180, 360);
        m_pieces.push_back(piece);
    }

    // A piece of no length between an end and the node it lies on, in one layer, carried by an
    // edge of the node that the layer may use; none when no such edge.
    void AddAnchor(int node, int layer, int tail, int head) {
        for (int e : m_map.Node(node).edges)
            for (int dir = 0; dir < 2; ++dir)
                if (PerMetre(e, dir, layer) >= 0) {
                    const Edge& edge = EdgeRef(e);
                    double at = edge.from == node ? 0.0 : edge.length;
                    Piece piece{e,
                                dir,
                                layer,
                                tail,
                                head,
                                at,
                                at,
                                0.0,
                                edge.leaving[dir],
                                std::fmod(edge.leaving[1 - dir] + 180.0, 360.0),
                                true};
                    m_pieces.push_back(piece);
                    return;
                }
    }

    // The node an end lies on (within half a metre of the edge's end), else -1.
    int NodeAt(const Snap& snap) const {
        const Edge& e = EdgeRef(snap.edge);
        if (snap.along < 0.5) return e.from;
        if (snap.along > e.length - 0.5) return e.to;
        return -1;
    }

    void AddPieces(const Snap& start, const Snap& end) {
        const Edge& es = EdgeRef(start.edge);
        const Edge& et = EdgeRef(end.edge);
        int s = m_n, t = m_n + 1;
        int startNode = NodeAt(start), endNode = NodeAt(end);
        if (startNode >= 0) {
            AddAnchor(startNode, 0, s, startNode);
        } else {
            AddPiece(start.edge, 0, 0, s, es.to, start.along, es.length);
            AddPiece(start.edge, 1, 0, s, es.from, start.along, 0.0);
        }
        for (int layer = 0; layer < m_layers; ++layer) {
            if (endNode >= 0) {
                AddAnchor(endNode, layer, endNode, t);
            } else {
                AddPiece(end.edge, 0, layer, et.from, t, 0.0, end.along);
                AddPiece(end.edge, 1, layer, et.to, t, et.length, end.along);
            }
        }
        if (geo::Distance(start.point, end.point) < 0.5) {
            // The same place twice: a route of no length.
            for (int dir = 0; dir < 2; ++dir)
                if (PerMetre(start.edge, dir, 0) >= 0) {
                    AddPiece(start.edge, dir, 0, s, t, start.along, start.along);
                    break;
                }
        } else if (start.edge == end.edge && startNode < 0 && endNode < 0) {
            if (end.along >= start.along) AddPiece(start.edge, 0, 0, s, t, start.along, end.along);
            if (end.along <= start.along) AddPiece(start.edge, 1, 0, s, t, start.along, end.along);
        }
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
        double best = kInfinity;
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
        auto street = [&](RoutePointData& p, const Way& w, const std::string& name) {
            p.streetForward = name;
            p.lanes = w.lanes;
            p.speed = static_cast<int>(std::lround(std::clamp(w.maxspeed, 0.0, 1000.0)));
        };
        std::vector<RoutePointData>& points = out->points;
        double approach = 0.0;
        if (start.distance > kOnNetwork) {
            RoutePointData p;
            p.at = m_request.start;
            p.name = names.front();
            street(p, *firstWay, names.front());
            p.orientationForward = Degrees(firstLeave);
            p.orientationReverse = Degrees(firstLeave + 180.0);
            points.push_back(p);
            approach += start.distance;
        }
        {
            RoutePointData p;
            p.at = start.point;
            p.name = names.front();
            street(p, *firstWay, names.front());
            p.orientationForward = Degrees(firstLeave);
            p.orientationReverse = Degrees(firstLeave + 180.0);
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
                RoutePointData p;
                p.at = n.intersection >= 0 ? m_map.Intersection(n.intersection).at : n.at;
                p.turning = turning;
                street(p, m_map.Way(ways[leave]), names[leave]);
                p.orientationForward = Degrees(depart);
                p.orientationReverse = Degrees(arrive + 180.0);
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
            RoutePointData p;
            p.at = end.point;
            street(p, *lastWay, names.back());
            p.orientationForward = Degrees(lastArrive);
            p.orientationReverse = Degrees(lastArrive + 180.0);
            p.featureIndex = stretch;
            p.distance = total - last;
            points.push_back(p);
        }
        if (end.distance > kOnNetwork) {
            RoutePointData p;
            p.at = m_request.end;
            street(p, *lastWay, names.back());
            p.orientationForward = Degrees(lastArrive);
            p.orientationReverse = Degrees(lastArrive + 180.0);
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
    const MapData& m_map;
    const RouteRequest& m_request;
    RouteScratch* m_s;
    bool m_walking = true;
    int m_layers = 1, m_n = 0, m_e = 0;
    bool m_car[2] = {false, false};
    const ProfileCosts* m_p = nullptr; // the ways' prices, kept in the scratch
    std::vector<Piece> m_pieces;
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
