// The POI categories a client lists, and the user's own POIs in "user.pdb" beside the maps: the
// second half of POISearch, apart from the search itself.
#include <limits>
#include <vector>

#include "base/Descriptions.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "os/env.h"
#include "os/path.h"
#include "poi/POIObject.h"
#include "poi/POISearch.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

// ---------------------------------------------------------------------------------------------
// Categories.

std::vector<POICategoryEntry> POISearch::Categories(bool all, bool includeUserPrivate) const {
    std::vector<bool> present(kCategoryCount + 1, all);
    if (!all) {
        for (std::int32_t c : m_context.Map().LoadedPOICategories())
            if (c >= 1 && c <= kCategoryCount) present[static_cast<std::size_t>(c)] = true;
    }
    if (all && !includeUserPrivate) present[kUserCategory] = false;
    std::vector<POICategoryEntry> entries{{0, 0, ids::kAllCategories}};
    for (std::int16_t c : kCategoryDisplayOrder)
        if (present[static_cast<std::size_t>(c)])
            entries.push_back({c, 0, c == kOtherCategory ? ids::kOtherPlaces : 0});
    return entries;
}

std::vector<POICategoryEntry> POISearch::SubCategories(std::int16_t category, bool all,
                                                       bool includeUserPrivate) const {
    std::vector<POICategoryEntry> entries;
    if (category < 1 || category > kCategoryCount) return entries;
    entries.push_back({category, 0, all ? ids::kAnyType : ids::kAllSubcategories});
    if (category == kUserCategory) {
        if (includeUserPrivate || !all) entries.push_back({category, kUserPrivateSubCategory, 0});
        entries.push_back({category, kUserPublicSubCategory, 0});
    } else {
        // A subcategory exists while its name does.
        for (std::int16_t s = 1; s < 500; ++s) {
            if (m_context.String(SubCategoryNameId(category, s)).empty()) break;
            entries.push_back({category, s, 0});
        }
    }
    return entries;
}

std::int16_t POISearch::CommercialFilesLoaded() const {
    return static_cast<std::int16_t>(m_context.Map().CommercialPOIFilesLoaded());
}

// ---------------------------------------------------------------------------------------------
// The user's own POIs.

namespace {

// The database of the user file, or of the personal stores.
IPOIDatabase* StoreOf(const ServiceContext& context, bool personal) {
    return personal ? context.m_pHistoryDatabase.Get() : context.m_pPOIDatabase.Get();
}

} // namespace

std::u16string POISearch::MapFolder() const {
    const auto settings = m_context.SystemSettings();
    return settings ? settings->mapPOIDirectory : std::u16string();
}

std::u16string POISearch::Author() const {
    const auto settings = m_context.SystemSettings();
    return settings ? settings->poiAuthor : std::u16string();
}

std::u16string POISearch::UserFile() const {
    return PersonalPlaces::BesideMaps(MapFolder(), u"user.pdb");
}

std::int16_t POISearch::UserCount() const {
    SHORT n = 0;
    if (m_context.m_pPOIDatabase)
        m_context.m_pPOIDatabase->DbPOIGetCount(Bstr(std::u16string_view(UserFile())).Get(), &n);
    return n;
}

std::optional<POIData> POISearch::Create(POICreationType type, const Standpoint& here) const {
    if (!m_context.m_pPOIDatabase) return std::nullopt;
    const bool annotation = type == POICreationTypeAnnotation;
    POIData poi;
    poi.category = annotation ? kAnnotationCategory : kUserCategory;
    poi.subCategory = annotation ? kAnnotationSubCategory : kUserPrivateSubCategory;
    poi.isPrivate = !annotation;
    poi.userPOI = true;
    poi.canModifyRMFFields = true;
    poi.author = Author();
    if (here.Valid()) {
        poi.latitude = here.place->latitude;
        poi.longitude = here.place->longitude;
        // The address comes from the map, undecorated.
        if (auto detail = m_context.Map().FirstDetail(poi.latitude, poi.longitude, MapWords::kAll,
                                                      here.heading)) {
            poi.street = detail->streetNameShort;
            poi.city = detail->city;
            poi.state = detail->stateProvince;
            poi.zipCode = detail->zipPostalcode;
            poi.country = detail->country;
        }
    }
    return poi;
}

POIData POISearch::CreateUser(const Place& location) {
    POIData poi;
    poi.latitude = location.latitude;
    poi.longitude = location.longitude;
    poi.name = location.name;
    poi.category = kUserCategory;
    poi.subCategory = kUserPrivateSubCategory;
    poi.isPrivate = true;
    Add(poi);
    return poi;
}

bool POISearch::Add(POIData& poi) {
    IPOIDatabase* database = m_context.m_pPOIDatabase.Get();
    if (database == nullptr) return false;
    // A user POI lives in the user category unless it names another that exists.
    if (poi.category < 1 || poi.category > kCategoryCount) {
        poi.category = kUserCategory;
        poi.subCategory = poi.isPrivate ? kUserPrivateSubCategory : kUserPublicSubCategory;
    }
    poi.userPOI = true;
    if (poi.author.empty()) {
        poi.author = Author();
        if (poi.author.empty()) poi.author = kDefaultAuthor;
    }
    ComPtr<IPOIRecord> record = NewPOIRecord(poi);
    if (!record) return false;
    // A media file named by its path is read in; a bare name is one the record already holds.
    const std::u16string media = poi.mediaFile;
    const bool mediaPath = media.find_first_of(u"/\\") != std::u16string::npos;
    if (mediaPath)
        record->SetMediaFile(
            Bstr(std::string_view(gpslib::os::BaseName(gpslib::ToUtf8(media)))).Get());
    LONG key = 0;
    VARIANT_BOOL added = VARIANT_FALSE;
    const std::u16string file = UserFile();
    database->DbPOIAdd(Bstr(file).Get(), record.Get(),
                       Bstr(std::u16string_view(mediaPath ? media : u"")).Get(), &key, &added);
    if (!Flag(added)) {
        m_context.Log("GPSCore::POIAdd Error Unable to add a user POI");
        return false;
    }
    poi.key = key;
    poi.pdbFile = file;
    if (mediaPath) poi.mediaFile = Field(record.Get(), &IPOIRecord::GetMediaFile);
    return true;
}

std::optional<POISearch::Owner> POISearch::OwningFile(const std::u16string& pdb) const {
    const std::u16string user = UserFile();
    if (pdb.empty() || SamePath(pdb, user)) {
        if (!m_context.m_pPOIDatabase) return std::nullopt;
        return Owner{false, user};
    }
    const std::u16string dir = MapFolder();
    for (const std::u16string& personal :
         {PersonalPlaces::FavoritesFile(dir), PersonalPlaces::AnnotationsFile(dir),
          PersonalPlaces::HistoryFile(dir)}) {
        if (SamePath(pdb, personal)) {
            if (!m_context.m_pHistoryDatabase) return std::nullopt;
            return Owner{true, personal};
        }
    }
    return std::nullopt;
}

bool POISearch::Update(const POIData& poi) {
    const std::optional<Owner> owner = OwningFile(poi.pdbFile);
    if (!owner) return false;
    ComPtr<IPOIRecord> record = NewPOIRecord(poi);
    if (!record) return false;
    // Names written back are stored without the spell decorators they were shown with.
    StripSpellDecorators(m_context, record.Get());
    const std::u16string& media = poi.mediaFile;
    const bool mediaPath = media.find_first_of(u"/\\") != std::u16string::npos;
    if (mediaPath)
        record->SetMediaFile(
            Bstr(std::string_view(gpslib::os::BaseName(gpslib::ToUtf8(media)))).Get());
    VARIANT_BOOL updated = VARIANT_FALSE;
    StoreOf(m_context, owner->personal)
        ->DbPOIUpdate(Bstr(owner->file).Get(), record.Get(),
                      Bstr(std::u16string_view(mediaPath ? media : u"")).Get(), &updated);
    return Flag(updated);
}

bool POISearch::Delete(const POIData& poi) {
    const std::optional<Owner> owner = OwningFile(poi.pdbFile);
    if (!owner) return false;
    VARIANT_BOOL deleted = VARIANT_FALSE;
    if (poi.key > 0)
        StoreOf(m_context, owner->personal)
            ->DbPOIDelete(Bstr(owner->file).Get(), poi.key, &deleted);
    return Flag(deleted);
}

std::optional<POIData> POISearch::GetUser(std::int32_t index, const Standpoint& here) const {
    IPOIDatabase* database = m_context.m_pPOIDatabase.Get();
    if (database == nullptr || index < 0) return std::nullopt;
    const Bstr file{std::u16string_view(UserFile())};
    Bstr name;
    LONG key = 0;
    VARIANT_BOOL found = VARIANT_FALSE;
    database->DbPOIGetByPosition(file.Get(), index, name.Put(), &key, &found);
    if (!Flag(found)) return std::nullopt;
    VARIANT_BOOL active = VARIANT_FALSE;
    database->SetActiveDatabase(file.Get(), &active);
    return ShowRecord(m_context, database, name.Get(), key, index, here);
}

bool POISearch::AllUserNamesAndKeys(std::vector<std::u16string>* names,
                                    std::vector<std::int32_t>* keys) const {
    names->clear();
    keys->clear();
    gpslib::Variant nameList, keyList;
    SHORT count = 0;
    if (!m_context.m_pPOIDatabase ||
        FAILED(m_context.m_pPOIDatabase->DbPOIGetNamesAndKeys(
            Bstr(std::u16string_view(UserFile())).Get(), &nameList, &keyList, &count)) ||
        FAILED(gpslib::ReadStringList(&nameList, names)) ||
        FAILED(gpslib::ReadLongList(&keyList, std::numeric_limits<std::size_t>::max(), keys))) {
        names->clear();
        keys->clear();
        return false;
    }
    return true;
}

std::int32_t POISearch::UserNextFreeKey() const {
    LONG key = 0;
    if (m_context.m_pPOIDatabase)
        m_context.m_pPOIDatabase->DbPOIGetNextFreeKey(Bstr(std::u16string_view(UserFile())).Get(),
                                                      &key);
    return key;
}

void POISearch::AddTag(std::int16_t subCategory, std::u16string_view tag) {
    VARIANT_BOOL added = VARIANT_FALSE;
    if (m_context.m_pPOIDatabase && !tag.empty())
        m_context.m_pPOIDatabase->DbPOIAddTag(Bstr(std::u16string_view(UserFile())).Get(),
                                              subCategory, Bstr(tag).Get(), &added);
}

std::vector<std::u16string> POISearch::Tags(std::int16_t subCategory) const {
    std::vector<std::u16string> tags;
    gpslib::Variant list;
    SHORT n = 0;
    if (!m_context.m_pPOIDatabase ||
        FAILED(m_context.m_pPOIDatabase->DbPOIGetTags(Bstr(std::u16string_view(UserFile())).Get(),
                                                      subCategory, &list, &n)) ||
        FAILED(gpslib::ReadStringList(&list, &tags)))
        tags.clear();
    return tags;
}

bool POISearch::ExtractMediaFile(const POIData& poi, std::u16string_view mediaFileName,
                                 std::u16string_view target) const {
    std::u16string file = poi.pdbFile;
    IPOIDatabase* database = m_context.m_pPOIDatabase.Get();
    if (const std::optional<Owner> owner = OwningFile(poi.pdbFile)) {
        file = owner->file;
        database = StoreOf(m_context, owner->personal);
    }
    if (database == nullptr || target.empty()) return false;
    const Bstr name(mediaFileName.empty() ? std::u16string_view(poi.mediaFile) : mediaFileName);
    VARIANT_BOOL extracted = VARIANT_FALSE;
    database->DbPOIExtractMediaFile(Bstr(file).Get(), poi.key, name.Get(), Bstr(target).Get(),
                                    &extracted);
    return Flag(extracted);
}

std::u16string POISearch::VacuumUserDatabase() {
    const std::u16string folder = MapFolder();
    struct Store {
        IPOIDatabase* database;
        std::u16string file;
        const char* failure;
    };
    const Store stores[] = {
        {m_context.m_pPOIDatabase.Get(), UserFile(),
         "POIVaccuumUserDatabase: User Database Failed DbPOICompressDatabase"},
        {m_context.m_pHistoryDatabase.Get(), PersonalPlaces::FavoritesFile(folder),
         "POIVaccuumUserDatabase: FavoritesDatabase Failed DbPOICompressDatabase"},
    };
    std::int64_t saved = 0;
    for (const Store& store : stores) {
        const std::string path = gpslib::os::NativePath(gpslib::ToUtf8(store.file));
        std::uint64_t before = 0, after = 0;
        if (!m_context.Env().FileExists(path)) continue;
        if (!m_context.Env().GetFileSize(path, &before).ok()) before = 0;
        VARIANT_BOOL compressed = VARIANT_FALSE;
        if (store.database != nullptr)
            store.database->DbPOICompressDatabase(Bstr(std::u16string_view(store.file)).Get(),
                                                  &compressed);
        if (!Flag(compressed)) {
            m_context.Log(store.failure);
            return m_context.String(ids::kCompactingFailed);
        }
        if (!m_context.Env().GetFileSize(path, &after).ok()) after = before;
        saved += static_cast<std::int64_t>(before) - static_cast<std::int64_t>(after);
    }
    if (m_context.m_pUtility == nullptr) return {};
    return m_context.m_pUtility->FormatString(ids::kDatabasesCompacted, {saved});
}

} // namespace gpscore
