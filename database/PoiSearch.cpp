#include "PoiSearch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "formats/Geodesy.h"
#include "os/path.h"

namespace gpsdb {

namespace {

namespace geo = gpslib::geo;

// The core's earth radius, so that both sides agree on which POI lies inside a radius.
constexpr double kKmPerDegree = geo::kMetresPerDegree / 1000.0;

double DistanceKm(double lat1, double lon1, double lat2, double lon2) {
    return geo::Distance({lat1, lon1}, {lat2, lon2}) / 1000.0;
}

// The direction's centre in degrees from north, or -1 when every direction passes.
double DirectionCentre(int direction, int heading) {
    if (direction >= kDirectionNorth && direction <= kDirectionWest) return (direction - 1) * 90.0;
    if (direction >= kDirectionAhead && direction <= kDirectionLeft && heading >= 0)
        return std::fmod(heading + (direction - kDirectionAhead) * 90.0, 360.0);
    return -1.0;
}

bool IsUserFile(const std::string& path) {
    std::string base = gpslib::os::BaseName(path);
    std::transform(base.begin(), base.end(), base.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return base == "user.pdb";
}

} // namespace

bool VisibleTo(bool isUser, bool isPrivate, bool privateOnly, bool publicOnly,
               bool includePrivate) {
    if (privateOnly || publicOnly)
        return isUser && ((privateOnly && isPrivate) || (publicOnly && !isPrivate));
    return !isUser || !isPrivate || includePrivate;
}

bool PoiSearch::AddMapFile(const std::string& path, std::string* error) {
    auto file = PoiFile::Open(gpslib::os::NativePath(path), PoiFile::Access::ReadOnly, {}, error);
    if (file == nullptr) return false;
    if (m_cacheKilobytes > 0) file->SetCacheSize(-m_cacheKilobytes);
    Loaded loaded{std::move(file), {}, IsUserFile(path)};
    loaded.categories = loaded.file->Categories();
    m_mapFiles.push_back(std::move(loaded));
    return true;
}

void PoiSearch::ClearMapFiles() {
    m_mapFiles.clear();
}

bool PoiSearch::AddFile(const std::string& path, const std::vector<int>& categories,
                        bool isPoiFile) {
    if (!isPoiFile || categories.empty() || static_cast<int>(m_files.size()) >= m_maxFiles)
        return false;
    const std::string native = gpslib::os::NativePath(path);
    for (const Loaded& l : m_files)
        if (l.file->path() == native) return false;
    std::string error;
    auto file = PoiFile::Open(native, PoiFile::Access::ReadOnly, {}, &error);
    if (file == nullptr) return false;
    if (m_cacheKilobytes > 0) file->SetCacheSize(-m_cacheKilobytes);
    m_files.push_back(Loaded{std::move(file), categories, IsUserFile(path)});
    return true;
}

void PoiSearch::ClearFiles() {
    m_files.clear();
}

void PoiSearch::SetMaxFiles(int count) {
    if (count >= 1) m_maxFiles = count;
}

void PoiSearch::SetCacheKilobytes(int kilobytes) {
    if (kilobytes < 1) return;
    m_cacheKilobytes = kilobytes;
    for (auto* list : {&m_mapFiles, &m_files})
        for (Loaded& l : *list)
            l.file->SetCacheSize(-kilobytes);
}

int PoiSearch::CommercialFileCount() const {
    int n = 0;
    for (const auto* list : {&m_mapFiles, &m_files})
        for (const Loaded& l : *list)
            n += l.isUserFile ? 0 : 1;
    return n;
}

std::vector<int> PoiSearch::Categories() const {
    std::set<int> all;
    for (const auto* list : {&m_mapFiles, &m_files})
        for (const Loaded& l : *list)
            all.insert(l.categories.begin(), l.categories.end());
    return {all.begin(), all.end()};
}

std::vector<PoiSearch::Loaded*> PoiSearch::Files(int index) {
    std::vector<Loaded*> all;
    for (auto* list : {&m_mapFiles, &m_files})
        for (Loaded& l : *list)
            all.push_back(&l);
    if (index < 0) return all;
    if (index >= static_cast<int>(all.size())) return {};
    return {all[static_cast<std::size_t>(index)]};
}

double PoiSearch::FarthestKm(Loaded* l, double latitude, double longitude) {
    constexpr double kUnbounded = std::numeric_limits<double>::infinity();
    if (l->isUserFile) return kUnbounded;
    if (!l->extentRead) {
        l->extentRead = true;
        l->extent = l->file->Extent(&l->minLat, &l->maxLat, &l->minLon, &l->maxLon);
    }
    if (!l->extent) return 0.0;
    // Along a parallel the distance grows with the difference of longitude, and along a
    // meridian it has no inner maximum while that difference stays within 90 degrees: the
    // farthest point of the box is then one of its corners.
    for (double lon : {l->minLon, l->maxLon}) {
        double diff = std::fabs(lon - longitude);
        if (diff > 180.0) diff = 360.0 - diff;
        if (diff >= 90.0) return kUnbounded;
    }
    if (std::fabs(l->maxLon - l->minLon) >= 90.0) return kUnbounded;
    double farthest = 0.0;
    for (double lat : {l->minLat, l->maxLat})
        for (double lon : {l->minLon, l->maxLon})
            farthest = std::max(farthest, DistanceKm(latitude, longitude, lat, lon));
    return farthest * 1.001 + 0.001;
}

bool PoiSearch::FindPOIs(const PoiQuery& q, double* distanceKm, std::vector<PoiHit>* hits) {
    std::vector<Loaded*> files = Files(q.fileIndex);
    const double inner = std::max(0.0, *distanceKm);
    if (m_mapFiles.empty() && m_files.empty()) {
        *distanceKm = kMaxSearchDistanceKm;
        return false;
    }
    double outer = inner == 0.0 ? (q.distanceStartingKm > 0.0 ? q.distanceStartingKm : kFirstRingKm)
                                : inner * 2.0;
    outer = std::min(outer, kMaxSearchDistanceKm);
    *distanceKm = outer;
    if (outer <= inner) return false;

    // The ring's bounding box; beyond a pole or across the date line, the whole band.
    const double dLat = outer / kKmPerDegree;
    double minLat = q.latitude - dLat, maxLat = q.latitude + dLat;
    double minLon = -180.0, maxLon = 180.0;
    const double cosLat = std::cos(geo::Radians(q.latitude));
    if (minLat > -90.0 && maxLat < 90.0 && cosLat > 0.0) {
        const double dLon = outer / (kKmPerDegree * cosLat);
        if (dLon < 180.0 && q.longitude - dLon >= -180.0 && q.longitude + dLon <= 180.0)
            minLon = q.longitude - dLon, maxLon = q.longitude + dLon;
    }
    const double centre = DirectionCentre(q.direction, q.heading);
    // The rings searched before hold a box that needs no reading again: one inside the inner
    // circle (its half-width is the inner radius over the square root of 2, with the parallels'
    // shortening taken where it is least, and a margin).
    PoiBox hole;
    if (inner > 0.0 && inner < 1000.0) {
        const double half = inner / std::sqrt(2.0) * 0.99;
        const double hLat = half / kKmPerDegree;
        const double lowLat = q.latitude - hLat, highLat = q.latitude + hLat;
        if (lowLat > -80.0 && highLat < 80.0) {
            const double widest = std::cos(geo::Radians(
                lowLat * highLat <= 0.0 ? 0.0 : std::min(std::fabs(lowLat), std::fabs(highLat))));
            const double hLon = half / (kKmPerDegree * widest);
            hole = {lowLat, highLat, q.longitude - hLon, q.longitude + hLon};
        }
    }

    std::vector<PoiHit> ring;
    std::vector<PoiSummary> found;
    for (Loaded* l : files) {
        // The user's own file holds whatever categories the user gave the places since it was
        // opened: its records are filtered one by one below.
        if (q.category != 0 && !l->isUserFile &&
            std::find(l->categories.begin(), l->categories.end(), q.category) ==
                l->categories.end())
            continue;
        // A ring beyond every record of the file holds none of them.
        if (inner > 0.0 && FarthestKm(l, q.latitude, q.longitude) <= inner) continue;
        found.clear();
        l->file->Within(minLat, maxLat, minLon, maxLon, &found, hole);
        for (const PoiSummary& p : found) {
            if (q.category != 0 && p.category != q.category) continue;
            if (q.subcategory != 0 && p.subcategory != q.subcategory) continue;
            if (!VisibleTo(p.isUser, p.isPrivate, q.privateOnly, q.publicOnly, q.includePrivate))
                continue;
            double d = DistanceKm(q.latitude, q.longitude, p.latitude, p.longitude);
            if ((inner > 0.0 && d <= inner) || d > outer) continue; // the first ring holds 0
            if (centre >= 0.0) {
                double off = std::fabs(
                    geo::Bearing({q.latitude, q.longitude}, {p.latitude, p.longitude}) - centre);
                if (std::min(off, 360.0 - off) > 45.0) continue;
            }
            ring.push_back(PoiHit{p.name, p.key, d});
        }
    }
    std::stable_sort(ring.begin(), ring.end(),
                     [](const PoiHit& a, const PoiHit& b) { return a.distanceKm < b.distanceKm; });
    const std::size_t max = static_cast<std::size_t>(std::max(1L, q.maxResults));
    if (ring.size() > max) {
        // The ring ends at the last POI taken; the next call continues beyond it.
        *distanceKm = ring[max - 1].distanceKm;
        std::size_t end = max;
        while (end < ring.size() && ring[end].distanceKm <= *distanceKm)
            ++end;
        ring.resize(end);
    }
    hits->insert(hits->end(), ring.begin(), ring.end());
    return !ring.empty();
}

} // namespace gpsdb
