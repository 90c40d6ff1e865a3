// The crossings: the service's walker interface beside IGPSCore tells the crossings of a corner;
// `crossings` lists those of the nearest one, and with the crossings setting on, `corner` and
// `ahead` end with them, the route's directions tell the crossings each step uses, and the
// intersection announcement tells them too.
#include <utility>

#include "Answers.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

// A corner's crossings are those within this distance of it, metres or feet by the units.
constexpr LONG kCornerMetres = 25;
constexpr LONG kCornerFeet = 82;

} // namespace

Units Session::UserUnits() const {
    ComPtr<ISystemSettingsObject> system;
    Units units = Metric;
    if (SUCCEEDED(m_core->SystemGetSettings(system.Put())) && system) system->GetUnits(&units);
    return units;
}

std::vector<std::pair<double, std::string>> Session::RouteCrossings() {
    std::vector<std::pair<double, std::string>> crossings;
    ComPtr<IGPSPedestrian> walker = Walker();
    gpslib::Variant list;
    LONG count = 0;
    std::vector<IUnknown*> items;
    if (!walker || FAILED(walker->GetRouteCrossings(&list, &count)) ||
        FAILED(gpslib::ReadObjectList(&list, IID_ICrossingObject, 10000, &items)))
        return crossings;
    const double metresPerUnit = UserUnits() == Metric ? 1.0 : 0.3048;
    for (IUnknown* item : items) {
        auto c = ComPtr<ICrossingObject>::Adopt(static_cast<ICrossingObject*>(item));
        Bstr description;
        LONG along = 0;
        c->GetDescription(description.Put());
        c->GetDistanceFromPosition(&along);
        crossings.emplace_back(along * metresPerUnit, description.Utf8() + ".");
    }
    return crossings;
}

ComPtr<IGPSPedestrian> Session::Walker() const {
    ComPtr<IGPSPedestrian> walker;
    if (m_core) m_core->QueryInterface(IID_IGPSPedestrian, walker.PutVoid());
    return walker;
}

bool Session::CrossingsOn() const {
    VARIANT_BOOL on = VARIANT_FALSE;
    if (ComPtr<IGPSPedestrian> walker = Walker()) walker->GetAnnounceCrossings(&on);
    return on != VARIANT_FALSE;
}

std::vector<ComPtr<ICrossingObject>> Session::CrossingsOfCorner(IIntersectionObject* corner,
                                                                bool nearest) {
    std::vector<ComPtr<ICrossingObject>> crossings;
    ComPtr<IGPSPedestrian> walker = Walker();
    if (!walker) return crossings;
    gpslib::Variant list;
    LONG count = 0;
    if (nearest) {
        // The service's own answer for the nearest corner: nearest to the traveller first.
        if (FAILED(walker->GetIntersectionCrossings(CurrentMode(), &list, &count)))
            return crossings;
    } else {
        ComPtr<ILocationObject> at;
        VARIANT_BOOL valid = VARIANT_FALSE;
        if (corner == nullptr || FAILED(corner->GetLocation(at.Put())) || !at ||
            FAILED(at->IsValid(&valid)) || !valid)
            return crossings;
        if (FAILED(walker->GetCrossingsNearLocation(
                at.Get(), UserUnits() == Metric ? kCornerMetres : kCornerFeet, &list, &count)))
            return crossings;
    }
    std::vector<IUnknown*> items;
    if (FAILED(gpslib::ReadObjectList(&list, IID_ICrossingObject, 100, &items))) return crossings;
    for (IUnknown* item : items)
        crossings.push_back(ComPtr<ICrossingObject>::Adopt(static_cast<ICrossingObject*>(item)));
    return crossings;
}

std::string Session::CrossingsSentence(IIntersectionObject* corner, bool nearest) {
    // The nearest corner's text is the service's own; a corner ahead is told from its list.
    if (ComPtr<IGPSPedestrian> walker = Walker(); walker && nearest) {
        Bstr said;
        return SUCCEEDED(walker->GetIntersectionCrossingsDescription(CurrentMode(), said.Put()))
                   ? said.Utf8()
                   : std::string();
    }
    std::string text;
    for (const ComPtr<ICrossingObject>& c : CrossingsOfCorner(corner, nearest)) {
        Bstr description;
        c->GetDescription(description.Put());
        text += (text.empty() ? "" : " ") + description.Utf8() + ".";
    }
    return text;
}

Answer Session::Crossings() {
    if (!Walker()) return Fact("This service does not tell crossings.", Answer::Status::kFailed);
    std::vector<std::string> entries;
    for (const ComPtr<ICrossingObject>& c : CrossingsOfCorner(nullptr, true)) {
        Bstr description;
        c->GetDescription(description.Put());
        entries.push_back(description.Utf8());
    }
    return ShowList(ListKind::kCrossings, std::move(entries),
                    "No crossings are mapped at the nearest intersection.");
}

Answer Session::CrossingsSetting(const std::string& value) {
    auto on = ParseSwitch(value);
    ComPtr<IGPSPedestrian> walker = Walker();
    if (!on) return Usage("settings");
    if (!walker) return Fact("This service does not tell crossings.", Answer::Status::kFailed);
    HRESULT hr = walker->SetAnnounceCrossings(gpslib::VariantBool(*on));
    if (FAILED(hr)) return Failure("settings crossings", hr);
    RememberChoice(m_options.settingsDir, "crossings", *on ? "on" : "off");
    return Fact(std::string("crossings") + (*on ? " on." : " off."));
}

} // namespace gpsnav
