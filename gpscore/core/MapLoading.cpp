// Loading maps and the files that sit beside them: the map engine's maps, the address (city and
// postal) databases, the POI files and the personal stores (history, favorites, annotations).
// Runs inside Start, again for SystemMapsPOIsLoad and for a changed map folder, and is undone by
// SystemMapsPOIsUnLoad and Stop.
#include <cstdio>

#include "core/GPSCore.h"
#include "core/SystemSettingsObject.h"
#include "core/Utility.h"
#include "os/codepage.h"
#include "os/path.h"

using gpslib::Bstr;
using gpslib::os::CriticalSectionLock;

namespace {

constexpr int kNoMapsWithoutEngine = 20732;

std::string Utf8(std::u16string_view text) {
    return gpslib::ToUtf8(text);
}

// The service's join rule for a file beside the maps: the folder, "\\" unless it already ends
// in "\\" or "/", then the name ("%sHistory.hdb" after the separator).
std::u16string BesideMaps(const std::u16string& directory, std::u16string_view name) {
    std::u16string path = directory;
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
    return path + std::u16string(name);
}

} // namespace

std::u16string CGPSCore::HistoryFile(const std::u16string& directory) {
    return BesideMaps(directory, u"History.hdb");
}
std::u16string CGPSCore::FavoritesFile(const std::u16string& directory) {
    return BesideMaps(directory, u"Favorites.fdb");
}
std::u16string CGPSCore::AnnotationsFile(const std::u16string& directory) {
    return BesideMaps(directory, u"Annotations.adb");
}

std::u16string CGPSCore::LoadMapsAndPOIs() {
    Log("LoadMapsAndPOIs: enter");
    ISystemSettingsObject* settings =
        m_pUtility != nullptr ? m_pUtility->SystemSettings().Get() : nullptr;
    if (settings == nullptr || !m_pGPSMap) return String(kNoMapsWithoutEngine);

    Bstr mapDirectory, settingsDirectory;
    VARIANT_BOOL searchOther = VARIANT_FALSE;
    settings->GetMapPOIDirectory(mapDirectory.Put());
    settings->GetSettingsDirectory(settingsDirectory.Put());
    settings->GetSearchOtherMapDirectories(&searchOther);

    Bstr answer;
    m_pGPSMap->Initalize(mapDirectory.Get(), settingsDirectory.Get(), searchOther, answer.Put());
    std::u16string result(gpslib::View(answer.Get()));
    std::u16string directory(gpslib::View(mapDirectory.Get()));
    if (result != u"OK") {
        Log("  LoadMapsAndPOIs: m_pGPSMap->Initalize failed:" + Utf8(result));
    } else {
        Bstr found;
        m_pGPSMap->GetMapDirectory(found.Put());
        std::u16string foundDirectory(gpslib::View(found.Get()));
        if (foundDirectory != directory) {
            // The maps were found elsewhere: the settings follow them.
            Log("  LoadMapsAndPOIs:Unable to find map   to desired folder");
            Log(Utf8(directory));
            Log("  LoadMapsAndPOIs:Using the following instead");
            Log(Utf8(foundDirectory));
            settings->SetMapPOIDirectory(found.Get());
            WriteSystemSettingsFile();
            directory = foundDirectory;
        } else {
            Log("  LoadMapsAndPOIs: maps loaded");
        }
    }
    Bstr folder(std::u16string_view{directory});
    char line[96];

    if (m_pAddressDatabase) {
        m_pAddressDatabase->Close();
        SHORT count = 0;
        m_pAddressDatabase->OpenDatabases(folder.Get(), &count);
        std::snprintf(line, sizeof line, "  LoadMapsAndPOIs::City/Postal DBs Loaded = %d", count);
        Log(line);
    }
    if (m_pPOIDatabase) {
        m_pPOIDatabase->CloseDatabase();
        m_pGPSMap->ClearPOIFiles();
        SHORT count = 0;
        m_pPOIDatabase->OpenDatabases(folder.Get(), &count);
        LoadStandAlonePOIFiles(directory);
        std::snprintf(line, sizeof line, "  LoadMapsAndPOIs::POI DBs Loaded = %d", count);
        Log(line);
    }
    if (m_pHistoryDatabase) {
        m_pHistoryDatabase->CloseDatabase();
        struct Store {
            std::u16string path;
            const char* format;
        };
        const Store stores[] = {
            {HistoryFile(directory), "  LoadMapsAndPOIs::History DBs Loaded = %d"},
            {FavoritesFile(directory), "  LoadMapsAndPOIs::Favorites DBs Loaded = %d"},
            {AnnotationsFile(directory), "  LoadMapsAndPOIs::Annotations DBs Loaded = %d"},
        };
        for (const Store& store : stores) {
            Bstr path(std::u16string_view{store.path});
            SHORT count = 0;
            m_pHistoryDatabase->OpenDatabase(path.Get(), &count);
            if (&store == &stores[0]) {
                VARIANT_BOOL active = VARIANT_FALSE;
                m_pHistoryDatabase->SetActiveDatabase(path.Get(), &active);
            }
            std::snprintf(line, sizeof line, store.format, count);
            Log(line);
        }
    }
    Log("LoadMapsAndPOIs: exit");
    return result;
}

int CGPSCore::LoadStandAlonePOIFiles(const std::u16string& directory) {
    gpslib::os::Env* env = gpslib::os::Env::Default();
    std::string native = gpslib::os::NativePath(Utf8(directory));
    std::vector<std::string> names;
    if (!env->GetChildren(native, &names).ok()) return 0;
    int count = 0;
    for (const std::string& name : names) { // directory order
        if (gpslib::os::Extension(name) != ".pdb") continue;
        std::string path = gpslib::os::JoinPath(Utf8(directory), name);
        // A POI file with a map of the same base name is that map's own: the engine has it.
        std::string map = path.substr(0, path.size() - 4) + ".rmf";
        if (env->FileExists(gpslib::os::NativePath(map))) continue;
        ++count;
        Bstr file{std::string_view(path)};
        gpslib::Variant categories;
        VARIANT_BOOL isPOIFile = VARIANT_FALSE;
        if (FAILED(m_pPOIDatabase->GetPOIFileInfo(file.Get(), &categories, &isPOIFile))) continue;
        LONG upper = -1;
        bool listed = (categories.vt & VT_ARRAY) != 0 && categories.parray != nullptr &&
                      SUCCEEDED(SafeArrayGetUBound(categories.parray, 1, &upper)) && upper >= 0;
        if (isPOIFile != VARIANT_FALSE && listed)
            m_pGPSMap->AddPOIFile(file.Get(), &categories, isPOIFile);
    }
    return count;
}

void CGPSCore::UnloadMapsAndPOIs() {
    for (auto* results : {&m_pPOIResultsA, &m_pPOIResultsB})
        if (*results) (*results)->Clear();
    if (m_pGPSMap) m_pGPSMap->UnloadMaps();
    if (m_pAddressDatabase) m_pAddressDatabase->Close();
    if (m_pPOIDatabase) {
        m_pPOIDatabase->CloseDatabase();
        if (m_pGPSMap) m_pGPSMap->ClearPOIFiles();
    }
    if (m_pHistoryDatabase) m_pHistoryDatabase->CloseDatabase();
}

HRESULT CGPSCore::SystemMapsPOIsUnLoad() {
    CriticalSectionLock lock(m_csCore);
    if (m_hStopEvent) UnloadMapsAndPOIs();
    return S_OK;
}

HRESULT CGPSCore::SystemMapsPOIsLoad(SHORT* pnMapsLoaded) {
    if (pnMapsLoaded == nullptr) return E_POINTER;
    CriticalSectionLock lock(m_csCore);
    *pnMapsLoaded = 0;
    if (!m_hStopEvent) return S_OK;
    UnloadMapsAndPOIs();
    Log("SystemMapsPOIsLoadInternal: Switching Maps and POIs");
    if (m_pGPSMap) {
        Bstr library(std::u16string_view{m_bstrResourceLibrary});
        VARIANT_BOOL loaded = VARIANT_FALSE;
        m_pGPSMap->SetResourceLibrary(library.Get(), &loaded);
    }
    LoadMapsAndPOIs();
    if (m_pGPSMap) m_pGPSMap->GetNumberOfMapsLoaded(pnMapsLoaded);
    return S_OK;
}

HRESULT CGPSCore::FindAvailableMaps(BSTR bstrSearch, VARIANT* pvarMapNames) {
    if (pvarMapNames == nullptr) return E_POINTER;
    CriticalSectionLock lock(m_csCore);
    if (!m_pGPSMap) return E_FAIL;
    return m_pGPSMap->FindMapsMatching(bstrSearch, pvarMapNames);
}
