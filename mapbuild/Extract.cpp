// Two passes, because an area needs its member ways: the relations first (the area assembler
// learns which ways it will need; nothing else is read), then the nodes and ways with a
// node-location index, every handler seeing each object once. The areas the assembler completes
// along the way go to the area handler.
#include "Extract.h"

#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>

#include "Handlers.h"

namespace gpsmap::build {
namespace {

template <class T, class Key> void SortBy(std::vector<T>& v, Key key) {
    std::sort(v.begin(), v.end(), [&](const T& a, const T& b) { return key(a) < key(b); });
}

} // namespace

bool ReadExtract(const std::string& path, const Progress& progress, Extract* out,
                 std::string* error) {
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

        using Index =
            osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
        Index index;
        osmium::handler::NodeLocationsForWays<Index> locations{index};
        locations.ignore_errors();
        say("reading nodes and ways");
        osmium::io::Reader reader{input,
                                  osmium::osm_entity_bits::node | osmium::osm_entity_bits::way};
        osmium::apply(reader, locations, stats, streets, addresses, pois, places,
                      assembler.handler([&](osmium::memory::Buffer&& buffer) {
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
