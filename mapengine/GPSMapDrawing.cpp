// What a drawing of the map needs (IGPSMapDrawing): the loaded maps' bounds, and the ways in a
// box as StreetShapeRecord objects with one list of their points. docs/maps.md, "Drawing the map".
#include <algorithm>
#include <cmath>

#include "GPSMap.h"

using gpsmap::Box;

namespace {

// A box's side at most, in degrees (about 5.5 km north to south): a drawing's neighbourhood,
// not a region, so that every answer reads a bounded number of grid cells.
constexpr double kMaxBoxDegrees = 0.05;
// Ways in one answer at most, whatever the client asks.
constexpr LONG kMaxStreetsInBox = 2000;

bool ValidBox(const Box& b) {
    return gpsmap::ValidPosition(b.south, b.west) && gpsmap::ValidPosition(b.north, b.east) &&
           b.south <= b.north && b.west <= b.east && b.north - b.south <= kMaxBoxDegrees &&
           b.east - b.west <= kMaxBoxDegrees;
}

HRESULT ReturnBox(const Box& b, DOUBLE* south, DOUBLE* west, DOUBLE* north, DOUBLE* east) {
    *south = b.south, *west = b.west, *north = b.north, *east = b.east;
    return S_OK;
}

} // namespace

HRESULT CGPSMap::GetMapBounds(SHORT nMap, DOUBLE* pdSouth, DOUBLE* pdWest, DOUBLE* pdNorth,
                              DOUBLE* pdEast, BSTR* pbstrMapName) {
    if (!pdSouth || !pdWest || !pdNorth || !pdEast || !pbstrMapName) return E_POINTER;
    *pbstrMapName = nullptr;
    ReturnBox({}, pdSouth, pdWest, pdNorth, pdEast);
    auto lock = Lock();
    const auto maps = m_engine.MapBoxes();
    if (nMap < 0 || static_cast<std::size_t>(nMap) >= maps.size()) return E_INVALIDARG;
    const auto& map = maps[static_cast<std::size_t>(nMap)];
    ReturnBox(map.box, pdSouth, pdWest, pdNorth, pdEast);
    return gpslib::ReturnString(pbstrMapName, map.name);
}

HRESULT CGPSMap::GetLoadedMapsBounds(DOUBLE* pdSouth, DOUBLE* pdWest, DOUBLE* pdNorth,
                                     DOUBLE* pdEast, SHORT* pnMaps) {
    if (!pdSouth || !pdWest || !pdNorth || !pdEast || !pnMaps) return E_POINTER;
    auto lock = Lock();
    const auto maps = m_engine.MapBoxes();
    *pnMaps = static_cast<SHORT>(maps.size());
    if (maps.empty()) {
        ReturnBox({}, pdSouth, pdWest, pdNorth, pdEast);
        return S_FALSE;
    }
    Box all = maps.front().box;
    for (const auto& map : maps) {
        all.south = std::min(all.south, map.box.south);
        all.north = std::max(all.north, map.box.north);
        all.west = std::min(all.west, map.box.west);
        all.east = std::max(all.east, map.box.east);
    }
    return ReturnBox(all, pdSouth, pdWest, pdNorth, pdEast);
}

HRESULT CGPSMap::GetStreetsInBox(DOUBLE dSouth, DOUBLE dWest, DOUBLE dNorth, DOUBLE dEast,
                                 LONG nMaxStreets, BSTR bstrKeywords, VARIANT* pvarStreets,
                                 VARIANT* pvarPoints, VARIANT_BOOL* pbComplete) {
    if (!pvarStreets || !pvarPoints || !pbComplete) return E_POINTER;
    *pbComplete = VARIANT_TRUE;
    const Box box{dSouth, dWest, dNorth, dEast};
    if (!ValidBox(box) || nMaxStreets < 1) return E_INVALIDARG;
    auto lock = Lock();
    gpsmap::Keywords k(bstrKeywords);
    bool complete = true;
    std::vector<gpsmap::Engine::StreetShape> shapes;
    if (m_engine.MapCount() > 0)
        shapes = m_engine.StreetsInBox(
            box, static_cast<std::size_t>(std::min(nMaxStreets, kMaxStreetsInBox)),
            NamingFor(k.streetExpanded, k.streetDetailed), &complete);
    std::vector<DOUBLE> points;
    HRESULT hr = gpsmap::ReturnNewRecords<IStreetShapeRecord>(
        pvarStreets, shapes, CLSID_StreetShapeRecord, IID_IStreetShapeRecord,
        [&points](IStreetShapeRecord* r, const gpsmap::Engine::StreetShape& s) {
            gpslib::Bstr name(s.name), cls(s.cls);
            r->SetName(name.Get());
            r->SetClassification(cls.Get());
            r->SetWalkable(gpslib::VariantBool(s.foot));
            r->SetDrivable(gpslib::VariantBool(s.car));
            r->SetFirstPoint(static_cast<LONG>(points.size() / 2));
            r->SetPointCount(static_cast<LONG>(s.points.size()));
            for (const gpsmap::Point& p : s.points)
                points.insert(points.end(), {p.lat, p.lon});
        });
    if (SUCCEEDED(hr)) hr = gpslib::ReturnDoubleList(pvarPoints, points);
    if (FAILED(hr)) return hr;
    *pbComplete = gpslib::VariantBool(complete);
    return m_engine.MapCount() > 0 ? S_OK : S_FALSE;
}
