// What the POI search and the personal places share: the category numbering and its resource
// ids, a POI as plain values, and how a stored record is shown (its author, spelled names and
// side of the street). The POI objects and the database records are made from the plain values
// beside the object (poi/POIObject.h).
#ifndef GPSCORE_POI_POIBUILDER_H_
#define GPSCORE_POI_POIBUILDER_H_

#include <gpslib/GPSLib_enums.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Place.h"
#include "resources/StringIds.h"

namespace gpscore {

struct ServiceContext;

inline constexpr std::int16_t kAnnotationCategory = 16;
inline constexpr std::int16_t kAnnotationSubCategory = 2;
inline constexpr std::int16_t kOtherCategory = 17;
inline constexpr std::int16_t kUserCategory = 18;
inline constexpr std::int16_t kUserPrivateSubCategory = 1;
inline constexpr std::int16_t kUserPublicSubCategory = 2;
inline constexpr std::int16_t kCategoryCount = 18;
// The author of a POI the user makes, until they name one.
inline constexpr char16_t kDefaultAuthor[] = u"QX SDK";

// The order in which categories are listed to the user.
inline constexpr std::array<std::int16_t, 18> kCategoryDisplayOrder = {
    12, 6, 5, 9, 11, 13, 10, 8, 2, 15, 16, 4, 3, 7, 1, 14, 17, 18};

// String ids of the names: category c is 500 ids after category c - 1, the first being
// PoiShopping; its subcategory s is that id plus s, and subcategory 0 is "any type".
constexpr int CategoryNameId(int category) {
    return ids::kPoiShopping + (category - 1) * 500;
}
constexpr int SubCategoryNameId(int category, int subCategory) {
    return subCategory == 0 ? ids::kAnyType : CategoryNameId(category) + subCategory;
}

// A point of interest as a database record holds it, and as the POI object a client gets shows
// it: the POI objects and the records are read into it and made from it beside the object
// (poi/POIObject.h).
struct POIData {
    std::u16string name, description, author, date, thirdPartyId, tags, hoursOfOperation, street,
        city, state, country, zipCode, phoneNumber, faxNumber, webAddress, email, mediaFile,
        addressNumber;
    std::int32_t key = 0;
    std::int16_t category = 0, subCategory = 0;
    bool userPOI = false, isPrivate = false, canModifyRMFFields = false;
    double latitudeOffset = 0.0, longitudeOffset = 0.0, latitude = 0.0, longitude = 0.0;
    std::u16string pdbFile;
    // Set only on a POI of a found list, and only where the side is known: a POI object without
    // them keeps its own defaults.
    std::optional<std::int32_t> foundIndex;
    std::optional<SideOfStreet> sideOfStreet;
};

// The text fields of a POI, in the order the object and the record list them, and whether each
// is passed through the spell decorators when those are on (stored without them, shown with).
struct POITextField {
    std::u16string POIData::*field;
    bool spelled;
};
extern const std::array<POITextField, 18> kPOITextFields;

// A stored record as the user sees it: its found index, the map provider's author name for the
// provider's short mark, the spelled names when those are on, and its side of the street as seen
// from `here` facing `heading` (-1 none; `here` none when the mode has no valid place).
void ShowPOI(const ServiceContext& context, POIData& poi, std::int32_t foundIndex,
             const std::optional<Place>& here, std::int16_t heading);

// The side of the street on which a POI with house number `poiNumber` on `poiStreet` lies, seen
// by someone on `currentStreet` whose right-hand and left-hand house numbers are `right` and
// `left` (0 or less: none on that side). SideUnknown when the streets differ or the numbers say
// nothing.
SideOfStreet SideOfStreetFor(std::u16string_view poiNumber, std::u16string_view poiStreet,
                             std::u16string_view currentStreet, std::int32_t right,
                             std::int32_t left);

// Whether two file paths name the same file ("\\" and "/" alike, letter case kept).
bool SamePath(std::u16string_view a, std::u16string_view b);

} // namespace gpscore

#endif // GPSCORE_POI_POIBUILDER_H_
