// The map engine object's street answers: the street at a position, the cross streets ahead, the
// details of a position, the walker's moves, and the address searches' positions and crossings.
#include <algorithm>

#include "GPSMap.h"

using gpslib::ComPtr;
using gpsmap::Branch;
using gpsmap::Details;
using gpsmap::Keywords;
using gpsmap::Naming;
using gpsmap::NormalHeading;
using gpsmap::Point;
using gpsmap::ValidPosition;

namespace {

// The record's fields the keywords ask for.
void Fill(ILocationDetailRecord* r, const Details& d, const Keywords& k) {
    auto text = [](const std::string& s) { return gpslib::Bstr(s); };
    r->SetLatitude(d.at.lat);
    r->SetLongitude(d.at.lon);
    bool street = k.all || k.address || k.streetRaw;
    if (street)
        r->SetStreetNameShort(text(k.streetRaw && !k.all ? d.streetRaw : d.streetShort).Get());
    if (k.all || k.streetDetailed) r->SetStreetNameDetailed(text(d.streetDetailed).Get());
    if (k.all) {
        r->SetRoadClassification(text(d.classification).Get());
        r->SetSpeedLimitMetric(d.speedKmh);
        r->SetSpeedLimitNonMetric(d.speedMph);
        r->SetNumberLanes(static_cast<SHORT>(d.lanes));
    }
    if (k.all || k.address) {
        r->SetHouseNumber(text(d.houseNumber).Get());
        r->SetHouseNumberRight(d.houseRight);
        r->SetHouseNumberLeft(d.houseLeft);
        r->SetAddressRightFromAlphaNum(text(d.rightFromText).Get());
        r->SetAddressRightToAlphaNum(text(d.rightToText).Get());
        r->SetAddressLeftFromAlphaNum(text(d.leftFromText).Get());
        r->SetAddressLeftToAlphaNum(text(d.leftToText).Get());
        r->SetAddressRightFrom(d.rightFrom);
        r->SetAddressRightTo(d.rightTo);
        r->SetAddressLeftFrom(d.leftFrom);
        r->SetAddressLeftTo(d.leftTo);
    }
    if (k.all || k.city || k.cityPostalMap) r->SetCity(text(d.city).Get());
    if (k.all || k.stateRaw || k.cityPostalMap) r->SetStateProvince(text(d.state).Get());
    if (k.all || k.cityPostalMap) {
        r->SetBorough(text(d.borough).Get());
        r->SetArea(text(d.area).Get());
        r->SetCounty(text(d.county).Get());
        r->SetCountry(text(d.country).Get());
        r->SetZipPostalcode(text(d.postcode).Get());
        r->SetMap(text(d.map).Get());
    }
}

} // namespace

HRESULT CGPSMap::GetStreetAtLocation(DOUBLE dLatitude, DOUBLE dLongitude, SHORT nHeading,
                                     BSTR bstrKeywords, BSTR* pbstrStreetName, BSTR* pbstrResult) {
    if (pbstrStreetName == nullptr || pbstrResult == nullptr) return E_POINTER;
    *pbstrStreetName = nullptr;
    *pbstrResult = nullptr;
    auto lock = Lock();
    if (m_engine.MapCount() == 0) {
        gpslib::ReturnString(pbstrStreetName, "");
        gpslib::ReturnString(pbstrResult, "NO MAP");
        return E_FAIL;
    }
    Keywords k(bstrKeywords);
    Naming naming = NamingFor(k.streetExpanded, k.streetDetailed);
    Point p{dLatitude, dLongitude};
    std::string name, result = "NO MAP";
    if (ValidPosition(dLatitude, dLongitude) && m_engine.Covered(p)) {
        result = "NO STREET";
        if (auto m = m_engine.MatchStreet(p, NormalHeading(nHeading), naming)) {
            name = m_engine.StreetName(*m, naming);
            result = "OK";
        }
    }
    HRESULT hr = gpslib::ReturnString(pbstrStreetName, name);
    return FAILED(hr) ? hr : gpslib::ReturnString(pbstrResult, result);
}

HRESULT CGPSMap::FindNextCrossStreets(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrCurrentStreet,
                                      SHORT nAheadHeading, BSTR bstrKeywords,
                                      VARIANT* pvarCrossStreets) {
    if (pvarCrossStreets == nullptr) return E_POINTER;
    auto lock = Lock();
    if (m_engine.MapCount() == 0) return E_FAIL;
    Keywords k(bstrKeywords);
    std::vector<Branch> branches;
    if (ValidPosition(dLatitude, dLongitude))
        branches = m_engine.CrossStreets({dLatitude, dLongitude}, gpslib::ToUtf8(bstrCurrentStreet),
                                         NormalHeading(nAheadHeading),
                                         NamingFor(k.intersectionExpanded, k.streetDetailed),
                                         k.includeConnectors);
    return ReturnBranches(branches, pvarCrossStreets);
}

HRESULT CGPSMap::GetLocationsDetailsVector(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrKeywords,
                                           SHORT nHeading, VARIANT* pvarDetails) {
    if (pvarDetails == nullptr) return E_POINTER;
    auto lock = Lock();
    if (m_engine.MapCount() == 0) return E_FAIL;
    Keywords k(bstrKeywords);
    std::vector<Details> details;
    if (ValidPosition(dLatitude, dLongitude))
        details = m_engine.LocationDetails({dLatitude, dLongitude}, NormalHeading(nHeading),
                                           NamingFor(k.streetExpanded, k.streetDetailed));
    return gpsmap::ReturnNewRecords<ILocationDetailRecord>(
        pvarDetails, details, CLSID_LocationDetailRecord, IID_ILocationDetailRecord,
        [&k](ILocationDetailRecord* r, const Details& d) { Fill(r, d, k); });
}

HRESULT CGPSMap::FindAddressPosition(BSTR bstrMap, LONG nStreetKey, BSTR bstrStreet, BSTR bstrCity,
                                     BSTR bstrPostalCode, BSTR bstrHouseNumber, DOUBLE* pdLatitude,
                                     DOUBLE* pdLongitude, VARIANT_BOOL* pbFound) {
    if (pdLatitude == nullptr || pdLongitude == nullptr || pbFound == nullptr) return E_POINTER;
    auto lock = Lock();
    *pdLatitude = *pdLongitude = 0.0;
    *pbFound = VARIANT_FALSE;
    auto at = m_engine.AddressPosition(
        gpslib::ToUtf8(bstrMap), nStreetKey, gpslib::ToUtf8(bstrStreet), gpslib::ToUtf8(bstrCity),
        gpslib::ToUtf8(bstrPostalCode), gpslib::ToUtf8(bstrHouseNumber));
    if (at) {
        *pdLatitude = at->lat;
        *pdLongitude = at->lon;
        *pbFound = VARIANT_TRUE;
    }
    return S_OK;
}

HRESULT CGPSMap::FindCrossStreets(BSTR bstrMap, LONG nStreetKey, BSTR bstrStreet, BSTR bstrCity,
                                  BSTR bstrPostalCode, VARIANT_BOOL bMatchZipPostalOnly,
                                  VARIANT* pvarCrossStreets, SHORT* pnCount) {
    if (pvarCrossStreets == nullptr || pnCount == nullptr) return E_POINTER;
    auto lock = Lock();
    *pnCount = 0;
    Naming naming = NamingFor(false, false);
    std::string street = gpslib::ToUtf8(bstrStreet);
    auto crossings = m_engine.StreetCrossings(
        gpslib::ToUtf8(bstrMap), nStreetKey, street, gpslib::ToUtf8(bstrCity),
        gpslib::ToUtf8(bstrPostalCode), bMatchZipPostalOnly != 0, naming);
    std::vector<ComPtr<IAddressObject>> objects;
    if (crossings) {
        for (const auto& c : *crossings) {
            ComPtr<IAddressObject> a;
            HRESULT hr = gpslib::CreateObject(CLSID_AddressObject, IID_IAddressObject, &a);
            if (FAILED(hr)) {
                gpslib::ReturnObjectList(pvarCrossStreets, {}, IID_IAddressObject);
                return hr;
            }
            gpslib::Bstr text(street + naming.joiner + c.crossStreet);
            gpslib::Bstr cross(c.crossStreet), city(c.city), postcode(c.postcode), map(c.map);
            a->SetAddress(text.Get());
            a->SetName(cross.Get());
            a->SetStreet(cross.Get());
            a->SetCity(city.Get());
            a->SetZipPostalcode(postcode.Get());
            a->SetMap(map.Get());
            a->SetLatitude(c.at.lat);
            a->SetLongitude(c.at.lon);
            objects.push_back(a);
        }
    }
    HRESULT hr = gpsmap::ReturnRecords(pvarCrossStreets, objects, IID_IAddressObject);
    if (FAILED(hr)) return hr;
    *pnCount = static_cast<SHORT>(std::min<std::size_t>(objects.size(), 32767));
    return crossings ? S_OK : S_FALSE;
}

HRESULT CGPSMap::GetStreetBearingAtLocation(DOUBLE dLatitude, DOUBLE dLongitude, SHORT nHeading,
                                            SHORT* pnBearing) {
    if (pnBearing == nullptr) return E_POINTER;
    auto lock = Lock();
    *pnBearing = -1;
    if (!ValidPosition(dLatitude, dLongitude)) return S_OK;
    int heading = NormalHeading(nHeading);
    if (auto m = m_engine.MatchStreet({dLatitude, dLongitude}, heading, NamingFor(false, false)))
        *pnBearing = static_cast<SHORT>(gpsmap::Engine::StreetBearing(*m, heading));
    return S_OK;
}

HRESULT CGPSMap::DescribePosition(DOUBLE dLatitude, DOUBLE dLongitude, BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    auto lock = Lock();
    std::string text;
    if (ValidPosition(dLatitude, dLongitude))
        text = m_engine.DescribePosition({dLatitude, dLongitude}, NamingFor(false, false));
    return gpslib::ReturnString(pbstrDescription, text);
}

HRESULT CGPSMap::MoveToNextIntersection(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrStreet,
                                        SHORT nHeading, SideOfStreet eSideOfStreet,
                                        BSTR bstrKeywords, VARIANT* pvarCrossStreets) {
    return Move(false, dLatitude, dLongitude, bstrStreet, nHeading, eSideOfStreet, bstrKeywords,
                pvarCrossStreets);
}

HRESULT CGPSMap::MoveAcrossStreet(DOUBLE dLatitude, DOUBLE dLongitude, BSTR bstrStreet,
                                  SHORT nHeading, SideOfStreet eSideOfStreet, BSTR bstrKeywords,
                                  VARIANT* pvarCrossStreets) {
    return Move(true, dLatitude, dLongitude, bstrStreet, nHeading, eSideOfStreet, bstrKeywords,
                pvarCrossStreets);
}

HRESULT CGPSMap::Move(bool across, DOUBLE lat, DOUBLE lon, BSTR street, SHORT heading,
                      SideOfStreet side, BSTR keywords, VARIANT* list) {
    if (list == nullptr) return E_POINTER;
    auto lock = Lock();
    if (m_engine.MapCount() == 0) return E_FAIL;
    Keywords k(keywords);
    Naming naming = NamingFor(k.intersectionExpanded, k.streetDetailed);
    std::vector<Branch> branches;
    int s = side == LeftSide ? 1 : side == RightSide ? 2 : 0;
    if (ValidPosition(lat, lon)) {
        Point p{lat, lon};
        std::string name = gpslib::ToUtf8(street);
        branches =
            across ? m_engine.MoveAcrossStreet(p, name, NormalHeading(heading), s, naming)
                   : m_engine.MoveToNextIntersection(p, name, NormalHeading(heading), s, naming);
    }
    return ReturnBranches(branches, list);
}

HRESULT CGPSMap::ReturnBranches(const std::vector<Branch>& branches, VARIANT* list) {
    return gpsmap::ReturnNewRecords<ICrossStreetRecord>(
        list, branches, CLSID_CrossStreetRecord, IID_ICrossStreetRecord,
        [](ICrossStreetRecord* r, const Branch& b) {
            gpslib::Bstr name(b.name);
            r->SetStreetName(name.Get());
            r->SetLatitude(b.at.lat);
            r->SetLongitude(b.at.lon);
            r->SetBearing(static_cast<SHORT>(b.bearing));
            r->SetKind(static_cast<SHORT>(b.kind));
            r->SetSkipped(gpslib::VariantBool(b.skipped));
            r->SetSideOfStreet(static_cast<SideOfStreet>(b.side));
            r->SetMustCrossStreet(gpslib::VariantBool(b.mustCross));
        });
}
