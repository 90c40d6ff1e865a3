#include "poi/PersonalPlaces.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "os/env.h"
#include "os/path.h"
#include "poi/POIObject.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

constexpr SHORT kPersonalCategory = 18;
constexpr SHORT kMaxHistory = 25;

Bstr Text16(std::u16string_view text) {
    return Bstr(text);
}

// A media file named by its path (a new recording) rather than by the name it has in a store.
bool IsMediaPath(std::u16string_view media) {
    return media.find_first_of(u"/\\") != std::u16string_view::npos;
}

// Adds `record` to `file`: a record in the way is deleted and the add tried once more.
bool AddRecord(const ServiceContext& context, const std::u16string& file, IPOIRecord* record,
               std::u16string_view media, const char* failure, const char* secondFailure) {
    IPOIDatabase* store = context.m_pHistoryDatabase.Get();
    if (store == nullptr || record == nullptr) return false;
    const Bstr path = Text16(file);
    const Bstr source = Text16(media);
    // A refused add names the record in its way; that one goes and the add is tried once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        LONG key = 0;
        VARIANT_BOOL added = VARIANT_FALSE, deleted = VARIANT_FALSE;
        store->DbPOIAdd(path.Get(), record, source.Get(), &key, &added);
        if (Flag(added)) return true;
        context.Log(attempt == 0 ? failure : secondFailure);
        if (key <= 0) return false;
        store->DbPOIDelete(path.Get(), key, &deleted);
        if (!Flag(deleted)) return false;
    }
    return false;
}

} // namespace

std::u16string PersonalPlaces::BesideMaps(const std::u16string& directory,
                                          std::u16string_view name) {
    std::u16string path = directory;
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
    return path + std::u16string(name);
}

std::u16string PersonalPlaces::HistoryFile(const std::u16string& directory) {
    return BesideMaps(directory, u"History.hdb");
}
std::u16string PersonalPlaces::FavoritesFile(const std::u16string& directory) {
    return BesideMaps(directory, u"Favorites.fdb");
}
std::u16string PersonalPlaces::AnnotationsFile(const std::u16string& directory) {
    return BesideMaps(directory, u"Annotations.adb");
}

std::u16string PersonalPlaces::Folder() const {
    const auto settings = m_context.SystemSettings();
    return settings ? settings->mapPOIDirectory : std::u16string();
}

std::u16string PersonalPlaces::Author() const {
    const auto settings = m_context.SystemSettings();
    return settings && !settings->poiAuthor.empty() ? settings->poiAuthor
                                                    : std::u16string(kDefaultAuthor);
}

bool PersonalPlaces::AddLocationTo(const std::u16string& file, const Place& place,
                                   std::u16string_view name, bool history) {
    IPOIDatabase* store = m_context.m_pHistoryDatabase.Get();
    if (store == nullptr || m_context.m_pUtility == nullptr) return false;
    ComPtr<IPOIRecord> record;
    if (FAILED(gpslib::CreateObject(CLSID_POIRecord, IID_IPOIRecord, &record))) return false;
    const std::u16string_view placeName = name.empty() ? std::u16string_view(place.name) : name;
    record->SetName(Text16(m_context.m_pUtility->ForStorage(placeName)).Get());
    record->SetLatitude(place.latitude);
    record->SetLongitude(place.longitude);
    record->SetCategoryNumber(kPersonalCategory);
    record->SetSubCategoryNumber(0);
    record->SetIsUserPOI(VARIANT_TRUE);
    record->SetAuthor(Text16(Author()).Get());
    if (!history) record->SetDescription(Text16(place.description).Get());
    const Bstr path = Text16(file);
    if (history) {
        // The oldest entry (the lowest key) makes room for the newest.
        SHORT count = 0;
        store->DbPOIGetCount(path.Get(), &count);
        for (; count >= kMaxHistory; --count) {
            Bstr oldestName;
            LONG oldest = 0;
            VARIANT_BOOL found = VARIANT_FALSE, deleted = VARIANT_FALSE;
            store->DbPOIGetByPosition(path.Get(), 0, oldestName.Put(), &oldest, &found);
            if (!Flag(found)) break;
            store->DbPOIDelete(path.Get(), oldest, &deleted);
            if (!Flag(deleted)) break;
        }
        if (AddRecord(m_context, file, record.Get(), u"",
                      "GPSCore::AddToHistory Error Unable to add a place",
                      "GPSCore::AddToHistory Error Unable to readd a place"))
            return true;
        m_context.Log("GPSCore::AddToHistory Error Unable to add a place to the history");
        return false;
    }
    return AddRecord(m_context, file, record.Get(), u"",
                     "GPSCore::AddToFavorites Error Unable to add Favorite",
                     "GPSCore::AddToFavorites Error Unable to readd Favorite");
}

void PersonalPlaces::AddToHistory(const std::optional<Place>& place, std::u16string_view name) {
    if (place) AddLocationTo(HistoryFile(Folder()), *place, name, true);
}

bool PersonalPlaces::FavoritesAddLocation(const Place& place) {
    if (place.latitude == 0.0 && place.longitude == 0.0) return false;
    return AddLocationTo(FavoritesFile(Folder()), place, u"", false);
}

bool PersonalPlaces::FavoritesAddAddress(const AddressPlace& place) {
    // An address the search has not placed on the map cannot be found again.
    if (!place.HasPosition()) return false;
    if (!std::isfinite(place.latitude) || !std::isfinite(place.longitude)) return false;
    POIData poi;
    poi.latitude = place.latitude;
    poi.longitude = place.longitude;
    // The address text is the number and the street ("12 Main Street"); the number alone is
    // what comes before the street.
    std::u16string number;
    if (!place.street.empty() && place.address.size() > place.street.size() &&
        place.address.compare(place.address.size() - place.street.size(), place.street.size(),
                              place.street) == 0) {
        number = place.address.substr(0, place.address.size() - place.street.size());
        while (!number.empty() && (number.back() == u' ' || number.back() == u','))
            number.pop_back();
    }
    poi.name = place.SpokenName(u"");
    poi.addressNumber = number;
    poi.street = place.street;
    poi.city = place.city;
    poi.zipCode = place.postalCode;
    poi.category = kPersonalCategory;
    poi.subCategory = 0;
    return CopyPOITo(FavoritesFile(Folder()), poi, false);
}

bool PersonalPlaces::FavoritesAddPOI(const POIData& poi) {
    return CopyPOITo(FavoritesFile(Folder()), poi, false);
}

bool PersonalPlaces::AnnotationsAdd(const POIData& poi) {
    m_annotations.reset();
    return CopyPOITo(AnnotationsFile(Folder()), poi, true);
}

bool PersonalPlaces::CopyPOITo(const std::u16string& file, const POIData& poi, bool annotation) {
    if (!m_context.m_pHistoryDatabase || m_context.m_pUtility == nullptr) return false;
    ComPtr<IPOIRecord> record = NewPOIRecord(poi);
    if (!record) return false;
    // A new record of its own: the store chooses the key.
    record->SetKey(0);
    StripSpellDecorators(m_context, record.Get());
    if (annotation) {
        record->SetCategoryNumber(kAnnotationCategory);
        record->SetSubCategoryNumber(kAnnotationSubCategory);
        record->SetIsPrivate(VARIANT_FALSE);
    }
    record->SetIsUserPOI(VARIANT_TRUE);
    if (poi.author.empty()) record->SetAuthor(Text16(Author()).Get());

    // The media file comes from the POI's own store through the scratch file, or, for a new
    // recording that no store holds yet, straight from its path.
    std::u16string source;
    const std::u16string& media = poi.mediaFile;
    if (!media.empty()) {
        const std::u16string& from = poi.pdbFile;
        if (IsMediaPath(media) && from.empty()) {
            source = media;
            record->SetMediaFile(
                Bstr(std::string_view(gpslib::os::BaseName(gpslib::ToUtf8(media)))).Get());
        } else {
            const std::u16string folder = Folder();
            const std::u16string scratch = BesideMaps(folder, u"TEMP");
            bool personal = false;
            for (const std::u16string& f :
                 {HistoryFile(folder), FavoritesFile(folder), AnnotationsFile(folder)})
                personal = personal || SamePath(f, from);
            IPOIDatabase* owner =
                personal ? m_context.m_pHistoryDatabase.Get() : m_context.m_pPOIDatabase.Get();
            VARIANT_BOOL extracted = VARIANT_FALSE;
            if (owner != nullptr && !from.empty())
                owner->DbPOIExtractMediaFile(Text16(from).Get(), poi.key, Text16(media).Get(),
                                             Text16(scratch).Get(), &extracted);
            if (Flag(extracted)) {
                source = scratch;
            } else {
                m_context.Log(annotation ? "GPSCore::AddToAnnotation Error Unable to extract media "
                                           "file from original, clearing file in Favorites"
                                         : "GPSCore::AddToFavorites Error Unable to extract media "
                                           "file from original, clearing file in Favorites");
                record->SetMediaFile(Bstr(u"").Get());
            }
        }
    }
    const bool added =
        annotation ? AddRecord(m_context, file, record.Get(), source,
                               "GPSCore::AddToAnnotations Error Unable to add an Annotation",
                               "GPSCore::AddToAnnotations Error Unable to add an Annotation")
                   : AddRecord(m_context, file, record.Get(), source,
                               "GPSCore::AddToFavorites Error Unable to add Favorite",
                               "GPSCore::AddToFavorites Error Unable to readd Favorite");
    if (!source.empty() && source != media)
        (void)m_context.Env().RemoveFile(gpslib::os::NativePath(gpslib::ToUtf8(source)));
    return added;
}

std::int16_t PersonalPlaces::FavoritesCount() const {
    SHORT n = 0;
    if (m_context.m_pHistoryDatabase)
        m_context.m_pHistoryDatabase->DbPOIGetCount(Text16(FavoritesFile(Folder())).Get(), &n);
    return n;
}

std::int16_t PersonalPlaces::AnnotationsCount() const {
    SHORT n = 0;
    if (m_context.m_pHistoryDatabase)
        m_context.m_pHistoryDatabase->DbPOIGetCount(Text16(AnnotationsFile(Folder())).Get(), &n);
    return n;
}

bool PersonalPlaces::NamesAndKeys(const std::u16string& file, std::vector<std::u16string>* names,
                                  std::vector<std::int32_t>* keys) const {
    names->clear();
    keys->clear();
    IPOIDatabase* store = m_context.m_pHistoryDatabase.Get();
    if (store == nullptr) return false;
    gpslib::Variant nameList, keyList;
    SHORT count = 0;
    if (FAILED(store->DbPOIGetNamesAndKeys(Text16(file).Get(), &nameList, &keyList, &count)))
        return false;
    if (FAILED(gpslib::ReadStringList(&nameList, names)) ||
        FAILED(gpslib::ReadLongList(&keyList, std::numeric_limits<std::size_t>::max(), keys)) ||
        names->size() != keys->size()) {
        names->clear();
        keys->clear();
        return false;
    }
    return true;
}

std::optional<POIData> PersonalPlaces::Entry(const std::u16string& file, std::int16_t index,
                                             const Standpoint& here) const {
    IPOIDatabase* store = m_context.m_pHistoryDatabase.Get();
    if (store == nullptr || index < 0) return std::nullopt;
    const Bstr path = Text16(file);
    Bstr name;
    LONG key = 0;
    VARIANT_BOOL found = VARIANT_FALSE, active = VARIANT_FALSE;
    store->DbPOIGetByPosition(path.Get(), index, name.Put(), &key, &found);
    if (!Flag(found)) return std::nullopt;
    store->SetActiveDatabase(path.Get(), &active);
    return ShowRecord(m_context, store, name.Get(), key, index, here);
}

std::u16string PersonalPlaces::Describe(const POIData& poi, const Standpoint& here) const {
    std::u16string text = poi.name;
    // A part the name already says (an address kept as a favourite is named by it) is not
    // said twice.
    auto add = [&text](const std::u16string& part) {
        if (part.empty() || text.find(part) != std::u16string::npos) return;
        if (!text.empty()) text += u", ";
        text += part;
    };
    add(poi.addressNumber.empty() || poi.street.empty() ? poi.street
                                                        : poi.addressNumber + u" " + poi.street);
    add(poi.city);
    const Place there{poi.latitude, poi.longitude, {}, {}};
    if (here.Valid() && (there.latitude != 0.0 || there.longitude != 0.0))
        add(here.DistanceAndHeading(there));
    const SideOfStreet side = poi.sideOfStreet.value_or(SideUnknown);
    if (side == LeftSide) add(m_context.String(ids::kOnLeftSide));
    if (side == RightSide) add(m_context.String(ids::kOnRightSide));
    return text;
}

std::vector<std::u16string> PersonalPlaces::DescribeAll(const std::u16string& file,
                                                        const Standpoint& here) const {
    std::vector<std::u16string> names, texts;
    std::vector<std::int32_t> keys;
    NamesAndKeys(file, &names, &keys);
    IPOIDatabase* store = m_context.m_pHistoryDatabase.Get();
    if (store != nullptr && !keys.empty()) {
        VARIANT_BOOL active = VARIANT_FALSE;
        store->SetActiveDatabase(Text16(file).Get(), &active);
    }
    for (std::size_t i = 0; i < keys.size() && i < 32767; ++i) {
        const std::optional<POIData> poi = ShowRecord(m_context, store, Text16(names[i]).Get(),
                                                      keys[i], static_cast<LONG>(i), here);
        texts.push_back(poi ? Describe(*poi, here) : std::u16string());
    }
    return texts;
}

std::vector<std::u16string> PersonalPlaces::HistoryList(const Standpoint& here) const {
    return DescribeAll(HistoryFile(Folder()), here);
}

std::optional<Place> PersonalPlaces::HistoryItem(std::int16_t index) const {
    const std::optional<POIData> poi = Entry(HistoryFile(Folder()), index, Standpoint{});
    // The entry's own name and description travel with its place.
    if (!poi) return std::nullopt;
    return Place{poi->latitude, poi->longitude, poi->name, poi->description};
}

std::vector<std::u16string> PersonalPlaces::FavoritesList(const Standpoint& here) const {
    return DescribeAll(FavoritesFile(Folder()), here);
}

std::optional<POIData> PersonalPlaces::FavoritesItem(std::int16_t index,
                                                     const Standpoint& here) const {
    return Entry(FavoritesFile(Folder()), index, here);
}

std::vector<std::u16string> PersonalPlaces::AnnotationsList(const Standpoint& here) const {
    return DescribeAll(AnnotationsFile(Folder()), here);
}

std::optional<POIData> PersonalPlaces::AnnotationsItem(std::int16_t index, const Standpoint& here,
                                                       std::u16string* description) const {
    std::optional<POIData> poi = Entry(AnnotationsFile(Folder()), index, here);
    *description = poi ? Describe(*poi, here) : std::u16string();
    return poi;
}

const std::vector<PersonalPlaces::Annotation>& PersonalPlaces::Annotations() const {
    const std::u16string file = AnnotationsFile(Folder());
    const std::int16_t count = AnnotationsCount();
    if (m_annotations && file == m_annotationsFile && count == m_nAnnotationsCount)
        return *m_annotations;
    m_annotations = std::make_unique<std::vector<Annotation>>();
    m_annotationsFile = file;
    m_nAnnotationsCount = count;
    std::vector<std::u16string> names;
    std::vector<std::int32_t> keys;
    IPOIDatabase* store = m_context.m_pHistoryDatabase.Get();
    if (store == nullptr || !NamesAndKeys(file, &names, &keys)) return *m_annotations;
    VARIANT_BOOL active = VARIANT_FALSE;
    store->SetActiveDatabase(Text16(file).Get(), &active);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        ComPtr<IPOIRecord> record;
        VARIANT_BOOL found = VARIANT_FALSE;
        store->DbPOIGet(Text16(names[i]).Get(), keys[i], record.Put(), &found);
        if (!Flag(found) || !record) continue;
        Annotation a;
        record->GetLatitude(&a.latitude);
        record->GetLongitude(&a.longitude);
        a.name = names[i];
        a.details = Field(record.Get(), &IPOIRecord::GetDescription);
        if (a.latitude == 0.0 && a.longitude == 0.0) continue; // placed nowhere
        m_annotations->push_back(std::move(a));
    }
    return *m_annotations;
}

bool PersonalPlaces::AnnotationNear(double latitude, double longitude, std::u16string* name,
                                    std::u16string* details) const {
    if ((latitude == 0.0 && longitude == 0.0) || m_context.m_pUtility == nullptr) return false;
    const Units units = m_context.CurrentUnits();
    SHORT threshold = 0;
    if (auto settings = m_context.SystemSettings())
        threshold = settings->ArrivedNearThreshold(units);
    const Annotation* nearest = nullptr;
    std::int32_t best = std::numeric_limits<std::int32_t>::max();
    for (const Annotation& a : Annotations()) {
        const std::int32_t d = gpslib::geo::DistanceInUnits(
            {latitude, longitude}, {a.latitude, a.longitude}, static_cast<int>(units));
        if (d < best) {
            best = d;
            nearest = &a;
        }
    }
    if (nearest == nullptr || best > threshold) return false;
    if (name != nullptr) *name = nearest->name;
    if (details != nullptr) *details = nearest->details;
    return true;
}

bool PersonalPlaces::AnnotationsIsNear(const Standpoint& here) const {
    const Place at = here.place.value_or(Place{});
    return AnnotationNear(at.latitude, at.longitude, nullptr, nullptr);
}

} // namespace gpscore
