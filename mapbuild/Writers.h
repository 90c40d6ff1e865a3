// The writers: one per output file, each creating its file at `path` (the map file streamed
// section after section, the SQLite files in one transaction). On failure they answer false with
// *error saying why; the caller removes the partial file.
#ifndef MAPBUILD_WRITERS_H_
#define MAPBUILD_WRITERS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Records.h"
#include "formats/Sqlite.h"

namespace gpsmap::build {

// What the files' meta tables say besides what the map holds.
struct MapInfo {
    std::string name, level, source, timestamp;
    std::string language; // the code of the language of the region's names
};

bool WriteMapFile(const Map& map, const MapInfo& info, const std::string& path, std::string* error);
// Builds the route hierarchy of both profiles over the map file written at `path` (with the map
// engine's own costs, which the engine's searches pay) and appends it to the file, in the two
// empty sections the writer left at its end.
bool AddRouteHierarchy(const std::string& path, std::string* error);
bool WritePoiFile(const Map& map, const MapInfo& info, const std::string& path, std::string* error);
bool WriteAddressFile(const Map& map, const MapInfo& info, const std::string& path,
                      std::string* error);

// A new SQLite file written in one transaction without a journal: the file is not in place until
// it is complete, so there is nothing to recover and no journal to pay for.
class OutputDb {
public:
    // A blob argument of Insert.
    struct Blob {
        std::string_view bytes;
    };

    // Creates the file with its identity in the SQLite header and runs `schema`.
    bool Create(const std::string& path, std::int32_t applicationId, int version,
                std::string_view schema, std::string* error);
    // Binds the values in order and runs the statement once.
    template <class... Args>
    bool Insert(std::string_view sql, std::string* error, const Args&... args) {
        gpslib::sqlite::Statement* s = m_db->Prepare(sql);
        if (s == nullptr) return Fail(error);
        int i = 0;
        (Bind(s, ++i, args), ...);
        return s->Run() || Fail(error);
    }
    // Commits and closes the file.
    bool Finish(std::string* error);

private:
    static void Bind(gpslib::sqlite::Statement* s, int i, int v) { s->Bind(i, std::int64_t{v}); }
    static void Bind(gpslib::sqlite::Statement* s, int i, std::size_t v) {
        s->Bind(i, static_cast<std::int64_t>(v));
    }
    static void Bind(gpslib::sqlite::Statement* s, int i, double v) { s->Bind(i, v); }
    static void Bind(gpslib::sqlite::Statement* s, int i, std::string_view v) { s->BindText(i, v); }
    static void Bind(gpslib::sqlite::Statement* s, int i, const std::string& v) {
        s->BindText(i, v);
    }
    static void Bind(gpslib::sqlite::Statement* s, int i, const char* v) { s->BindText(i, v); }
    static void Bind(gpslib::sqlite::Statement* s, int i, Blob v) { s->BindBlob(i, v.bytes); }
    bool Fail(std::string* error);

    std::unique_ptr<gpslib::sqlite::Database> m_db;
};

} // namespace gpsmap::build

#endif // MAPBUILD_WRITERS_H_
