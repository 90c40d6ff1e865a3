// Street names written out by the language of the map's region: each language's own
// abbreviations, never another's, and a road reference never.
#include <gtest/gtest.h>

#include "MapData.h"
#include "StreetNames.h"

namespace gpsmap {
namespace {

TEST(Abbreviations, EachLanguageWritesOutItsOwn) {
    using L = NameLanguage;
    struct Case {
        L language;
        const char* written;
        const char* spoken;
    } cases[] = {
        // English as it always was, whatever the map's other words.
        {L::kEnglish, "N Main St", "North Main Street"},
        {L::kEnglish, "St Paul Ave", "Saint Paul Avenue"},
        {L::kEnglish, "Dr. Josef Hoop-Str.", "Drive Josef Hoop-Str."},
        // German: the doctor, the saint, the street word in a compound and alone.
        {L::kGerman, "Dr. Josef Hoop-Str.", "Doktor Josef Hoop-Straße"},
        {L::kGerman, "St. Luzi-Strasse", "Sankt Luzi-Strasse"},
        {L::kGerman, "Franz-Josef-Oehri-Str.", "Franz-Josef-Oehri-Straße"},
        {L::kGerman, "Bahnhofstr. Nord", "Bahnhofstraße Nord"},
        {L::kGerman, "Dr.-Karl-Renner-Str.", "Doktor-Karl-Renner-Straße"},
        {L::kGerman, "St.-Peter-Gasse", "Sankt-Peter-Gasse"},
        {L::kGerman, "Av. Foch", "Av. Foch"}, // another language's word stays
        // French: the first word's street kinds, saints joined by a hyphen, initials kept.
        {L::kFrench, "Av. de la Costa", "Avenue de la Costa"},
        {L::kFrench, "Bd Voltaire", "Boulevard Voltaire"},
        {L::kFrench, "R. St-Honoré", "Rue Saint-Honoré"},
        {L::kFrench, "Avenue John F. Kennedy", "Avenue John F. Kennedy"},
        {L::kFrench, "Rue R. Poincaré", "Rue R. Poincaré"},
        {L::kFrench, "Pl. Ste Anne", "Place Sainte Anne"},
        // Spanish and Catalan: the street word written onto the name.
        {L::kSpanish, "C/ Mayor", "Calle Mayor"},
        {L::kSpanish, "C/Mayor", "Calle Mayor"},
        {L::kSpanish, "Avda. de la Constitución", "Avenida de la Constitución"},
        {L::kCatalan, "Av. de Joan Martí", "Avinguda de Joan Martí"},
        {L::kCatalan, "C/ Major", "Carrer Major"},
        {L::kCatalan, "Urb. El Salze", "Urbanització El Salze"},
        {L::kCatalan, "Marge i Terres No.2", "Marge i Terres No.2"},
        // Italian: only what means one thing; "V." and "S." stay as written.
        {L::kItalian, "V.le Monza", "Viale Monza"},
        {L::kItalian, "P.za S. Marco", "Piazza S. Marco"},
        {L::kItalian, "V. Roma", "V. Roma"},
        // Portuguese.
        {L::kPortuguese, "Av. Paulista", "Avenida Paulista"},
        {L::kPortuguese, "R. Dr. Arnaldo", "Rua Doutor Arnaldo"},
        // A name of one word is a name.
        {L::kFrench, "Bd", "Bd"},
        {L::kSpanish, "C/", "C/"},
        {L::kGerman, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(LanguageCode(c.language)) + ": " + c.written);
        EXPECT_EQ(ExpandAbbreviations(c.written, c.language), c.spoken);
    }
}

TEST(Abbreviations, ReferencesAndCodes) {
    // A way known by its reference alone is spoken by it as it is written, in every language.
    for (NameLanguage language : {NameLanguage::kEnglish, NameLanguage::kGerman}) {
        for (const char* ref : {"St 2183", "B 3", "N 1"}) {
            Way w;
            w.ref = ref;
            EXPECT_EQ(WayDisplayName(w, true, true, language, "Unnamed road", "Unnamed path"), ref);
        }
    }
    Way named;
    named.name = "Dr. Albert Schädler-Strasse";
    named.ref = "St 12";
    EXPECT_EQ(WayDisplayName(named, true, true, NameLanguage::kGerman, "", ""),
              "Doktor Albert Schädler-Strasse (St 12)");
    // The map file's code: regional variants read as their language, the unknown as English.
    struct Code {
        const char* code;
        NameLanguage language;
    } codes[] = {{"de", NameLanguage::kGerman},  {"pt-BR", NameLanguage::kPortuguese},
                 {"FR", NameLanguage::kFrench},  {"", NameLanguage::kEnglish},
                 {"xx", NameLanguage::kEnglish}, {"dex", NameLanguage::kEnglish}};
    for (const Code& c : codes)
        EXPECT_EQ(LanguageFromCode(c.code), c.language) << c.code;
}

} // namespace
} // namespace gpsmap
