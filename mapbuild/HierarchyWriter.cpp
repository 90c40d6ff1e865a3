// Appends the route hierarchy to a written map file. It is built over the file itself, read by
// the map engine, so that its arcs cost exactly what the engine's search pays for the same steps.
#include <fstream>
#include <thread>

#include "MapData.h"
#include "RouteHierarchy.h"
#include "Writers.h"

namespace gpsmap::build {

namespace {

template <class T> void Put(std::fstream& file, const std::vector<T>& records) {
    file.write(reinterpret_cast<const char*>(records.data()),
               static_cast<std::streamsize>(records.size() * sizeof(T)));
}

} // namespace

bool AddRouteHierarchy(const std::string& path, std::string* error) {
    BuiltHierarchy walk, drive;
    {
        gpsmap::MapData data;
        if (!data.Open(path, error)) return false;
        // The two profiles are independent: one each on two cores.
        std::thread walking([&] { walk = BuildRouteHierarchy(data, true); });
        drive = BuildRouteHierarchy(data, false);
        walking.join();
    }
    // The driving rows follow the walking ones, their arcs the walking arcs.
    const std::size_t shift = walk.arcs.size();
    if (shift + drive.arcs.size() > UINT32_MAX) {
        *error = "the route hierarchy has more arcs than the file's rows can number";
        return false;
    }
    for (format::HierarchyStateRecord& row : drive.states)
        row.up += static_cast<std::uint32_t>(shift), row.down += static_cast<std::uint32_t>(shift);

    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    format::MapFileHeader header{};
    file.read(reinterpret_cast<char*>(&header), sizeof header);
    std::vector<format::MapSection> directory(file ? header.sectionCount : 0);
    file.read(reinterpret_cast<char*>(directory.data()),
              static_cast<std::streamsize>(directory.size() * sizeof(format::MapSection)));
    if (!file || directory.size() != format::kSectionCount)
        return *error = "cannot read back the map file's directory", false;
    const std::uint64_t end = header.fileSize; // aligned: the writer's last step
    std::uint64_t at = end;
    for (format::MapSection& section : directory) {
        std::uint64_t count = 0;
        if (section.id == format::kSectionHierarchyStates)
            count = walk.states.size() + drive.states.size();
        else if (section.id == format::kSectionHierarchyArcs)
            count = walk.arcs.size() + drive.arcs.size();
        else
            continue;
        section.offset = at;
        section.count = count;
        section.length = count * section.recordSize;
        at += section.length; // both record sizes are multiples of 8: the next one is aligned
    }
    header.fileSize = at;
    file.seekp(static_cast<std::streamoff>(end));
    Put(file, walk.states), Put(file, drive.states), Put(file, walk.arcs), Put(file, drive.arcs);
    file.seekp(0);
    file.write(reinterpret_cast<const char*>(&header), sizeof header);
    Put(file, directory);
    file.flush();
    if (!file) return *error = "cannot write the route hierarchy", false;
    return true;
}

} // namespace gpsmap::build
