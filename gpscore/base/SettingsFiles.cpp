#include "base/SettingsFiles.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/LookaroundSettingsObject.h"
#include "base/SettingsObject.h"
#include "base/SettingsText.h"
#include "base/SystemSettingsObject.h"
#include "os/codepage.h"

namespace gpscore::settings {

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::os::Env;
using namespace text;

// One field of a settings file: where it stands in the record and on the settings object. The
// files read and write the record; the copies a client gets are made through the same table.
// `C` is this module's class of the object: fields only it keeps are reached through `impl`,
// which is null for an object of another implementation.
template <class R, class I, class C> struct Field {
    using Record = R;
    using Object = I;
    using Impl = C;
    Kind kind = Kind::kInteger;
    int fromVersion = 1;
    // Taken when the file's version includes the field but the text lacks it, and when a
    // getter of the object fails.
    Value absent;
    std::function<void(const R&, Value&)> fromRecord;
    std::function<void(R&, const Value&)> toRecord;
    std::function<HRESULT(I*, C*, Value&)> fromObject; // Leaves the value when it fails.
    std::function<void(I*, C*, const Value&)> toObject;
    // Kept by this module's class only: copied only to or from an object of it.
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

// Between a Value and a field. Numbers take the width of the field they go into, saturating;
// enumerations are 32-bit and take any value (no range check).
template <class X> void Put(Value& v, const X& x) {
    if constexpr (std::is_same_v<X, std::u16string>)
        v.text = x;
    else if constexpr (std::is_same_v<X, bool>)
        v.number = x ? 1 : 0;
    else if constexpr (std::is_same_v<X, double>)
        v.real = x;
    else
        v.number = static_cast<std::int64_t>(x);
}

template <class X> X Take(const Value& v) {
    if constexpr (std::is_same_v<X, std::u16string>)
        return v.text;
    else if constexpr (std::is_same_v<X, bool>)
        return v.number != 0;
    else if constexpr (std::is_same_v<X, double>)
        return v.real;
    else if constexpr (std::is_enum_v<X>)
        return static_cast<X>(Saturate<std::int32_t>(v.number));
    else
        return Saturate<X>(v.number);
}

template <class F> F Begin(Kind kind, int fromVersion, const Value& absent) {
    F field;
    field.kind = kind;
    field.fromVersion = fromVersion;
    field.absent = absent;
    return field;
}

// The record side of a field held in `member`, set through `rule` when it has one.
template <class F, class M> void OnRecord(F& field, M F::Record::*member, M (*rule)(M) = nullptr) {
    field.fromRecord = [member](const typename F::Record& r, Value& v) { Put(v, r.*member); };
    field.toRecord = [member, rule](typename F::Record& r, const Value& v) {
        r.*member = rule != nullptr ? rule(Take<M>(v)) : Take<M>(v);
    };
}

// A field over a plain getter/setter pair of the interface.
template <class F, class M, class V>
F Plain(Kind kind, int fromVersion, const Value& absent, M F::Record::*member,
        HRESULT (F::Object::*get)(V*), HRESULT (F::Object::*set)(V), M (*rule)(M) = nullptr) {
    using I = typename F::Object;
    using C = typename F::Impl;
    F field = Begin<F>(kind, fromVersion, absent);
    OnRecord(field, member, rule);
    field.fromObject = [get](I* o, C*, Value& v) {
        V x{};
        HRESULT hr = (o->*get)(&x);
        if (SUCCEEDED(hr)) Put(v, x);
        return hr;
    };
    field.toObject = [set](I* o, C*, const Value& v) { (o->*set)(Take<V>(v)); };
    return field;
}

template <class F>
F PlainText(int fromVersion, std::u16string_view absent, std::u16string F::Record::*member,
            HRESULT (F::Object::*get)(BSTR*), HRESULT (F::Object::*set)(BSTR)) {
    using I = typename F::Object;
    using C = typename F::Impl;
    F field = Begin<F>(Kind::kString, fromVersion, Text(absent));
    OnRecord(field, member);
    field.fromObject = [get](I* o, C*, Value& v) {
        Bstr x;
        HRESULT hr = (o->*get)(x.Put());
        if (SUCCEEDED(hr)) v.text = x.View();
        return hr;
    };
    field.toObject = [set](I* o, C*, const Value& v) {
        (o->*set)(Bstr(std::u16string_view(v.text)).Get());
    };
    return field;
}

// --- The field tables, in file order after the version. -----------------------------------

using SystemField = Field<System, ISystemSettingsObject, CSystemSettingsObject>;

// The two distances are stored in feet and go through the setters on both sides, so the
// threshold keeps its rules (never negative, never above the arrival distance).
SystemField FeetField(int fromVersion, std::int16_t absent,
                      std::int16_t (System::*inRecord)(Units) const,
                      void (System::*toRecord)(Units, std::int16_t),
                      HRESULT (ISystemSettingsObject::*get)(Units, SHORT*),
                      HRESULT (ISystemSettingsObject::*set)(Units, SHORT)) {
    SystemField field = Begin<SystemField>(Kind::kInteger, fromVersion, Number(absent));
    field.fromRecord = [inRecord](const System& r, Value& v) {
        v.number = (r.*inRecord)(Imperial);
    };
    field.toRecord = [toRecord](System& r, const Value& v) {
        (r.*toRecord)(Imperial, Take<std::int16_t>(v));
    };
    field.fromObject = [get](ISystemSettingsObject* o, CSystemSettingsObject*, Value& v) {
        SHORT feet = 0;
        HRESULT hr = (o->*get)(Imperial, &feet);
        if (SUCCEEDED(hr)) v.number = feet;
        return hr;
    };
    field.toObject = [set](ISystemSettingsObject* o, CSystemSettingsObject*, const Value& v) {
        (o->*set)(Imperial, Take<SHORT>(v));
    };
    return field;
}

// The saved virtual state and destination: kept by the record and CSystemSettingsObject only.
template <class X>
SystemField SavedField(Kind kind, int fromVersion, const Value& absent, X SavedState::*member,
                       bool fileOnly) {
    SystemField field = Begin<SystemField>(kind, fromVersion, absent);
    field.fromRecord = [member](const System& r, Value& v) { Put(v, r.saved.*member); };
    field.toRecord = [member](System& r, const Value& v) { r.saved.*member = Take<X>(v); };
    field.fromObject = [member](ISystemSettingsObject*, CSystemSettingsObject* impl, Value& v) {
        Put(v, impl->Saved().*member);
        return S_OK;
    };
    field.toObject = [member](ISystemSettingsObject*, CSystemSettingsObject* impl, const Value& v) {
        impl->Saved().*member = Take<X>(v);
    };
    field.ownClassOnly = true;
    field.fileOnly = fileOnly;
    return field;
}

template <class X> SystemField FileOnly(Kind kind, const Value& absent, X SavedState::*member) {
    return SavedField(kind, 4, absent, member, true);
}

const std::vector<SystemField>& SystemFields() {
    using I = ISystemSettingsObject;
    using R = System;
    using S = SavedState;
    using F = SystemField;
    static const std::vector<F> fields = {
        FeetField(1, 50, &R::ArrivalDistance, &R::SetArrivalDistance, &I::GetArrivalDistance,
                  &I::SetArrivalDistance),
        Plain<F>(Kind::kBoolean, 1, Number(0), &R::includeSpellDecorators,
                 &I::GetIncludeSpellDecorators, &I::SetIncludeSpellDecorators),
        Plain<F>(Kind::kBoolean, 1, Number(0), &R::streetNamesDetailed, &I::GetStreetNamesDetailed,
                 &I::SetStreetNamesDetailed),
        Plain<F>(Kind::kInteger, 1, Number(Full), &R::compassDescriptions,
                 &I::GetDefaultCompassDescriptions, &I::SetDefaultCompassDescriptions),
        Plain<F>(Kind::kInteger, 1, Number(AheadLeft), &R::headingMode, &I::GetHeadingMode,
                 &I::SetHeadingMode),
        PlainText<F>(1, u"\\CompactFlash\\maps", &R::mapPOIDirectory, &I::GetMapPOIDirectory,
                     &I::SetMapPOIDirectory),
        Plain<F>(Kind::kInteger, 1, Number(Imperial), &R::units, &I::GetUnits, &I::SetUnits),
        FeetField(1, 12, &R::ArrivedNearThreshold, &R::SetArrivedNearThreshold,
                  &I::GetArrivedNearThreshold, &I::SetArrivedNearThreshold),
        Plain<F>(Kind::kBoolean, 2, Number(1), &R::searchOtherMapDirectories,
                 &I::GetSearchOtherMapDirectories, &I::SetSearchOtherMapDirectories),
        PlainText<F>(3, u"", &R::poiAuthor, &I::GetPOIAuthor, &I::SetPOIAuthor),
        FileOnly(Kind::kString, Text(u""), &S::virtualName),
        FileOnly(Kind::kString, Text(u""), &S::virtualStreetName),
        FileOnly(Kind::kInteger, Number(-1), &S::virtualHeading),
        FileOnly(Kind::kReal, Real(0.0), &S::virtualLatitude),
        FileOnly(Kind::kReal, Real(0.0), &S::virtualLongitude),
        FileOnly(Kind::kString, Text(u""), &S::destinationName),
        FileOnly(Kind::kString, Text(u""), &S::destinationDescription),
        FileOnly(Kind::kReal, Real(0.0), &S::destinationLatitude),
        FileOnly(Kind::kReal, Real(0.0), &S::destinationLongitude),
        SavedField(Kind::kBoolean, 5, Number(0), &S::virtualSaved, true),
        Plain<F>(Kind::kBoolean, 6, Number(0), &R::virtualSideOfStreetTracking,
                 &I::GetVirtualSideOfStreetTracking, &I::SetVirtualSideOfStreetTracking),
        SavedField(Kind::kInteger, 7, Number(0), &S::virtualSideOfStreet, false),
        SavedField(Kind::kBoolean, 8, Number(1), &S::virtualMarker, false),
    };
    return fields;
}

using ReceiverField = Field<Receiver, IGPSSettingsObject, void>;

const std::vector<ReceiverField>& ReceiverFields() {
    using I = IGPSSettingsObject;
    using R = Receiver;
    using F = ReceiverField;
    static const std::vector<F> fields = {
        PlainText<F>(1, u"", &R::receiverName, &I::GetGPSReceiverName, &I::SetGPSReceiverName),
        Plain<F>(Kind::kInteger, 1, Number(4800), &R::baudRate, &I::GetGPSBaudRate,
                 &I::SetGPSBaudRate),
        PlainText<F>(1, u"BSP", &R::portName, &I::GetGPSPortName, &I::SetGPSPortName),
        Plain<F>(Kind::kInteger, 1, Number(1), &R::portNumber, &I::GetGPSPortNumber,
                 &I::SetGPSPortNumber),
        Plain<F>(Kind::kInteger, 1, Number(GPSTypeNone), &R::receiverType, &I::GetGPSReceiverType,
                 &I::SetGPSReceiverType),
        PlainText<F>(1, u"", &R::simulatedFile, &I::GetSimulatedGPSFile, &I::SetSimulatedGPSFile),
        Plain<F>(Kind::kReal, 1, Real(0.0), &R::lastLatitude, &I::GetGPSLastLatitude,
                 &I::SetGPSLastLatitude),
        Plain<F>(Kind::kReal, 1, Real(0.0), &R::lastLongitude, &I::GetGPSLastLongitude,
                 &I::SetGPSLastLongitude),
        Plain<F>(Kind::kInteger, 2, Number(5), &R::pedestrianAveragingSeconds,
                 &I::GetPedestrianHeadingAveragingSeconds,
                 &I::SetPedestrianHeadingAveragingSeconds),
        Plain<F>(Kind::kInteger, 2, Number(AutomaticHeadings), &R::headingAveraging,
                 &I::GetHeadingAveragingMode, &I::SetHeadingAveragingMode),
        Plain<F>(Kind::kReal, 3, Real(1.803), &R::inertialUserHeight,
                 &I::GetInertialReceiverUserHeight, &I::SetInertialReceiverUserHeight),
    };
    return fields;
}

using LookaroundField = Field<Lookaround, ILookaroundSettingsObject, CLookaroundSettingsObject>;

// A number of the object's held category (or subcategory) object, which the getter hands out
// itself.
template <class H>
LookaroundField HeldNumber(std::int16_t Lookaround::*member,
                           HRESULT (ILookaroundSettingsObject::*held)(H**),
                           HRESULT (H::*get)(SHORT*), HRESULT (H::*set)(SHORT)) {
    LookaroundField field = Begin<LookaroundField>(Kind::kInteger, 1, Number(0));
    OnRecord(field, member);
    field.fromObject = [held, get](ILookaroundSettingsObject* o, CLookaroundSettingsObject*,
                                   Value& v) {
        ComPtr<H> object;
        SHORT n = 0;
        HRESULT hr = (o->*held)(object.Put());
        if (SUCCEEDED(hr) && !object) hr = E_FAIL;
        if (SUCCEEDED(hr)) hr = (object.Get()->*get)(&n);
        if (SUCCEEDED(hr)) v.number = n;
        return hr;
    };
    field.toObject = [held, set](ILookaroundSettingsObject* o, CLookaroundSettingsObject*,
                                 const Value& v) {
        ComPtr<H> object;
        if (SUCCEEDED((o->*held)(object.Put())) && object) (object.Get()->*set)(Take<SHORT>(v));
    };
    return field;
}

// A name kept beside the numbers by the record and CLookaroundSettingsObject only.
LookaroundField NameField(std::u16string_view absent, std::u16string Lookaround::*member,
                          const std::u16string& (CLookaroundSettingsObject::*get)() const,
                          void (CLookaroundSettingsObject::*set)(std::u16string_view)) {
    LookaroundField field = Begin<LookaroundField>(Kind::kString, 1, Text(absent));
    OnRecord(field, member);
    field.fromObject = [get](ILookaroundSettingsObject*, CLookaroundSettingsObject* impl,
                             Value& v) {
        v.text = (impl->*get)();
        return S_OK;
    };
    field.toObject = [set](ILookaroundSettingsObject*, CLookaroundSettingsObject* impl,
                           const Value& v) { (impl->*set)(v.text); };
    field.ownClassOnly = true;
    return field;
}

// Built per call: the names' defaults come from the caller's resources.
std::vector<LookaroundField> LookaroundFields(std::u16string_view categoryName,
                                              std::u16string_view subCategoryName) {
    using I = ILookaroundSettingsObject;
    using R = Lookaround;
    using F = LookaroundField;
    using C = CLookaroundSettingsObject;
    return {
        Plain<F>(Kind::kBoolean, 1, Number(1), &R::lookaroundEnabled, &I::IsLookaroundEnabled,
                 &I::EnableLookaround),
        Plain<F>(Kind::kBoolean, 1, Number(1), &R::commercialPOIs, &I::IsCommercialPOIsEnabled,
                 &I::EnableCommercialPOIs),
        Plain<F>(Kind::kBoolean, 1, Number(1), &R::userPrivatePOIs, &I::IsUserPrivatePOIsEnabled,
                 &I::EnableUserPrivatePOIs),
        Plain<F>(Kind::kBoolean, 1, Number(1), &R::intersections, &I::IsIntersectionsEnabled,
                 &I::EnableIntersections),
        NameField(categoryName, &R::categoryName, &C::CategoryNameToScanFor,
                  &C::SetCategoryNameToScanFor),
        HeldNumber(&R::categoryNumber, &I::GetCommercialCategoryToScanFor,
                   &IPOICategoryObject::GetCategoryNumber, &IPOICategoryObject::SetCategoryNumber),
        NameField(subCategoryName, &R::subCategoryName, &C::SubCategoryNameToScanFor,
                  &C::SetSubCategoryNameToScanFor),
        HeldNumber(&R::subCategoryMainNumber, &I::GetCommercialSubCategoryToScanFor,
                   &IPOISubCategoryObject::GetMainCategoryNumber,
                   &IPOISubCategoryObject::SetMainCategoryNumber),
        HeldNumber(&R::subCategoryNumber, &I::GetCommercialSubCategoryToScanFor,
                   &IPOISubCategoryObject::GetSubCategoryNumber,
                   &IPOISubCategoryObject::SetSubCategoryNumber),
        Plain<F>(Kind::kInteger, 1, Number(10), &R::startDelay,
                 &I::GetStartDelayForLookaroundEvents, &I::SetStartDelayForLookaroundEvents),
        Plain<F>(Kind::kBoolean, 2, Number(0), &R::talkingLights, &I::IsTalkingLightsEnabled,
                 &I::EnableTalkingLights),
        Plain<F>(Kind::kBoolean, 3, Number(1), &R::streetChanges, &I::IsStreetChangesEnabled,
                 &I::EnableStreetChanges),
        Plain<F>(Kind::kBoolean, 4, Number(1), &R::cityChanges, &I::IsCityChangesEnabled,
                 &I::EnableCityChanges),
        Plain<F>(Kind::kBoolean, 4, Number(1), &R::mapChanges, &I::IsMapChangesEnabled,
                 &I::EnableMapChanges),
        Plain<F>(Kind::kInteger, 5, Number(DirectionAll), &R::poiSearchDirection,
                 &I::GetPOISearchDirection, &I::SetPOISearchDirection),
        Plain<F>(Kind::kInteger, 6, Number(50), &R::intersectionMaxSpeed,
                 &I::GetIntersectionMaxSpeedForReporting, &I::SetIntersectionMaxSpeedForReporting,
                 &R::MaxSpeedRule),
        Plain<F>(Kind::kInteger, 6, Number(12), &R::reportingInterval,
                 &I::GetLookaroundReportingInterval, &I::SetLookaroundReportingInterval,
                 &R::IntervalRule),
        Plain<F>(Kind::kBoolean, 7, Number(1), &R::poiIncludeTags, &I::GetPOIIncludeTags,
                 &I::SetPOIIncludeTags),
        // Missing from a file of version 8 or later: true, although a new record holds false.
        Plain<F>(Kind::kBoolean, 8, Number(1), &R::poiIncludeDistanceDirection,
                 &I::GetPOIIncludeDistanceDirection, &I::SetPOIIncludeDistanceDirection),
        Plain<F>(Kind::kInteger, 9, Number(LookaroundRouteAndIntersectionsOnly), &R::routeOptions,
                 &I::GetRouteOptions, &I::SetRouteOptions),
    };
}

using RouteField = Field<Route, IRouteSettingsObject, void>;

// Missing true fields read as VARIANT_TRUE (-1), where a new record holds 1.
const std::vector<RouteField>& RouteFields() {
    using I = IRouteSettingsObject;
    using R = Route;
    using F = RouteField;
    static const std::vector<F> fields = {
        Plain<F>(Kind::kInteger, 1, Number(WaypointModeTurnsOnly), &R::waypointMode,
                 &I::GetWaypointMode, &I::SetWaypointMode),
        Plain<F>(Kind::kBoolean, 1, Number(VARIANT_TRUE), &R::autoIncrement,
                 &I::IsAutoIncrementWaypointsWhenReachedOn,
                 &I::EnableAutoIncrementWaypointsWhenReached),
        Plain<F>(Kind::kBoolean, 1, Number(VARIANT_FALSE), &R::forceSequential,
                 &I::IsForceSequentialRouteFollowingOn, &I::EnableForceSequentialRouteFollowing),
        Plain<F>(Kind::kBoolean, 1, Number(VARIANT_TRUE), &R::numbering, &I::IsWaypointNumberingOn,
                 &I::EnableWaypointNumbering),
        Plain<F>(Kind::kInteger, 1, Number(Full), &R::numberingDescriptions,
                 &I::GetNumberingDescriptions, &I::SetNumberingDescriptions),
    };
    return fields;
}

// Fields the file's version does not include keep the new record's defaults; included fields
// missing from the text take the table's.
template <class F>
void ReadFields(FieldCursor& cursor, std::int64_t version, const std::vector<F>& fields,
                typename F::Record& record) {
    for (const auto& field : fields) {
        if (version < field.fromVersion) continue;
        auto text = cursor.Next();
        field.toRecord(record, text ? Parse(field.kind, *text) : field.absent);
    }
}

template <class F>
void WriteFields(std::vector<Piece>& pieces, const std::vector<F>& fields,
                 const typename F::Record& record) {
    for (const auto& field : fields) {
        Value v = field.absent;
        field.fromRecord(record, v);
        pieces.push_back({Format(field.kind, v), field.kind == Kind::kString});
    }
}

// The object's class behind `object`, or null for another implementation (or no class at all).
template <class C, class I> C* ImplOf(I* object) {
    if constexpr (std::is_void_v<C>)
        return nullptr;
    else
        return gpslib::ImplOf<C>(object);
}

template <class F>
void RecordToObject(const std::vector<F>& fields, const typename F::Record& record,
                    typename F::Object* object) {
    auto* impl = ImplOf<typename F::Impl>(object);
    for (const auto& field : fields) {
        if (field.fileOnly || (field.ownClassOnly && impl == nullptr)) continue;
        Value value = field.absent;
        field.fromRecord(record, value);
        field.toObject(object, impl, value);
    }
}

// Every field the object gives, the file's default for one whose getter fails; the first
// failure is answered.
template <class F>
HRESULT ObjectToRecord(const std::vector<F>& fields, typename F::Object* object,
                       typename F::Record& record) {
    auto* impl = ImplOf<typename F::Impl>(object);
    HRESULT first = S_OK;
    for (const auto& field : fields) {
        if (field.fileOnly || (field.ownClassOnly && impl == nullptr)) continue;
        Value value = field.absent;
        const HRESULT hr = field.fromObject(object, impl, value);
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
        field.toRecord(record, value);
    }
    return first;
}

} // namespace

std::string SettingsFilePath(std::u16string_view directory, std::u16string_view fileName) {
    std::u16string path(directory);
    if (path.empty() || (path.back() != u'/' && path.back() != u'\\')) path += u'/';
    path += fileName;
    return gpslib::os::Utf16ToUtf8(path);
}

void ReadSystemSettings(Env& env, std::u16string_view directory, System& held) {
    std::u16string content = ReadContent(env, directory, kSystemFileName);
    if (content.empty()) {
        held.settingsDirectory = directory;
        return;
    }
    System record;
    record.SetSettingsDirectory(directory);
    FieldCursor cursor(content);
    std::int64_t version = ReadVersion(cursor);
    ReadFields(cursor, version, SystemFields(), record);
    held = std::move(record);
}

void ReadReceiverSettings(Env& env, std::u16string_view directory, Receiver& held) {
    std::u16string content = ReadContent(env, directory, kReceiverFileName);
    if (content.empty()) return;
    Receiver record;
    FieldCursor cursor(content);
    std::int64_t version = ReadVersion(cursor);
    ReadFields(cursor, version, ReceiverFields(), record);
    held = std::move(record);
}

void ReadLookaroundSettings(Env& env, std::u16string_view directory, Lookaround& held,
                            std::u16string_view defaultCategoryName,
                            std::u16string_view defaultSubCategoryName) {
    std::u16string content = ReadContent(env, directory, kLookaroundFileName);
    if (content.empty()) return;
    Lookaround record;
    FieldCursor cursor(content);
    std::int64_t version = ReadVersion(cursor);
    ReadFields(cursor, version, LookaroundFields(defaultCategoryName, defaultSubCategoryName),
               record);
    held = std::move(record);
}

void ReadRouteSettings(Env& env, std::u16string_view directory, Route& gpsMode,
                       Route& virtualMode) {
    std::u16string content = ReadContent(env, directory, kRouteFileName);
    if (content.empty()) return;
    Route gps, virt;
    FieldCursor cursor(content);
    // Any other version leaves both at a new record's defaults.
    if (ReadVersion(cursor) == kRouteVersion) {
        ReadFields(cursor, kRouteVersion, RouteFields(), gps);
        ReadFields(cursor, kRouteVersion, RouteFields(), virt);
    }
    gpsMode = gps;
    virtualMode = virt;
}

bool WriteSystemSettings(Env& env, std::u16string_view directory, const System& settings) {
    auto pieces = VersionPiece(kSystemVersion);
    WriteFields(pieces, SystemFields(), settings);
    return WriteContent(env, directory, kSystemFileName, pieces);
}

bool WriteReceiverSettings(Env& env, std::u16string_view directory, const Receiver& settings) {
    auto pieces = VersionPiece(kReceiverVersion);
    WriteFields(pieces, ReceiverFields(), settings);
    return WriteContent(env, directory, kReceiverFileName, pieces);
}

bool WriteLookaroundSettings(Env& env, std::u16string_view directory, const Lookaround& settings) {
    auto pieces = VersionPiece(kLookaroundVersion);
    WriteFields(pieces, LookaroundFields(u"", u""), settings);
    return WriteContent(env, directory, kLookaroundFileName, pieces);
}

bool WriteRouteSettings(Env& env, std::u16string_view directory, const Route& gpsMode,
                        const Route& virtualMode) {
    auto pieces = VersionPiece(kRouteVersion);
    WriteFields(pieces, RouteFields(), gpsMode);
    WriteFields(pieces, RouteFields(), virtualMode);
    return WriteContent(env, directory, kRouteFileName, pieces);
}

// --- The objects a client sees. --------------------------------------------------------------

void ToObject(const System& record, ISystemSettingsObject* object) {
    if (object == nullptr) return;
    RecordToObject(SystemFields(), record, object);
    object->SetSettingsDirectory(Bstr(std::u16string_view(record.settingsDirectory)).Get());
}

void FromObject(ISystemSettingsObject* object, System& record) {
    if (object == nullptr) return;
    ObjectToRecord(SystemFields(), object, record);
    Bstr directory;
    object->GetSettingsDirectory(directory.Put());
    record.SetSettingsDirectory(directory.View());
}

void ToObject(const Receiver& record, IGPSSettingsObject* object) {
    if (object != nullptr) RecordToObject(ReceiverFields(), record, object);
}

void FromObject(IGPSSettingsObject* object, Receiver& record) {
    if (object != nullptr) ObjectToRecord(ReceiverFields(), object, record);
}

void ToObject(const Lookaround& record, ILookaroundSettingsObject* object) {
    if (object != nullptr) RecordToObject(LookaroundFields(u"", u""), record, object);
}

void FromObject(ILookaroundSettingsObject* object, Lookaround& record) {
    if (object != nullptr) ObjectToRecord(LookaroundFields(u"", u""), object, record);
}

void ToObject(const Route& record, IRouteSettingsObject* object) {
    if (object != nullptr) RecordToObject(RouteFields(), record, object);
}

HRESULT FromObject(IRouteSettingsObject* object, Route& record) {
    if (object == nullptr) return E_POINTER;
    Route read = record;
    const HRESULT hr = ObjectToRecord(RouteFields(), object, read);
    if (SUCCEEDED(hr)) record = read;
    return hr;
}

} // namespace gpscore::settings
