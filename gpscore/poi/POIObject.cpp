#include "poi/POIObject.h"

#include <tuple>

#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"

GPSLIB_CLASS_FACTORY(POIObject, CPOIObject)

HRESULT CPOIObject::GetCategory(IPOICategoryObject** ppCategory) {
    if (ppCategory == nullptr) return E_POINTER;
    gpslib::ComPtr<IPOICategoryObject> category;
    HRESULT hr = gpslib::CreateObject(CLSID_POICategoryObject, IID_IPOICategoryObject, &category);
    if (FAILED(hr)) {
        *ppCategory = nullptr;
        return hr;
    }
    category->SetCategoryNumber(m_nCategoryNumber);
    *ppCategory = category.Detach();
    return S_OK;
}

HRESULT CPOIObject::SetCategory(IPOICategoryObject* pCategory) {
    if (pCategory == nullptr) return E_POINTER;
    SHORT number = 0;
    HRESULT hr = pCategory->GetCategoryNumber(&number);
    if (FAILED(hr)) return hr;
    m_nCategoryNumber = number;
    return S_OK;
}

HRESULT CPOIObject::GetSubCategory(IPOISubCategoryObject** ppSubCategory) {
    if (ppSubCategory == nullptr) return E_POINTER;
    gpslib::ComPtr<IPOISubCategoryObject> subCategory;
    HRESULT hr =
        gpslib::CreateObject(CLSID_POISubCategoryObject, IID_IPOISubCategoryObject, &subCategory);
    if (FAILED(hr)) {
        *ppSubCategory = nullptr;
        return hr;
    }
    subCategory->SetSubCategoryNumber(m_nSubCategoryNumber);
    subCategory->SetMainCategoryNumber(m_nCategoryNumber);
    *ppSubCategory = subCategory.Detach();
    return S_OK;
}

// A subcategory belongs to one main category, so both numbers are taken: handing back what
// GetSubCategory gave changes nothing.
HRESULT CPOIObject::SetSubCategory(IPOISubCategoryObject* pSubCategory) {
    if (pSubCategory == nullptr) return E_POINTER;
    SHORT subNumber = 0;
    SHORT mainNumber = 0;
    HRESULT hr = pSubCategory->GetSubCategoryNumber(&subNumber);
    if (SUCCEEDED(hr)) hr = pSubCategory->GetMainCategoryNumber(&mainNumber);
    if (FAILED(hr)) return hr;
    m_nSubCategoryNumber = subNumber;
    m_nCategoryNumber = mainNumber;
    return S_OK;
}

HRESULT CPOIObject::HasMediaFile(VARIANT_BOOL* pbHasMediaFile) {
    if (pbHasMediaFile == nullptr) return E_POINTER;
    *pbHasMediaFile = m_bstrMediaFile.Length() > 0 ? 1 : 0;
    return S_OK;
}

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

// The accessors of each text field on a POI object and a database record, in the order of
// kPOITextFields.
struct TextAccessors {
    HRESULT (IPOIObject::*getPOI)(BSTR*);
    HRESULT (IPOIObject::*setPOI)(BSTR);
    HRESULT (IPOIRecord::*getRecord)(BSTR*);
    HRESULT (IPOIRecord::*setRecord)(BSTR);
};

#define GPSCORE_POI_TEXT(Name)                                                                     \
    TextAccessors {                                                                                \
        &IPOIObject::Get##Name, &IPOIObject::Set##Name, &IPOIRecord::Get##Name,                    \
            &IPOIRecord::Set##Name                                                                 \
    }
constexpr TextAccessors kAccessors[] = {
    GPSCORE_POI_TEXT(Name),
    GPSCORE_POI_TEXT(Description),
    GPSCORE_POI_TEXT(Author),
    GPSCORE_POI_TEXT(Date),
    GPSCORE_POI_TEXT(ThirdPartyId),
    GPSCORE_POI_TEXT(Tags),
    GPSCORE_POI_TEXT(HoursOfOperation),
    GPSCORE_POI_TEXT(Street),
    GPSCORE_POI_TEXT(City),
    GPSCORE_POI_TEXT(State),
    GPSCORE_POI_TEXT(Country),
    GPSCORE_POI_TEXT(ZipCode),
    GPSCORE_POI_TEXT(PhoneNumber),
    GPSCORE_POI_TEXT(FaxNumber),
    GPSCORE_POI_TEXT(WebAddress),
    GPSCORE_POI_TEXT(Email),
    GPSCORE_POI_TEXT(MediaFile),
    GPSCORE_POI_TEXT(AddressNumber),
};
#undef GPSCORE_POI_TEXT
static_assert(std::size(kAccessors) == std::tuple_size_v<decltype(kPOITextFields)>);

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

Standpoint ModePlaces::At(Mode mode) const {
    Standpoint standpoint;
    standpoint.place = PlaceOf(Location(mode).Get());
    standpoint.heading = Heading(mode);
    standpoint.headingValid = HeadingValid(mode);
    standpoint.distanceAndHeading = [places = *this, mode](const Place& to) {
        return places.DistanceAndHeading(mode, NewLocation(to).Get());
    };
    return standpoint;
}

// The fields a POI object and a record share, read and written by the same names on both.
template <class I, class Get> POIData ReadShared(I* from, Get TextAccessors::*get) {
    POIData data;
    if (from == nullptr) return data;
    // Range-for, not an index into both tables: gcc's sanitizer build sees an unrolled index as
    // maybe uninitialized.
    const auto* text = std::begin(kPOITextFields);
    for (const TextAccessors& accessors : kAccessors)
        data.*(text++)->field = Field(from, accessors.*get);
    VARIANT_BOOL user = 0, priv = 0, modify = 0;
    from->GetKey(&data.key);
    from->GetCategoryNumber(&data.category);
    from->GetSubCategoryNumber(&data.subCategory);
    from->IsUserPOI(&user);
    from->IsPrivate(&priv);
    from->CanModifyRMFFields(&modify);
    from->GetLatitudeOffset(&data.latitudeOffset);
    from->GetLongitudeOffset(&data.longitudeOffset);
    from->GetLatitude(&data.latitude);
    from->GetLongitude(&data.longitude);
    data.userPOI = user != 0;
    data.isPrivate = priv != 0;
    data.canModifyRMFFields = modify != 0;
    data.pdbFile = Field(from, &I::GetPDBFile);
    return data;
}

// Every shared field but the file, which a record gets from its store.
template <class I, class Set>
void WriteShared(I* to, const POIData& data, Set TextAccessors::*set) {
    const auto* text = std::begin(kPOITextFields);
    for (const TextAccessors& accessors : kAccessors)
        (to->*(accessors.*set))(Bstr(data.*(text++)->field).Get());
    to->SetKey(data.key);
    to->SetCategoryNumber(data.category);
    to->SetSubCategoryNumber(data.subCategory);
    to->SetIsUserPOI(gpslib::VariantBool(data.userPOI));
    to->SetIsPrivate(gpslib::VariantBool(data.isPrivate));
    to->SetCanModifyRMFFields(gpslib::VariantBool(data.canModifyRMFFields));
    to->SetLatitudeOffset(data.latitudeOffset);
    to->SetLongitudeOffset(data.longitudeOffset);
    to->SetLatitude(data.latitude);
    to->SetLongitude(data.longitude);
}

POIData ReadPOIObject(IPOIObject* poi) {
    POIData data = ReadShared(poi, &TextAccessors::getPOI);
    if (poi == nullptr) return data;
    LONG foundIndex = -1;
    SideOfStreet side = SideUnknown;
    poi->GetFoundIndex(&foundIndex);
    poi->GetSideOfStreet(&side);
    data.foundIndex = foundIndex;
    data.sideOfStreet = side;
    return data;
}

POIData ReadPOIRecord(IPOIRecord* record) {
    return ReadShared(record, &TextAccessors::getRecord);
}

ComPtr<IPOIObject> NewPOI() {
    ComPtr<IPOIObject> poi;
    gpslib::CreateObject(CLSID_POIObject, IID_IPOIObject, &poi);
    return poi;
}

HRESULT ReturnPOI(const std::optional<POIData>& poi, IPOIObject** ppPOI) {
    *ppPOI = (poi ? NewPOIObject(*poi) : NewPOI()).Detach();
    return *ppPOI != nullptr ? S_OK : E_OUTOFMEMORY;
}

ComPtr<IPOIObject> NewPOIObject(const POIData& data) {
    ComPtr<IPOIObject> poi = NewPOI();
    if (poi) WritePOIObject(poi.Get(), data);
    return poi;
}

void WritePOIObject(IPOIObject* poi, const POIData& data) {
    if (poi == nullptr) return;
    WriteShared(poi, data, &TextAccessors::setPOI);
    poi->SetPDBFile(Bstr(data.pdbFile).Get());
    if (data.foundIndex) poi->SetFoundIndex(*data.foundIndex);
    if (data.sideOfStreet) poi->SetSideOfStreet(*data.sideOfStreet);
}

ComPtr<IPOIRecord> NewPOIRecord(const POIData& data) {
    ComPtr<IPOIRecord> record;
    if (FAILED(gpslib::CreateObject(CLSID_POIRecord, IID_IPOIRecord, &record))) return {};
    WriteShared(record.Get(), data, &TextAccessors::setRecord);
    return record;
}

void StripSpellDecorators(const ServiceContext& context, IPOIRecord* record) {
    if (context.m_pUtility == nullptr || record == nullptr) return;
    for (std::size_t i = 0; const TextAccessors& accessor : kAccessors) {
        if (!kPOITextFields[i++].spelled) continue;
        const std::u16string text = Field(record, accessor.getRecord);
        const std::u16string stored = context.m_pUtility->ForStorage(text);
        if (stored != text) (record->*accessor.setRecord)(Bstr(stored).Get());
    }
}

std::optional<POIData> ShowRecord(const ServiceContext& context, IPOIDatabase* database, BSTR name,
                                  LONG key, LONG index, const Standpoint& here) {
    ComPtr<IPOIRecord> record;
    VARIANT_BOOL found = VARIANT_FALSE;
    if (database != nullptr) database->DbPOIGet(name, key, record.Put(), &found);
    if (found == VARIANT_FALSE || !record) {
        context.Log("  Empty POI created");
        return std::nullopt;
    }
    POIData poi = ReadPOIRecord(record.Get());
    std::optional<Place> at;
    if (here.heading != -1 && here.Valid()) at = here.place;
    ShowPOI(context, poi, index, at, here.heading);
    return poi;
}

std::optional<POIData> LastPOIObject::Get() const {
    if (!m_poi) return std::nullopt;
    return ReadPOIObject(m_poi.Get());
}

void LastPOIObject::Set(const std::optional<POIData>& poi) {
    m_poi = poi ? NewPOIObject(*poi) : ComPtr<IPOIObject>();
}

ComPtr<IPOIObject> LastPOIObject::Object() const {
    return m_poi ? m_poi : NewPOI();
}

} // namespace gpscore
