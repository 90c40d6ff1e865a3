// Two passes, because an area needs its member ways: the relations first (the area assembler
// learns which ways it will need; nothing else is read), then the nodes and ways with a
// node-location index, every handler seeing each object once. The areas the assembler completes
// along the way go to the area handler.
//
// The node-location index holds every node of the extract, the one structure of the read that
// grows with all of the input rather than with what the map keeps: in memory it costs about 16
// bytes a node; in a file it is mapped, so the system keeps in memory only what fits.
#include "Extract.h"

#include <fcntl.h>
#include <unistd.h>

#include <memory>

#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/index/map/sparse_file_array.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>

#include "Crossings.h"
#include "Handlers.h"
#include "Language.h"

namespace gpsmap::build {
namespace {

using NodeLocations = osmium::index::map::Map<osmium::unsigned_object_id_type, osmium::Location>;

// Closes the index file's descriptor when the read ends, however it ends.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

template <class T, class Key> void SortBy(std::vector<T>& v, Key key) {
    std::sort(v.begin(), v.end(), [&](const T& a, const T& b) { return key(a) < key(b); });
}

} // namespace

bool ReadExtract(const std::string& path, const std::string& nodeIndexFile,
                 const Progress& progress, Extract* out, std::string* error) {
    auto say = [&](const std::string& text) {
        if (progress) progress(text);
    };
    ObjectStats stats{progress};
    StreetHandler streets;
    AddressHandler addresses;
    PoiHandler pois;
    PlaceHandler places;
    AreaHandler areas;
    RestrictionHandler restrictions;
    LanguageHandler language;
    CrossingHandler crossings;
    try {
        osmium::io::File input{path};
        osmium::area::Assembler::config_type assemblerConfig;
        osmium::TagsFilter filter{false};
        filter.add_rule(true, "boundary", "administrative");
        filter.add_rule(true, "boundary", "postal_code");
        filter.add_rule(true, "place", "suburb");
        filter.add_rule(true, "place", "neighbourhood");
        filter.add_rule(true, "place", "quarter");
        osmium::area::MultipolygonManager<osmium::area::Assembler> assembler{assemblerConfig,
                                                                             filter};
        say("reading relations");
        {
            osmium::io::Reader reader{input, osmium::osm_entity_bits::relation};
            osmium::apply(reader, stats, assembler, restrictions);
            reader.close();
        }
        assembler.prepare_for_lookup();

        FileDescriptor fd{
            nodeIndexFile.empty() ? -1 : ::open(nodeIndexFile.c_str(), O_RDWR | O_CLOEXEC)};
        if (!nodeIndexFile.empty() && fd.get() < 0) {
            *error = nodeIndexFile + ": cannot open the node index file";
            return false;
        }
        std::unique_ptr<NodeLocations> index;
        if (nodeIndexFile.empty())
            index = std::make_unique<
                osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>>();
        else
            index = std::make_unique<osmium::index::map::SparseFileArray<
                osmium::unsigned_object_id_type, osmium::Location>>(fd.get());
        osmium::handler::NodeLocationsForWays<NodeLocations> locations{*index};
        locations.ignore_errors();
        say("reading nodes and ways");
        osmium::io::Reader reader{input,
                                  osmium::osm_entity_bits::node | osmium::osm_entity_bits::way};
        osmium::apply(reader, locations, stats, streets, addresses, pois, places, language,
                      crossings, assembler.handler([&](osmium::memory::Buffer&& buffer) {
                          osmium::apply(buffer, stats, areas);
                      }));
        reader.close();
    } catch (const std::exception& e) {
        *error = path + ": not a readable OSM file (" + e.what() + ")";
        return false;
    }
    out->ways = std::move(streets.ways);
    out->addresses = std::move(addresses.addresses);
    out->interpolations = std::move(addresses.interpolations);
    out->addressNodes = std::move(addresses.numberedNodes);
    out->pois = std::move(pois.pois);
    out->places = std::move(places.places);
    out->areas = std::move(areas.areas);
    out->restrictions = std::move(restrictions.restrictions);
    out->languageHints = std::move(language.hints);
    // The crossing nodes, whose tags the crossing handler read, by id for the walker's names.
    out->crossingNodes.reserve(crossings.found.nodes.size());
    for (const auto& [id, facts] : crossings.found.nodes)
        out->crossingNodes.push_back(id);
    std::sort(out->crossingNodes.begin(), out->crossingNodes.end());
    out->crossingTags = std::move(crossings.found);
    SortBy(out->ways, [](const WayRec& w) { return w.id; });
    SortBy(out->areas, [](const AreaRec& a) { return a.sortKey; });
    SortBy(out->places, [](const PlaceRec& p) { return p.id; });
    SortBy(out->pois, [](const PoiRec& p) { return p.sortKey; });
    SortBy(out->addresses, [](const AddressRec& a) { return a.sortKey; });
    SortBy(out->interpolations, [](const InterpolationRec& l) { return l.id; });
    out->timestamp = stats.newest().valid() ? stats.newest().to_iso() : "";
    return true;
}

} // namespace gpsmap::build
