// The commands about places: dest, fav, history, note, and the user's own places (mark, places,
// rename, delete).
#include <filesystem>

#include "Answers.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

struct NamedList {
    std::string_view name;
    ListKind kind;
};
constexpr NamedList kDestLists[] = {{"poi", ListKind::kPois},
                                    {"fav", ListKind::kFavorites},
                                    {"history", ListKind::kHistory},
                                    {"note", ListKind::kNotes},
                                    {"place", ListKind::kPlaces}};

} // namespace

Answer Session::DestWhere() {
    auto config = Create<IDescriptionConfigurationObject>(CLSID_DescriptionConfigurationObject,
                                                          IID_IDescriptionConfigurationObject);
    Bstr text;
    HRESULT hr = m_core->DestinationWhereIs(CurrentMode(), config.Get(), text.Put());
    if (FAILED(hr)) return Failure("dest", hr);
    return Texts({Utf8(text)});
}

Answer Session::Dest(const std::vector<std::string>& args) {
    HRESULT hr = S_OK;
    if (args.empty()) return DestWhere();
    const std::string what = Lower(args[0]);
    for (const NamedList& list : kDestLists) {
        if (what != list.name) continue;
        if (args.size() < 2) return Usage("dest");
        Answer why;
        auto id = Choose(Entries(list.kind), {args.begin() + 1, args.end()}, &why);
        return id ? DestTo(list.kind, *id) : why;
    }
    if (what == "clear") {
        hr = m_core->DestinationClear();
        return FAILED(hr) ? Failure("dest", hr) : Fact("Destination cleared.");
    } else if (what == "here") {
        hr = m_core->DestinationSetByLocation(Here().Get());
    } else if (what == "address") {
        if (!m_address)
            return Fact("No address found yet: use address first.", Answer::Status::kFailed);
        hr = m_core->DestinationSetByAddress(m_address.Get());
    } else if (auto at = ParseLatLon(args[0])) {
        auto location = NewLocation(at->latitude, at->longitude);
        const std::string name = Join(args, 1);
        if (!name.empty()) location->SetName(Bstr(name).Get());
        hr = m_core->DestinationSetByLocation(location.Get());
    } else {
        return Usage("dest");
    }
    if (FAILED(hr)) return Failure("dest", hr);
    return DestWhere();
}

Answer Session::Fav(const std::vector<std::string>& args) {
    HRESULT hr;
    const std::string what = args.empty() ? "" : Lower(args[0]);
    if (what == "add") {
        auto here = Here();
        const std::string name = Join(args, 1);
        if (here && !name.empty()) here->SetName(Bstr(name).Get());
        VARIANT_BOOL added = VARIANT_FALSE;
        hr = m_core->FavoritesAddLocation(here.Get(), &added);
        if (FAILED(hr)) return Failure("fav", hr);
        return Fact(added ? "Added to the favorites." : "Not added to the favorites.",
                    added ? Answer::Status::kOk : Answer::Status::kFailed);
    }
    if (what == "rename" || what == "delete") {
        const bool rename = what == "rename";
        if (args.size() < (rename ? 3u : 2u)) return Usage("fav");
        const std::string name = Join(args, 2);
        return ChangePlace(ListKind::kFavorites, args[1], rename ? &name : nullptr, "fav");
    }
    if (!args.empty()) return Usage("fav");
    return ShowList(ListKind::kFavorites, Entries(ListKind::kFavorites).entries, "No favorites.");
}

// Listed without numbers, as they always were: the entries still count from 1 for pick.
Answer Session::History() {
    return ShowList(ListKind::kHistory, Entries(ListKind::kHistory).entries,
                    "No places in the history.");
}

Answer Session::Note(const std::vector<std::string>& args) {
    HRESULT hr;
    if (args.empty())
        return ShowList(ListKind::kNotes, Entries(ListKind::kNotes).entries, "No annotations.");
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

Answer Session::Mark(const std::vector<std::string>& args) {
    if (args.empty() || args[0].empty()) return Usage("mark");
    std::size_t noteAt = 1;
    while (noteAt < args.size() && Lower(args[noteAt]) != "note")
        ++noteAt;
    const std::string note = Join(args, noteAt + 1);
    if (noteAt < args.size() && note.empty()) return Usage("mark");
    std::optional<std::pair<SHORT, SHORT>> category;
    if (noteAt > 1) {
        Answer why;
        category = CategoryNamed(Lower(Join(args, 1, noteAt)), &why);
        if (!category) return why;
    }
    ComPtr<IPOIObject> place;
    HRESULT hr = m_core->POICreate(CurrentMode(), POICreationTypeUserPriate, place.Put());
    if (FAILED(hr) || !place) return Failure("mark", FAILED(hr) ? hr : E_FAIL);
    VARIANT_BOOL valid = VARIANT_FALSE;
    place->IsValid(&valid);
    if (!valid)
        return Fact("There is no position yet to mark: wait for a fix, or use mode virtual.",
                    Answer::Status::kFailed);
    place->SetName(Bstr(args[0]).Get());
    if (!note.empty()) place->SetDescription(Bstr(note).Get());
    if (category) {
        place->SetCategoryNumber(category->first);
        place->SetSubCategoryNumber(category->second > 0 ? category->second : SHORT{0});
    }
    // In and out: the service answers the POI it kept, with its key.
    IPOIObject* kept = place.Detach();
    hr = m_core->POIAdd(&kept);
    place = ComPtr<IPOIObject>::Adopt(kept);
    LONG key = 0;
    if (SUCCEEDED(hr) && place) place->GetKey(&key);
    if (FAILED(hr) || key <= 0)
        return Fact("The place could not be kept.", Answer::Status::kFailed);
    if (m_listing.kind == ListKind::kPlaces) m_listing = {};
    return Fact("Marked " + args[0] + ".");
}

Answer Session::Places() {
    Listing places = Entries(ListKind::kPlaces);
    return ShowList(ListKind::kPlaces, std::move(places.entries),
                    "No places of your own yet: mark one with mark NAME.", std::move(places.ids));
}

Answer Session::RenamePlace(const std::vector<std::string>& args) {
    if (args.size() < 2) return Usage("rename");
    const std::string name = Join(args, 1);
    return ChangePlace(ListKind::kPlaces, args[0], &name, "rename");
}

Answer Session::DeletePlace(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("delete");
    return ChangePlace(ListKind::kPlaces, Join(args), nullptr, "delete");
}

// A favorite or one of the user's own places, chosen by number or name, renamed (to `name`) or
// deleted (without one) in the store it came from.
Answer Session::ChangePlace(ListKind kind, const std::string& which, const std::string* name,
                            const char* command) {
    Answer why;
    auto id = Choose(Entries(kind), {which}, &why);
    if (!id) return why;
    ComPtr<IPOIObject> place;
    HRESULT hr = kind == ListKind::kFavorites
                     ? m_core->FavoritesGetItem(static_cast<SHORT>(*id), place.Put())
                     : m_core->POIGetUser(static_cast<LONG>(*id), place.Put());
    if (FAILED(hr) || !place) return Failure(command, FAILED(hr) ? hr : E_FAIL);
    Bstr old;
    place->GetName(old.Put());
    VARIANT_BOOL done = VARIANT_FALSE;
    if (name != nullptr) {
        place->SetName(Bstr(*name).Get());
        hr = m_core->POIUpdate(place.Get(), &done);
    } else {
        hr = m_core->POIDelete(place.Get(), &done);
    }
    if (FAILED(hr)) return Failure(command, hr);
    if (m_listing.kind == kind) m_listing = {};
    const std::string said = (kind == ListKind::kFavorites ? "Favorite " : "") + old.Utf8();
    if (!done)
        return Fact(said + (name ? " could not be renamed." : " could not be deleted."),
                    Answer::Status::kFailed);
    return Fact(said + (name ? " renamed to " + *name + "." : " deleted."));
}

} // namespace gpsnav
