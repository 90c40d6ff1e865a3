// The settings command: units, heading style, event urgency and what lookaround announces.
#include <optional>

#include "Answers.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::ComPtr;

namespace {

struct Named {
    std::string_view name;
    int value;
};
constexpr Named kUnits[] = {{"metric", Metric},
                            {"imperial", Imperial},
                            {"nautical", Nautical},
                            {"british", BritishNautical}};
constexpr Named kHeadings[] = {{"clock", ClockFace},
                               {"ahead", AheadLeft},
                               {"combo", Combo},
                               {"compass", LeftRightDegreesCompass}};
constexpr Named kUrgencies[] = {{"low", UrgencyLow},
                                {"normal", UrgencyNormal},
                                {"high", UrgencyHigh},
                                {"critical", UrgencyCritical}};

template <std::size_t N> std::optional<int> Lookup(const Named (&table)[N], std::string_view word) {
    for (const Named& n : table)
        if (n.name == Lower(word)) return n.value;
    return std::nullopt;
}
template <std::size_t N> std::string_view NameOf(const Named (&table)[N], int value) {
    for (const Named& n : table)
        if (n.value == value) return n.name;
    return "?";
}
template <std::size_t N> std::string Choices(const Named (&table)[N]) {
    std::string out;
    for (const Named& n : table)
        out += (out.empty() ? "" : ", ") + std::string(n.name);
    return out;
}

} // namespace

Answer Session::Settings(const std::vector<std::string>& args) {
    ComPtr<ISystemSettingsObject> system;
    HRESULT hr = m_core->SystemGetSettings(system.Put());
    if (FAILED(hr) || !system) return Failure("settings", hr);
    if (args.empty()) {
        Units units = Metric;
        RelativeHeadingType heading = ClockFace;
        UrgencyLevel urgency = UrgencyLow;
        system->GetUnits(&units);
        system->GetHeadingMode(&heading);
        m_core->LookaroundGetUrgencyReportingLevel(&urgency);
        std::string text = "Units " + std::string(NameOf(kUnits, units)) + ", heading " +
                           std::string(NameOf(kHeadings, heading)) + ", urgency " +
                           std::string(NameOf(kUrgencies, urgency));
        ComPtr<ILookaroundSettingsObject> look;
        if (SUCCEEDED(m_core->LookaroundGetSettings(look.Put())) && look) {
            VARIANT_BOOL on = 0, i = 0, p = 0, s = 0, c = 0, m = 0;
            look->IsLookaroundEnabled(&on);
            look->IsIntersectionsEnabled(&i);
            look->IsCommercialPOIsEnabled(&p);
            look->IsStreetChangesEnabled(&s);
            look->IsCityChangesEnabled(&c);
            look->IsMapChangesEnabled(&m);
            auto sw = [](VARIANT_BOOL b) { return b ? "on" : "off"; };
            text += std::string(", lookaround ") + sw(on) + ", intersections " + sw(i) + ", pois " +
                    sw(p) + ", streets " + sw(s) + ", cities " + sw(c) + ", maps " + sw(m) +
                    ", crossings " + sw(gpslib::VariantBool(CrossingsOn()));
        }
        return Texts({text + "."});
    }
    const std::string what = Lower(args[0]);
    if (args.size() != 2) return Usage("settings");
    // The word of `table` applied by `apply`, answered as "<label> <word>."; `kinds` names the
    // table's words when the word is none of them.
    auto choose = [&](const auto& table, const std::string& kinds, const std::string& label,
                      auto apply) {
        auto value = Lookup(table, args[1]);
        if (!value) return Fact(kinds + " are " + Choices(table) + ".", Answer::Status::kUsage);
        hr = apply(*value);
        return FAILED(hr) ? Failure("settings", hr) : Fact(label + " " + Lower(args[1]) + ".");
    };
    if (what == "units")
        return choose(kUnits, "Units", "Units", [&](int value) {
            system->SetUnits(static_cast<Units>(value));
            return m_core->SystemSetSettings(system.Get());
        });
    if (what == "heading")
        return choose(kHeadings, "Heading styles", "Heading", [&](int value) {
            system->SetHeadingMode(static_cast<RelativeHeadingType>(value));
            return m_core->SystemSetSettings(system.Get());
        });
    if (what == "urgency")
        return choose(kUrgencies, "Urgency levels", "Urgency", [&](int value) {
            return m_core->LookaroundSetUrgencyReportingLevel(static_cast<UrgencyLevel>(value));
        });
    if (what == "crossings") return CrossingsSetting(args[1]);
    auto on = ParseSwitch(args[1]);
    if (!on) return Usage("settings");
    ComPtr<ILookaroundSettingsObject> look;
    hr = m_core->LookaroundGetSettings(look.Put());
    if (FAILED(hr) || !look) return Failure("settings " + what, hr);
    const VARIANT_BOOL b = gpslib::VariantBool(*on);
    if (what == "lookaround")
        look->EnableLookaround(b);
    else if (what == "intersections")
        look->EnableIntersections(b);
    else if (what == "pois")
        look->EnableCommercialPOIs(b);
    else if (what == "streets")
        look->EnableStreetChanges(b);
    else if (what == "cities")
        look->EnableCityChanges(b);
    else if (what == "maps")
        look->EnableMapChanges(b);
    else
        return Usage("settings");
    hr = m_core->LookaroundSetSettings(look.Get());
    return FAILED(hr) ? Failure("settings " + what, hr) : Fact(what + (*on ? " on." : " off."));
}

} // namespace gpsnav
