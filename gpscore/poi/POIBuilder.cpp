#include "poi/POIBuilder.h"

#include <cstdint>

#include "base/Answers.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

// The text fields a POI object and a database record share, with their accessors on each.
struct TextField {
    HRESULT (IPOIObject::*getPOI)(BSTR*);
    HRESULT (IPOIObject::*setPOI)(BSTR);
    HRESULT (IPOIRecord::*getRecord)(BSTR*);
    HRESULT (IPOIRecord::*setRecord)(BSTR);
    bool spelled; // passed through the spell decorators when those are on
};

constexpr TextField kTextFields[] = {
    {&IPOIObject::GetName, &IPOIObject::SetName, &IPOIRecord::GetName, &IPOIRecord::SetName, true},
    {&IPOIObject::GetDescription, &IPOIObject::SetDescription, &IPOIRecord::GetDescription,
     &IPOIRecord::SetDescription, false},
    {&IPOIObject::GetAuthor, &IPOIObject::SetAuthor, &IPOIRecord::GetAuthor, &IPOIRecord::SetAuthor,
     true},
    {&IPOIObject::GetDate, &IPOIObject::SetDate, &IPOIRecord::GetDate, &IPOIRecord::SetDate, false},
    {&IPOIObject::GetThirdPartyId, &IPOIObject::SetThirdPartyId, &IPOIRecord::GetThirdPartyId,
     &IPOIRecord::SetThirdPartyId, true},
    {&IPOIObject::GetTags, &IPOIObject::SetTags, &IPOIRecord::GetTags, &IPOIRecord::SetTags, true},
    {&IPOIObject::GetHoursOfOperation, &IPOIObject::SetHoursOfOperation,
     &IPOIRecord::GetHoursOfOperation, &IPOIRecord::SetHoursOfOperation, true},
    {&IPOIObject::GetStreet, &IPOIObject::SetStreet, &IPOIRecord::GetStreet, &IPOIRecord::SetStreet,
     true},
    {&IPOIObject::GetCity, &IPOIObject::SetCity, &IPOIRecord::GetCity, &IPOIRecord::SetCity, true},
    {&IPOIObject::GetState, &IPOIObject::SetState, &IPOIRecord::GetState, &IPOIRecord::SetState,
     true},
    {&IPOIObject::GetCountry, &IPOIObject::SetCountry, &IPOIRecord::GetCountry,
     &IPOIRecord::SetCountry, true},
    {&IPOIObject::GetZipCode, &IPOIObject::SetZipCode, &IPOIRecord::GetZipCode,
     &IPOIRecord::SetZipCode, true},
    {&IPOIObject::GetPhoneNumber, &IPOIObject::SetPhoneNumber, &IPOIRecord::GetPhoneNumber,
     &IPOIRecord::SetPhoneNumber, true},
    {&IPOIObject::GetFaxNumber, &IPOIObject::SetFaxNumber, &IPOIRecord::GetFaxNumber,
     &IPOIRecord::SetFaxNumber, true},
    {&IPOIObject::GetWebAddress, &IPOIObject::SetWebAddress, &IPOIRecord::GetWebAddress,
     &IPOIRecord::SetWebAddress, true},
    {&IPOIObject::GetEmail, &IPOIObject::SetEmail, &IPOIRecord::GetEmail, &IPOIRecord::SetEmail,
     true},
    {&IPOIObject::GetMediaFile, &IPOIObject::SetMediaFile, &IPOIRecord::GetMediaFile,
     &IPOIRecord::SetMediaFile, false},
    {&IPOIObject::GetAddressNumber, &IPOIObject::SetAddressNumber, &IPOIRecord::GetAddressNumber,
     &IPOIRecord::SetAddressNumber, true},
};

std::u16string Upper(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return out;
}

// The leading digits of a house number ("12a" is 12); 0 when it starts otherwise.
LONG WholeNumber(std::u16string_view text) {
    std::int64_t n = 0;
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        n = n * 10 + (text[i] - u'0');
        if (n > 1000000000) return 0; // no street numbers its houses this far
    }
    return static_cast<LONG>(n);
}

} // namespace

ComPtr<ILocationObject> ModePlaces::Location(Mode mode) const {
    ComPtr<ILocationObject> place;
    if (mode == VirtualMode) {
        if (walker != nullptr) walker->GetLocation(place.Put());
    } else if (gps != nullptr) {
        gps->GetLocation(place.Put());
    }
    return place;
}

SHORT ModePlaces::Heading(Mode mode) const {
    SHORT heading = -1;
    if (mode == VirtualMode) {
        if (walker != nullptr) walker->GetHeadingDegrees(&heading);
    } else if (gps != nullptr) {
        gps->GetHeadingDegrees(&heading);
    }
    return heading;
}

bool ModePlaces::HeadingValid(Mode mode) const {
    VARIANT_BOOL valid = VARIANT_FALSE;
    if (mode == VirtualMode) {
        if (walker != nullptr) walker->IsHeadingValid(&valid);
    } else if (gps != nullptr) {
        gps->IsHeadingValid(&valid);
    }
    return valid != VARIANT_FALSE;
}

std::u16string ModePlaces::DistanceAndHeading(Mode mode, ILocationObject* to) const {
    Bstr text;
    if (mode == VirtualMode) {
        if (walker != nullptr) walker->GetDistanceAndHeading(to, text.Put());
    } else if (gps != nullptr) {
        gps->GetDistanceAndHeading(Heading(GPSMode), to, text.Put());
    }
    return std::u16string(text.View());
}

ComPtr<IPOIObject> NewPOI() {
    ComPtr<IPOIObject> poi;
    gpslib::CreateObject(CLSID_POIObject, IID_IPOIObject, &poi);
    return poi;
}

ComPtr<IPOIObject> POIFromRecord(IPOIRecord* record) {
    ComPtr<IPOIObject> poi = NewPOI();
    if (!poi || record == nullptr) return poi;
    for (const TextField& f : kTextFields) {
        Bstr text;
        (record->*f.getRecord)(text.Put());
        (poi.Get()->*f.setPOI)(text.Get());
    }
    LONG key = 0;
    SHORT category = 0, subCategory = 0;
    VARIANT_BOOL user = 0, priv = 0, modify = 0;
    DOUBLE latOffset = 0, lonOffset = 0, latitude = 0, longitude = 0;
    Bstr file;
    record->GetKey(&key);
    record->GetCategoryNumber(&category);
    record->GetSubCategoryNumber(&subCategory);
    record->IsUserPOI(&user);
    record->IsPrivate(&priv);
    record->CanModifyRMFFields(&modify);
    record->GetLatitudeOffset(&latOffset);
    record->GetLongitudeOffset(&lonOffset);
    record->GetLatitude(&latitude);
    record->GetLongitude(&longitude);
    record->GetPDBFile(file.Put());
    poi->SetKey(key);
    poi->SetCategoryNumber(category);
    poi->SetSubCategoryNumber(subCategory);
    poi->SetIsUserPOI(user != 0 ? VARIANT_TRUE : VARIANT_FALSE);
    poi->SetIsPrivate(priv != 0 ? VARIANT_TRUE : VARIANT_FALSE);
    poi->SetCanModifyRMFFields(modify != 0 ? VARIANT_TRUE : VARIANT_FALSE);
    poi->SetLatitudeOffset(latOffset);
    poi->SetLongitudeOffset(lonOffset);
    poi->SetPDBFile(file.Get());
    poi->SetLatitude(latitude);
    poi->SetLongitude(longitude);
    return poi;
}

ComPtr<IPOIRecord> RecordFromPOI(IPOIObject* poi) {
    ComPtr<IPOIRecord> record;
    if (poi == nullptr || FAILED(gpslib::CreateObject(CLSID_POIRecord, IID_IPOIRecord, &record)))
        return {};
    for (const TextField& f : kTextFields) {
        Bstr text;
        (poi->*f.getPOI)(text.Put());
        (record.Get()->*f.setRecord)(text.Get());
    }
    LONG key = 0;
    SHORT category = 0, subCategory = 0;
    VARIANT_BOOL user = 0, priv = 0, modify = 0;
    DOUBLE latOffset = 0, lonOffset = 0, latitude = 0, longitude = 0;
    poi->GetKey(&key);
    poi->GetCategoryNumber(&category);
    poi->GetSubCategoryNumber(&subCategory);
    poi->IsUserPOI(&user);
    poi->IsPrivate(&priv);
    poi->CanModifyRMFFields(&modify);
    poi->GetLatitudeOffset(&latOffset);
    poi->GetLongitudeOffset(&lonOffset);
    poi->GetLatitude(&latitude);
    poi->GetLongitude(&longitude);
    record->SetKey(key);
    record->SetCategoryNumber(category);
    record->SetSubCategoryNumber(subCategory);
    record->SetIsUserPOI(user != 0 ? VARIANT_TRUE : VARIANT_FALSE);
    record->SetIsPrivate(priv != 0 ? VARIANT_TRUE : VARIANT_FALSE);
    record->SetCanModifyRMFFields(modify != 0 ? VARIANT_TRUE : VARIANT_FALSE);
    record->SetLatitudeOffset(latOffset);
    record->SetLongitudeOffset(lonOffset);
    record->SetLatitude(latitude);
    record->SetLongitude(longitude);
    return record;
}

void StripSpellDecorators(const ServiceContext& context, IPOIRecord* record) {
    if (context.m_pUtility == nullptr || record == nullptr) return;
    for (const TextField& f : kTextFields) {
        if (!f.spelled) continue;
        const std::u16string text = Field(record, f.getRecord);
        const std::u16string stored = context.m_pUtility->ForStorage(text);
        if (stored != text) (record->*f.setRecord)(Bstr(std::u16string_view(stored)).Get());
    }
}

SideOfStreet SideOfStreetFor(std::u16string_view poiNumber, std::u16string_view poiStreet,
                             std::u16string_view currentStreet, LONG right, LONG left) {
    const LONG number = WholeNumber(poiNumber);
    if (number <= 0 || poiStreet.empty() || currentStreet.empty()) return SideUnknown;
    // Letter case does not make another street.
    const std::u16string p = Upper(poiStreet);
    const std::u16string c = Upper(currentStreet.substr(0, 255));
    // A one-letter first word ("N Main St") is a direction the other name may lack or spell
    // otherwise: both are compared from their first space.
    std::size_t ip = 0, ic = 0;
    const std::size_t firstSpace = p.find(u' ');
    if (firstSpace == 1 && p.find(u' ', 2) != std::u16string::npos) {
        ip = firstSpace;
        ic = std::min(c.find(u' '), c.size());
    }
    std::size_t matched = ip;
    bool any = false;
    while (ip < p.size() && ic < c.size() && p[ip] == c[ic]) {
        matched = ip;
        any = true;
        ++ip;
        ++ic;
    }
    if (!any) matched = firstSpace == 1 && p.find(u' ', 2) != std::u16string::npos ? 1 : 0;
    const std::size_t lastSpace = p.rfind(u' ');
    bool same = false;
    if (lastSpace != std::u16string::npos)
        same = any && matched > lastSpace;
    else
        same = any && matched + 2 > p.size() && ic == c.size();
    if (!same) return SideUnknown;

    const LONG pp = number % 2;
    const LONG r = right > 0 ? right % 2 : -1;
    const LONG l = left > 0 ? left % 2 : -1;
    if (r != -1 && r != l) return pp == r ? RightSide : LeftSide;
    if (l != -1 && l != r) return pp == l ? LeftSide : RightSide;
    return SideUnknown;
}

ComPtr<IPOIObject> BuildPOI(const ServiceContext& context, IPOIDatabase* database, BSTR name,
                            LONG key, LONG index, Mode mode, const ModePlaces& places) {
    ComPtr<IPOIRecord> record;
    VARIANT_BOOL found = VARIANT_FALSE;
    if (database != nullptr) database->DbPOIGet(name, key, record.Put(), &found);
    if (found == VARIANT_FALSE || !record) {
        context.Log("  Empty POI created");
        return NewPOI();
    }
    ComPtr<IPOIObject> poi = POIFromRecord(record.Get());
    if (!poi) return poi;
    poi->SetFoundIndex(index);

    // Records of the map data provider carry a short author mark instead of a name.
    if (Field(poi.Get(), &IPOIObject::GetAuthor) == u"TA" &&
        Field(poi.Get(), &IPOIObject::GetDate).empty())
        poi->SetAuthor(Bstr(std::u16string_view(context.String(ids::kMapDataProvider))).Get());

    if (context.m_pUtility != nullptr) {
        for (const TextField& f : kTextFields) {
            if (!f.spelled) continue;
            const std::u16string text = Field(poi.Get(), f.getPOI);
            const std::u16string shown = context.m_pUtility->ForDisplay(text);
            if (shown != text) (poi.Get()->*f.setPOI)(Bstr(std::u16string_view(shown)).Get());
        }
    }

    // The side of the street, when the user stands on the POI's street facing a known way.
    const SHORT heading = places.Heading(mode);
    const std::u16string number =
        Utility::RemoveSpellDecorators(Field(record.Get(), &IPOIRecord::GetAddressNumber));
    const std::u16string street = Field(record.Get(), &IPOIRecord::GetStreet);
    if (heading != -1 && !street.empty() && WholeNumber(number) > 0) {
        ComPtr<ILocationObject> here = places.Location(mode);
        if (IsValidPlace(here.Get())) {
            DOUBLE latitude = 0, longitude = 0;
            here->GetLatitude(&latitude);
            here->GetLongitude(&longitude);
            if (auto detail = context.Map().FirstDetail(
                    latitude, longitude, MapWords::kAddress | MapWords::kStreetRaw, heading)) {
                poi->SetSideOfStreet(SideOfStreetFor(number, street, detail->streetNameShort,
                                                     detail->houseNumberRight,
                                                     detail->houseNumberLeft));
            }
        }
    }
    return poi;
}

bool SamePath(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char16_t x = a[i] == u'\\' ? u'/' : a[i];
        const char16_t y = b[i] == u'\\' ? u'/' : b[i];
        if (x != y) return false;
    }
    return true;
}

} // namespace gpscore
