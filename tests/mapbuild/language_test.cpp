// The language of a region's names when its boundaries do not tell: the order in which the
// extract's other signs decide it.
#include <gtest/gtest.h>

#include "Language.h"

namespace gpsmap::build {
namespace {

TEST(Language, TheFirstSignThatNamesOneLanguageDecides) {
    struct Case {
        const char* what;
        LanguageHints hints;
        const char* language;
    } cases[] = {
        {"nothing to go on", {}, "en"},
        {"the addresses' country", {{{"LI", 65}, {"AT", 19}}, {}, {}}, "de"},
        // A country of several languages leaves it to the names.
        {"Switzerland, its names French", {{{"CH", 40}}, {{"fr", 3}}, {{"de", 9}}}, "fr"},
        {"Switzerland, its street words German", {{{"CH", 40}}, {}, {{"de", 9}}}, "de"},
        {"the street words alone", {{}, {}, {{"ca", 12}, {"es", 3}}}, "ca"},
        {"an unknown country code", {{{"ZZ", 5}}, {}, {}}, "en"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideLanguage(Map{}, c.hints), c.language) << c.what;
}

} // namespace
} // namespace gpsmap::build
