// The list last heard: a page at a time (more), again from the start (list), and choosing one of
// its entries by number or name (pick, and the commands that take an entry of a list).
#include "Answers.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

// The texts of a list the service answers in a variant.
template <class Call> std::vector<std::string> ListOf(Call call) {
    gpslib::Variant list;
    return SUCCEEDED(call(&list)) ? StringsOf(&list) : std::vector<std::string>{};
}

} // namespace

Answer Session::ShowList(ListKind kind, std::vector<std::string> entries, std::string empty,
                         std::vector<long> ids, bool numbered) {
    if (ids.size() != entries.size()) {
        ids.clear();
        for (std::size_t i = 0; i < entries.size(); ++i)
            ids.push_back(static_cast<long>(i));
    }
    m_listing = Listing{kind, std::move(entries), std::move(ids), numbered, 0};
    if (m_listing.entries.empty()) return Texts({std::move(empty)});
    return NextPage();
}

Answer Session::NextPage() {
    Answer a;
    Listing& l = m_listing;
    const std::size_t end = std::min(l.entries.size(), l.said + kMaxListed);
    for (; l.said < end; ++l.said)
        a.texts.push_back((l.numbered ? std::to_string(l.said + 1) + ". " : "") +
                          l.entries[l.said]);
    if (l.said < l.entries.size())
        a.texts.push_back(std::to_string(l.entries.size() - l.said) +
                          " more; type more to hear them.");
    return a;
}

Answer Session::More() {
    if (m_listing.kind == ListKind::kNone) return Fact("No list yet.", Answer::Status::kFailed);
    if (m_listing.said >= m_listing.entries.size()) return Fact("That is the whole list.");
    return NextPage();
}

Answer Session::ListAgain() {
    if (m_listing.kind == ListKind::kNone) return Fact("No list yet.", Answer::Status::kFailed);
    if (m_listing.entries.empty()) return Fact("The list is empty.");
    m_listing.said = 0;
    return NextPage();
}

Listing Session::Entries(ListKind kind) {
    Listing l;
    l.kind = kind;
    const Mode mode = CurrentMode();
    switch (kind) {
    case ListKind::kPois: {
        auto config = Create<IPOIDescriptionConfigurationObject>(
            CLSID_POIDescriptionConfigurationObject, IID_IPOIDescriptionConfigurationObject);
        if (config) config->SetDescriptionDynamic(VARIANT_TRUE);
        LONG count = 0;
        l.entries = ListOf([&](VARIANT* v) {
            return m_core->POIGetLastSearchDescriptions(mode, config.Get(), v, &count);
        });
        break;
    }
    case ListKind::kFavorites: {
        SHORT count = 0;
        l.entries = ListOf([&](VARIANT* v) { return m_core->FavoritesGetList(mode, v, &count); });
        break;
    }
    case ListKind::kHistory: {
        SHORT count = 0;
        l.entries = ListOf([&](VARIANT* v) { return m_core->HistoryGetList(mode, v, &count); });
        break;
    }
    case ListKind::kNotes:
        l.entries = ListOf([&](VARIANT* v) { return m_core->AnnotationsGetList(mode, v); });
        break;
    case ListKind::kPlaces: {
        SHORT count = 0;
        m_core->POIsGetNumberOfUser(&count);
        auto config = Create<IDescriptionConfigurationObject>(CLSID_DescriptionConfigurationObject,
                                                              IID_IDescriptionConfigurationObject);
        for (LONG i = 0; i < count; ++i) {
            ComPtr<IPOIObject> poi;
            ComPtr<ILocationObject> at;
            Bstr name, text, category;
            if (FAILED(m_core->POIGetUser(i, poi.Put())) || !poi) continue;
            poi->GetName(name.Put());
            ComPtr<IPOICategoryObject> c;
            if (SUCCEEDED(poi->GetCategory(c.Put())) && c) c->GetCategoryName(category.Put());
            if (SUCCEEDED(poi->GetLocation(at.Put())) && at)
                m_core->GetDistanceAndHeading(mode, at.Get(), text.Put());
            std::string entry = name.Utf8();
            for (const std::string& part : {category.Utf8(), text.Utf8()})
                if (!part.empty()) entry += ", " + part;
            l.entries.push_back(std::move(entry));
            l.ids.push_back(i);
        }
        return l;
    }
    default:
        if (m_listing.kind == kind) return m_listing;
        return l;
    }
    for (std::size_t i = 0; i < l.entries.size(); ++i)
        l.ids.push_back(static_cast<long>(i));
    return l;
}

std::optional<long> Session::Choose(const Listing& list, const std::vector<std::string>& words,
                                    Answer* why) {
    const std::string wanted = Join(words);
    const std::size_t n = list.entries.size();
    if (n == 0) {
        *why = Fact("The list is empty.", Answer::Status::kFailed);
        return std::nullopt;
    }
    if (wanted.empty()) {
        if (n == 1) return list.ids[0];
        *why = Fact("Which one? A number from 1 to " + std::to_string(n) + ", or a name.",
                    Answer::Status::kUsage);
        return std::nullopt;
    }
    const EntryMatch match = MatchEntries(list.entries, wanted);
    if (match.entries.size() == 1) return list.ids[match.entries[0]];
    if (match.number) {
        *why = Fact("No entry " + wanted + ": the list has " + std::to_string(n) +
                        (n == 1 ? " entry." : " entries."),
                    Answer::Status::kFailed);
        return std::nullopt;
    }
    if (match.entries.empty()) {
        *why = Fact("Nothing in the list is called " + wanted + ".", Answer::Status::kFailed);
        return std::nullopt;
    }
    // Several: they become the list to pick from.
    std::vector<std::string> entries;
    std::vector<long> ids;
    for (std::size_t i : match.entries) {
        entries.push_back(list.entries[i]);
        ids.push_back(list.ids[i]);
    }
    const ListKind kind = list.kind;
    *why = ShowList(kind, std::move(entries), "", std::move(ids));
    why->texts.insert(why->texts.begin(), std::to_string(match.entries.size()) + " are called " +
                                              wanted + "; pick one:");
    why->status = Answer::Status::kFailed;
    return std::nullopt;
}

Answer Session::Pick(const std::vector<std::string>& args) {
    if (m_listing.kind == ListKind::kNone)
        return Fact("No list to pick from yet.", Answer::Status::kFailed);
    Answer why;
    const Listing list = m_listing;
    auto id = Choose(list, args, &why);
    if (!id) return why;
    switch (list.kind) {
    case ListKind::kCities:
    case ListKind::kStreets:
    case ListKind::kAddresses:
        return AddressPick(list.kind, static_cast<std::size_t>(*id));
    case ListKind::kDirections:
        return RouteGo(std::to_string(*id));
    default:
        return DestTo(list.kind, *id);
    }
}

Answer Session::DestTo(ListKind kind, long id) {
    HRESULT hr = E_INVALIDARG;
    ComPtr<IPOIObject> poi;
    ComPtr<ILocationObject> location;
    switch (kind) {
    case ListKind::kPois:
        hr = m_core->POIGet(static_cast<LONG>(id), poi.Put());
        break;
    case ListKind::kFavorites:
        hr = m_core->FavoritesGetItem(static_cast<SHORT>(id), poi.Put());
        break;
    case ListKind::kHistory:
        hr = m_core->HistoryGetItem(static_cast<SHORT>(id), location.Put());
        break;
    case ListKind::kNotes: {
        Bstr text;
        hr = m_core->AnnotationsGetItem(CurrentMode(), static_cast<SHORT>(id), poi.Put(),
                                        text.Put());
        break;
    }
    case ListKind::kPlaces:
        hr = m_core->POIGetUser(static_cast<LONG>(id), poi.Put());
        break;
    default:
        break;
    }
    if (SUCCEEDED(hr) && poi)
        hr = m_core->DestinationSetByPOI(poi.Get());
    else if (SUCCEEDED(hr) && location)
        hr = m_core->DestinationSetByLocation(location.Get());
    else if (SUCCEEDED(hr))
        hr = E_INVALIDARG;
    if (FAILED(hr)) return Failure("dest", hr);
    return DestWhere();
}

} // namespace gpsnav
