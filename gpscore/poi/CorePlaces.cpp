// The user's personal places: the history of places (where the user went or looked), kept in
// the history file beside the maps by the database component.
#include <algorithm>
#include <vector>

#include "core/GPSCore.h"
#include "core/Utility.h"

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

constexpr SHORT kPersonalCategory = 18;
constexpr SHORT kMaxHistory = 25;
constexpr char16_t kDefaultAuthor[] = u"QX SDK";

} // namespace

void CGPSCore::AddPlaceToHistory(ILocationObject* place, std::u16string_view name) {
    if (!m_pHistoryDatabase || place == nullptr || m_pUtility == nullptr) return;
    ISystemSettingsObject* settings = m_pUtility->SystemSettings().Get();
    Bstr folder, author;
    if (settings != nullptr) {
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
    m_pHistoryDatabase->DbPOIGetCount(file.Get(), &count);
    if (count >= kMaxHistory) {
        Bstr oldestName;
        LONG oldest = 0;
        VARIANT_BOOL found = VARIANT_FALSE, deleted = VARIANT_FALSE;
        m_pHistoryDatabase->DbPOIGetByPosition(file.Get(), 0, oldestName.Put(), &oldest, &found);
        if (found != VARIANT_FALSE) m_pHistoryDatabase->DbPOIDelete(file.Get(), oldest, &deleted);
    }
    // A refused add names the record in its way; that one goes and the add is tried once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        LONG key = 0;
        VARIANT_BOOL added = VARIANT_FALSE, deleted = VARIANT_FALSE;
        m_pHistoryDatabase->DbPOIAdd(file.Get(), record.Get(), Bstr(u"").Get(), &key, &added);
        if (added != VARIANT_FALSE) return;
        if (key > 0) m_pHistoryDatabase->DbPOIDelete(file.Get(), key, &deleted);
    }
    Log("GPSCore::AddToHistory Error Unable to add a place to the history");
}
