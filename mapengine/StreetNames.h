// Street names as the engine speaks them.
#ifndef MAPENGINE_STREETNAMES_H_
#define MAPENGINE_STREETNAMES_H_

#include <string>

namespace gpsmap {

// Abbreviations of street names written out, word by word ("N Main St" -> "North Main Street";
// "St" first is "Saint").
std::string ExpandAbbreviations(const std::string& name);

} // namespace gpsmap

#endif // MAPENGINE_STREETNAMES_H_
