// What the POI search and the personal places share: where each mode stands, the category
// numbering and its resource ids, the copies between a database record and a POI object, and
// the building of a POI object from a stored record (its category, spelled names and side of
// the street).
#ifndef GPSCORE_POI_POIBUILDER_H_
#define GPSCORE_POI_POIBUILDER_H_

#include <gpslib/GPSDatabaseLib.h>

#include <array>
#include <string>
#include <string_view>

#include "GPSLib_classes.h"
#include "base/LocationObject.h"
#include "resources/StringIds.h"

namespace gpscore {

struct ServiceContext;

inline constexpr SHORT kAnnotationCategory = 16;
inline constexpr SHORT kAnnotationSubCategory = 2;
inline constexpr SHORT kOtherCategory = 17;
inline constexpr SHORT kUserCategory = 18;
inline constexpr SHORT kUserPrivateSubCategory = 1;
inline constexpr SHORT kUserPublicSubCategory = 2;
inline constexpr SHORT kCategoryCount = 18;
// The author of a POI the user makes, until they name one.
inline constexpr char16_t kDefaultAuthor[] = u"QX SDK";

// The order in which categories are listed to the user.
inline constexpr std::array<SHORT, 18> kCategoryDisplayOrder = {12, 6,  5, 9, 11, 13, 10, 8,  2,
                                                                15, 16, 4, 3, 7,  1,  14, 17, 18};

// String ids of the names: category c is 500 ids after category c - 1, the first being
// PoiShopping; its subcategory s is that id plus s, and subcategory 0 is "any type".
constexpr int CategoryNameId(int category) {
    return ids::kPoiShopping + (category - 1) * 500;
}
constexpr int SubCategoryNameId(int category, int subCategory) {
    return subCategory == 0 ? ids::kAnyType : CategoryNameId(category) + subCategory;
}

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
};

// Every field of a record onto a new POI object, and back.
gpslib::ComPtr<IPOIObject> POIFromRecord(IPOIRecord* record);
gpslib::ComPtr<IPOIRecord> RecordFromPOI(IPOIObject* poi);
// The record's names as they are stored: without the spell decorators a POI object shown to
// the user carries.
void StripSpellDecorators(const ServiceContext& context, IPOIRecord* record);
// A new empty POI object (null only when the runtime cannot make one).
gpslib::ComPtr<IPOIObject> NewPOI();

// A text field of an object as text.
template <class I> std::u16string Field(I* object, HRESULT (I::*get)(BSTR*)) {
    gpslib::Bstr text;
    if (object == nullptr || FAILED((object->*get)(text.Put()))) return {};
    return std::u16string(text.View());
}

// The side of the street on which a POI with house number `poiNumber` on `poiStreet` lies, seen
// by someone on `currentStreet` whose right-hand and left-hand house numbers are `right` and
// `left` (0 or less: none on that side). SideUnknown when the streets differ or the numbers say
// nothing.
SideOfStreet SideOfStreetFor(std::u16string_view poiNumber, std::u16string_view poiStreet,
                             std::u16string_view currentStreet, LONG right, LONG left);

// Builds the POI object of a found entry: the record `name`/`key` of `database` (an empty POI,
// logged, when it has none), its found index, the map provider's author name, the spelled names
// when those are on, and its side of the street as seen from the mode's position and heading.
gpslib::ComPtr<IPOIObject> BuildPOI(const ServiceContext& context, IPOIDatabase* database,
                                    BSTR name, LONG key, LONG index, Mode mode,
                                    const ModePlaces& places);

// Whether two file paths name the same file ("\\" and "/" alike, letter case kept).
bool SamePath(std::u16string_view a, std::u16string_view b);

} // namespace gpscore

#endif // GPSCORE_POI_POIBUILDER_H_
