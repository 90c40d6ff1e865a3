// The states a route search moves through and what each step costs: the map's edges taken in one
// direction (per layer: a mixed route drives, then walks), and the pieces of edge that tie the
// start and the end to the network. The prices of the ways, the turn costs, the restrictions and
// the initial heading are all here, so that every search over the states (the A* of Router.cpp,
// the route hierarchy and its builder) costs a route the same way (docs/routing.md, "Costs").
//
// Thread safety: one search at a time; the map is shared read-only.
#ifndef MAPENGINE_ROUTESTATES_H_
#define MAPENGINE_ROUTESTATES_H_

#include <cmath>
#include <limits>
#include <vector>

#include "Router.h"

namespace gpsmap {

constexpr double kRouteInfinity = std::numeric_limits<double>::infinity();
constexpr double kTurnAngle = 45.0; // degrees: a smaller change of direction is no turn

// Signed change of direction from `from` to `to`, degrees in (-180, 180], right positive.
double TurnAngle(double from, double to);
// The part of an edge between two offsets along its drawing order, in travel order.
std::vector<Point> SubLine(const Edge& e, double from, double to);

// Where an end is placed on the network.
struct Snap {
    int edge = -1;
    double along = 0.0, distance = kRouteInfinity;
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

class RouteStates {
public:
    RouteStates(const MapData& map, const RouteRequest& request, RouteScratch* scratch);

    // False when the profile may use no way of the map.
    bool Usable() const { return m_p->minPerMetre != kRouteInfinity; }
    // The nearest edge the profile may use within 500 m (the start: in the first layer), or none.
    Snap SnapTo(Point p, bool start) const;
    // Adds the pieces from the start to the network, from the network to the end and, when both
    // lie on one edge, between them; the start is node N, the end N + 1.
    void AddPieces(const Snap& start, const Snap& end);

    // ---- The states: directed edges per layer, then the pieces -----------------------------
    int Real(int edge, int dir, int layer) const { return (edge * 2 + dir) * m_layers + layer; }
    int FirstPiece() const { return 2 * m_e * m_layers; }
    int StateCount() const { return FirstPiece() + static_cast<int>(m_pieces.size()); }
    bool IsPiece(int v) const { return v >= FirstPiece(); }
    const Piece& PieceOf(int v) const {
        return m_pieces[static_cast<std::size_t>(v - FirstPiece())];
    }
    const std::vector<Piece>& Pieces() const { return m_pieces; }
    int EdgeOf(int v) const { return IsPiece(v) ? PieceOf(v).edge : v / m_layers / 2; }
    int DirOf(int v) const { return IsPiece(v) ? PieceOf(v).dir : (v / m_layers) % 2; }
    int LayerOf(int v) const { return IsPiece(v) ? PieceOf(v).layer : v % m_layers; }
    Edge EdgeRef(int edge) const { return m_map.Edge(edge); }
    int Tail(int v) const;
    int Head(int v) const;
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
    int Nodes() const { return m_n; }
    int Layers() const { return m_layers; }
    bool Walking() const { return m_walking; }
    double MinPerMetre() const { return m_p->minPerMetre; }

    // ---- What a step costs ---------------------------------------------------------------------
    // Cost per metre of an edge in one direction and layer; negative when not allowed.
    double PerMetre(int edge, int dir, int layer) const {
        int way = EdgeRef(edge).way;
        double c = m_p->perMetre[layer][static_cast<std::size_t>(way)];
        if (c < 0 || !m_car[layer]) return c;
        const signed char oneway = m_p->oneway[static_cast<std::size_t>(way)];
        if ((oneway == 1 && dir == 1) || (oneway == -1 && dir == 0)) return -1.0;
        return c;
    }
    double Cost(int v) const { return Length(v) * PerMetre(EdgeOf(v), DirOf(v), LayerOf(v)); }
    // The cost of going on from state u into state v at their node; negative when forbidden.
    double Turn(int u, int v) const;
    // Leaving the start against the traveller's heading: a U-turn.
    double StartPenalty(double leave) const;

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
                f(FirstPiece() + static_cast<int>(i));
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
                f(FirstPiece() + static_cast<int>(i));
    }

protected:
    const MapData& m_map;
    const RouteRequest& m_request;
    RouteScratch* m_s;
    bool m_walking = true;
    int m_layers = 1, m_n = 0, m_e = 0;
    bool m_car[2] = {false, false};
    const ProfileCosts* m_p = nullptr; // the ways' prices, kept in the scratch
    std::vector<Piece> m_pieces;

private:
    ProfileCosts& Prices(RouteScratch& s) const;
    Snap SnapWithin(Point p, bool start, double radius) const;
    void AddPiece(int edge, int dir, int layer, int tail, int head, double from, double to);
    void AddAnchor(int node, int layer, int tail, int head);
    int NodeAt(const Snap& snap) const;
};

} // namespace gpsmap

#endif // MAPENGINE_ROUTESTATES_H_
