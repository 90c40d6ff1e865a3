// The walker's crossings: the crossings of the intersection nearest a place, those near any
// place, the next one ahead, and the sentence that speaks each (docs/crossings.md). The map
// engine finds them; this part words them in the user's language and units, and keeps the
// setting that adds them to the intersection announcement.
#ifndef GPSCORE_ORIENTATION_CROSSINGS_H_
#define GPSCORE_ORIENTATION_CROSSINGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/MapQueries.h"
#include "base/Place.h"

namespace gpscore {

struct ServiceContext;
class WhereAmI;

// A crossing as the walker's answers give it: what the map says, measured from the place asked
// about, and its spoken description.
struct CrossingAnswer {
    MapCrossing crossing;
    std::u16string description;
};

// REQUIRES for every method: the service's core lock held.
class Crossings {
public:
    // A junction's crossings are those within this distance of its position.
    static constexpr double kJunctionMetres = 25.0;
    // How far ahead the next crossing is looked for, and the widest circle a client may ask for.
    static constexpr double kAheadMetres = 250.0;
    static constexpr double kMostMetres = 500.0;

    Crossings(ServiceContext& context, WhereAmI& whereAmI)
        : m_context(context), m_whereAmI(whereAmI) {}

    // The crossings of the intersection nearest `place`, nearest to the place first; none when
    // no intersection is found.
    std::vector<CrossingAnswer> AtIntersection(const Place& place, std::int16_t heading) const;
    // The crossings within `metres` (at most kMostMetres) of a junction or place at lat/lon,
    // measured from `from`, nearest first.
    std::vector<CrossingAnswer> Near(double latitude, double longitude, double metres,
                                     const Place& from) const;
    // The nearest crossing within 45 degrees of `heading` and kAheadMetres; none without a
    // heading.
    std::optional<CrossingAnswer> Ahead(const Place& place, std::int16_t heading) const;
    // The crossings the map engine's route goes over, in its order; distances along it.
    std::vector<CrossingAnswer> OnRoute() const;

    // "Crossing of Boulevard Voltaire, 12 metres, traffic signals with audible signal, tactile
    // paving, lowered kerbs": the facts the map has, in the user's units.
    std::u16string Describe(const MapCrossing& crossing) const;
    // The descriptions as one text, a sentence each; empty for none.
    static std::u16string Sentences(const std::vector<CrossingAnswer>& crossings);

    // Whether the intersection announcement also tells the crossings (off by default).
    bool Announce() const { return m_bAnnounce; }
    void SetAnnounce(bool on) { m_bAnnounce = on; }

private:
    std::u16string Text(int id) const;
    std::u16string ControlText(const MapCrossing& c) const;
    std::u16string KerbsText(const MapCrossing& c) const;

    ServiceContext& m_context;
    WhereAmI& m_whereAmI;
    bool m_bAnnounce = false;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_CROSSINGS_H_
