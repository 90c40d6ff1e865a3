// The real-data tests' own view of an OpenStreetMap extract: its nodes and ways handed to the
// test's libosmium handler, read independently of the map compiler so that they can check it.
#pragma once

#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>
#include <string>

namespace gpslib::testing {

// Reads the nodes and ways of the extract at `path` into `handler`, each way's node references
// carrying their locations (left undefined for a node the extract lacks).
template <typename Handler> void ReadNodesAndWays(const std::string& path, Handler& handler) {
    using Index = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
    Index index;
    osmium::handler::NodeLocationsForWays<Index> locations{index};
    locations.ignore_errors();
    osmium::io::Reader input{path, osmium::osm_entity_bits::node | osmium::osm_entity_bits::way};
    osmium::apply(input, locations, handler);
    input.close();
}

} // namespace gpslib::testing
