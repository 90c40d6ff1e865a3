// The commands about places: around, find, dest, fav, history, note and address.
#include <filesystem>

#include "Answers.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

Answer Session::PoiResults(long found, HRESULT hr) {
    if (FAILED(hr)) return Failure("around", hr);
    m_foundPois = found;
    auto config = Create<IPOIDescriptionConfigurationObject>(
        CLSID_POIDescriptionConfigurationObject, IID_IPOIDescriptionConfigurationObject);
    // The spoken form: distance, direction and side, leaving out what the search already says.
    if (config) config->SetDescriptionDynamic(VARIANT_TRUE);
    gpslib::Variant list;
    LONG count = 0;
    hr = m_core->POIGetLastSearchDescriptions(CurrentMode(), config.Get(), &list, &count);
    if (FAILED(hr)) return Failure("around", hr);
    std::vector<std::string> texts = StringsOf(&list);
    if (texts.size() > kMaxListed) texts.resize(kMaxListed);
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = std::to_string(i + 1) + ". " + texts[i];
    if (texts.empty()) {
        Bstr distance;
        m_core->POIGetLastSearchDistanceDescription(distance.Put());
        texts.push_back(distance.Utf8());
    }
    return Texts(std::move(texts));
}

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

} // namespace

Answer Session::Around(const std::vector<std::string>& args) {
    ComPtr<IPOIObject> poi;
    LONG found = 0;
    if (args.empty())
        return PoiResults(found, m_core->POIsFindNearest(CurrentMode(), poi.Put(), &found));
    // A category or a subcategory by its name or a word of it.
    std::string wanted;
    for (const std::string& a : args)
        wanted += (wanted.empty() ? "" : " ") + Lower(a);
    const std::vector<Category> categories = CategoriesOf(m_core.Get(), false, 0);
    if (categories.empty()) {
        gpslib::Variant probe;
        HRESULT hr = m_core->POIGetAllCategories(&probe, VARIANT_FALSE);
        return Failure("around", FAILED(hr) ? hr : E_FAIL);
    }
    std::optional<Category> chosen;
    for (const Category& c : categories)
        if (c.number > 0 && !chosen && NameMatches(c.name, wanted)) chosen = c;
    for (const Category& c : categories) {
        if (chosen || c.number <= 0) continue;
        for (const Category& s : CategoriesOf(m_core.Get(), true, c.number))
            if (s.sub > 0 && !chosen && NameMatches(s.name, wanted)) chosen = s;
    }
    if (!chosen) {
        std::string known;
        for (const Category& c : categories)
            if (c.number > 0) known += (known.empty() ? "" : ", ") + c.name;
        return Fact("No category " + wanted + ". Categories: " + known + ".",
                    Answer::Status::kFailed);
    }
    auto config = Create<IPOISearchConfigurationObject>(CLSID_POISearchConfigurationObject,
                                                        IID_IPOISearchConfigurationObject);
    config->SetCategoryNumber(chosen->number);
    if (chosen->sub > 0) config->SetSubCategoryNumber(chosen->sub);
    config->SetNewSearch(VARIANT_TRUE);
    return PoiResults(found, m_core->POIsFind(CurrentMode(), config.Get(), poi.Put(), &found));
}

Answer Session::Find(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("find");
    std::string text;
    for (const std::string& a : args)
        text += (text.empty() ? "" : " ") + a;
    auto config = Create<IPOISearchConfigurationObject>(CLSID_POISearchConfigurationObject,
                                                        IID_IPOISearchConfigurationObject);
    auto pattern = Create<IPOIObject>(CLSID_POIObject, IID_IPOIObject);
    pattern->SetName(Bstr(text).Get());
    config->SetPOISearchObject(pattern.Get());
    config->SetStartsWithSearch(VARIANT_TRUE);
    config->SetNewSearch(VARIANT_TRUE);
    ComPtr<IPOIObject> poi;
    LONG found = 0;
    Answer a = PoiResults(found, m_core->POIsFind(CurrentMode(), config.Get(), poi.Put(), &found));
    if (a.status == Answer::Status::kNotAvailable)
        a.texts = {"find: not available yet in this version of the service."};
    return a;
}

Answer Session::Dest(const std::vector<std::string>& args) {
    HRESULT hr = S_OK;
    if (!args.empty()) {
        const std::string what = Lower(args[0]);
        if (what == "clear") {
            hr = m_core->DestinationClear();
            return FAILED(hr) ? Failure("dest", hr) : Fact("Destination cleared.");
        } else if (what == "here") {
            hr = m_core->DestinationSetByLocation(Here().Get());
        } else if (what == "poi" || what == "fav") {
            auto n = args.size() > 1 ? ParseNumber(args[1], 1, 100000) : std::nullopt;
            if (!n) return Usage("dest");
            ComPtr<IPOIObject> poi;
            hr = what == "poi" ? m_core->POIGet(*n - 1, poi.Put())
                               : m_core->FavoritesGetItem(static_cast<SHORT>(*n - 1), poi.Put());
            if (FAILED(hr) || !poi) return Failure("dest", FAILED(hr) ? hr : E_INVALIDARG);
            hr = m_core->DestinationSetByPOI(poi.Get());
        } else if (what == "address") {
            if (!m_address)
                return Fact("No address found yet: use address first.", Answer::Status::kFailed);
            hr = m_core->DestinationSetByAddress(m_address.Get());
        } else if (auto at = ParseLatLon(args[0])) {
            auto location = NewLocation(at->latitude, at->longitude);
            std::string name;
            for (std::size_t i = 1; i < args.size(); ++i)
                name += (name.empty() ? "" : " ") + args[i];
            if (!name.empty()) location->SetName(Bstr(name).Get());
            hr = m_core->DestinationSetByLocation(location.Get());
        } else {
            return Usage("dest");
        }
        if (FAILED(hr)) return Failure("dest", hr);
    }
    auto config = Create<IDescriptionConfigurationObject>(CLSID_DescriptionConfigurationObject,
                                                          IID_IDescriptionConfigurationObject);
    Bstr text;
    hr = m_core->DestinationWhereIs(CurrentMode(), config.Get(), text.Put());
    if (FAILED(hr)) return Failure("dest", hr);
    return Texts({Utf8(text)});
}

Answer Session::Fav(const std::vector<std::string>& args) {
    HRESULT hr;
    if (!args.empty()) {
        if (Lower(args[0]) != "add") return Usage("fav");
        auto here = Here();
        std::string name;
        for (std::size_t i = 1; i < args.size(); ++i)
            name += (name.empty() ? "" : " ") + args[i];
        if (here && !name.empty()) here->SetName(Bstr(name).Get());
        VARIANT_BOOL added = VARIANT_FALSE;
        hr = m_core->FavoritesAddLocation(here.Get(), &added);
        if (FAILED(hr)) return Failure("fav", hr);
        return Fact(added ? "Added to the favorites." : "Not added to the favorites.",
                    added ? Answer::Status::kOk : Answer::Status::kFailed);
    }
    gpslib::Variant list;
    SHORT count = 0;
    hr = m_core->FavoritesGetList(CurrentMode(), &list, &count);
    if (FAILED(hr)) return Failure("fav", hr);
    std::vector<std::string> texts = StringsOf(&list);
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = std::to_string(i + 1) + ". " + texts[i];
    if (texts.empty()) texts.push_back("No favorites.");
    return Texts(std::move(texts));
}

Answer Session::History() {
    gpslib::Variant list;
    SHORT count = 0;
    HRESULT hr = m_core->HistoryGetList(CurrentMode(), &list, &count);
    if (FAILED(hr)) return Failure("history", hr);
    std::vector<std::string> texts = StringsOf(&list);
    if (texts.size() > kMaxListed) texts.resize(kMaxListed);
    if (texts.empty()) texts.push_back("No places in the history.");
    return Texts(std::move(texts));
}

Answer Session::Note(const std::vector<std::string>& args) {
    HRESULT hr;
    if (args.empty()) {
        gpslib::Variant list;
        hr = m_core->AnnotationsGetList(CurrentMode(), &list);
        if (FAILED(hr)) return Failure("note", hr);
        std::vector<std::string> texts = StringsOf(&list);
        if (texts.size() > kMaxListed) texts.resize(kMaxListed);
        if (texts.empty()) texts.push_back("No annotations.");
        return Texts(std::move(texts));
    }
    ComPtr<IPOIObject> note;
    hr = m_core->POICreate(CurrentMode(), POICreationTypeAnnotation, note.Put());
    if (FAILED(hr) || !note) return Failure("note", hr);
    note->SetName(Bstr(args[0]).Get());
    if (args.size() > 1) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(args[1], ec))
            return Fact("No such recorded file: " + args[1], Answer::Status::kFailed);
        note->SetMediaFile(Bstr(std::filesystem::absolute(args[1]).string()).Get());
    }
    VARIANT_BOOL added = VARIANT_FALSE;
    hr = m_core->AnnotationsAdd(note.Get(), &added);
    if (FAILED(hr)) return Failure("note", hr);
    return Fact(added ? "Annotation added." : "Annotation not added.",
                added ? Answer::Status::kOk : Answer::Status::kFailed);
}

Answer Session::Address(const std::vector<std::string>& args) {
    if (args.size() < 2) return Usage("address");
    const std::string step = Lower(args[0]);
    std::string text;
    for (std::size_t i = 1; i < args.size(); ++i)
        text += (text.empty() ? "" : " ") + args[i];
    HRESULT hr;
    gpslib::Variant list;
    SHORT count = 0;
    if (step == "city") {
        gpslib::Variant maps;
        hr = m_core->AddressFindMapsForCitySearch(Bstr(std::string_view("")).Get(), &maps, &count);
        if (FAILED(hr)) return Failure("address", hr);
        std::vector<std::string> names = StringsOf(&maps);
        m_addressSearch = Create<IAddressSearchConfigurationObject>(
            CLSID_AddressSearchConfigurationObject, IID_IAddressSearchConfigurationObject);
        m_addressSearch->SetSearchName(Bstr(text).Get());
        m_addressSearch->SetStartsWith(VARIANT_TRUE);
        for (const std::string& map : names) {
            count = 0;
            hr = m_core->AddressFindCity(Bstr(map).Get(), m_addressSearch.Get(), &list, &count);
            if (FAILED(hr)) return Failure("address", hr);
            std::vector<std::string> cities = StringsOf(&list);
            if (!cities.empty()) {
                m_addressMap = map;
                if (cities.size() > kMaxListed) cities.resize(kMaxListed);
                return Texts(std::move(cities));
            }
        }
        return Fact("No city " + text + ".", Answer::Status::kFailed);
    }
    if (!m_addressSearch)
        return Fact("Choose the city first: address city NAME.", Answer::Status::kFailed);
    if (step == "street") {
        // The first city of the previous step is the one chosen.
        m_addressSearch->SetLastSearchIndex(0);
        m_addressSearch->SetSearchName(Bstr(text).Get());
        hr = m_core->AddressFindStreet(m_addressSearch.Get(), &list, &count);
        if (FAILED(hr)) return Failure("address", hr);
        std::vector<std::string> streets = StringsOf(&list);
        if (streets.empty()) return Fact("No street " + text + ".", Answer::Status::kFailed);
        if (streets.size() > kMaxListed) streets.resize(kMaxListed);
        return Texts(std::move(streets));
    }
    if (step == "number") {
        // The first street found is the one chosen, and then the first place of its number.
        m_addressSearch->SetLastSearchIndex(0);
        m_addressSearch->SetStreetAddressNumber(Bstr(text).Get());
        hr = m_core->AddressFindStreetAddress(m_addressSearch.Get(), &list, &count);
        if (FAILED(hr)) return Failure("address", hr);
        m_addressSearch->SetLastSearchIndex(0);
        VARIANT_BOOL ok = VARIANT_FALSE;
        m_address.Reset();
        hr = m_core->AddressGet(m_addressSearch.Get(), m_address.Put(), &ok);
        if (FAILED(hr)) return Failure("address", hr);
        if (!ok || !m_address) return Fact("No such house number.", Answer::Status::kFailed);
        Bstr found;
        m_address->GetAddress(found.Put());
        return Texts({found.Utf8()});
    }
    return Usage("address");
}

} // namespace gpsnav
