// The address search's own rules, apart from the components that search: which entries of a list
// of several matches are kept, which house number places a record, and the name an address
// gives the place it stands for.
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "address/AddressSearch.h"

namespace gpscore {
namespace {

TEST(AddressRules, SeveralMatchesKeepTheFirstOfEachLabel) {
    struct Case {
        std::vector<std::u16string> labels;
        std::size_t capacity;
        std::vector<long> kept;
    } cases[] = {
        {{}, 10, {}},
        // Three records of one place and one elsewhere: the first of the three stands for them.
        {{u"12 Main St: Oak and Main", u"12 Main St: Oak and Main", u"12 Main St: Elm and Main",
          u"12 Main St: Oak and Main"},
         10,
         {0, 2}},
        {{u"a", u"b", u"a", u"c", u"b"}, 10, {0, 1, 3}},
        {{u"a", u"b", u"c"}, 2, {0, 1}},      // the table's capacity
        {{u"x", u"X", u"x "}, 10, {0, 1, 2}}, // labels are compared as written
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstOfEachLabel(c.labels, c.capacity), c.kept);
}

TEST(AddressRules, TheNumberThatPlacesARecord) {
    struct Case {
        const char16_t* houseNumber;
        const char16_t* indicator;
        const char16_t* number;
    } cases[] = {
        {u"12", u" - ", u"12"},        {u"100 - 120", u" - ", u"100"}, // a range: its first number
        {u"12 - 18/2", u" - ", u"12"}, {u"1 to 9", u" to ", u"1"},     // the client's own indicator
        {u"100-120", u"-", u"100"},    {u"14 к2", u" - ", u"14 к2"},   // a part names the building
        {u"14 к2", u" ", u"14 к2"}, // even with a blank for an indicator
        {u"100 120", u" ", u"100"},    {u"12-a", u"-", u"12-a"}, // "12-a" is 12a, not a range
        {u"-1", u" - ", u""},                                    // a street without numbers
        {u" 7 ", u" - ", u"7"},        {u"", u" - ", u""},
        {u"12 - ", u" - ", u"12 -"},  // nothing after the indicator
        {u"x - 5", u" - ", u"x - 5"}, // no leading number: not a range
        {u"12", u"", u"12"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NumberToPlace(c.houseNumber, c.indicator), c.number)
            << gpslib::ToUtf8(std::u16string_view(c.houseNumber));
}

TEST(AddressRules, TheSpokenNameOfAnAddress) {
    struct Case {
        const char16_t* location; // the inner location's name
        const char16_t* address;
        const char16_t* name;
        const char16_t* city;
        const char16_t* spoken;
    } cases[] = {
        {u"7 Main Street", u"7 Main Street", u"", u"Sampleton", u"7 Main Street, Sampleton"},
        {u"", u"Main Street and Oak Avenue", u"Oak Avenue", u"Sampleton",
         u"Main Street and Oak Avenue, Sampleton"},
        {u"", u"", u"Oak Avenue", u"", u"Oak Avenue"},
        {u"Home", u"7 Main Street", u"", u"Zürich", u"Home, Zürich"},
        {u"7 Main Street, SAMPLETON", u"", u"", u"Sampleton", u"7 Main Street, SAMPLETON"},
        {u"Café Zürich", u"", u"", u"zürich", u"Café Zürich"}, // says its city already
        {u"", u"", u"", u"Vaduz", u"Vaduz"},                   // nothing but the city
    };
    for (const Case& c : cases) {
        AddressPlace place;
        place.address = c.address;
        place.name = c.name;
        place.city = c.city;
        EXPECT_EQ(place.SpokenName(c.location), c.spoken);
    }
}

} // namespace
} // namespace gpscore
