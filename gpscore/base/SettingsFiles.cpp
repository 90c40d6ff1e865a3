#include "base/SettingsFiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/LookaroundSettingsObject.h"
#include "base/SystemSettingsObject.h"
#include "os/codepage.h"

namespace gpscore::settings {

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::os::Env;

// Longer number fields are read from their first characters only (the rest up to the
// separator is skipped), so a runaway field cannot shift the fields after it.
constexpr std::size_t kMaxIntegerChars = 19;
constexpr std::size_t kMaxRealChars = 29;
// Code units a written file may hold: one less than fills the read limit.
constexpr std::size_t kMaxFileUnits = (kMaxFileBytes - 1) / 2;
// "%.13f" of a real at or beyond this magnitude would be cut by the reader's limit.
constexpr double kMaxRealMagnitude = 1e15;

enum class Kind { kInteger, kBoolean, kReal, kString };

// One field's value on its way between text and object. Integers and booleans (held as the
// VARIANT_BOOL they are stored as) use `number`.
struct Value {
    std::int64_t number = 0;
    double real = 0.0;
    std::u16string text;
};

Value Number(std::int64_t n) {
    return Value{n, 0.0, {}};
}
Value Real(double d) {
    return Value{0, d, {}};
}
Value Text(std::u16string_view s) {
    return Value{0, 0.0, std::u16string(s)};
}

// The objects a field table reads from and writes to. `impl` is null for an object of another
// implementation; fields kept only by our own classes are then written as their defaults.
template <class I, class C = void> struct Target {
    I* object;
    C* impl;
};

template <class T> struct Field {
    Kind kind;
    int fromVersion;
    // Taken when the file's version includes the field but the text lacks it.
    Value absent;
    std::function<void(const T&, Value&)> get; // Leaves `absent` when the getter fails.
    std::function<void(const T&, const Value&)> set;
    // Kept by this module's class only: copied only between two objects of it.
    bool ownClassOnly = false;
    // Left behind when the settings are copied for a client (the saved virtual walker and
    // destination); only the file keeps it.
    bool fileOnly = false;
};

template <class V> V Saturate(std::int64_t n) {
    constexpr auto lo = static_cast<std::int64_t>(std::numeric_limits<V>::min());
    constexpr auto hi = static_cast<std::int64_t>(std::numeric_limits<V>::max());
    return static_cast<V>(std::clamp(n, lo, hi));
}

// Numbers take the width of the field they go into, saturating; enumerations are 32-bit and
// take any value (no range check).
template <class V> V Load(const Value& v) {
    if constexpr (std::is_same_v<V, DOUBLE>)
        return v.real;
    else if constexpr (std::is_enum_v<V>)
        return static_cast<V>(Saturate<std::int32_t>(v.number));
    else
        return Saturate<V>(v.number);
}

template <class V> void Store(Value& v, V x) {
    if constexpr (std::is_same_v<V, DOUBLE>)
        v.real = x;
    else
        v.number = static_cast<std::int64_t>(x);
}

// A field over a plain getter/setter pair of the interface.
template <class T, class I, class V>
Field<T> Plain(Kind kind, int fromVersion, Value absent, HRESULT (I::*get)(V*),
               HRESULT (I::*set)(V)) {
    return {kind, fromVersion, std::move(absent),
            [get](const T& t, Value& v) {
                V x{};
                if (SUCCEEDED((t.object->*get)(&x))) Store(v, x);
            },
            [set](const T& t, const Value& v) { (t.object->*set)(Load<V>(v)); }};
}

template <class T, class I>
Field<T> PlainText(int fromVersion, std::u16string_view absent, HRESULT (I::*get)(BSTR*),
                   HRESULT (I::*set)(BSTR)) {
    return {Kind::kString, fromVersion, Text(absent),
            [get](const T& t, Value& v) {
                Bstr x;
                if (SUCCEEDED((t.object->*get)(x.Put()))) v.text = x.View();
            },
            [set](const T& t, const Value& v) {
                (t.object->*set)(Bstr(std::u16string_view(v.text)).Get());
            }};
}

// Between a Value and a field of our own classes, which may also be a bool or a text.
template <class X> void Put(Value& v, const X& x) {
    if constexpr (std::is_same_v<X, std::u16string>)
        v.text = x;
    else if constexpr (std::is_same_v<X, bool>)
        v.number = x ? 1 : 0;
    else
        Store(v, x);
}

template <class X> X Take(const Value& v) {
    if constexpr (std::is_same_v<X, std::u16string>)
        return v.text;
    else if constexpr (std::is_same_v<X, bool>)
        return v.number != 0;
    else
        return Load<X>(v);
}

// --- The field tables, in file order after the version. -----------------------------------

using SystemTarget = Target<ISystemSettingsObject, CSystemSettingsObject>;
using Saved = CSystemSettingsObject::SavedState;

// The two distances are stored in feet and go through the object's setters, so the threshold
// keeps its rules (never negative, never above the arrival distance).
Field<SystemTarget> FeetField(int fromVersion, SHORT absent,
                              HRESULT (ISystemSettingsObject::*get)(Units, SHORT*),
                              HRESULT (ISystemSettingsObject::*set)(Units, SHORT)) {
    return {Kind::kInteger, fromVersion, Number(absent),
            [get](const SystemTarget& t, Value& v) {
                SHORT feet = 0;
                if (SUCCEEDED((t.object->*get)(Imperial, &feet))) v.number = feet;
            },
            [set](const SystemTarget& t, const Value& v) {
                (t.object->*set)(Imperial, Load<SHORT>(v));
            }};
}

// The saved virtual state and destination: kept by CSystemSettingsObject only.
template <class X>
Field<SystemTarget> SavedField(Kind kind, int fromVersion, Value absent, X Saved::*member) {
    return {kind,
            fromVersion,
            std::move(absent),
            [member](const SystemTarget& t, Value& v) {
                if (t.impl != nullptr) Put(v, t.impl->Saved().*member);
            },
            [member](const SystemTarget& t, const Value& v) {
                if (t.impl != nullptr) t.impl->Saved().*member = Take<X>(v);
            },
            true};
}

Field<SystemTarget> FileOnly(Field<SystemTarget> field) {
    field.fileOnly = true;
    return field;
}

const std::vector<Field<SystemTarget>>& SystemFields() {
    using I = ISystemSettingsObject;
    using T = SystemTarget;
    static const std::vector<Field<T>> fields = {
        FeetField(1, 50, &I::GetArrivalDistance, &I::SetArrivalDistance),
        Plain<T>(Kind::kBoolean, 1, Number(0), &I::GetIncludeSpellDecorators,
                 &I::SetIncludeSpellDecorators),
        Plain<T>(Kind::kBoolean, 1, Number(0), &I::GetStreetNamesDetailed,
                 &I::SetStreetNamesDetailed),
        Plain<T>(Kind::kInteger, 1, Number(Full), &I::GetDefaultCompassDescriptions,
                 &I::SetDefaultCompassDescriptions),
        Plain<T>(Kind::kInteger, 1, Number(AheadLeft), &I::GetHeadingMode, &I::SetHeadingMode),
        PlainText<T>(1, u"\\CompactFlash\\maps", &I::GetMapPOIDirectory, &I::SetMapPOIDirectory),
        Plain<T>(Kind::kInteger, 1, Number(Imperial), &I::GetUnits, &I::SetUnits),
        FeetField(1, 12, &I::GetArrivedNearThreshold, &I::SetArrivedNearThreshold),
        Plain<T>(Kind::kBoolean, 2, Number(1), &I::GetSearchOtherMapDirectories,
                 &I::SetSearchOtherMapDirectories),
        PlainText<T>(3, u"", &I::GetPOIAuthor, &I::SetPOIAuthor),
        FileOnly(SavedField(Kind::kString, 4, Text(u""), &Saved::virtualName)),
        FileOnly(SavedField(Kind::kString, 4, Text(u""), &Saved::virtualStreetName)),
        FileOnly(SavedField(Kind::kInteger, 4, Number(-1), &Saved::virtualHeading)),
        FileOnly(SavedField(Kind::kReal, 4, Real(0.0), &Saved::virtualLatitude)),
        FileOnly(SavedField(Kind::kReal, 4, Real(0.0), &Saved::virtualLongitude)),
        FileOnly(SavedField(Kind::kString, 4, Text(u""), &Saved::destinationName)),
        FileOnly(SavedField(Kind::kString, 4, Text(u""), &Saved::destinationDescription)),
        FileOnly(SavedField(Kind::kReal, 4, Real(0.0), &Saved::destinationLatitude)),
        FileOnly(SavedField(Kind::kReal, 4, Real(0.0), &Saved::destinationLongitude)),
        FileOnly(SavedField(Kind::kBoolean, 5, Number(0), &Saved::virtualSaved)),
        Plain<T>(Kind::kBoolean, 6, Number(0), &I::GetVirtualSideOfStreetTracking,
                 &I::SetVirtualSideOfStreetTracking),
        SavedField(Kind::kInteger, 7, Number(0), &Saved::virtualSideOfStreet),
        SavedField(Kind::kBoolean, 8, Number(1), &Saved::virtualMarker),
    };
    return fields;
}

using ReceiverTarget = Target<IGPSSettingsObject>;

const std::vector<Field<ReceiverTarget>>& ReceiverFields() {
    using I = IGPSSettingsObject;
    using T = ReceiverTarget;
    static const std::vector<Field<T>> fields = {
        PlainText<T>(1, u"", &I::GetGPSReceiverName, &I::SetGPSReceiverName),
        Plain<T>(Kind::kInteger, 1, Number(4800), &I::GetGPSBaudRate, &I::SetGPSBaudRate),
        PlainText<T>(1, u"BSP", &I::GetGPSPortName, &I::SetGPSPortName),
        Plain<T>(Kind::kInteger, 1, Number(1), &I::GetGPSPortNumber, &I::SetGPSPortNumber),
        Plain<T>(Kind::kInteger, 1, Number(GPSTypeNone), &I::GetGPSReceiverType,
                 &I::SetGPSReceiverType),
        PlainText<T>(1, u"", &I::GetSimulatedGPSFile, &I::SetSimulatedGPSFile),
        Plain<T>(Kind::kReal, 1, Real(0.0), &I::GetGPSLastLatitude, &I::SetGPSLastLatitude),
        Plain<T>(Kind::kReal, 1, Real(0.0), &I::GetGPSLastLongitude, &I::SetGPSLastLongitude),
        Plain<T>(Kind::kInteger, 2, Number(5), &I::GetPedestrianHeadingAveragingSeconds,
                 &I::SetPedestrianHeadingAveragingSeconds),
        Plain<T>(Kind::kInteger, 2, Number(AutomaticHeadings), &I::GetHeadingAveragingMode,
                 &I::SetHeadingAveragingMode),
        Plain<T>(Kind::kReal, 3, Real(1.803), &I::GetInertialReceiverUserHeight,
                 &I::SetInertialReceiverUserHeight),
    };
    return fields;
}

using LookaroundTarget = Target<ILookaroundSettingsObject, CLookaroundSettingsObject>;

// A number of the held category (or subcategory) object, which the getter hands out itself.
template <class C>
Field<LookaroundTarget> HeldNumber(HRESULT (ILookaroundSettingsObject::*held)(C**),
                                   HRESULT (C::*get)(SHORT*), HRESULT (C::*set)(SHORT)) {
    return {Kind::kInteger, 1, Number(0),
            [held, get](const LookaroundTarget& t, Value& v) {
                ComPtr<C> object;
                SHORT n = 0;
                if (SUCCEEDED((t.object->*held)(object.Put())) && object &&
                    SUCCEEDED((object.Get()->*get)(&n)))
                    v.number = n;
            },
            [held, set](const LookaroundTarget& t, const Value& v) {
                ComPtr<C> object;
                if (SUCCEEDED((t.object->*held)(object.Put())) && object)
                    (object.Get()->*set)(Load<SHORT>(v));
            }};
}

// A name kept beside the numbers by CLookaroundSettingsObject only.
Field<LookaroundTarget> NameField(std::u16string_view absent,
                                  const std::u16string& (CLookaroundSettingsObject::*get)() const,
                                  void (CLookaroundSettingsObject::*set)(std::u16string_view)) {
    return {Kind::kString, 1, Text(absent),
            [get](const LookaroundTarget& t, Value& v) {
                if (t.impl != nullptr) v.text = (t.impl->*get)();
            },
            [set](const LookaroundTarget& t, const Value& v) {
                if (t.impl != nullptr) (t.impl->*set)(v.text);
            }};
}

// Built per call: the names' defaults come from the caller's resources.
std::vector<Field<LookaroundTarget>> LookaroundFields(std::u16string_view categoryName,
                                                      std::u16string_view subCategoryName) {
    using I = ILookaroundSettingsObject;
    using T = LookaroundTarget;
    using C = CLookaroundSettingsObject;
    return {
        Plain<T>(Kind::kBoolean, 1, Number(1), &I::IsLookaroundEnabled, &I::EnableLookaround),
        Plain<T>(Kind::kBoolean, 1, Number(1), &I::IsCommercialPOIsEnabled,
                 &I::EnableCommercialPOIs),
        Plain<T>(Kind::kBoolean, 1, Number(1), &I::IsUserPrivatePOIsEnabled,
                 &I::EnableUserPrivatePOIs),
        Plain<T>(Kind::kBoolean, 1, Number(1), &I::IsIntersectionsEnabled, &I::EnableIntersections),
        NameField(categoryName, &C::CategoryNameToScanFor, &C::SetCategoryNameToScanFor),
        HeldNumber(&I::GetCommercialCategoryToScanFor, &IPOICategoryObject::GetCategoryNumber,
                   &IPOICategoryObject::SetCategoryNumber),
        NameField(subCategoryName, &C::SubCategoryNameToScanFor, &C::SetSubCategoryNameToScanFor),
        HeldNumber(&I::GetCommercialSubCategoryToScanFor,
                   &IPOISubCategoryObject::GetMainCategoryNumber,
                   &IPOISubCategoryObject::SetMainCategoryNumber),
        HeldNumber(&I::GetCommercialSubCategoryToScanFor,
                   &IPOISubCategoryObject::GetSubCategoryNumber,
                   &IPOISubCategoryObject::SetSubCategoryNumber),
        Plain<T>(Kind::kInteger, 1, Number(10), &I::GetStartDelayForLookaroundEvents,
                 &I::SetStartDelayForLookaroundEvents),
        Plain<T>(Kind::kBoolean, 2, Number(0), &I::IsTalkingLightsEnabled, &I::EnableTalkingLights),
        Plain<T>(Kind::kBoolean, 3, Number(1), &I::IsStreetChangesEnabled, &I::EnableStreetChanges),
        Plain<T>(Kind::kBoolean, 4, Number(1), &I::IsCityChangesEnabled, &I::EnableCityChanges),
        Plain<T>(Kind::kBoolean, 4, Number(1), &I::IsMapChangesEnabled, &I::EnableMapChanges),
        Plain<T>(Kind::kInteger, 5, Number(DirectionAll), &I::GetPOISearchDirection,
                 &I::SetPOISearchDirection),
        Plain<T>(Kind::kInteger, 6, Number(50), &I::GetIntersectionMaxSpeedForReporting,
                 &I::SetIntersectionMaxSpeedForReporting),
        Plain<T>(Kind::kInteger, 6, Number(12), &I::GetLookaroundReportingInterval,
                 &I::SetLookaroundReportingInterval),
        Plain<T>(Kind::kBoolean, 7, Number(1), &I::GetPOIIncludeTags, &I::SetPOIIncludeTags),
        // Missing from a file of version 8 or later: true, although a new object holds false.
        Plain<T>(Kind::kBoolean, 8, Number(1), &I::GetPOIIncludeDistanceDirection,
                 &I::SetPOIIncludeDistanceDirection),
        Plain<T>(Kind::kInteger, 9, Number(LookaroundRouteAndIntersectionsOnly),
                 &I::GetRouteOptions, &I::SetRouteOptions),
    };
}

using RouteTarget = Target<IRouteSettingsObject>;

// Missing true fields read as VARIANT_TRUE (-1), where a new object holds 1.
const std::vector<Field<RouteTarget>>& RouteFields() {
    using I = IRouteSettingsObject;
    using T = RouteTarget;
    static const std::vector<Field<T>> fields = {
        Plain<T>(Kind::kInteger, 1, Number(WaypointModeTurnsOnly), &I::GetWaypointMode,
                 &I::SetWaypointMode),
        Plain<T>(Kind::kBoolean, 1, Number(VARIANT_TRUE), &I::IsAutoIncrementWaypointsWhenReachedOn,
                 &I::EnableAutoIncrementWaypointsWhenReached),
        Plain<T>(Kind::kBoolean, 1, Number(VARIANT_FALSE), &I::IsForceSequentialRouteFollowingOn,
                 &I::EnableForceSequentialRouteFollowing),
        Plain<T>(Kind::kBoolean, 1, Number(VARIANT_TRUE), &I::IsWaypointNumberingOn,
                 &I::EnableWaypointNumbering),
        Plain<T>(Kind::kInteger, 1, Number(Full), &I::GetNumberingDescriptions,
                 &I::SetNumberingDescriptions),
    };
    return fields;
}

// --- Text. ---------------------------------------------------------------------------------

// Leading digits with an optional minus sign, as far as they go; 0 when there are none.
// Saturates rather than overflowing (19 digits may exceed 64 bits).
std::int64_t ParseInteger(std::u16string_view text) {
    text = text.substr(0, kMaxIntegerChars);
    bool negative = !text.empty() && text.front() == u'-';
    std::uint64_t magnitude = 0;
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
    for (std::size_t i = negative ? 1 : 0; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') break;
        magnitude = std::min(kLimit, magnitude * 10 + static_cast<unsigned>(text[i] - u'0'));
    }
    if (negative)
        return magnitude == kLimit ? std::numeric_limits<std::int64_t>::min()
                                   : -static_cast<std::int64_t>(magnitude);
    return static_cast<std::int64_t>(std::min(magnitude, kLimit - 1));
}

// Leading digits with an optional minus sign and decimal point, as far as they go; 0 when there
// are none. No exponent, no "inf" or "nan": the writer never writes them.
double ParseReal(std::u16string_view text) {
    text = text.substr(0, kMaxRealChars);
    std::string ascii;
    bool digits = false, point = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'-' && i == 0) {
        } else if (c == u'.' && !point) {
            point = true;
        } else if (c >= u'0' && c <= u'9') {
            digits = true;
        } else {
            break;
        }
        ascii += static_cast<char>(c);
    }
    if (!digits) return 0.0;
    double value = 0.0;
    auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    return ec == std::errc() ? value : 0.0;
}

Value Parse(Kind kind, std::u16string_view text) {
    switch (kind) {
    case Kind::kInteger:
        return Number(ParseInteger(text));
    case Kind::kBoolean: // Only the first character counts.
        return Number(!text.empty() && text.front() == u'1' ? 1 : 0);
    case Kind::kReal:
        return Real(ParseReal(text));
    case Kind::kString:
        break;
    }
    return Text(text);
}

std::u16string Ascii(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

std::u16string Format(Kind kind, const Value& v) {
    switch (kind) {
    case Kind::kInteger:
        return Ascii(std::to_string(v.number));
    case Kind::kBoolean:
        return v.number != 0 ? u"1" : u"0";
    case Kind::kReal: {
        // "%.13f" without the locale. A value the reader could not take back (not finite, or
        // too long for the field) is written as 0, which is what its text would read as.
        double x = std::isfinite(v.real) && std::fabs(v.real) < kMaxRealMagnitude ? v.real : 0.0;
        char buffer[64];
        auto [end, ec] =
            std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 13);
        return ec == std::errc() ? Ascii(std::string_view(buffer, end - buffer))
                                 : u"0.0000000000000";
    }
    case Kind::kString:
        break;
    }
    std::u16string text = v.text;
    std::replace(text.begin(), text.end(), u'|', kSeparatorStandIn);
    return text;
}

// The fields of one file after the version, in the order they were read or are written.
class FieldCursor {
public:
    explicit FieldCursor(std::u16string_view text) : m_text(text) {}

    // The next field's text; none when the text has run out or the field has no separator
    // (and then none for any later field either).
    std::optional<std::u16string_view> Next() {
        if (m_pos >= m_text.size()) return std::nullopt;
        std::size_t separator = m_text.find(u'|', m_pos);
        if (separator == std::u16string_view::npos) {
            m_pos = m_text.size();
            return std::nullopt;
        }
        std::u16string_view field = m_text.substr(m_pos, separator - m_pos);
        m_pos = separator + 1;
        return field;
    }

private:
    std::u16string_view m_text;
    std::size_t m_pos = 0;
};

// The file's version (1 when it has none); the cursor then stands at the first field.
std::int64_t ReadVersion(FieldCursor& cursor) {
    auto text = cursor.Next();
    return text ? ParseInteger(*text) : 1;
}

// Fields the file's version does not include keep the new object's defaults; included fields
// missing from the text take the table's.
template <class T>
void ReadFields(FieldCursor& cursor, std::int64_t version, const std::vector<Field<T>>& fields,
                const T& target) {
    for (const auto& field : fields) {
        if (version < field.fromVersion) continue;
        auto text = cursor.Next();
        field.set(target, text ? Parse(field.kind, *text) : field.absent);
    }
}

struct Piece {
    std::u16string text;
    bool isString;
};

template <class T>
void WriteFields(std::vector<Piece>& pieces, const std::vector<Field<T>>& fields, const T& target) {
    for (const auto& field : fields) {
        Value v = field.absent;
        field.get(target, v);
        pieces.push_back({Format(field.kind, v), field.kind == Kind::kString});
    }
}

// A file the reader would ignore as too large would lose every setting in it, so the longest
// texts are shortened until the file fits: all texts are cut to one common length, the largest
// that fits. Numbers are never cut (their texts are short enough that they always fit).
void FitIntoReadLimit(std::vector<Piece>& pieces) {
    std::size_t fixed = 0, longest = 0;
    for (const auto& piece : pieces) {
        fixed += 1 + (piece.isString ? 0 : piece.text.size());
        if (piece.isString) longest = std::max(longest, piece.text.size());
    }
    auto total = [&](std::size_t cap) {
        std::size_t sum = fixed;
        for (const auto& piece : pieces)
            if (piece.isString) sum += std::min(piece.text.size(), cap);
        return sum;
    };
    if (total(longest) <= kMaxFileUnits) return;
    std::size_t fits = 0, tooLong = longest; // total(fits) fits; total(tooLong) does not.
    while (tooLong - fits > 1) {
        std::size_t middle = fits + (tooLong - fits) / 2;
        (total(middle) <= kMaxFileUnits ? fits : tooLong) = middle;
    }
    for (auto& piece : pieces) {
        if (!piece.isString || piece.text.size() <= fits) continue;
        std::size_t keep = fits;
        // Never keep half of a surrogate pair.
        if (keep > 0 && piece.text[keep - 1] >= 0xD800 && piece.text[keep - 1] <= 0xDBFF) --keep;
        piece.text.resize(keep);
    }
}

// UTF-16LE code units, each field followed by the separator.
std::string Encode(const std::vector<Piece>& pieces) {
    std::string bytes;
    auto unit = [&bytes](char16_t c) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    };
    for (const auto& piece : pieces) {
        for (char16_t c : piece.text)
            unit(c);
        unit(u'|');
    }
    return bytes;
}

// The file's text: empty when it is missing or unreadable, or when its one read fills the
// limit. A trailing odd byte is ignored.
std::u16string ReadContent(Env& env, std::u16string_view directory, std::u16string_view name) {
    // Without a settings directory there are no settings files: the path rule would put them in
    // the file system's root.
    if (directory.empty()) return {};
    std::unique_ptr<gpslib::os::SequentialFile> file;
    if (!env.NewSequentialFile(SettingsFilePath(directory, name), &file).ok()) return {};
    std::string bytes;
    if (!file->Read(kMaxFileBytes, &bytes).ok() || bytes.size() >= kMaxFileBytes) return {};
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return text;
}

bool WriteContent(Env& env, std::u16string_view directory, std::u16string_view name,
                  std::vector<Piece>& pieces) {
    if (directory.empty()) return false; // See ReadContent.
    FitIntoReadLimit(pieces);
    return env.WriteFileAtomic(SettingsFilePath(directory, name), Encode(pieces)).ok();
}

std::vector<Piece> VersionPiece(int version) {
    return {Piece{Ascii(std::to_string(version)), false}};
}

// A new object of the class with its defaults, or null.
template <class I> ComPtr<I> NewObject(REFCLSID clsid, REFIID iid) {
    ComPtr<I> object;
    gpslib::CreateObject(clsid, iid, &object);
    return object;
}

// The held object when there is one, else a new one with its defaults.
template <class I> void KeepOrCreate(ComPtr<I>& current, REFCLSID clsid, REFIID iid) {
    if (!current) current = NewObject<I>(clsid, iid);
}

} // namespace

std::string SettingsFilePath(std::u16string_view directory, std::u16string_view fileName) {
    std::u16string path(directory);
    if (path.empty() || (path.back() != u'/' && path.back() != u'\\')) path += u'/';
    path += fileName;
    return gpslib::os::Utf16ToUtf8(path);
}

void ReadSystemSettings(Env& env, std::u16string_view directory,
                        ComPtr<ISystemSettingsObject>& current) {
    std::u16string content = ReadContent(env, directory, kSystemFileName);
    if (content.empty()) {
        KeepOrCreate(current, CLSID_SystemSettingsObject, IID_ISystemSettingsObject);
        if (!current) return;
        if (auto* impl = gpslib::ImplOf<CSystemSettingsObject>(current.Get()))
            impl->SetSettingsDirectoryOnly(directory);
        else // Another implementation: its own setter is all there is.
            current->SetSettingsDirectory(Bstr(directory).Get());
        return;
    }
    auto object =
        NewObject<ISystemSettingsObject>(CLSID_SystemSettingsObject, IID_ISystemSettingsObject);
    if (!object) return;
    object->SetSettingsDirectory(Bstr(directory).Get());
    FieldCursor cursor(content);
    std::int64_t version = ReadVersion(cursor);
    ReadFields(cursor, version, SystemFields(),
               SystemTarget{object.Get(), gpslib::ImplOf<CSystemSettingsObject>(object.Get())});
    current = object;
}

void ReadReceiverSettings(Env& env, std::u16string_view directory,
                          ComPtr<IGPSSettingsObject>& current) {
    std::u16string content = ReadContent(env, directory, kReceiverFileName);
    if (content.empty())
        return KeepOrCreate(current, CLSID_GPSSettingsObject, IID_IGPSSettingsObject);
    auto object = NewObject<IGPSSettingsObject>(CLSID_GPSSettingsObject, IID_IGPSSettingsObject);
    if (!object) return;
    FieldCursor cursor(content);
    std::int64_t version = ReadVersion(cursor);
    ReadFields(cursor, version, ReceiverFields(), ReceiverTarget{object.Get(), nullptr});
    current = object;
}

void ReadLookaroundSettings(Env& env, std::u16string_view directory,
                            ComPtr<ILookaroundSettingsObject>& current,
                            std::u16string_view defaultCategoryName,
                            std::u16string_view defaultSubCategoryName) {
    std::u16string content = ReadContent(env, directory, kLookaroundFileName);
    if (content.empty())
        return KeepOrCreate(current, CLSID_LookaroundSettingsObject, IID_ILookaroundSettingsObject);
    auto object = NewObject<ILookaroundSettingsObject>(CLSID_LookaroundSettingsObject,
                                                       IID_ILookaroundSettingsObject);
    if (!object) return;
    FieldCursor cursor(content);
    std::int64_t version = ReadVersion(cursor);
    ReadFields(
        cursor, version, LookaroundFields(defaultCategoryName, defaultSubCategoryName),
        LookaroundTarget{object.Get(), gpslib::ImplOf<CLookaroundSettingsObject>(object.Get())});
    current = object;
}

void ReadRouteSettings(Env& env, std::u16string_view directory,
                       ComPtr<IRouteSettingsObject>& gpsMode,
                       ComPtr<IRouteSettingsObject>& virtualMode) {
    std::u16string content = ReadContent(env, directory, kRouteFileName);
    if (content.empty()) {
        KeepOrCreate(gpsMode, CLSID_RouteSettingsObject, IID_IRouteSettingsObject);
        KeepOrCreate(virtualMode, CLSID_RouteSettingsObject, IID_IRouteSettingsObject);
        return;
    }
    auto gps = NewObject<IRouteSettingsObject>(CLSID_RouteSettingsObject, IID_IRouteSettingsObject);
    auto virt =
        NewObject<IRouteSettingsObject>(CLSID_RouteSettingsObject, IID_IRouteSettingsObject);
    if (!gps || !virt) return;
    FieldCursor cursor(content);
    // Any other version leaves both at a new object's defaults.
    if (ReadVersion(cursor) == kRouteVersion) {
        ReadFields(cursor, kRouteVersion, RouteFields(), RouteTarget{gps.Get(), nullptr});
        ReadFields(cursor, kRouteVersion, RouteFields(), RouteTarget{virt.Get(), nullptr});
    }
    gpsMode = gps;
    virtualMode = virt;
}

bool WriteSystemSettings(Env& env, std::u16string_view directory, ISystemSettingsObject* settings) {
    if (settings == nullptr) return false;
    auto pieces = VersionPiece(kSystemVersion);
    WriteFields(pieces, SystemFields(),
                SystemTarget{settings, gpslib::ImplOf<CSystemSettingsObject>(settings)});
    return WriteContent(env, directory, kSystemFileName, pieces);
}

void CopySystemSettings(ISystemSettingsObject* from, ISystemSettingsObject* to) {
    if (from == nullptr || to == nullptr) return;
    const SystemTarget source{from, gpslib::ImplOf<CSystemSettingsObject>(from)};
    const SystemTarget target{to, gpslib::ImplOf<CSystemSettingsObject>(to)};
    for (const auto& field : SystemFields()) {
        if (field.fileOnly) continue;
        if (field.ownClassOnly && (source.impl == nullptr || target.impl == nullptr)) continue;
        Value value = field.absent;
        field.get(source, value);
        field.set(target, value);
    }
    Bstr directory;
    from->GetSettingsDirectory(directory.Put());
    to->SetSettingsDirectory(directory.Get());
}

void CopyReceiverSettings(IGPSSettingsObject* from, IGPSSettingsObject* to) {
    if (from == nullptr || to == nullptr) return;
    for (const auto& field : ReceiverFields()) {
        Value value = field.absent;
        field.get(ReceiverTarget{from, nullptr}, value);
        field.set(ReceiverTarget{to, nullptr}, value);
    }
}

void CopyLookaroundSettings(ILookaroundSettingsObject* from, ILookaroundSettingsObject* to) {
    if (from == nullptr || to == nullptr) return;
    auto* source = gpslib::ImplOf<CLookaroundSettingsObject>(from);
    auto* target = gpslib::ImplOf<CLookaroundSettingsObject>(to);
    // Names the source does not hold keep the target's.
    const std::u16string category = target != nullptr ? target->CategoryNameToScanFor() : u"";
    const std::u16string subCategory = target != nullptr ? target->SubCategoryNameToScanFor() : u"";
    for (const auto& field : LookaroundFields(category, subCategory)) {
        Value value = field.absent;
        field.get(LookaroundTarget{from, source}, value);
        field.set(LookaroundTarget{to, target}, value);
    }
}

bool WriteReceiverSettings(Env& env, std::u16string_view directory, IGPSSettingsObject* settings) {
    if (settings == nullptr) return false;
    auto pieces = VersionPiece(kReceiverVersion);
    WriteFields(pieces, ReceiverFields(), ReceiverTarget{settings, nullptr});
    return WriteContent(env, directory, kReceiverFileName, pieces);
}

bool WriteLookaroundSettings(Env& env, std::u16string_view directory,
                             ILookaroundSettingsObject* settings) {
    if (settings == nullptr) return false;
    auto pieces = VersionPiece(kLookaroundVersion);
    WriteFields(pieces, LookaroundFields(u"", u""),
                LookaroundTarget{settings, gpslib::ImplOf<CLookaroundSettingsObject>(settings)});
    return WriteContent(env, directory, kLookaroundFileName, pieces);
}

bool WriteRouteSettings(Env& env, std::u16string_view directory, IRouteSettingsObject* gpsMode,
                        IRouteSettingsObject* virtualMode) {
    if (gpsMode == nullptr || virtualMode == nullptr) return false;
    auto pieces = VersionPiece(kRouteVersion);
    WriteFields(pieces, RouteFields(), RouteTarget{gpsMode, nullptr});
    WriteFields(pieces, RouteFields(), RouteTarget{virtualMode, nullptr});
    return WriteContent(env, directory, kRouteFileName, pieces);
}

} // namespace gpscore::settings
