#include "base/Descriptions.h"

#include <atomic>
#include <cstdlib>
#include <initializer_list>
#include <optional>

#include "GPSLib_classes.h"

#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "resources/StringIds.h"

namespace gpscore {
namespace {

// Receivers of the process whose directions are coarse now.
std::atomic<int> g_coarseReceivers{0};

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

// Straight ahead spans both sides of north: 338..360 and 0..22.
bool IsAhead(int r) {
    return InRange(r, 338, 360) || InRange(r, 0, 22);
}

int AheadLeftId(int r, bool coarse, bool sideBiased) {
    if (IsAhead(r)) return ids::kAhead;
    if (InRange(r, 23, 67)) return coarse ? ids::kAhead : ids::kAheadRight;
    if (InRange(r, 68, 112)) return ids::kRight;
    if (InRange(r, 113, 134))
        return sideBiased ? ids::kRight : coarse ? ids::kBehind : ids::kBehindRight;
    if (InRange(r, 135, 157)) return ids::kBehind;
    if (InRange(r, 158, 202)) return sideBiased ? ids::kBehindSideBiased : ids::kBehind;
    if (InRange(r, 203, 224))
        return sideBiased ? ids::kLeft : coarse ? ids::kBehind : ids::kBehindLeft;
    if (InRange(r, 225, 247)) return coarse ? ids::kBehind : ids::kBehindLeft;
    if (InRange(r, 248, 292)) return ids::kLeft;
    if (InRange(r, 293, 337)) return coarse ? ids::kAhead : ids::kAheadLeft;
    return ids::kNoDirection;
}

// Ids of one family of mile texts: precise below and from 530 feet of remainder, the three
// approximate bands below one mile, whole miles and exactly one mile.
struct MileIds {
    int preciseLow, preciseHigh, quarter, half, threeQuarters, many, one;
};

constexpr MileIds kStatuteMiles{
    ids::kMilesLeadingZero,       ids::kMiles,      ids::kAboutQuarterMile, ids::kAboutHalfMile,
    ids::kAboutThreeQuartersMile, ids::kAboutMiles, ids::kAboutOneMile};
constexpr MileIds kNauticalMiles{ids::kNauticalMilesLeadingZero,
                                 ids::kNauticalMiles,
                                 ids::kAboutQuarterNauticalMile,
                                 ids::kAboutHalfNauticalMile,
                                 ids::kAboutThreeQuartersNauticalMile,
                                 ids::kAboutNauticalMiles,
                                 ids::kAboutOneNauticalMile};

gpslib::ComPtr<ILocationObject> LocationOf(IWaypointObject* step) {
    gpslib::ComPtr<ILocationObject> location;
    if (step != nullptr) step->GetLocation(location.Put());
    return location;
}

SHORT IndexOf(IWaypointObject* step) {
    SHORT index = -1;
    if (step != nullptr) step->GetIndex(&index);
    return index;
}

// After an empty value: drop one trailing space, then one trailing comma or full stop.
void TrimAfterEmpty(std::u16string* out) {
    if (out->empty()) return;
    if (out->back() == u' ') out->pop_back();
    if (!out->empty() && (out->back() == u',' || out->back() == u'.')) out->pop_back();
}

// The settings of a Utility, none without one. Route settings set 1 is GPSMode's; any other
// `mode` reads VirtualMode's.
std::optional<settings::System> SystemSettingsOf(const Utility* utility) {
    if (utility == nullptr) return std::nullopt;
    return utility->SystemSettings();
}
std::optional<settings::Route> RouteSettingsOf(const Utility* utility, int mode) {
    if (utility == nullptr) return std::nullopt;
    return utility->RouteSettings(mode == 1 ? GPSMode : VirtualMode);
}

} // namespace

// Every text comes from the string resources of this wording's Utility, and every setting is
// read on each call; without a Utility the texts are empty and the settings their defaults.

std::u16string Wording::Text(int id) const {
    return m_pUtility != nullptr ? m_pUtility->GetString(id) : std::u16string();
}

std::u16string Wording::Format(int id, std::initializer_list<FormatArg> args) const {
    return m_pUtility != nullptr ? m_pUtility->FormatString(id, args) : std::u16string();
}

RelativeHeadingType Wording::HeadingMode() const {
    RelativeHeadingType mode = AheadLeft;
    if (auto settings = SystemSettingsOf(m_pUtility.get())) mode = settings->headingMode;
    return mode;
}

Units Wording::CurrentUnits() const {
    return m_pUtility != nullptr ? m_pUtility->CurrentUnits() : Imperial;
}

std::u16string Wording::ClockText(int hour) const {
    return Format(ids::kClockHour, {std::int64_t{hour}});
}

// Words for the four cardinal sectors, clock hours between them.
std::u16string Wording::ComboText(int r, bool sideBiased) const {
    struct Sector {
        int low, high, hour;
    };
    static constexpr Sector kClockSectors[] = {{23, 44, 1},    {45, 67, 2},   {113, 134, 4},
                                               {135, 157, 5},  {203, 224, 7}, {225, 247, 8},
                                               {293, 314, 10}, {315, 337, 11}};
    if (IsAhead(r)) return Text(ids::kAhead);
    if (InRange(r, 68, 112)) return Text(ids::kRight);
    if (InRange(r, 158, 202)) return Text(sideBiased ? ids::kBehindSideBiased : ids::kBehind);
    if (InRange(r, 248, 292)) return Text(ids::kLeft);
    for (const Sector& sector : kClockSectors)
        if (InRange(r, sector.low, sector.high)) return ClockText(sector.hour);
    return Text(ids::kNoDirection);
}

// Compass point, the smaller angle between heading and bearing, and the side it lies on.
std::u16string Wording::LeftRightDegreesText(int h, int bearing, int r) const {
    int a;
    if (std::abs(h - bearing) >= 181)
        a = h > bearing ? bearing - h + 360 : h - bearing + 360;
    else
        a = std::abs(bearing - h);
    int side = a == 0 ? ids::kAhead : InRange(r, 1, 180) ? ids::kRight : ids::kLeft;
    std::u16string compass = CompassPointText(bearing);
    std::u16string sideWord = Text(side);
    return Format(ids::kLeftRightDegrees,
                  {std::u16string_view(compass), std::int64_t{a}, std::u16string_view(sideWord)});
}

std::u16string Wording::MetricDistanceText(std::int32_t n, bool approximate) const {
    if (n < 200) return Format(ids::kMetres, {std::int64_t{n}});
    std::int64_t k = n / 1000;
    if (!approximate) {
        std::int64_t m = n - 1000 * k;
        return Format(m >= 100 ? ids::kKilometres : ids::kKilometresLeadingZero, {k, m / 10});
    }
    if (k == 0)
        return Text(n < 300   ? ids::kLessThan300Metres
                    : n < 600 ? ids::kAboutHalfKilometre
                              : ids::kLessThanAKilometre);
    return k == 1 ? Format(ids::kAboutOneKilometre, {std::int64_t{1}})
                  : Format(ids::kAboutKilometres, {k});
}

std::u16string Wording::FeetDistanceText(std::int32_t n, bool approximate, Units units) const {
    if (n < 1000) return Format(ids::kFeet, {std::int64_t{n}});
    // British nautical miles are longer but are spoken with the statute mile words.
    const std::int32_t unit = units == Nautical ? 6076 : units == BritishNautical ? 6080 : 5280;
    const MileIds& miles = units == Nautical ? kNauticalMiles : kStatuteMiles;
    std::int64_t q = n / unit;
    std::int64_t m = n % unit;
    if (!approximate) return Format(m >= 530 ? miles.preciseHigh : miles.preciseLow, {q, m / 53});
    if (q == 0) return Text(n < 1520 ? miles.quarter : n < 3040 ? miles.half : miles.threeQuarters);
    return q == 1 ? Format(miles.one, {std::int64_t{1}}) : Format(miles.many, {q});
}

// The route settings set that `mode` names: 1 the first (GPSMode's), anything else the second.

bool Wording::NumberingOn(int mode) const {
    VARIANT_BOOL on = 0;
    if (auto settings = RouteSettingsOf(m_pUtility.get(), mode)) on = settings->numbering;
    return on != 0;
}

// Template NumberedWaypointName may itself name $W or $O; `depth` stops such a label from expanding
// forever.
std::u16string Wording::Label(IWaypointObject* step, int mode, int depth) const {
    if (step == nullptr || depth > 1) return {};
    std::u16string name = NameOf(LocationOf(step).Get());
    if (name.empty()) return WaypointNumberText(step, mode);
    if (IndexOf(step) != -1 && NumberingOn(mode))
        return Expand(Text(ids::kNumberedWaypointName), nullptr, nullptr, step, mode, nullptr, u"",
                      depth + 1);
    return name;
}

std::u16string Wording::Expand(std::u16string_view text, ILocationObject* subject,
                               const DistanceHeadingRecord* record, IWaypointObject* step, int mode,
                               IWaypointObject* otherStep, std::u16string_view extra,
                               int depth) const {
    std::u16string out;
    // Appends a value; an empty one trims the separator before it when `trim` is set.
    auto put = [&out](std::u16string_view value, bool trim) {
        if (value.empty()) {
            if (trim) TrimAfterEmpty(&out);
        } else {
            out.append(value);
        }
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'$') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) break;
        switch (text[i]) {
        case u'$':
            out.push_back(u'$');
            break;
        case u'c':
            if (HeadingMode() == ClockFace) {
                if (!out.empty() && out.back() == u' ') out.pop_back();
                break;
            }
            [[fallthrough]];
        case u'C':
            if (record != nullptr) put(CompassPointText(record->bearing), false);
            break;
        case u'D':
        case u'Z':
            if (record != nullptr) put(record->direction, false);
            break;
        case u'd':
            if (record != nullptr) put(DistanceText(record->distance, false), false);
            break;
        case u'N':
        case u'p':
            put(Decorate(NameOf(subject)), false);
            break;
        case u'F':
            put(Decorate(DescriptionOf(subject)), true);
            break;
        case u'P':
            put(Decorate(NameOf(subject)), false);
            put(u", ", false);
            put(Decorate(DescriptionOf(subject)), false);
            break;
        case u'S':
            put(extra, true);
            break;
        case u'W':
            put(Label(step, mode, depth), false);
            break;
        case u'O':
            put(Label(otherStep, mode, depth), false);
            break;
        case u'n':
            put(Decorate(NameOf(LocationOf(step).Get())), false);
            break;
        case u'q': {
            gpslib::Bstr street;
            if (step != nullptr) step->GetStreetNameForward(street.Put());
            put(Decorate(street.View()), true);
            break;
        }
        case u'w':
            put(WaypointNumberText(step, mode), true);
            break;
        case u'f': {
            VARIANT_BOOL userPoint = 0;
            if (step != nullptr) step->IsUserPoint(&userPoint);
            std::u16string value;
            if (userPoint != 0) value = Decorate(DescriptionOf(LocationOf(step).Get()));
            put(value, true);
            break;
        }
        default:
            break;
        }
    }
    return out;
}

bool AnyReceiverCoarse() {
    return g_coarseReceivers.load(std::memory_order_relaxed) > 0;
}

void CountCoarseReceiver(bool on) {
    g_coarseReceivers.fetch_add(on ? 1 : -1, std::memory_order_relaxed);
}

std::u16string Wording::CompassPointText(int d) const {
    int base;
    if (InRange(d, 338, 360) || d <= 22)
        base = ids::kNorthShort;
    else if (InRange(d, 23, 67))
        base = ids::kNorthEastShort;
    else if (InRange(d, 68, 112))
        base = ids::kEastShort;
    else if (InRange(d, 113, 157))
        base = ids::kSouthEastShort;
    else if (InRange(d, 158, 202))
        base = ids::kSouthShort;
    else if (InRange(d, 203, 247))
        base = ids::kSouthWestShort;
    else if (InRange(d, 248, 292))
        base = ids::kWestShort;
    else if (InRange(d, 293, 337))
        base = ids::kNorthWestShort;
    else
        return Text(ids::kNoDirection);
    SystemDescriptions length = Full;
    if (auto settings = SystemSettingsOf(m_pUtility.get())) length = settings->compassDescriptions;
    // Each point's Short, Full and Both texts follow one another in the table.
    return Text(base + static_cast<int>(length));
}

std::u16string Wording::HeadingText(int degrees, HeadingType type) const {
    if (degrees == -1) return Text(ids::kNoDirection);
    if (type == Compass) return CompassPointText(degrees);
    std::string digits = std::to_string(degrees);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string Wording::RelativeDirectionText(double heading, int bearing, bool sideBiased,
                                              bool coarse) const {
    if (heading == -1.0) return Text(ids::kNoDirection);
    const int h = static_cast<int>(heading);
    const int r = geo::RelativeAngle(h, bearing);
    switch (HeadingMode()) {
    case ClockFace: {
        int hour = geo::ClockHour(h, bearing);
        return hour == 0 ? Text(ids::kNoDirection) : ClockText(hour);
    }
    case AheadLeft:
        return Text(AheadLeftId(r, coarse, sideBiased));
    case Combo:
        return ComboText(r, sideBiased);
    case LeftRightDegreesCompass:
        return LeftRightDegreesText(h, bearing, r);
    }
    return Text(ids::kNoDirection);
}

std::u16string Wording::DistanceText(std::int32_t distance, bool approximate) const {
    Units units = CurrentUnits();
    return units == Metric ? MetricDistanceText(distance, approximate)
                           : FeetDistanceText(distance, approximate, units);
}

std::u16string Wording::Decorate(std::u16string_view text) const {
    if (text.find(u"<<") != std::u16string_view::npos) return std::u16string(text);
    return m_pUtility != nullptr ? m_pUtility->AddSpellDecorators(text) : std::u16string(text);
}

std::u16string Wording::WaypointNumberText(IWaypointObject* step, int mode) const {
    if (step == nullptr) return {};
    SHORT index = IndexOf(step);
    if (index == -1 || !NumberingOn(mode)) return {};
    SystemDescriptions length = Full;
    if (auto settings = RouteSettingsOf(m_pUtility.get(), mode))
        length = settings->numberingDescriptions;
    int id = length == Both    ? ids::kWaypointLabelBoth
             : length == Short ? ids::kWaypointLabelShort
                               : ids::kWaypointLabelFull;
    return Format(id, {std::int64_t{index}});
}

std::u16string Wording::WaypointLabel(IWaypointObject* step, int mode) const {
    return Label(step, mode, 0);
}

std::u16string Wording::ExpandDescriptionText(std::u16string_view text, ILocationObject* subject,
                                              const DistanceHeadingRecord* record,
                                              IWaypointObject* step, int mode,
                                              IWaypointObject* otherStep,
                                              std::u16string_view extra) const {
    return Expand(text, subject, record, step, mode, otherStep, extra, 0);
}

std::u16string Wording::ExpandDescriptionTemplate(int id, ILocationObject* subject,
                                                  const DistanceHeadingRecord* record,
                                                  IWaypointObject* step, int mode,
                                                  IWaypointObject* otherStep,
                                                  std::u16string_view extra) const {
    return ExpandDescriptionText(Text(id), subject, record, step, mode, otherStep, extra);
}

std::u16string NameOf(ILocationObject* location) {
    gpslib::Bstr name;
    if (location != nullptr) location->GetName(name.Put());
    return std::u16string(name.View());
}

std::u16string DescriptionOf(ILocationObject* location) {
    gpslib::Bstr description;
    if (location != nullptr) location->GetDescription(description.Put());
    return std::u16string(description.View());
}

} // namespace gpscore
