// The route search's guide from the map's route bounds (formats/MapFile.h, "Route bounds"):
// lower bounds, through each landmark and the triangle inequality, of the cost from a node to the
// end and from the start to a node. Each is consistent (it never drops by more than a step
// costs), so the search stays exact; docs/routing.md says how much it saves.
#ifndef MAPENGINE_LANDMARKGUIDE_H_
#define MAPENGINE_LANDMARKGUIDE_H_

#include <cstdint>
#include <vector>

#include "MapData.h"

namespace gpsmap {

class LandmarkGuide {
public:
    // Reads the landmarks' costs at the nodes a route leaves the start by (`exits`) and reaches
    // the end by (`entries`); `direct` when a route may go from the start straight to the end
    // without a node. Off when `use` is false or the map has no bounds for the profile.
    void Prepare(const MapData& map, bool walking, bool use, const std::vector<int>& exits,
                 const std::vector<int>& entries, bool direct);
    bool On() const { return m_landmarks > 0; }
    // Seconds a route costs at least from `node` to the end, and from the start to `node`.
    double ToEnd(int node) const { return Bound(node, m_toEnd, true); }
    double FromStart(int node) const { return Bound(node, m_fromStart, false); }
    // The same from the start to the end's own point.
    double FromStartToEnd() const { return m_fromStartToEnd; }

private:
    static constexpr int kMax = 16; // landmarks per profile: more in a map are left unused
    // What the landmarks say of one end: for each, the constants of its two bounds.
    struct End {
        std::int64_t from[kMax], to[kMax];
    };
    double Bound(int node, const End& end, bool toEnd) const;
    std::int64_t Extreme(const std::vector<int>& nodes, int column, bool cheapest) const;

    const MapData* m_map = nullptr;
    bool m_walking = true;
    int m_landmarks = 0;
    End m_toEnd{}, m_fromStart{};
    double m_fromStartToEnd = 0.0;
};

} // namespace gpsmap

#endif // MAPENGINE_LANDMARKGUIDE_H_
