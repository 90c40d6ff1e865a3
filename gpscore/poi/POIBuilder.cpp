#include "poi/POIBuilder.h"

#include "base/ServiceContext.h"
#include "base/Utility.h"

namespace gpscore {

const std::array<POITextField, 18> kPOITextFields = {{
    {&POIData::name, true},
    {&POIData::description, false},
    {&POIData::author, true},
    {&POIData::date, false},
    {&POIData::thirdPartyId, true},
    {&POIData::tags, true},
    {&POIData::hoursOfOperation, true},
    {&POIData::street, true},
    {&POIData::city, true},
    {&POIData::state, true},
    {&POIData::country, true},
    {&POIData::zipCode, true},
    {&POIData::phoneNumber, true},
    {&POIData::faxNumber, true},
    {&POIData::webAddress, true},
    {&POIData::email, true},
    {&POIData::mediaFile, false},
    {&POIData::addressNumber, true},
}};

namespace {

std::u16string Upper(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return out;
}

// The leading digits of a house number ("12a" is 12); 0 when it starts otherwise.
std::int32_t WholeNumber(std::u16string_view text) {
    std::int64_t n = 0;
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        n = n * 10 + (text[i] - u'0');
        if (n > 1000000000) return 0; // no street numbers its houses this far
    }
    return static_cast<std::int32_t>(n);
}

} // namespace

void ShowPOI(const ServiceContext& context, POIData& poi, std::int32_t foundIndex,
             const std::optional<Place>& here, std::int16_t heading) {
    poi.foundIndex = foundIndex;
    // The side of the street, when the user stands on the POI's street facing a known way; from
    // the record's own number and street.
    const std::u16string number = Utility::RemoveSpellDecorators(poi.addressNumber);
    if (heading != -1 && !poi.street.empty() && WholeNumber(number) > 0 && here) {
        if (auto detail =
                context.Map().FirstDetail(here->latitude, here->longitude,
                                          MapWords::kAddress | MapWords::kStreetRaw, heading)) {
            poi.sideOfStreet = SideOfStreetFor(number, poi.street, detail->streetNameShort,
                                               detail->houseNumberRight, detail->houseNumberLeft);
        }
    }

    // Records of the map data provider carry a short author mark instead of a name.
    if (poi.author == u"TA" && poi.date.empty()) poi.author = context.String(ids::kMapDataProvider);

    if (context.m_pUtility != nullptr) {
        for (const POITextField& f : kPOITextFields)
            if (f.spelled) poi.*f.field = context.m_pUtility->ForDisplay(poi.*f.field);
    }
}

SideOfStreet SideOfStreetFor(std::u16string_view poiNumber, std::u16string_view poiStreet,
                             std::u16string_view currentStreet, std::int32_t right,
                             std::int32_t left) {
    const std::int32_t number = WholeNumber(poiNumber);
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

    const std::int32_t pp = number % 2;
    const std::int32_t r = right > 0 ? right % 2 : -1;
    const std::int32_t l = left > 0 ? left % 2 : -1;
    if (r != -1 && r != l) return pp == r ? RightSide : LeftSide;
    if (l != -1 && l != r) return pp == l ? LeftSide : RightSide;
    return SideUnknown;
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
