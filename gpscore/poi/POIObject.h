// A point of interest: name, category, address, contact data and position.
#ifndef GPSCORE_POI_POIOBJECT_H_
#define GPSCORE_POI_POIOBJECT_H_

#include <gpslib/GPSDatabaseLib.h>

#include <string>

#include "GPSLib_classes.h"
#include "poi/POIBuilder.h"
#include "poi/POILookaround.h"

// The POI's own name and description are fields; its position, with a name and description of
// its own, is the inner location. The category and subcategory are the two number fields: the
// category objects handed out are new ones made for those numbers, and the ones handed in are
// read for their numbers, so that the numbers and the objects can never disagree.
class CPOIObject : public CPOIObjectBase {
public:
    HRESULT GetCategory(IPOICategoryObject** ppCategory) override;
    HRESULT SetCategory(IPOICategoryObject* pCategory) override;
    HRESULT GetSubCategory(IPOISubCategoryObject** ppSubCategory) override;
    HRESULT SetSubCategory(IPOISubCategoryObject* pSubCategory) override;

    HRESULT HasMediaFile(VARIANT_BOOL* pbHasMediaFile) override;
};

namespace gpscore {

// Where each mode stands, as the service holds it: the live fix and the virtual walker (either
// may be null before Start).
struct ModePlaces {
    IGPSObject* gps = nullptr;
    IVirtualObject* walker = nullptr;

    // A copy-free reference to the mode's own location object; null when there is none.
    gpslib::ComPtr<ILocationObject> Location(Mode mode) const;
    // Degrees, -1 for none.
    SHORT Heading(Mode mode) const;
    bool HeadingValid(Mode mode) const;
    // The mode's spoken distance and direction toward `to`.
    std::u16string DistanceAndHeading(Mode mode, ILocationObject* to) const;
    // Where the user stands in `mode`, for the parts; valid while the fix and walker live.
    Standpoint At(Mode mode) const;
};

// A text field of an object as text.
template <class I> std::u16string Field(I* object, HRESULT (I::*get)(BSTR*)) {
    gpslib::Bstr text;
    if (object == nullptr || FAILED((object->*get)(text.Put()))) return {};
    return std::u16string(text.View());
}

// Every field of a stored record, and of a POI object.
POIData ReadPOIRecord(IPOIRecord* record);
POIData ReadPOIObject(IPOIObject* poi);
// A new POI object holding `poi` (null only when the runtime cannot make one), and every field
// of `poi` written into an existing one.
gpslib::ComPtr<IPOIObject> NewPOIObject(const POIData& poi);
void WritePOIObject(IPOIObject* object, const POIData& poi);
// A new empty POI object (null only when the runtime cannot make one).
gpslib::ComPtr<IPOIObject> NewPOI();
// A POI as a client gets it: a new object holding `poi`, an empty one for none.
HRESULT ReturnPOI(const std::optional<POIData>& poi, IPOIObject** ppPOI);
// A new record holding `poi` (its file aside: a record's file is the store's); null only when the
// runtime cannot make one.
gpslib::ComPtr<IPOIRecord> NewPOIRecord(const POIData& poi);
// The record's names as they are stored: without the spell decorators a POI object shown to
// the user carries.
void StripSpellDecorators(const ServiceContext& context, IPOIRecord* record);

// A found entry: the record `name`/`key` of `database` as ShowPOI shows it from `here`; none
// (logged) when the database has no such record.
std::optional<POIData> ShowRecord(const ServiceContext& context, IPOIDatabase* database, BSTR name,
                                  LONG key, LONG index, const Standpoint& here);

// The POI of the last lookaround announcement, kept as the object the client is handed.
class LastPOIObject : public LastLookaroundPOI {
public:
    std::optional<POIData> Get() const override;
    void Set(const std::optional<POIData>& poi) override;
    // The object itself; a new empty POI before the first announcement.
    gpslib::ComPtr<IPOIObject> Object() const;

private:
    gpslib::ComPtr<IPOIObject> m_poi;
};

} // namespace gpscore

#endif // GPSCORE_POI_POIOBJECT_H_
