// The language the names of an extract's region are written in, decided once at compile time and
// kept in the map file, so that the engine expands their abbreviations by that language's rules.
#ifndef MAPBUILD_LANGUAGE_H_
#define MAPBUILD_LANGUAGE_H_

#include <osmium/handler.hpp>
#include <osmium/osm.hpp>
#include <string>
#include <string_view>

#include "Records.h"

namespace gpsmap::build {

// A country's ISO 3166-1 code as the compiler keeps it: upper case ("ad" -> "AD").
std::string CountryCode(std::string_view code);

class LanguageHandler : public osmium::handler::Handler {
public:
    void node(const osmium::Node& node);
    void way(const osmium::Way& way);
    LanguageHints hints;
};

// The language code ("en", "de", "fr", "es", "it", "pt", "ca") of the region's names, first
// found of: the country whose boundary holds most of the named streets, when that country speaks
// one language; the country most addresses name, likewise; the language whose name:xx tags most
// often repeat the streets' names; the language whose words for a kind of street most names
// hold; English. REQUIRES: the areas indexed, the ways' points there.
std::string DecideLanguage(const Map& map, const LanguageHints& hints);

// The extract's country (ISO 3166-1, upper case): the one whose boundary holds most of the named
// streets, else the one most addresses name; empty when neither says. REQUIRES: as above.
std::string MainCountry(const Map& map, const LanguageHints& hints);

} // namespace gpsmap::build

#endif // MAPBUILD_LANGUAGE_H_
