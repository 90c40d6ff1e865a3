#include "orientation/Descriptions.h"

#include <atomic>
#include <cstdlib>
#include <initializer_list>

#include "core/Utility.h"
#include "formats/Geodesy.h"

namespace gpscore {
namespace {

// Receivers of the process whose directions are coarse now.
std::atomic<int> g_coarseReceivers{0};

// String ids of the words and formats used here.
enum : int {
    kNoDirection = 20169,
    kAhead = 20186,
    kAheadLeft = 20187,
    kAheadRight = 20188,
    kLeft = 20189,
    kRight = 20190,
    kBehind = 20191,
    kBehindLeft = 20192,
    kBehindRight = 20193,
    kBehindSideBiased = 20194,
    kLeftRightDegreesFormat = 20195,
    kClockFormat = 20580,
    kWaypointLabelTemplate = 21012,
};

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

// Straight ahead spans both sides of north: 338..360 and 0..22.
bool IsAhead(int r) {
    return InRange(r, 338, 360) || InRange(r, 0, 22);
}

int AheadLeftId(int r, bool coarse, bool sideBiased) {
    if (IsAhead(r)) return kAhead;
    if (InRange(r, 23, 67)) return coarse ? kAhead : kAheadRight;
    if (InRange(r, 68, 112)) return kRight;
    if (InRange(r, 113, 134)) return sideBiased ? kRight : coarse ? kBehind : kBehindRight;
    if (InRange(r, 135, 157)) return kBehind;
    if (InRange(r, 158, 202)) return sideBiased ? kBehindSideBiased : kBehind;
    if (InRange(r, 203, 224)) return sideBiased ? kLeft : coarse ? kBehind : kBehindLeft;
    if (InRange(r, 225, 247)) return coarse ? kBehind : kBehindLeft;
    if (InRange(r, 248, 292)) return kLeft;
    if (InRange(r, 293, 337)) return coarse ? kAhead : kAheadLeft;
    return kNoDirection;
}

// Ids of one family of mile texts: precise below and from 530 feet of remainder, the three
// approximate bands below one mile, whole miles and exactly one mile.
struct MileIds {
    int preciseLow, preciseHigh, quarter, half, threeQuarters, many, one;
};

constexpr MileIds kStatuteMiles{20501, 20502, 20503, 20504, 20505, 20506, 20507};
constexpr MileIds kNauticalMiles{20510, 20511, 20512, 20513, 20514, 20515, 20516};

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

} // namespace

// Every text comes from the string resources of this wording's Utility, and every setting is
// read on each call; without a Utility the texts are empty and the settings their defaults.

std::u16string Wording::Text(int id) const {
    return m_pUtility != nullptr ? m_pUtility->GetString(id) : std::u16string();
}

std::u16string Wording::Format(int id, std::initializer_list<FormatArg> args) const {
    return m_pUtility != nullptr ? m_pUtility->FormatString(id, args) : std::u16string();
}

gpslib::ComPtr<ISystemSettingsObject> Wording::Settings() const {
    return m_pUtility != nullptr ? m_pUtility->SystemSettings() : nullptr;
}

RelativeHeadingType Wording::HeadingMode() const {
    RelativeHeadingType mode = AheadLeft;
    if (gpslib::ComPtr<ISystemSettingsObject> settings = Settings())
        settings->GetHeadingMode(&mode);
    return mode;
}

Units Wording::CurrentUnits() const {
    return m_pUtility != nullptr ? m_pUtility->CurrentUnits() : Imperial;
}

std::u16string Wording::ClockText(int hour) const {
    return Format(kClockFormat, {std::int64_t{hour}});
}

// Words for the four cardinal sectors, clock hours between them.
std::u16string Wording::ComboText(int r, bool sideBiased) const {
    struct Sector {
        int low, high, hour;
    };
    static constexpr Sector kClockSectors[] = {{23, 44, 1},    {45, 67, 2},   {113, 134, 4},
                                               {135, 157, 5},  {203, 224, 7}, {225, 247, 8},
                                               {293, 314, 10}, {315, 337, 11}};
    if (IsAhead(r)) return Text(kAhead);
    if (InRange(r, 68, 112)) return Text(kRight);
    if (InRange(r, 158, 202)) return Text(sideBiased ? kBehindSideBiased : kBehind);
    if (InRange(r, 248, 292)) return Text(kLeft);
    for (const Sector& sector : kClockSectors)
        if (InRange(r, sector.low, sector.high)) return ClockText(sector.hour);
    return Text(kNoDirection);
}

// Compass point, the smaller angle between heading and bearing, and the side it lies on.
std::u16string Wording::LeftRightDegreesText(int h, int bearing, int r) const {
    int a;
    if (std::abs(h - bearing) >= 181)
        a = h > bearing ? bearing - h + 360 : h - bearing + 360;
    else
        a = std::abs(bearing - h);
    int side = a == 0 ? kAhead : InRange(r, 1, 180) ? kRight : kLeft;
    std::u16string compass = CompassPointText(bearing);
    std::u16string sideWord = Text(side);
    return Format(kLeftRightDegreesFormat,
                  {std::u16string_view(compass), std::int64_t{a}, std::u16string_view(sideWord)});
}

std::u16string Wording::MetricDistanceText(std::int32_t n, bool approximate) const {
    if (n < 200) return Format(20521, {std::int64_t{n}});
    std::int64_t k = n / 1000;
    if (!approximate) {
        std::int64_t m = n - 1000 * k;
        return Format(m >= 100 ? 20522 : 20523, {k, m / 10});
    }
    if (k == 0) return Text(n < 300 ? 20525 : n < 600 ? 20526 : 20527);
    return k == 1 ? Format(20520, {std::int64_t{1}}) : Format(20524, {k});
}

std::u16string Wording::FeetDistanceText(std::int32_t n, bool approximate, Units units) const {
    if (n < 1000) return Format(20500, {std::int64_t{n}});
    // British nautical miles are longer but are spoken with the statute mile words.
    const std::int32_t unit = units == Nautical ? 6076 : units == BritishNautical ? 6080 : 5280;
    const MileIds& ids = units == Nautical ? kNauticalMiles : kStatuteMiles;
    std::int64_t q = n / unit;
    std::int64_t m = n % unit;
    if (!approximate) return Format(m >= 530 ? ids.preciseHigh : ids.preciseLow, {q, m / 53});
    if (q == 0) return Text(n < 1520 ? ids.quarter : n < 3040 ? ids.half : ids.threeQuarters);
    return q == 1 ? Format(ids.one, {std::int64_t{1}}) : Format(ids.many, {q});
}

// The route settings set that `mode` names: 1 the first (GPSMode's), anything else the second.
gpslib::ComPtr<IRouteSettingsObject> Wording::RouteSettingsFor(int mode) const {
    if (m_pUtility == nullptr) return nullptr;
    return m_pUtility->RouteSettings(mode == 1 ? GPSMode : VirtualMode);
}

bool Wording::NumberingOn(int mode) const {
    VARIANT_BOOL on = 0;
    if (gpslib::ComPtr<IRouteSettingsObject> settings = RouteSettingsFor(mode))
        settings->IsWaypointNumberingOn(&on);
    return on != 0;
}

// Template 21012 may itself name $W or $O; `depth` stops such a label from expanding forever.
std::u16string Wording::Label(IWaypointObject* step, int mode, int depth) const {
    if (step == nullptr || depth > 1) return {};
    std::u16string name = NameOf(LocationOf(step).Get());
    if (name.empty()) return WaypointNumberText(step, mode);
    if (IndexOf(step) != -1 && NumberingOn(mode))
        return Expand(Text(kWaypointLabelTemplate), nullptr, nullptr, step, mode, nullptr, u"",
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
        base = 20708; // north
    else if (InRange(d, 23, 67))
        base = 20720; // north-east
    else if (InRange(d, 68, 112))
        base = 20714; // east
    else if (InRange(d, 113, 157))
        base = 20726; // south-east
    else if (InRange(d, 158, 202))
        base = 20711; // south
    else if (InRange(d, 203, 247))
        base = 20729; // south-west
    else if (InRange(d, 248, 292))
        base = 20717; // west
    else if (InRange(d, 293, 337))
        base = 20723; // north-west
    else
        return Text(kNoDirection);
    SystemDescriptions length = Full;
    if (gpslib::ComPtr<ISystemSettingsObject> settings = Settings())
        settings->GetDefaultCompassDescriptions(&length);
    return Text(base + static_cast<int>(length));
}

std::u16string Wording::HeadingText(int degrees, HeadingType type) const {
    if (degrees == -1) return Text(kNoDirection);
    if (type == Compass) return CompassPointText(degrees);
    std::string digits = std::to_string(degrees);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string Wording::RelativeDirectionText(double heading, int bearing, bool sideBiased,
                                              bool coarse) const {
    if (heading == -1.0) return Text(kNoDirection);
    const int h = static_cast<int>(heading);
    const int r = geo::RelativeAngle(h, bearing);
    switch (HeadingMode()) {
    case ClockFace: {
        int hour = geo::ClockHour(h, bearing);
        return hour == 0 ? Text(kNoDirection) : ClockText(hour);
    }
    case AheadLeft:
        return Text(AheadLeftId(r, coarse, sideBiased));
    case Combo:
        return ComboText(r, sideBiased);
    case LeftRightDegreesCompass:
        return LeftRightDegreesText(h, bearing, r);
    }
    return Text(kNoDirection);
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
    if (gpslib::ComPtr<IRouteSettingsObject> settings = RouteSettingsFor(mode))
        settings->GetNumberingDescriptions(&length);
    int id = length == Both ? 21005 : length == Short ? 21006 : 21007;
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
