// The read stage: the passes over an OSM extract with the handlers chained in each.
#ifndef MAPBUILD_EXTRACT_H_
#define MAPBUILD_EXTRACT_H_

#include <string>

#include "Compiler.h"
#include "Records.h"

namespace gpsmap::build {

// Reads `path` into *out, every list sorted by OSM id. False with *error (the file named) when
// the file cannot be read as OSM data. The node locations are kept in memory when
// `nodeIndexFile` is empty, else in that file, which must exist (empty) and which the caller
// removes afterwards.
bool ReadExtract(const std::string& path, const std::string& nodeIndexFile,
                 const Progress& progress, Extract* out, std::string* error);

} // namespace gpsmap::build

#endif // MAPBUILD_EXTRACT_H_
