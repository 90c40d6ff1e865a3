#include "Abbreviations.h"

#include <map>
#include <span>

#include "os/codepage.h"

namespace gpsmap {
namespace {

// Where in a name a rule applies. Some abbreviations are initials or other words elsewhere ("R."
// begins a French street name as "Rue", but is an initial in "Rue R. Poincaré").
enum class Where : std::uint8_t { kAnyWord, kFirstWord };

struct Rule {
    std::string_view written; // the word as written, ASCII letters in lower case, with its dot
    std::string_view spoken;
    Where where = Where::kAnyWord;
};

// The rules of each language. Only abbreviations that mean one thing in names of that language:
// Italian "V." (Via, or an initial) and "S." (San, Santo or Santa) are left as written.
constexpr Rule kGerman[] = {
    {"str.", "Straße"},     {"dr.", "Doktor"},         {"st.", "Sankt"},   {"pl.", "Platz"},
    {"prof.", "Professor"}, {"bgm.", "Bürgermeister"}, {"hl.", "Heilige"},
};
constexpr Rule kFrench[] = {
    {"av.", "Avenue"},
    {"av", "Avenue", Where::kFirstWord},
    {"bd", "Boulevard"},
    {"bd.", "Boulevard"},
    {"bld", "Boulevard"},
    {"boul.", "Boulevard"},
    {"pl.", "Place", Where::kFirstWord},
    {"r.", "Rue", Where::kFirstWord},
    {"st", "Saint"},
    {"st.", "Saint"},
    {"ste", "Sainte"},
    {"ste.", "Sainte"},
    {"ch.", "Chemin"},
    {"imp.", "Impasse"},
    {"all.", "Allée"},
    {"rte", "Route"},
    {"rte.", "Route"},
    {"fg", "Faubourg"},
    {"fbg", "Faubourg"},
    {"sq.", "Square"},
    {"gal", "Général"},
    {"gal.", "Général"},
    {"mal", "Maréchal"},
    {"mal.", "Maréchal"},
    {"pdt", "Président"},
    {"pdt.", "Président"},
    {"dr", "Docteur"},
    {"dr.", "Docteur"},
    {"prof.", "Professeur"},
    {"crs", "Cours"},
};
constexpr Rule kSpanish[] = {
    {"avda.", "Avenida"},
    {"avda", "Avenida"},
    {"av.", "Avenida"},
    {"pza.", "Plaza"},
    {"pl.", "Plaza", Where::kFirstWord},
    {"pº", "Paseo"},
    {"pso.", "Paseo"},
    {"ctra.", "Carretera"},
    {"cno.", "Camino"},
    {"sta.", "Santa"},
    {"sto.", "Santo"},
    {"dr.", "Doctor"},
    {"gral.", "General"},
    {"urb.", "Urbanización"},
};
constexpr Rule kCatalan[] = {
    {"av.", "Avinguda"}, {"avda.", "Avinguda"}, {"avgda.", "Avinguda"},   {"pl.", "Plaça"},
    {"pça.", "Plaça"},   {"pg.", "Passeig"},    {"ctra.", "Carretera"},   {"sta.", "Santa"},
    {"st.", "Sant"},     {"dr.", "Doctor"},     {"urb.", "Urbanització"},
};
constexpr Rule kItalian[] = {
    {"v.le", "Viale"},     {"v.lo", "Vicolo"},
    {"p.za", "Piazza"},    {"p.zza", "Piazza"},
    {"p.le", "Piazzale"},  {"c.so", "Corso"},
    {"l.go", "Largo"},     {"loc.", "Località"},
    {"fraz.", "Frazione"}, {"str.", "Strada", Where::kFirstWord},
};
constexpr Rule kPortuguese[] = {
    {"av.", "Avenida"},      {"r.", "Rua", Where::kFirstWord},
    {"pç.", "Praça"},        {"pça.", "Praça"},
    {"trav.", "Travessa"},   {"tv.", "Travessa"},
    {"al.", "Alameda"},      {"estr.", "Estrada"},
    {"rod.", "Rodovia"},     {"dr.", "Doutor"},
    {"sta.", "Santa"},       {"sto.", "Santo"},
    {"pres.", "Presidente"}, {"gen.", "General"},
    {"cel.", "Coronel"},     {"prof.", "Professor"},
    {"eng.", "Engenheiro"},
};

std::span<const Rule> RulesOf(NameLanguage language) {
    switch (language) {
    case NameLanguage::kGerman:
        return kGerman;
    case NameLanguage::kFrench:
        return kFrench;
    case NameLanguage::kSpanish:
        return kSpanish;
    case NameLanguage::kItalian:
        return kItalian;
    case NameLanguage::kPortuguese:
        return kPortuguese;
    case NameLanguage::kCatalan:
        return kCatalan;
    case NameLanguage::kEnglish:
        break;
    }
    return {};
}

// The English rules, as the engine has always spoken English names.
std::string ExpandEnglish(const std::string& name) {
    static const std::map<std::string, std::string> kWords = {
        {"st", "Street"},    {"ave", "Avenue"},     {"av", "Avenue"},    {"rd", "Road"},
        {"dr", "Drive"},     {"blvd", "Boulevard"}, {"ln", "Lane"},      {"ct", "Court"},
        {"pl", "Place"},     {"sq", "Square"},      {"hwy", "Highway"},  {"pkwy", "Parkway"},
        {"ter", "Terrace"},  {"cir", "Circle"},     {"n", "North"},      {"s", "South"},
        {"e", "East"},       {"w", "West"},         {"ne", "Northeast"}, {"nw", "Northwest"},
        {"se", "Southeast"}, {"sw", "Southwest"},   {"mt", "Mount"},     {"ft", "Fort"},
        {"str", "Strasse"}};
    std::string out;
    std::size_t i = 0;
    bool first = true;
    while (i < name.size()) {
        std::size_t j = name.find(' ', i);
        if (j == std::string::npos) j = name.size();
        std::string word = name.substr(i, j - i);
        std::string key = gpslib::os::AsciiLower(word);
        if (!key.empty() && key.back() == '.') key.pop_back();
        auto it = kWords.find(key);
        bool last = j >= name.size();
        if (key == "st" && first && !last)
            word = "Saint";
        else if (it != kWords.end() && (key.size() > 1 || first || last) && !(first && last))
            word = it->second;
        out += word;
        if (j < name.size()) out.push_back(' ');
        i = j + 1;
        first = false;
    }
    return out;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// One word by the rules of a language other than English; `first` when it begins the name,
// `alone` when it is the whole name: a name of one word is a name, whatever it looks like, and
// only the abbreviations written into a word ("Hauptstr.") are written out in it.
std::string ExpandWord(const std::string& word, bool first, bool alone, NameLanguage language) {
    const std::string key = gpslib::os::AsciiLower(word);
    for (const Rule& rule : RulesOf(language))
        if (!alone && key == rule.written && (first || rule.where == Where::kAnyWord))
            return std::string(rule.spoken);
    switch (language) {
    case NameLanguage::kGerman:
        // A title or saint joined to the name by a hyphen ("Dr.-Karl-Renner-Straße",
        // "St.-Peter-Gasse").
        for (const auto& [prefix, spoken] :
             {std::pair<std::string_view, std::string_view>{"dr.-", "Doktor-"},
              {"st.-", "Sankt-"},
              {"prof.-", "Professor-"}})
            if (key.rfind(prefix, 0) == 0 && key.size() > prefix.size())
                return ExpandWord(std::string(spoken) + word.substr(prefix.size()), first, true,
                                  language);
        // A compound ending in "str." ("Hauptstr.", "Hoop-Str."): the street word is its end.
        if (key.size() > 4 && EndsWith(key, "str.")) {
            const bool capital = word[word.size() - 4] == 'S';
            return word.substr(0, word.size() - 4) + (capital ? "Straße" : "straße");
        }
        break;
    case NameLanguage::kFrench:
        // "St-Honoré", "Ste-Anne": the saint's name joined by a hyphen.
        if (key.rfind("st-", 0) == 0 && key.size() > 3) return "Saint-" + word.substr(3);
        if (key.rfind("ste-", 0) == 0 && key.size() > 4) return "Sainte-" + word.substr(4);
        break;
    case NameLanguage::kSpanish:
    case NameLanguage::kCatalan:
        // "C/ Major", "C/Major": the street word and the name written together.
        if (first && key.rfind("c/", 0) == 0 && !(alone && key.size() == 2)) {
            const std::string street = language == NameLanguage::kSpanish ? "Calle" : "Carrer";
            return key.size() == 2 ? street : street + " " + word.substr(2);
        }
        break;
    default:
        break;
    }
    return word;
}

} // namespace

NameLanguage LanguageFromCode(std::string_view code) {
    const std::string key = gpslib::os::AsciiLower(code.substr(0, 2));
    constexpr std::pair<std::string_view, NameLanguage> kCodes[] = {
        {"de", NameLanguage::kGerman},     {"fr", NameLanguage::kFrench},
        {"es", NameLanguage::kSpanish},    {"it", NameLanguage::kItalian},
        {"pt", NameLanguage::kPortuguese}, {"ca", NameLanguage::kCatalan}};
    for (const auto& [c, language] : kCodes)
        if (key == c && (code.size() == 2 || code[2] == '-' || code[2] == '_')) return language;
    return NameLanguage::kEnglish;
}

std::string_view LanguageCode(NameLanguage language) {
    constexpr std::string_view kCodes[] = {"en", "de", "fr", "es", "it", "pt", "ca"};
    return kCodes[static_cast<std::size_t>(language)];
}

std::string ExpandAbbreviations(const std::string& name, NameLanguage language) {
    if (language == NameLanguage::kEnglish) return ExpandEnglish(name);
    const bool alone = name.find(' ') == std::string::npos;
    std::string out;
    std::size_t i = 0;
    bool first = true;
    while (i <= name.size()) {
        std::size_t j = name.find(' ', i);
        if (j == std::string::npos) j = name.size();
        out += ExpandWord(name.substr(i, j - i), first, alone, language);
        if (j < name.size()) out.push_back(' ');
        i = j + 1;
        first = false;
    }
    return out;
}

} // namespace gpsmap
