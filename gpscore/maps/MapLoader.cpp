#include "maps/MapLoader.h"

#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSMapLib.h>

#include <cstdio>

#include "GPSLib_classes.h"

#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "os/codepage.h"
#include "os/env.h"
#include "os/path.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;

namespace {

std::string Utf8(std::u16string_view text) {
    return gpslib::ToUtf8(text);
}

} // namespace

std::u16string MapLoader::Load() {
    m_context.Log("LoadMapsAndPOIs: enter");
    const auto settings = m_context.SystemSettings();
    const MapQueries map = m_context.Map();
    if (!settings || !map.HasEngine()) return m_context.String(ids::kNoMapsWithoutEngine);

    std::u16string directory = settings->mapPOIDirectory;
    std::u16string foundDirectory;
    std::u16string result =
        map.Initialize(directory, settings->settingsDirectory,
                       settings::On(settings->searchOtherMapDirectories), &foundDirectory);
    if (result != u"OK") {
        m_context.Log("  LoadMapsAndPOIs: m_pGPSMap->Initalize failed:" + Utf8(result));
    } else {
        if (foundDirectory != directory) {
            // The maps were found elsewhere: the settings follow them.
            m_context.Log("  LoadMapsAndPOIs:Unable to find map   to desired folder");
            m_context.Log(Utf8(directory));
            m_context.Log("  LoadMapsAndPOIs:Using the following instead");
            m_context.Log(Utf8(foundDirectory));
            m_context.m_pUtility->ChangeSystemSettings(
                [&](settings::System& s) { s.mapPOIDirectory = foundDirectory; });
            m_context.WriteSystemSettingsFile();
            directory = foundDirectory;
        } else {
            m_context.Log("  LoadMapsAndPOIs: maps loaded");
        }
    }
    Bstr folder(std::u16string_view{directory});
    char line[96];

    if (m_context.m_pAddressDatabase) {
        m_context.m_pAddressDatabase->Close();
        SHORT count = 0;
        m_context.m_pAddressDatabase->OpenDatabases(folder.Get(), &count);
        std::snprintf(line, sizeof line, "  LoadMapsAndPOIs::City/Postal DBs Loaded = %d", count);
        m_context.Log(line);
    }
    if (m_context.m_pPOIDatabase) {
        m_context.m_pPOIDatabase->CloseDatabase();
        map.ClearPOIFiles();
        SHORT count = 0;
        m_context.m_pPOIDatabase->OpenDatabases(folder.Get(), &count);
        LoadStandAlonePOIFiles(directory);
        std::snprintf(line, sizeof line, "  LoadMapsAndPOIs::POI DBs Loaded = %d", count);
        m_context.Log(line);
    }
    if (m_context.m_pHistoryDatabase) {
        m_context.m_pHistoryDatabase->CloseDatabase();
        struct Store {
            std::u16string path;
            const char* format;
        };
        const Store stores[] = {
            {PersonalPlaces::HistoryFile(directory), "  LoadMapsAndPOIs::History DBs Loaded = %d"},
            {PersonalPlaces::FavoritesFile(directory),
             "  LoadMapsAndPOIs::Favorites DBs Loaded = %d"},
            {PersonalPlaces::AnnotationsFile(directory),
             "  LoadMapsAndPOIs::Annotations DBs Loaded = %d"},
        };
        for (const Store& store : stores) {
            Bstr path(std::u16string_view{store.path});
            SHORT count = 0;
            m_context.m_pHistoryDatabase->OpenDatabase(path.Get(), &count);
            if (&store == &stores[0]) {
                VARIANT_BOOL active = VARIANT_FALSE;
                m_context.m_pHistoryDatabase->SetActiveDatabase(path.Get(), &active);
            }
            std::snprintf(line, sizeof line, store.format, count);
            m_context.Log(line);
        }
    }
    m_context.Log("LoadMapsAndPOIs: exit");
    return result;
}

int MapLoader::LoadStandAlonePOIFiles(const std::u16string& directory) {
    gpslib::os::Env* env = &m_context.Env();
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
        if (FAILED(m_context.m_pPOIDatabase->GetPOIFileInfo(file.Get(), &categories, &isPOIFile)))
            continue;
        LONG upper = -1;
        bool listed = (categories.vt & VT_ARRAY) != 0 && categories.parray != nullptr &&
                      SUCCEEDED(SafeArrayGetUBound(categories.parray, 1, &upper)) && upper >= 0;
        std::vector<LONG> numbers;
        if (isPOIFile != VARIANT_FALSE && listed &&
            SUCCEEDED(gpslib::ReadLongList(&categories, 1000, &numbers)))
            m_context.Map().AddPOIFile(file.View(), numbers, true);
    }
    return count;
}

void MapLoader::Unload() {
    const MapQueries map = m_context.Map();
    for (auto* results : {&m_context.m_pPOIResultsA, &m_context.m_pPOIResultsB})
        if (*results) (*results)->Clear();
    map.Unload();
    if (m_context.m_pAddressDatabase) m_context.m_pAddressDatabase->Close();
    if (m_context.m_pPOIDatabase) {
        m_context.m_pPOIDatabase->CloseDatabase();
        map.ClearPOIFiles();
    }
    if (m_context.m_pHistoryDatabase) m_context.m_pHistoryDatabase->CloseDatabase();
}

} // namespace gpscore
