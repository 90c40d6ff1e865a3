// The engine's loaded maps: loading the map files of a folder, following the files that change
// while loaded, the maps' names and counts, and the map a query or a route runs on.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "Engine.h"
#include "os/codepage.h"

namespace gpsmap {

using gpslib::os::AsciiLower;

std::string Engine::Initialize(const std::string& directory, const std::string& settingsDirectory,
                               bool searchOtherDirectories) {
    Unload();
    m_loadLog.clear();
    std::vector<std::string> folders = {directory};
    if (searchOtherDirectories) {
        if (!settingsDirectory.empty()) folders.push_back(settingsDirectory);
        if (const char* path = std::getenv("GPSLIB_MAP_PATH")) {
            std::string all = path;
            for (std::size_t i = 0; i <= all.size();) {
                std::size_t j = all.find(':', i);
                if (j == std::string::npos) j = all.size();
                if (j > i) folders.push_back(all.substr(i, j - i));
                i = j + 1;
            }
        }
        const char* xdg = std::getenv("XDG_DATA_HOME");
        const char* home = std::getenv("HOME");
        if (xdg && *xdg)
            folders.push_back(std::string(xdg) + "/gpslib/maps");
        else if (home && *home)
            folders.push_back(std::string(home) + "/.local/share/gpslib/maps");
        folders.insert(folders.end(), m_installedMapFolders.begin(), m_installedMapFolders.end());
    }
    std::string firstFailure;
    bool anyFile = false;
    for (const std::string& folder : folders) {
        std::string native = folder;
        std::replace(native.begin(), native.end(), '\\', '/');
        std::error_code ec;
        std::vector<std::filesystem::path> files;
        for (std::filesystem::directory_iterator it(native, ec), end; !ec && it != end;
             it.increment(ec)) {
            std::string ext = AsciiLower(it->path().extension().string());
            if (ext == ".rmf" && it->is_regular_file(ec)) files.push_back(it->path());
        }
        if (files.empty()) continue;
        anyFile = true;
        std::sort(files.begin(), files.end());
        std::vector<std::string> names;
        for (const std::filesystem::path& file : files) {
            names.push_back(file.stem().string());
            if (static_cast<int>(m_maps.size()) >= m_maxMaps) continue;
            auto map = std::make_unique<MapData>();
            std::string error;
            if (!map->Open(file.string(), &error)) {
                m_loadLog.push_back("refused " + file.string() + ": " + error);
                if (firstFailure.empty()) firstFailure = file.string() + ": " + error;
                continue;
            }
            m_loadLog.push_back("loaded " + file.string());
            m_maps.push_back(std::move(map));
            m_mapPaths.push_back(file.string());
        }
        if (!m_maps.empty()) {
            m_directory = folder;
            m_foundNames = names;
            std::sort(m_foundNames.begin(), m_foundNames.end());
            return "OK";
        }
    }
    if (!anyFile) return "NO MAPS FOUND: " + directory;
    return "NO MAPS LOADED: " + firstFailure;
}

std::vector<std::string> Engine::RefreshChangedMaps(bool checkFiles) {
    std::vector<std::string> log;
    for (std::size_t i = 0; i < m_maps.size();) {
        const std::string path = m_mapPaths[i];
        gpslib::os::FileStamp now;
        bool changed = m_maps[i]->Lost();
        if (!changed && checkFiles && gpslib::os::StampOf(path, &now).ok())
            changed = now != m_maps[i]->Stamp(); // a removed file is still read from its mapping
        if (!changed) {
            ++i;
            continue;
        }
        auto map = std::make_unique<MapData>();
        std::string error;
        if (map->Open(path, &error)) {
            log.push_back("changed while loaded, loaded again: " + path);
            m_maps[i++] = std::move(map);
            continue;
        }
        std::string line = "changed while loaded, unloaded until it opens again: " + path;
        line.append(": ").append(error);
        log.push_back(std::move(line));
        WaitingMap waiting{path, {}};
        (void)gpslib::os::StampOf(path, &waiting.seen);
        m_waitingMaps.push_back(std::move(waiting));
        m_maps.erase(m_maps.begin() + static_cast<std::ptrdiff_t>(i));
        m_mapPaths.erase(m_mapPaths.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (!checkFiles) return log;
    for (auto it = m_waitingMaps.begin(); it != m_waitingMaps.end();) {
        gpslib::os::FileStamp now;
        if (!gpslib::os::StampOf(it->path, &now).ok() || now == it->seen) {
            ++it;
            continue;
        }
        it->seen = now;
        auto map = std::make_unique<MapData>();
        std::string error;
        if (!map->Open(it->path, &error)) {
            ++it;
            continue;
        }
        log.push_back("loaded again: " + it->path);
        // Back in its place in the load order (the folder's files, sorted).
        auto at = std::upper_bound(m_mapPaths.begin(), m_mapPaths.end(), it->path);
        m_maps.insert(m_maps.begin() + (at - m_mapPaths.begin()), std::move(map));
        m_mapPaths.insert(at, it->path);
        it = m_waitingMaps.erase(it);
    }
    return log;
}

void Engine::Unload() {
    m_maps.clear();
    m_mapPaths.clear();
    m_waitingMaps.clear();
}

int Engine::MapCountOfLevel(const std::string& level) const {
    int n = 0;
    for (const auto& m : m_maps)
        n += m->Level() == level ? 1 : 0;
    return n;
}

std::vector<std::string> Engine::MapsMatching(const std::string& search) const {
    std::vector<std::string> out;
    std::string s = AsciiLower(search);
    for (const std::string& name : m_foundNames) {
        if (s.empty() || s == "*") {
            out.push_back(name);
            continue;
        }
        std::string n = AsciiLower(name);
        for (std::size_t i = 0; i < n.size(); ++i) {
            bool wordStart = i == 0 || n[i - 1] == '_' || n[i - 1] == ' ' || n[i - 1] == '-';
            if (wordStart && n.compare(i, s.size(), s) == 0) {
                out.push_back(name);
                break;
            }
        }
    }
    return out;
}

bool Engine::Covered(Point p) const {
    for (const auto& m : m_maps)
        if (m->Covers(p, 100.0)) return true;
    return false;
}

const MapData* Engine::FindMap(const std::string& name, Point) const {
    for (const auto& m : m_maps)
        if (AsciiLower(m->Name()) == AsciiLower(name)) return m.get();
    return nullptr;
}

bool Engine::FindRoute(const RouteRequest& request, const RouteNaming& naming, Route* out) const {
    auto valid = [](Point p) {
        return std::isfinite(p.lat) && std::isfinite(p.lon) && p.lat >= -90 && p.lat <= 90 &&
               p.lon >= -180 && p.lon <= 180;
    };
    if (!valid(request.start) || !valid(request.end)) return false;
    for (const auto& map : m_maps) {
        if (!map->Covers(request.start, 100.0) || !map->Covers(request.end, 100.0)) continue;
        if (gpsmap::FindRoute(*map, request, naming, &m_routeScratch, out)) return true;
    }
    *out = Route{};
    return false;
}

} // namespace gpsmap
