#include "poi/PersonalPlaces.h"

#include "core/ServiceContext.h"

namespace gpscore {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

constexpr SHORT kPersonalCategory = 18;
constexpr SHORT kMaxHistory = 25;
constexpr char16_t kDefaultAuthor[] = u"QX SDK";

// The service's join rule for a file beside the maps: the folder, "\\" unless it already ends
// in "\\" or "/", then the name.
std::u16string BesideMaps(const std::u16string& directory, std::u16string_view name) {
    std::u16string path = directory;
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
    return path + std::u16string(name);
}

} // namespace

std::u16string PersonalPlaces::HistoryFile(const std::u16string& directory) {
    return BesideMaps(directory, u"History.hdb");
}
std::u16string PersonalPlaces::FavoritesFile(const std::u16string& directory) {
    return BesideMaps(directory, u"Favorites.fdb");
}
std::u16string PersonalPlaces::AnnotationsFile(const std::u16string& directory) {
    return BesideMaps(directory, u"Annotations.adb");
}

void PersonalPlaces::AddToHistory(ILocationObject* place, std::u16string_view name) {
    IPOIDatabase* history = m_context.m_pHistoryDatabase.Get();
    if (history == nullptr || place == nullptr || m_context.m_pUtility == nullptr) return;
    ComPtr<ISystemSettingsObject> settings = m_context.SystemSettings();
    Bstr folder, author;
    if (settings) {
        settings->GetMapPOIDirectory(folder.Put());
        settings->GetPOIAuthor(author.Put());
    }
    const Bstr file(std::u16string_view(HistoryFile(std::u16string(folder.View()))));

    ComPtr<IPOIRecord> record;
    if (FAILED(gpslib::CreateObject(CLSID_POIRecord, IID_IPOIRecord, &record))) return;
    DOUBLE latitude = 0.0, longitude = 0.0;
    place->GetLatitude(&latitude);
    place->GetLongitude(&longitude);
    Bstr placeName;
    if (name.empty())
        place->GetName(placeName.Put());
    else
        placeName = Bstr(name);
    record->SetName(placeName.Get());
    record->SetLatitude(latitude);
    record->SetLongitude(longitude);
    record->SetCategoryNumber(kPersonalCategory);
    record->SetSubCategoryNumber(0);
    record->SetDescription(Bstr(u"").Get());
    record->SetAuthor(author.Length() > 0 ? author.Get()
                                          : Bstr(std::u16string_view(kDefaultAuthor)).Get());

    // The oldest entry (the lowest key) makes room for the newest.
    SHORT count = 0;
    history->DbPOIGetCount(file.Get(), &count);
    if (count >= kMaxHistory) {
        Bstr oldestName;
        LONG oldest = 0;
        VARIANT_BOOL found = VARIANT_FALSE, deleted = VARIANT_FALSE;
        history->DbPOIGetByPosition(file.Get(), 0, oldestName.Put(), &oldest, &found);
        if (found != VARIANT_FALSE) history->DbPOIDelete(file.Get(), oldest, &deleted);
    }
    // A refused add names the record in its way; that one goes and the add is tried once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        LONG key = 0;
        VARIANT_BOOL added = VARIANT_FALSE, deleted = VARIANT_FALSE;
        history->DbPOIAdd(file.Get(), record.Get(), Bstr(u"").Get(), &key, &added);
        if (added != VARIANT_FALSE) return;
        if (key > 0) history->DbPOIDelete(file.Get(), key, &deleted);
    }
    m_context.Log("GPSCore::AddToHistory Error Unable to add a place to the history");
}

// Annotations are not kept yet.
bool PersonalPlaces::AnnotationNear(ILocationObject*, std::u16string*, std::u16string*) const {
    return false;
}

} // namespace gpscore
