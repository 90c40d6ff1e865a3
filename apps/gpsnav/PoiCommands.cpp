// The commands that search points of interest: around and find, with their filters (a category,
// a direction, a distance, whole words), and the category names they take.
#include "Answers.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

// Whether a word of `name` starts with `wanted` ("shop" finds "Shopping", "drink" finds "Food
// and drink"), or the whole name does ("food and" finds "Food and drink").
bool NameMatches(const std::string& name, const std::string& wanted) {
    const std::string lower = Lower(name);
    if (lower.starts_with(wanted)) return true;
    for (std::size_t at = lower.find(' '); at != std::string::npos; at = lower.find(' ', at + 1))
        if (lower.compare(at + 1, wanted.size(), wanted) == 0) return true;
    return false;
}

struct Category {
    SHORT number = -1;
    SHORT sub = -1; // -1: the whole category.
    std::string name;
};

// The categories (or, with `sub`, the subcategories of `category`) the service lists.
std::vector<Category> CategoriesOf(IGPSCore* core, bool sub, SHORT category) {
    gpslib::Variant list;
    std::vector<Category> out;
    HRESULT hr = sub ? core->POIGetAllSubCategories(category, VARIANT_FALSE, &list)
                     : core->POIGetAllCategories(&list, VARIANT_FALSE);
    std::vector<IUnknown*> objects;
    if (FAILED(hr) ||
        FAILED(gpslib::ReadObjectList(
            &list, sub ? IID_IPOISubCategoryObject : IID_IPOICategoryObject, 1000, &objects)))
        return out;
    for (IUnknown* o : objects) {
        Category c;
        Bstr name;
        if (sub) {
            auto* s = static_cast<IPOISubCategoryObject*>(static_cast<void*>(o));
            s->GetSubCategoryName(name.Put());
            s->GetSubCategoryNumber(&c.sub);
            c.number = category;
        } else {
            auto* k = static_cast<IPOICategoryObject*>(static_cast<void*>(o));
            k->GetCategoryName(name.Put());
            k->GetCategoryNumber(&c.number);
        }
        c.name = name.Utf8();
        out.push_back(std::move(c));
        o->Release();
    }
    return out;
}

struct NamedDirection {
    std::string_view name;
    Directions direction;
    bool relative; // Measured from the heading.
};
constexpr NamedDirection kDirections[] = {
    {"ahead", DirectionAhead, true},  {"behind", DirectionBehind, true},
    {"left", DirectionLeft, true},    {"right", DirectionRight, true},
    {"north", DirectionNorth, false}, {"east", DirectionEast, false},
    {"south", DirectionSouth, false}, {"west", DirectionWest, false},
};

// A new search for the nearest POIs, the user's own private places included.
ComPtr<IPOISearchConfigurationObject> NewSearch() {
    auto config = Create<IPOISearchConfigurationObject>(CLSID_POISearchConfigurationObject,
                                                        IID_IPOISearchConfigurationObject);
    if (config) {
        config->SetNewSearch(VARIANT_TRUE);
        config->SetIncludeUserPrivateAsWell(VARIANT_TRUE);
    }
    return config;
}

} // namespace

Answer Session::PoiResults(const char* command, long found, HRESULT hr) {
    if (FAILED(hr)) return Failure(command, hr);
    m_foundPois = found;
    Listing pois = Entries(ListKind::kPois);
    if (pois.entries.empty()) {
        Bstr distance;
        m_core->POIGetLastSearchDistanceDescription(distance.Put());
        return ShowList(ListKind::kPois, {}, distance.Utf8());
    }
    return ShowList(ListKind::kPois, std::move(pois.entries), "");
}

std::optional<std::pair<SHORT, SHORT>> Session::CategoryNamed(const std::string& wanted,
                                                              Answer* why) {
    const std::vector<Category> categories = CategoriesOf(m_core.Get(), false, 0);
    if (categories.empty()) {
        gpslib::Variant probe;
        HRESULT hr = m_core->POIGetAllCategories(&probe, VARIANT_FALSE);
        *why = Failure("around", FAILED(hr) ? hr : E_FAIL);
        return std::nullopt;
    }
    for (const Category& c : categories)
        if (c.number > 0 && NameMatches(c.name, wanted)) return std::pair{c.number, SHORT{-1}};
    for (const Category& c : categories) {
        if (c.number <= 0) continue;
        for (const Category& s : CategoriesOf(m_core.Get(), true, c.number))
            if (s.sub > 0 && NameMatches(s.name, wanted)) return std::pair{s.number, s.sub};
    }
    std::string known;
    for (const Category& c : categories)
        if (c.number > 0) known += (known.empty() ? "" : ", ") + c.name;
    *why = Fact("No category " + wanted + ". Categories: " + known + ".", Answer::Status::kFailed);
    return std::nullopt;
}

Answer Session::Around(const std::vector<std::string>& args) {
    Units units = Metric;
    ComPtr<ISystemSettingsObject> system;
    if (SUCCEEDED(m_core->SystemGetSettings(system.Put())) && system) system->GetUnits(&units);
    // The filters at the end, in either order: a direction and "within DISTANCE" (the unit may
    // be a word of its own); the words before them name the category.
    std::vector<std::string> words = args;
    std::optional<double> within;
    const NamedDirection* direction = nullptr;
    for (bool more = true; more && !words.empty();) {
        more = false;
        const std::size_t n = words.size();
        for (std::size_t take : {std::size_t{2}, std::size_t{1}}) {
            if (within || n < take + 1 || Lower(words[n - take - 1]) != "within") continue;
            const std::string distance = Join(words, n - take);
            within = ParseDistance(distance, units == Metric ? 1.0 : 0.3048);
            if (!within)
                return Fact("A distance is a number, with m, km, ft or mi when it is not in the "
                            "units set: " +
                                distance + ".",
                            Answer::Status::kUsage);
            words.resize(n - take - 1);
            more = true;
            break;
        }
        for (const NamedDirection& d : kDirections)
            if (!more && !direction && !words.empty() && Lower(words.back()) == d.name) {
                direction = &d;
                words.pop_back();
                more = true;
            }
    }
    if (!words.empty() && Lower(words.back()) == "within") return Usage("around");
    auto config = NewSearch();
    if (!config) return Failure("around", E_OUTOFMEMORY);
    if (!words.empty()) {
        Answer why;
        auto category = CategoryNamed(Lower(Join(words)), &why);
        if (!category) return why;
        config->SetCategoryNumber(category->first);
        if (category->second > 0) config->SetSubCategoryNumber(category->second);
    } else if (!direction && !within) {
        // The nearest few, one ring, as the service's nearest search asks for them.
        config->SetMaxSearchResults(static_cast<LONG>(kMaxListed));
        config->SetMaxSearchTime(0);
    }
    if (direction) {
        SHORT heading = -1;
        m_core->GetHeadingDegrees(CurrentMode(), &heading);
        if (direction->relative && heading < 0)
            return Fact("The heading is not known yet, and " + std::string(direction->name) +
                            " needs it: try north, east, south or west.",
                        Answer::Status::kFailed);
        config->SetSearchDirection(direction->direction);
        config->SetCurrentHeadingDegrees(heading);
    }
    if (within) {
        // One search out to the distance: it starts there and does not widen.
        config->SetDistanceStarting(units == Imperial ? *within / 1609.344 : *within / 1000);
        config->SetMaxSearchTime(0);
    }
    ComPtr<IPOIObject> poi;
    LONG found = 0;
    return PoiResults("around", found,
                      m_core->POIsFind(CurrentMode(), config.Get(), poi.Put(), &found));
}

Answer Session::Find(const std::vector<std::string>& args) {
    std::vector<std::string> words = args;
    const bool whole = words.size() > 1 && Lower(words.back()) == "whole";
    if (whole) words.pop_back();
    if (words.empty()) return Usage("find");
    auto config = NewSearch();
    auto pattern = Create<IPOIObject>(CLSID_POIObject, IID_IPOIObject);
    if (!config || !pattern) return Failure("find", E_OUTOFMEMORY);
    pattern->SetName(Bstr(Join(words)).Get());
    config->SetPOISearchObject(pattern.Get());
    config->SetStartsWithSearch(whole ? VARIANT_FALSE : VARIANT_TRUE);
    config->SetWholeWord(gpslib::VariantBool(whole));
    ComPtr<IPOIObject> poi;
    LONG found = 0;
    return PoiResults("find", found,
                      m_core->POIsFind(CurrentMode(), config.Get(), poi.Put(), &found));
}

} // namespace gpsnav
