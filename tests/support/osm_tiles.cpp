#include "osm_tiles.h"

#include <osmium/builder/osm_object_builder.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/io/any_output.hpp>
#include <osmium/osm/box.hpp>
#include <osmium/osm/node.hpp>
#include <osmium/osm/relation.hpp>
#include <osmium/osm/way.hpp>

#include <cmath>
#include <cstdlib>
#include <exception>
#include <map>
#include <string_view>
#include <vector>

namespace gpslib::testing {
namespace {

// Coordinates are whole multiples of 1e-7 degree.
constexpr std::int64_t kUnitsPerDegree = 10'000'000;

// One kind of object of the source, as read.
struct Kind {
    osmium::osm_entity_bits::type bits;
    std::vector<osmium::memory::Buffer> buffers;
    std::uint64_t count = 0;
};

// The junctions of the source's main roads farthest east, west, towards the next row and away
// from it: nodes that two or more primary, secondary or tertiary roads share.
struct Ends {
    osmium::object_id_type east = 0, west = 0, onward = 0, back = 0;
};

Ends MainRoadEnds(const Kind& nodes, const Kind& ways, bool southward) {
    std::map<osmium::object_id_type, int> uses;
    for (const osmium::memory::Buffer& buffer : ways.buffers)
        for (const auto& way : buffer.select<osmium::Way>()) {
            const char* highway = way.tags()["highway"];
            if (highway == nullptr) continue;
            const std::string_view cls = highway;
            if (cls != "primary" && cls != "secondary" && cls != "tertiary") continue;
            for (const osmium::NodeRef& ref : way.nodes())
                ++uses[ref.ref()];
        }
    Ends ends;
    osmium::Location east, west, onward, back;
    for (const osmium::memory::Buffer& buffer : nodes.buffers)
        for (const auto& node : buffer.select<osmium::Node>()) {
            auto it = uses.find(node.id());
            const osmium::Location at = node.location();
            if (it == uses.end() || it->second < 2 || !at.valid()) continue;
            if (!east.valid() || at.x() > east.x()) east = at, ends.east = node.id();
            if (!west.valid() || at.x() < west.x()) west = at, ends.west = node.id();
            const bool further = southward ? at.y() < onward.y() : at.y() > onward.y();
            if (!onward.valid() || further) onward = at, ends.onward = node.id();
            const bool before = southward ? at.y() > back.y() : at.y() < back.y();
            if (!back.valid() || before) back = at, ends.back = node.id();
        }
    return ends;
}

// A primary road from node `a` to node `b`.
void AddJoin(osmium::memory::Buffer& buffer, osmium::object_id_type id, osmium::object_id_type a,
             osmium::object_id_type b) {
    {
        osmium::builder::WayBuilder builder{buffer};
        builder.set_id(id).set_version(1).set_visible(true);
        {
            osmium::builder::WayNodeListBuilder refs{builder};
            refs.add_node_ref(a);
            refs.add_node_ref(b);
        }
        osmium::builder::TagListBuilder tags{builder};
        tags.add_tag("highway", "primary");
        tags.add_tag("name", "Tile Road");
    }
    buffer.commit(); // once every builder is done with the way
}

osmium::memory::Buffer CopyOf(const osmium::memory::Buffer& buffer) {
    osmium::memory::Buffer copy{buffer.committed(), osmium::memory::Buffer::auto_grow::yes};
    copy.add_buffer(buffer);
    copy.commit();
    return copy;
}

// The roads between neighbouring tiles, with ids after every tile's; how many.
int WriteJoins(const Kind& nodes, const Kind& ways, int tiles, int columns,
               osmium::object_id_type stride, bool southward, osmium::io::Writer& writer) {
    const Ends ends = MainRoadEnds(nodes, ways, southward);
    if (ends.east == 0) return 0;
    osmium::memory::Buffer buffer{1024 * 64, osmium::memory::Buffer::auto_grow::yes};
    osmium::object_id_type id = stride * tiles;
    int joins = 0;
    for (int t = 0; t < tiles; ++t) {
        const osmium::object_id_type at = stride * t;
        if (t % columns + 1 < columns && t + 1 < tiles)
            AddJoin(buffer, ++id, ends.east + at, ends.west + at + stride), ++joins;
        if (t + columns < tiles)
            AddJoin(buffer, ++id, ends.onward + at, ends.back + at + stride * columns), ++joins;
    }
    writer(std::move(buffer));
    return joins;
}

} // namespace

bool WriteTiledExtract(const std::string& source, int tiles, const std::string& destination,
                       TiledExtract* counts, std::string* error, bool joined) {
    if (tiles < 1) {
        *error = "at least one tile";
        return false;
    }
    try {
        Kind kinds[] = {{osmium::osm_entity_bits::node, {}},
                        {osmium::osm_entity_bits::way, {}},
                        {osmium::osm_entity_bits::relation, {}}};
        osmium::Box box;
        osmium::object_id_type largest = 0;
        for (Kind& kind : kinds) {
            osmium::io::Reader reader{source, kind.bits};
            while (osmium::memory::Buffer buffer = reader.read()) {
                for (const auto& object : buffer.select<osmium::OSMObject>()) {
                    if (object.id() <= 0) {
                        *error = source + ": an object without a positive id";
                        return false;
                    }
                    largest = std::max(largest, object.id());
                    if (object.type() == osmium::item_type::node)
                        box.extend(static_cast<const osmium::Node&>(object).location());
                    ++kind.count;
                }
                kind.buffers.push_back(std::move(buffer));
            }
            reader.close();
        }
        if (!box.valid()) {
            *error = source + ": no node with a location";
            return false;
        }
        osmium::object_id_type stride = 1;
        while (stride <= largest)
            stride *= 10;
        // Steps in the coordinates' own unit (1e-7 degree): the extract's size plus a tenth of it,
        // or plus 0.1 degree (about 11 km) when that is more.
        auto step = [](std::int64_t size) {
            return size + std::max<std::int64_t>(size / 10, 1'000'000);
        };
        const std::int64_t width = step(std::int64_t{box.top_right().x()} - box.bottom_left().x());
        const std::int64_t height = step(std::int64_t{box.top_right().y()} - box.bottom_left().y());
        const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(tiles))));
        const int rows = (tiles + columns - 1) / columns;
        const std::int64_t east =
            box.bottom_left().x() + (columns - 1) * width < kUnitsPerDegree * 180LL ? width
                                                                                    : -width;
        const std::int64_t north = box.bottom_left().y() >= 0 ? -height : height;
        const std::int64_t limitX = 180LL * kUnitsPerDegree;
        const std::int64_t limitY = 85LL * kUnitsPerDegree;
        osmium::Box all;
        for (const osmium::Location corner : {box.bottom_left(), box.top_right()})
            for (std::int64_t dx : {std::int64_t{0}, (columns - 1) * east})
                for (std::int64_t dy : {std::int64_t{0}, (rows - 1) * north}) {
                    const std::int64_t x = corner.x() + dx, y = corner.y() + dy;
                    if (std::abs(x) > limitX || std::abs(y) > limitY) {
                        *error = "the grid of " + std::to_string(tiles) +
                                 " tiles leaves the valid coordinates";
                        return false;
                    }
                    all.extend(osmium::Location{static_cast<std::int32_t>(x),
                                                static_cast<std::int32_t>(y)});
                }

        osmium::io::Header header;
        header.set("generator", "gpslib tiled extract");
        header.add_box(all);
        osmium::io::Writer writer{destination, header, osmium::io::overwrite::allow};
        int joins = 0;
        for (const Kind& kind : kinds)
            for (int t = 0; t < tiles; ++t) {
                const osmium::object_id_type offset = stride * t;
                const auto dx = static_cast<std::int32_t>((t % columns) * east);
                const auto dy = static_cast<std::int32_t>((t / columns) * north);
                auto shift = [&](osmium::Location at) {
                    return at.valid() ? osmium::Location{at.x() + dx, at.y() + dy} : at;
                };
                for (const osmium::memory::Buffer& original : kind.buffers) {
                    osmium::memory::Buffer tile = CopyOf(original);
                    for (auto& node : tile.select<osmium::Node>()) {
                        node.set_id(node.id() + offset);
                        node.set_location(shift(node.location()));
                    }
                    for (auto& way : tile.select<osmium::Way>()) {
                        way.set_id(way.id() + offset);
                        for (osmium::NodeRef& ref : way.nodes()) {
                            ref.set_ref(ref.ref() + offset);
                            ref.set_location(shift(ref.location()));
                        }
                    }
                    for (auto& relation : tile.select<osmium::Relation>()) {
                        relation.set_id(relation.id() + offset);
                        for (osmium::RelationMember& member : relation.members())
                            member.set_ref(member.ref() + offset);
                    }
                    writer(std::move(tile));
                }
                if (joined && kind.bits == osmium::osm_entity_bits::way && t + 1 == tiles)
                    joins =
                        WriteJoins(kinds[0], kinds[1], tiles, columns, stride, north < 0, writer);
            }
        writer.close();
        if (counts != nullptr) {
            counts->nodes = kinds[0].count * static_cast<std::uint64_t>(tiles);
            counts->ways = kinds[1].count * static_cast<std::uint64_t>(tiles);
            counts->relations = kinds[2].count * static_cast<std::uint64_t>(tiles);
            counts->columns = columns;
            counts->eastDegrees = static_cast<double>(east) / kUnitsPerDegree;
            counts->northDegrees = static_cast<double>(north) / kUnitsPerDegree;
            counts->joins = joins;
        }
        return true;
    } catch (const std::exception& e) {
        *error = source + " -> " + destination + ": " + e.what();
        return false;
    }
}

} // namespace gpslib::testing
