// The map engine's crossings (IGPSMapCrossings): the engine's answers as lists of CrossingRecord.
#include <cmath>

#include "GPSMap.h"

using gpsmap::Keywords;
using Crossing = gpsmap::Engine::PedestrianCrossing;

namespace {

// The farthest a client may look for crossings: a street's length, not a town's.
constexpr double kMaxRadiusMetres = 500.0;

HRESULT ReturnCrossings(const std::vector<Crossing>& crossings, VARIANT* list) {
    return gpsmap::ReturnNewRecords<ICrossingRecord>(
        list, crossings, CLSID_CrossingRecord, IID_ICrossingRecord,
        [](ICrossingRecord* r, const Crossing& c) {
            gpslib::Bstr name(c.street);
            const auto& f = c.facts;
            r->SetLatitude(c.at.lat);
            r->SetLongitude(c.at.lon);
            r->SetStreetName(name.Get());
            r->SetDistance(c.distance);
            r->SetBearing(static_cast<SHORT>(c.bearing));
            r->SetLength(f.length);
            // The map file's codes are the library's enumerators (formats/MapFile.h).
            r->SetControl(static_cast<CrossingControl>(f.control));
            r->SetAudibleSignal(static_cast<CrossingFeature>(f.sound));
            r->SetVibratingSignal(static_cast<CrossingFeature>(f.vibration));
            r->SetPushButton(static_cast<CrossingFeature>(f.button));
            r->SetTactilePaving(static_cast<CrossingFeature>(f.tactile));
            r->SetTrafficIsland(static_cast<CrossingFeature>(f.island));
            r->SetKerbAtStart(static_cast<CrossingKerb>(f.kerbs[0]));
            r->SetKerbAtEnd(static_cast<CrossingKerb>(f.kerbs[1]));
        });
}

// A radius or range the engine can use: none for a non-number or a negative one.
double Reach(double metres) {
    return std::isfinite(metres) && metres > 0 ? std::min(metres, kMaxRadiusMetres) : 0.0;
}

} // namespace

static_assert(int{CrossingTrafficSignals} == gpslib::formats::kControlSignals &&
              int{CrossingMarked} == gpslib::formats::kControlMarked &&
              int{CrossingFeaturePresent} == gpslib::formats::kFactYes &&
              int{CrossingKerbFlush} == gpslib::formats::kKerbFlush);

HRESULT CGPSMap::GetCrossingsNear(DOUBLE dLatitude, DOUBLE dLongitude, DOUBLE dRadius,
                                  BSTR bstrKeywords, VARIANT* pvarCrossings) {
    if (pvarCrossings == nullptr) return E_POINTER;
    auto lock = Lock();
    Keywords k(bstrKeywords);
    std::vector<Crossing> found;
    if (gpsmap::ValidPosition(dLatitude, dLongitude) && Reach(dRadius) > 0)
        found = m_engine.CrossingsNear({dLatitude, dLongitude}, Reach(dRadius),
                                       NamingFor(k.streetExpanded, k.streetDetailed));
    return ReturnCrossings(found, pvarCrossings);
}

HRESULT CGPSMap::GetNextCrossingAhead(DOUBLE dLatitude, DOUBLE dLongitude, SHORT nHeading,
                                      DOUBLE dRange, BSTR bstrKeywords, VARIANT* pvarCrossings) {
    if (pvarCrossings == nullptr) return E_POINTER;
    auto lock = Lock();
    Keywords k(bstrKeywords);
    std::vector<Crossing> found;
    const int heading = gpsmap::NormalHeading(nHeading);
    if (gpsmap::ValidPosition(dLatitude, dLongitude) && heading >= 0 && Reach(dRange) > 0) {
        if (auto c = m_engine.NextCrossingAhead({dLatitude, dLongitude}, heading, Reach(dRange),
                                                NamingFor(k.streetExpanded, k.streetDetailed)))
            found.push_back(*c);
    }
    return ReturnCrossings(found, pvarCrossings);
}

HRESULT CGPSMap::GetRouteCrossings(VARIANT* pvarCrossings) {
    if (pvarCrossings == nullptr) return E_POINTER;
    auto lock = Lock();
    return ReturnCrossings(m_heldCrossings, pvarCrossings);
}
