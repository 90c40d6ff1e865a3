#include "RouteStates.h"

#include <algorithm>

#include "formats/RouteSpeeds.h"

namespace gpsmap {
namespace {

constexpr double kSnapRadius = 500.0; // metres: farther from every usable street is no route
namespace speeds = gpslib::formats::speeds;

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

} // namespace

// Signed change of direction from `from` to `to`, degrees in (-180, 180], right positive.
double TurnAngle(double from, double to) {
    double d = std::fmod(to - from + 540.0, 360.0) - 180.0;
    return d <= -180.0 ? 180.0 : d;
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

RouteStates::RouteStates(const MapData& map, const RouteRequest& request, RouteScratch* scratch)
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

// ---- The prices of the ways ----------------------------------------------------------------
// The prices for this map, profile and preferences: kept in the scratch, worked out once.
ProfileCosts& RouteStates::Prices(RouteScratch& s) const {
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

// The cost of going on from state u into state v at their node; negative when forbidden.
double RouteStates::Turn(int u, int v) const {
    int node = Head(u);
    int lu = LayerOf(u), lv = LayerOf(v);
    if (lv < lu) return -1.0;
    double cost = lv != lu ? speeds::kParking : 0.0;
    // From an end on a node: only the initial heading counts; into one: nothing.
    if (IsPiece(u) && PieceOf(u).anchor) return cost + StartPenalty(Leave(v));
    if (IsPiece(v) && PieceOf(v).anchor) return cost;
    int eu = EdgeOf(u), ev = EdgeOf(v);
    const Node at = m_map.Node(node);
    std::size_t degree = at.edges.size();
    if (eu == ev && DirOf(u) != DirOf(v)) {
        if (degree > 1) return -1.0; // turning back is for dead ends only
        return cost + (m_car[lv] ? speeds::kDeadEndUTurn : 0.0);
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
        return cost + (m_request.preferences.turnPedestrian == 1 ? speeds::kFewestPedestrian : 0.0);
    }
    double turn = speeds::kVehicleTurn;
    int pref = m_request.preferences.turnVehicle;
    if (pref == 1) turn += speeds::kFewestVehicle;
    if (pref == 2 && angle < 0) turn += speeds::kAcrossTraffic;
    if (pref == 3 && angle > 0) turn += speeds::kAcrossTraffic;
    // The shortest route weighs turns lightly: its length comes first.
    if (m_request.preferences.vehicleMode == 1) turn *= speeds::kShortestTurns;
    return cost + turn;
}

// Leaving the start against the traveller's heading: a U-turn.
double RouteStates::StartPenalty(double leave) const {
    int heading = m_request.initialHeading;
    if (heading < 0 || geo::AngleBetween(leave, heading) <= 90.0) return 0.0;
    return m_walking ? speeds::kStartUTurnPedestrian : speeds::kStartUTurnVehicle;
}

// ---- Placing the two ends ------------------------------------------------------------------
// The nearest usable edge, looked for in widening circles: most ends lie by a street, and
// the widest circle holds thousands of segments in a town.
Snap RouteStates::SnapTo(Point p, bool start) const {
    for (double radius : {kSnapRadius / 10, kSnapRadius / 3, kSnapRadius}) {
        Snap best = SnapWithin(p, start, radius);
        if (best.edge >= 0 || radius == kSnapRadius) return best;
    }
    return Snap{};
}

Snap RouteStates::SnapWithin(Point p, bool start, double radius) const {
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

void RouteStates::AddPiece(int edge, int dir, int layer, int tail, int head, double from,
                           double to) {
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
void RouteStates::AddAnchor(int node, int layer, int tail, int head) {
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
int RouteStates::NodeAt(const Snap& snap) const {
    const Edge& e = EdgeRef(snap.edge);
    if (snap.along < 0.5) return e.from;
    if (snap.along > e.length - 0.5) return e.to;
    return -1;
}

void RouteStates::AddPieces(const Snap& start, const Snap& end) {
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

int RouteStates::Tail(int v) const {
    if (IsPiece(v)) return PieceOf(v).tail;
    const Edge& e = EdgeRef(EdgeOf(v));
    return DirOf(v) == 0 ? e.from : e.to;
}

int RouteStates::Head(int v) const {
    if (IsPiece(v)) return PieceOf(v).head;
    const Edge& e = EdgeRef(EdgeOf(v));
    return DirOf(v) == 0 ? e.to : e.from;
}

} // namespace gpsmap
