// The POI categories a client lists, and the user's own POIs in "user.pdb" beside the maps: the
// second half of POISearch, apart from the search itself.
#include <vector>

#include "base/Answers.h"
#include "base/Descriptions.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "os/env.h"
#include "os/path.h"
#include "poi/POICategoryObject.h"
#include "poi/POISearch.h"
#include "poi/POISubCategoryObject.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

// ---------------------------------------------------------------------------------------------
// Categories.

namespace {

ComPtr<IPOICategoryObject> NewCategory(SHORT number, LONG nameId) {
    ComPtr<IPOICategoryObject> category;
    if (FAILED(gpslib::CreateObject(CLSID_POICategoryObject, IID_IPOICategoryObject, &category)))
        return {};
    category->SetCategoryNumber(number);
    if (auto* impl = gpslib::ImplOf<CPOICategoryObject>(category.Get()))
        impl->SetNameStringId(nameId);
    return category;
}

ComPtr<IPOISubCategoryObject> NewSubCategory(SHORT category, SHORT number, LONG nameId) {
    ComPtr<IPOISubCategoryObject> sub;
    if (FAILED(gpslib::CreateObject(CLSID_POISubCategoryObject, IID_IPOISubCategoryObject, &sub)))
        return {};
    sub->SetMainCategoryNumber(category);
    sub->SetSubCategoryNumber(number);
    if (auto* impl = gpslib::ImplOf<CPOISubCategoryObject>(sub.Get()))
        impl->SetNameStringId(nameId);
    return sub;
}

// Hands out the objects and lets go of the references `objects` held.
HRESULT ReturnObjects(VARIANT* list, std::vector<IUnknown*>& objects, REFIID iid) {
    HRESULT hr = gpslib::ReturnObjectList(list, objects, iid);
    for (IUnknown* object : objects)
        object->Release();
    return hr;
}

template <class I> void Append(std::vector<IUnknown*>* objects, ComPtr<I> object) {
    if (object) objects->push_back(object.Detach());
}

} // namespace

HRESULT POISearch::Categories(bool all, bool includeUserPrivate, VARIANT* list) {
    std::vector<bool> present(kCategoryCount + 1, all);
    if (!all) {
        for (LONG c : m_context.Map().LoadedPOICategories())
            if (c >= 1 && c <= kCategoryCount) present[static_cast<std::size_t>(c)] = true;
    }
    if (all && !includeUserPrivate) present[kUserCategory] = false;
    std::vector<IUnknown*> objects;
    Append(&objects, NewCategory(0, ids::kAllCategories));
    for (SHORT c : kCategoryDisplayOrder)
        if (present[static_cast<std::size_t>(c)])
            Append(&objects, NewCategory(c, c == kOtherCategory ? ids::kOtherPlaces : 0));
    return ReturnObjects(list, objects, IID_IPOICategoryObject);
}

HRESULT POISearch::SubCategories(SHORT category, bool all, bool includeUserPrivate, VARIANT* list) {
    std::vector<IUnknown*> objects;
    if (category >= 1 && category <= kCategoryCount) {
        Append(&objects, NewSubCategory(category, 0, all ? ids::kAnyType : ids::kAllSubcategories));
        if (category == kUserCategory) {
            if (includeUserPrivate || !all)
                Append(&objects, NewSubCategory(category, kUserPrivateSubCategory, 0));
            Append(&objects, NewSubCategory(category, kUserPublicSubCategory, 0));
        } else {
            // A subcategory exists while its name does.
            for (SHORT s = 1; s < 500; ++s) {
                if (m_context.String(SubCategoryNameId(category, s)).empty()) break;
                Append(&objects, NewSubCategory(category, s, 0));
            }
        }
    }
    return ReturnObjects(list, objects, IID_IPOISubCategoryObject);
}

SHORT POISearch::CommercialFilesLoaded() const {
    return static_cast<SHORT>(m_context.Map().CommercialPOIFilesLoaded());
}

// ---------------------------------------------------------------------------------------------
// The user's own POIs.

std::u16string POISearch::UserFile() const {
    Bstr folder;
    if (auto settings = m_context.SystemSettings()) settings->GetMapPOIDirectory(folder.Put());
    return PersonalPlaces::BesideMaps(std::u16string(folder.View()), u"user.pdb");
}

SHORT POISearch::UserCount() const {
    SHORT n = 0;
    if (m_context.m_pPOIDatabase)
        m_context.m_pPOIDatabase->DbPOIGetCount(Bstr(std::u16string_view(UserFile())).Get(), &n);
    return n;
}

HRESULT POISearch::Create(Mode mode, POICreationType type, const ModePlaces& places,
                          IPOIObject** ppPOI) {
    ComPtr<IPOIObject> poi = NewPOI();
    if (!poi) return E_OUTOFMEMORY;
    if (!m_context.m_pPOIDatabase) {
        *ppPOI = poi.Detach();
        return S_OK;
    }
    const bool annotation = type == POICreationTypeAnnotation;
    poi->SetCategoryNumber(annotation ? kAnnotationCategory : kUserCategory);
    poi->SetSubCategoryNumber(annotation ? kAnnotationSubCategory : kUserPrivateSubCategory);
    poi->SetIsPrivate(annotation ? VARIANT_FALSE : VARIANT_TRUE);
    poi->SetIsUserPOI(VARIANT_TRUE);
    poi->SetCanModifyRMFFields(VARIANT_TRUE);
    Bstr author;
    if (auto settings = m_context.SystemSettings()) settings->GetPOIAuthor(author.Put());
    poi->SetAuthor(author.Get());

    ComPtr<ILocationObject> here = places.Location(mode);
    if (IsValidPlace(here.Get())) {
        DOUBLE latitude = 0, longitude = 0;
        here->GetLatitude(&latitude);
        here->GetLongitude(&longitude);
        poi->SetLatitude(latitude);
        poi->SetLongitude(longitude);
        // The address fields the user has not filled come from the map, undecorated.
        if (auto detail = m_context.Map().FirstDetail(latitude, longitude, MapWords::kAll,
                                                      places.Heading(mode))) {
            struct Fill {
                HRESULT (IPOIObject::*get)(BSTR*);
                HRESULT (IPOIObject::*set)(BSTR);
                std::u16string LocationDetail::*from;
            };
            static constexpr Fill kFills[] = {
                {&IPOIObject::GetStreet, &IPOIObject::SetStreet, &LocationDetail::streetNameShort},
                {&IPOIObject::GetCity, &IPOIObject::SetCity, &LocationDetail::city},
                {&IPOIObject::GetState, &IPOIObject::SetState, &LocationDetail::stateProvince},
                {&IPOIObject::GetZipCode, &IPOIObject::SetZipCode, &LocationDetail::zipPostalcode},
                {&IPOIObject::GetCountry, &IPOIObject::SetCountry, &LocationDetail::country},
            };
            for (const Fill& f : kFills) {
                if (!Field(poi.Get(), f.get).empty()) continue;
                (poi.Get()->*f.set)(Bstr(*detail.*f.from).Get());
            }
        }
    }
    *ppPOI = poi.Detach();
    return S_OK;
}

HRESULT POISearch::CreateUser(ILocationObject* location, IPOIObject** ppPOI) {
    ComPtr<IPOIObject> poi = NewPOI();
    if (!poi) return E_OUTOFMEMORY;
    DOUBLE latitude = 0, longitude = 0;
    location->GetLatitude(&latitude);
    location->GetLongitude(&longitude);
    poi->SetLatitude(latitude);
    poi->SetLongitude(longitude);
    poi->SetName(Bstr(std::u16string_view(NameOf(location))).Get());
    poi->SetCategoryNumber(kUserCategory);
    poi->SetSubCategoryNumber(kUserPrivateSubCategory);
    poi->SetIsPrivate(VARIANT_TRUE);
    Add(poi.Get());
    *ppPOI = poi.Detach();
    return S_OK;
}

bool POISearch::Add(IPOIObject* poi) {
    IPOIDatabase* database = m_context.m_pPOIDatabase.Get();
    if (database == nullptr || poi == nullptr) return false;
    // A user POI lives in the user category unless it names another that exists.
    SHORT category = 0;
    VARIANT_BOOL priv = VARIANT_FALSE;
    poi->GetCategoryNumber(&category);
    poi->IsPrivate(&priv);
    if (category < 1 || category > kCategoryCount) {
        poi->SetCategoryNumber(kUserCategory);
        poi->SetSubCategoryNumber(Flag(priv) ? kUserPrivateSubCategory : kUserPublicSubCategory);
    }
    poi->SetIsUserPOI(VARIANT_TRUE);
    if (Field(poi, &IPOIObject::GetAuthor).empty()) {
        Bstr author;
        if (auto settings = m_context.SystemSettings()) settings->GetPOIAuthor(author.Put());
        poi->SetAuthor(author.Length() > 0 ? author.Get()
                                           : Bstr(std::u16string_view(kDefaultAuthor)).Get());
    }
    ComPtr<IPOIRecord> record = RecordFromPOI(poi);
    if (!record) return false;
    // A media file named by its path is read in; a bare name is one the record already holds.
    const std::u16string media = Field(poi, &IPOIObject::GetMediaFile);
    const bool mediaPath = media.find_first_of(u"/\\") != std::u16string::npos;
    if (mediaPath)
        record->SetMediaFile(
            Bstr(std::string_view(gpslib::os::BaseName(gpslib::ToUtf8(media)))).Get());
    LONG key = 0;
    VARIANT_BOOL added = VARIANT_FALSE;
    const Bstr file{std::u16string_view(UserFile())};
    database->DbPOIAdd(file.Get(), record.Get(),
                       Bstr(std::u16string_view(mediaPath ? media : u"")).Get(), &key, &added);
    if (!Flag(added)) {
        m_context.Log("GPSCore::POIAdd Error Unable to add a user POI");
        return false;
    }
    poi->SetKey(key);
    poi->SetPDBFile(file.Get());
    if (mediaPath) {
        Bstr stored;
        record->GetMediaFile(stored.Put());
        poi->SetMediaFile(stored.Get());
    }
    return true;
}

bool POISearch::OwningFile(IPOIObject* poi, IPOIDatabase** database, std::u16string* file) const {
    const std::u16string pdb = Field(poi, &IPOIObject::GetPDBFile);
    const std::u16string user = UserFile();
    if (pdb.empty() || SamePath(pdb, user)) {
        *database = m_context.m_pPOIDatabase.Get();
        *file = user;
        return *database != nullptr;
    }
    Bstr folder;
    if (auto settings = m_context.SystemSettings()) settings->GetMapPOIDirectory(folder.Put());
    const std::u16string dir(folder.View());
    for (const std::u16string& personal :
         {PersonalPlaces::FavoritesFile(dir), PersonalPlaces::AnnotationsFile(dir),
          PersonalPlaces::HistoryFile(dir)}) {
        if (SamePath(pdb, personal)) {
            *database = m_context.m_pHistoryDatabase.Get();
            *file = personal;
            return *database != nullptr;
        }
    }
    return false;
}

bool POISearch::Update(IPOIObject* poi) {
    IPOIDatabase* database = nullptr;
    std::u16string file;
    if (!OwningFile(poi, &database, &file)) return false;
    ComPtr<IPOIRecord> record = RecordFromPOI(poi);
    if (!record) return false;
    // Names written back are stored without the spell decorators they were shown with.
    StripSpellDecorators(m_context, record.Get());
    const std::u16string media = Field(poi, &IPOIObject::GetMediaFile);
    const bool mediaPath = media.find_first_of(u"/\\") != std::u16string::npos;
    if (mediaPath)
        record->SetMediaFile(
            Bstr(std::string_view(gpslib::os::BaseName(gpslib::ToUtf8(media)))).Get());
    VARIANT_BOOL updated = VARIANT_FALSE;
    database->DbPOIUpdate(Bstr(std::u16string_view(file)).Get(), record.Get(),
                          Bstr(std::u16string_view(mediaPath ? media : u"")).Get(), &updated);
    return Flag(updated);
}

bool POISearch::Delete(IPOIObject* poi) {
    IPOIDatabase* database = nullptr;
    std::u16string file;
    if (!OwningFile(poi, &database, &file)) return false;
    LONG key = 0;
    poi->GetKey(&key);
    VARIANT_BOOL deleted = VARIANT_FALSE;
    if (key > 0) database->DbPOIDelete(Bstr(std::u16string_view(file)).Get(), key, &deleted);
    return Flag(deleted);
}

HRESULT POISearch::GetUser(LONG index, const ModePlaces& places, IPOIObject** ppPOI) {
    ComPtr<IPOIObject> poi;
    IPOIDatabase* database = m_context.m_pPOIDatabase.Get();
    if (database != nullptr && index >= 0) {
        const Bstr file{std::u16string_view(UserFile())};
        Bstr name;
        LONG key = 0;
        VARIANT_BOOL found = VARIANT_FALSE;
        database->DbPOIGetByPosition(file.Get(), index, name.Put(), &key, &found);
        if (Flag(found)) {
            VARIANT_BOOL active = VARIANT_FALSE;
            database->SetActiveDatabase(file.Get(), &active);
            poi = BuildPOI(m_context, database, name.Get(), key, index, m_context.m_eCurrentMode,
                           places);
        }
    }
    if (!poi) poi = NewPOI();
    *ppPOI = poi.Detach();
    return *ppPOI != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT POISearch::AllUserNamesAndKeys(VARIANT* names, VARIANT* keys, SHORT* count) {
    *count = 0;
    if (m_context.m_pPOIDatabase &&
        SUCCEEDED(m_context.m_pPOIDatabase->DbPOIGetNamesAndKeys(
            Bstr(std::u16string_view(UserFile())).Get(), names, keys, count)))
        return S_OK;
    *count = 0;
    gpslib::ReturnStringList(names, {});
    return gpslib::ReturnLongList(keys, {});
}

LONG POISearch::UserNextFreeKey() const {
    LONG key = 0;
    if (m_context.m_pPOIDatabase)
        m_context.m_pPOIDatabase->DbPOIGetNextFreeKey(Bstr(std::u16string_view(UserFile())).Get(),
                                                      &key);
    return key;
}

void POISearch::AddTag(SHORT subCategory, BSTR tag) {
    VARIANT_BOOL added = VARIANT_FALSE;
    if (m_context.m_pPOIDatabase && gpslib::View(tag).size() > 0)
        m_context.m_pPOIDatabase->DbPOIAddTag(Bstr(std::u16string_view(UserFile())).Get(),
                                              subCategory, tag, &added);
}

HRESULT POISearch::Tags(SHORT subCategory, VARIANT* list) {
    SHORT n = 0;
    if (m_context.m_pPOIDatabase &&
        SUCCEEDED(m_context.m_pPOIDatabase->DbPOIGetTags(
            Bstr(std::u16string_view(UserFile())).Get(), subCategory, list, &n)))
        return S_OK;
    return gpslib::ReturnStringList(list, {});
}

bool POISearch::ExtractMediaFile(IPOIObject* poi, BSTR mediaFileName, BSTR target) {
    IPOIDatabase* database = nullptr;
    std::u16string file = Field(poi, &IPOIObject::GetPDBFile);
    std::u16string owning;
    if (OwningFile(poi, &database, &owning)) file = owning;
    if (database == nullptr) database = m_context.m_pPOIDatabase.Get();
    if (database == nullptr || gpslib::View(target).empty()) return false;
    LONG key = 0;
    poi->GetKey(&key);
    Bstr name(gpslib::View(mediaFileName));
    if (name.Length() == 0) name = Bstr(std::u16string_view(Field(poi, &IPOIObject::GetMediaFile)));
    VARIANT_BOOL extracted = VARIANT_FALSE;
    database->DbPOIExtractMediaFile(Bstr(std::u16string_view(file)).Get(), key, name.Get(), target,
                                    &extracted);
    return Flag(extracted);
}

std::u16string POISearch::VacuumUserDatabase() {
    Bstr folder;
    if (auto settings = m_context.SystemSettings()) settings->GetMapPOIDirectory(folder.Put());
    struct Store {
        IPOIDatabase* database;
        std::u16string file;
        const char* failure;
    };
    const Store stores[] = {
        {m_context.m_pPOIDatabase.Get(), UserFile(),
         "POIVaccuumUserDatabase: User Database Failed DbPOICompressDatabase"},
        {m_context.m_pHistoryDatabase.Get(),
         PersonalPlaces::FavoritesFile(std::u16string(folder.View())),
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
