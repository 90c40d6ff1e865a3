#include "Language.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "Handlers.h"
#include "Records.h"
#include "Stages.h"
#include "os/codepage.h"

namespace gpsmap::build {
namespace {

// The language of the names of each country that writes its street names in one language the
// engine knows the abbreviations of. Countries of several (Switzerland, Belgium, Canada,
// Luxembourg…) are left to their names' own tags.
constexpr std::pair<std::string_view, std::string_view> kCountryLanguages[] = {
    {"AD", "ca"}, {"AO", "pt"}, {"AR", "es"}, {"AT", "de"}, {"AU", "en"}, {"BO", "es"},
    {"BR", "pt"}, {"CL", "es"}, {"CO", "es"}, {"CR", "es"}, {"CU", "es"}, {"CV", "pt"},
    {"DE", "de"}, {"DO", "es"}, {"EC", "es"}, {"ES", "es"}, {"FR", "fr"}, {"GB", "en"},
    {"GT", "es"}, {"HN", "es"}, {"IE", "en"}, {"IT", "it"}, {"LI", "de"}, {"MC", "fr"},
    {"MX", "es"}, {"MZ", "pt"}, {"NI", "es"}, {"NZ", "en"}, {"PA", "es"}, {"PE", "es"},
    {"PT", "pt"}, {"PY", "es"}, {"SM", "it"}, {"SV", "es"}, {"US", "en"}, {"UY", "es"},
    {"VA", "it"}, {"VE", "es"},
};
constexpr std::string_view kKnownLanguages[] = {"en", "de", "fr", "es", "it", "pt", "ca"};
// Words that name the kind of street in one language only, as a street name's first or last
// word (German compounds end in them: "Hauptstrasse", "Kirchweg").
struct StreetWord {
    std::string_view word; // lower case
    std::string_view language;
    bool ending = false; // also as the end of the name's last word
};
constexpr StreetWord kStreetWords[] = {
    {"street", "en"},        {"road", "en"},         {"lane", "en"},      {"drive", "en"},
    {"strasse", "de", true}, {"straße", "de", true}, {"weg", "de", true}, {"gasse", "de", true},
    {"platz", "de", true},   {"rue", "fr"},          {"chemin", "fr"},    {"boulevard", "fr"},
    {"impasse", "fr"},       {"allée", "fr"},        {"calle", "es"},     {"avenida", "es"},
    {"camino", "es"},        {"via", "it"},          {"viale", "it"},     {"piazza", "it"},
    {"vicolo", "it"},        {"rua", "pt"},          {"travessa", "pt"},  {"praça", "pt"},
    {"carrer", "ca"},        {"avinguda", "ca"},     {"plaça", "ca"},     {"camí", "ca"},
    {"passeig", "ca"},
};
// Every this many named streets one is placed in its country: enough to outvote a border.
constexpr std::size_t kStreetSample = 8;

std::string_view LanguageOfCountry(std::string_view code) {
    for (const auto& [country, language] : kCountryLanguages)
        if (country == code) return language;
    return {};
}

// The key counted most often (the first in order on a tie); empty for none.
std::string MostCounted(const std::map<std::string, long>& counts) {
    const auto best =
        std::max_element(counts.begin(), counts.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    return best == counts.end() ? std::string() : best->first;
}

// The countries of a sample of the named streets: how many lie in each.
std::map<std::string, long> StreetCountries(const Map& map) {
    std::map<std::string, long> streetCountries;
    std::size_t named = 0;
    for (const WayRec& w : map.ways) {
        if (w.name.empty() || w.points.empty() || named++ % kStreetSample != 0) continue;
        const AreaRec* country = AreaAt(map, w.points[w.points.size() / 2], format::kAreaCountry);
        if (country != nullptr && !country->country.empty()) ++streetCountries[country->country];
    }
    return streetCountries;
}

} // namespace

std::string CountryCode(std::string_view code) {
    std::string upper(code);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

void LanguageHandler::node(const osmium::Node& node) {
    const char* country = node.tags()["addr:country"];
    if (country != nullptr) ++hints.addressCountries[CountryCode(country)];
}

void LanguageHandler::way(const osmium::Way& way) {
    const osmium::TagList& tags = way.tags();
    if (const char* country = tags["addr:country"]) ++hints.addressCountries[CountryCode(country)];
    const char* name = tags["name"];
    if (name == nullptr || tags["highway"] == nullptr) return;
    const std::string lower = gpslib::os::AsciiLower(name);
    const std::string_view text = lower;
    const std::string_view firstWord = text.substr(0, text.find(' '));
    const std::string_view lastWord = text.substr(text.rfind(' ') + 1);
    for (const StreetWord& w : kStreetWords) {
        if (firstWord == w.word || lastWord == w.word ||
            (w.ending && lastWord.size() > w.word.size() &&
             lastWord.substr(lastWord.size() - w.word.size()) == w.word)) {
            ++hints.streetWordLanguages[std::string(w.language)];
            break;
        }
    }
    for (std::string_view language : kKnownLanguages) {
        const std::string key = "name:" + std::string(language);
        const char* localized = tags[key.c_str()];
        if (localized != nullptr && std::string_view(localized) == name)
            ++hints.nameLanguages[std::string(language)];
    }
}

std::string DecideLanguage(const Map& map, const LanguageHints& hints) {
    const std::map<std::string, long> streetCountries = StreetCountries(map);
    const std::map<std::string, long>* byCountry[] = {&streetCountries, &hints.addressCountries};
    for (const auto* counts : byCountry) {
        const std::string_view language = LanguageOfCountry(MostCounted(*counts));
        if (!language.empty()) return std::string(language);
    }
    for (const auto* counts : {&hints.nameLanguages, &hints.streetWordLanguages}) {
        std::string language = MostCounted(*counts);
        if (!language.empty()) return language;
    }
    return "en";
}

std::string MainCountry(const Map& map, const LanguageHints& hints) {
    const std::string country = MostCounted(StreetCountries(map));
    return country.empty() ? MostCounted(hints.addressCountries) : country;
}

} // namespace gpsmap::build
