// POI search through the service on the sample town: the nearest POIs in order, the search
// continued outward, the direction filters, text search, the descriptions in each unit system
// and style, the side of the street and the categories.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "poi_fixture.h"
#include "value.h"

namespace gpslib::test {
namespace {

// On Main Street, 1.4 grid units east of First Avenue, a little north of the centre line.
constexpr double kLat = 45.00202, kLon = 10.0014;

using Names = std::vector<std::string>;

TEST_F(POIService, TheNearestFiveInOrderThenTheSearchGoesOn) {
    StandAt(kLat, kLon, 90);
    ComPtr<IPOIObject> poi;
    EXPECT_EQ(Find(nullptr, &poi), 5);
    EXPECT_EQ(Name(poi.Get()), "Corner Cafe");
    EXPECT_EQ(FoundNames(),
              (Names{"Corner Cafe", "FreshMart", "Town Pharmacy", "Luigi's", "Daily Bread"}));

    // The same search again, not new: the next ring's POIs are appended, the POI is the first
    // new one.
    auto search = NewSearch();
    search->SetMaxSearchResults(5);
    search->SetNewSearch(VARIANT_TRUE);
    EXPECT_EQ(Find(search.Get()), 5);
    search->SetNewSearch(VARIANT_FALSE);
    // The next ring (to twice the distance reached) holds three more.
    EXPECT_EQ(Find(search.Get(), &poi), 8);
    EXPECT_EQ(Value(poi.Get(), &IPOIObject::GetFoundIndex), 5);
    EXPECT_EQ(Name(poi.Get()), "Sample Bank");
    const Names all = FoundNames();
    ASSERT_EQ(all.size(), 8u);
    EXPECT_EQ(Names(all.begin() + 5, all.end()),
              (Names{"Sample Bank", "Sample Bank ATM", "Oak Avenue"}));

    // Outside the list: an empty POI, and success.
    for (LONG outside : {-1L, 8L, 0x7fffffffL}) {
        ComPtr<IPOIObject> empty = Found(outside);
        ASSERT_TRUE(empty);
        VARIANT_BOOL valid = VARIANT_TRUE;
        empty->IsValid(&valid);
        EXPECT_EQ(valid, 0) << outside;
    }
    VARIANT_BOOL exceeded = VARIANT_TRUE;
    ASSERT_EQ(core->POIGetLastSearchExceededMaxDistance(&exceeded), S_OK);
    EXPECT_EQ(exceeded, 0);
}

// The names of the town's POIs that `keep` accepts, nearest to the position first.
template <class Keep> Names NearestTownPOIs(Keep keep, std::size_t count = 1000) {
    std::vector<TownPOI> town = ReadTownPOIs();
    std::stable_sort(town.begin(), town.end(), [](const TownPOI& a, const TownPOI& b) {
        return Metres(kLat, kLon, a.lat, a.lon) < Metres(kLat, kLon, b.lat, b.lon);
    });
    Names names;
    for (const TownPOI& p : town)
        if (names.size() < count && keep(p)) names.push_back(p.name);
    return names;
}

TEST_F(POIService, EachDirectionFromAKnownHeading) {
    struct Case {
        Directions direction;
        SHORT heading;
        double centre; // the bearing the direction keeps POIs around (within 45 degrees)
    };
    const Case cases[] = {
        {DirectionNorth, 90, 0},   {DirectionEast, 90, 90},   {DirectionSouth, 90, 180},
        {DirectionWest, 90, 270},  {DirectionAhead, 90, 90},  {DirectionBehind, 90, 270},
        {DirectionLeft, 90, 0},    {DirectionRight, 90, 180}, {DirectionAhead, 270, 270},
        {DirectionLeft, 270, 180}, {DirectionRight, 30, 120}, {DirectionBehind, 200, 20},
    };
    StandAt(kLat, kLon, 90);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.direction) + " from " + std::to_string(c.heading));
        const Names expected = NearestTownPOIs(
            [&](const TownPOI& p) {
                const double off =
                    std::fabs(std::remainder(Bearing(kLat, kLon, p.lat, p.lon) - c.centre, 360.0));
                return off <= 45;
            },
            3);
        auto search = NewSearch();
        search->SetMaxSearchResults(3);
        search->SetSearchDirection(c.direction);
        search->SetCurrentHeadingDegrees(c.heading);
        LONG found = Find(search.Get());
        search->SetNewSearch(VARIANT_FALSE);
        for (int more = 0; found < 3 && more < 8; ++more)
            found = Find(search.Get());
        Names names = FoundNames();
        names.resize(3);
        EXPECT_EQ(names, expected);
    }
}

TEST_F(POIService, TextSearchByPrefixAndWholeWord) {
    enum Match { Anywhere, StartsWith, WholeWord };
    struct Case {
        const char* text;
        Match match;
        Names expected;
    };
    const Case cases[] = {
        {"Town",
         WholeWord,
         {"Town Pharmacy", "Town Parking", "Town Park", "Town Library", "Town Hall"}},
        {"Par", StartsWith, {"Town Parking", "Town Park", "Park Playground", "Park Fountain Tap"}},
        {"Park", WholeWord, {"Town Park", "Park Playground", "Park Fountain Tap"}},
        {"ark", Anywhere, {"Town Parking", "Town Park", "Park Playground", "Park Fountain Tap"}},
        {"ark", StartsWith, {}},
        {"sample bank", WholeWord, {"Sample Bank", "Sample Bank ATM"}},
        // One or two letters are always a starts-with search.
        {"Da", Anywhere, {"Daily Bread"}},
        // Hostile texts: tests/database/poi_search_test.cpp.
        {"Luigi's", WholeWord, {"Luigi's"}},
        {"Caf\xc3\xa9", WholeWord, {"Corner Cafe"}}, // accents are ignored
        {"", Anywhere, {}},
    };
    StandAt(kLat, kLon, 90);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto search = NewSearch(c.text);
        search->SetStartsWithSearch(c.match == StartsWith ? VARIANT_TRUE : VARIANT_FALSE);
        search->SetWholeWord(c.match == WholeWord ? VARIANT_TRUE : VARIANT_FALSE);
        search->SetMaxSearchResults(25);
        search->SetMaxSearchTime(5);
        LONG found = Find(search.Get());
        if (c.text[0] == '\0') continue; // an empty text is the nearest POIs, not a text search
        // The search goes on until the whole town is covered (about 1.5 km).
        search->SetNewSearch(VARIANT_FALSE);
        Names names;
        for (int more = 0; more < 8; ++more) {
            names = FoundNames();
            if (names.size() >= c.expected.size() && found > 0) break;
            found = Find(search.Get());
        }
        names = FoundNames();
        const Names wanted = NearestTownPOIs([&](const TownPOI& p) {
            return std::find(c.expected.begin(), c.expected.end(), p.name) != c.expected.end();
        });
        EXPECT_EQ(names, wanted);
    }
}

// How a search ends: a single map search without expansion, the maximum distance, and the
// radius reached, spoken in the user's units; the starting distance comes back as it was given.
TEST_F(POIService, TheEndsOfASearchAndTheRadiusReached) {
    struct Case {
        const char* where;
        double lat, lon;
        const char* text;
        SHORT seconds;
        Units units;
        LONG found;
        bool exceeded;
        const char* distance;
    };
    const Case cases[] = {
        // Nothing within the first ring and no expansion: one map search only.
        {"far out", 45.03, 10.0, "", 0, Metric, 0, false, "0.25 kilometres"},
        {"far out", 45.03, 10.0, "", 0, Imperial, 0, false, "820 feet"},
        // A text nobody carries: ring after ring up to the maximum distance.
        {"in town", kLat, kLon, "Nowhere Inn", 10, Metric, 0, true, "16093.44 kilometres"},
        {"in town", kLat, kLon, "Nowhere Inn", 10, Imperial, 0, true, "10000.00 miles"},
        // Found in the first ring.
        {"in town", kLat, kLon, "", 0, Metric, 5, false, "73 metres"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.where) + " " + c.text + " " + std::to_string(c.units));
        SetUnits(c.units);
        auto search = NewSearch(c.text);
        search->SetMaxSearchResults(5);
        search->SetMaxSearchTime(c.seconds);
        search->SetDistanceStarting(-1.0);
        EXPECT_EQ(Find(search.Get(), nullptr, Place(c.lat, c.lon).Get()), c.found);
        EXPECT_EQ(Got(core.Get(), &IGPSCore::POIGetLastSearchExceededMaxDistance) != 0, c.exceeded);
        EXPECT_EQ(Got(core.Get(), &IGPSCore::POIGetLastSearchDistanceDescription), c.distance);
        // The configuration comes back as it was given.
        EXPECT_EQ(Value(search.Get(), &IPOISearchConfigurationObject::GetMaxSearchResults), 5);
        EXPECT_EQ(Value(search.Get(), &IPOISearchConfigurationObject::GetDistanceStarting), -1.0);
    }
    // Miles in, kilometres to the engine, miles back: the first ring ends at two miles.
    SetUnits(Imperial);
    auto search = NewSearch();
    search->SetDistanceStarting(2.0);
    search->SetMaxSearchTime(0);
    Find(search.Get(), nullptr, Place(45.03, 10.0).Get());
    EXPECT_EQ(Value(search.Get(), &IPOISearchConfigurationObject::GetDistanceStarting), 2.0);
    EXPECT_EQ(Got(core.Get(), &IGPSCore::POIGetLastSearchDistanceDescription), "2.00 miles");
    // The user-POI category turns the search into private or public only.
    const std::pair<SHORT, std::pair<bool, bool>> users[] = {
        {1, {true, false}}, {2, {false, true}}, {0, {true, true}}};
    for (const auto& [sub, flags] : users) {
        auto mine = NewSearch();
        mine->SetCategoryNumber(18);
        mine->SetSubCategoryNumber(sub);
        mine->SetMaxSearchTime(0);
        Find(mine.Get(), nullptr, Place(kLat, kLon).Get());
        using S = IPOISearchConfigurationObject;
        EXPECT_EQ(std::pair(Got(mine.Get(), &S::GetUserPrivateOnly) != 0,
                            Got(mine.Get(), &S::GetUserPublicOnly) != 0),
                  flags)
            << sub;
    }
}

TEST_F(POIService, DescriptionsInEachUnitSystemAndStyle) {
    StandAt(kLat, kLon, 90);
    struct Case {
        Units units;
        RelativeHeadingType style;
        std::string parts; // "dynamic", else what the fixed description includes
        Names expected;    // the first two POIs
    };
    const Case cases[] = {
        {Metric, AheadLeft, "", {"Corner Cafe", "FreshMart"}},
        {Metric,
         AheadLeft,
         "category",
         {"Corner Cafe, Food and drink, Cafe", "FreshMart, Shopping, Supermarket"}},
        {Metric,
         AheadLeft,
         "distance",
         {"Corner Cafe, 21 metres, behind left, north-west",
          "FreshMart, 36 metres, behind, south-west"}},
        {Metric,
         AheadLeft,
         "dynamic",
         {"Corner Cafe, Food and drink, 21 metres, behind left, north-west",
          "FreshMart, Supermarket, 36 metres, behind, south-west"}},
        {Metric,
         ClockFace,
         "distance",
         {"Corner Cafe, 21 metres, 7 o'clock, north-west",
          "FreshMart, 36 metres, 5 o'clock, south-west"}},
        // The degrees style names the compass point itself: none is added.
        {BritishNautical,
         LeftRightDegreesCompass,
         "distance",
         {"Corner Cafe, 70 feet, north-west, 138 degrees left",
          "FreshMart, 120 feet, south-west, 148 degrees right"}},
    };
    Find(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.units) + " " + c.parts);
        auto flag = [&](const char* part) {
            return c.parts == part ? VARIANT_TRUE : VARIANT_FALSE;
        };
        Apply([&](ISystemSettingsObject* s) {
            s->SetUnits(c.units);
            s->SetHeadingMode(c.style);
        });
        ComPtr<IPOIDescriptionConfigurationObject> config;
        ASSERT_EQ(CreateObject(CLSID_POIDescriptionConfigurationObject,
                               IID_IPOIDescriptionConfigurationObject, &config),
                  S_OK);
        config->SetDescriptionDynamic(flag("dynamic"));
        config->SetNonDynamicIncludeAddress(VARIANT_FALSE);
        config->SetNonDynamicIncludeCategoryAndSubCategory(flag("category"));
        config->SetNonDynamicIncludeDistance(flag("distance"));
        Variant list;
        LONG count = 0;
        ASSERT_EQ(core->POIGetLastSearchDescriptions(GPSMode, config.Get(), &list, &count), S_OK);
        EXPECT_EQ(count, 5);
        Names texts = Strings(&list);
        texts.resize(2);
        EXPECT_EQ(texts, c.expected);
    }
}

// With spelled names on, the names a POI object carries are decorated; a user POI written back
// with its decorated name is stored without the decorators.
TEST_F(POIService, SpelledNamesAreShownDecoratedAndStoredPlain) {
    StandAt(kLat, kLon, 90);
    auto spell = [&](VARIANT_BOOL on) {
        Apply([&](ISystemSettingsObject* s) { s->SetIncludeSpellDecorators(on); });
    };
    spell(VARIANT_TRUE);
    ComPtr<IPOIObject> poi;
    Find(nullptr, &poi);
    EXPECT_EQ(Name(poi.Get()), "<<Corner Cafe>>");

    ASSERT_GT(Add(NewUserPOI("Back Gate", kLat, kLon, "", false).Get()), 0);
    ComPtr<IPOIObject> shown;
    ASSERT_EQ(core->POIGetUser(0, shown.Put()), S_OK);
    EXPECT_EQ(Name(shown.Get()), "<<Back Gate>>");
    VARIANT_BOOL updated = 0;
    ASSERT_EQ(core->POIUpdate(shown.Get(), &updated), S_OK);
    EXPECT_NE(updated, 0);
    spell(VARIANT_FALSE);
    ASSERT_EQ(core->POIGetUser(0, shown.Put()), S_OK);
    EXPECT_EQ(Name(shown.Get()), "Back Gate");
    // A found POI kept as a favorite is kept with its plain names (the public user POI is the
    // nearest now).
    spell(VARIANT_TRUE);
    Find(nullptr, &poi);
    ASSERT_EQ(Name(poi.Get()), "<<Back Gate>>");
    poi->SetStreet(Bstr("<<Main Street>>").Get());
    VARIANT_BOOL added = 0;
    ASSERT_EQ(core->FavoritesAddPOI(poi.Get(), &added), S_OK);
    EXPECT_NE(added, 0);
    spell(VARIANT_FALSE);
    ASSERT_EQ(core->FavoritesGetItem(0, shown.Put()), S_OK);
    EXPECT_EQ(Name(shown.Get()), "Back Gate");
    EXPECT_EQ(Text(shown.Get(), &IPOIObject::GetStreet), "Main Street");
}

// Luigi's is number 1 on the north side of Main Street, where the odd numbers are. User POIs
// added along the street give the even side and a POI of another street.
TEST_F(POIService, TheSideOfTheStreetOfPOIsAlongAStreet) {
    struct Added {
        const char* name;
        const char* number;
        const char* street;
        double lat, lon;
    };
    const Added added[] = {
        {"Even Shop", "6", "Main Street", 45.00187, 10.0016},
        {"Odd Shop", "7", "main street", 45.00213, 10.0020},
        {"Elsewhere", "8", "North Street", 45.00187, 10.0017},
        {"No Number", "", "Main Street", 45.00187, 10.0018},
    };
    for (const Added& a : added) {
        ComPtr<IPOIObject> poi = NewUserPOI(a.name, a.lat, a.lon, "", false);
        poi->SetAddressNumber(Bstr(std::string_view(a.number)).Get());
        poi->SetStreet(Bstr(std::string_view(a.street)).Get());
        ASSERT_GT(Add(poi.Get()), 0);
    }
    struct Case {
        const char* name;
        SHORT heading;
        SideOfStreet side;
    };
    const Case cases[] = {
        {"Luigi's", 90, LeftSide},      {"Luigi's", 270, RightSide},
        {"Even Shop", 90, RightSide},   {"Even Shop", 270, LeftSide},
        {"Odd Shop", 90, LeftSide},     {"Elsewhere", 90, SideUnknown},
        {"No Number", 90, SideUnknown}, {"Luigi's", -1, SideUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " heading " + std::to_string(c.heading));
        StandAt(45.0020, 10.0012, c.heading);
        auto search = NewSearch(c.name);
        search->SetWholeWord(VARIANT_TRUE);
        search->SetIncludeUserPrivateAsWell(VARIANT_TRUE);
        ComPtr<IPOIObject> poi;
        ASSERT_GE(Find(search.Get(), &poi), 1);
        EXPECT_EQ(Name(poi.Get()), c.name);
        EXPECT_EQ(Got(poi.Get(), &IPOIObject::GetSideOfStreet), c.side);
    }
}

TEST_F(POIService, CategoriesInDisplayOrder) {
    auto read = [&](VARIANT* list) {
        std::vector<IUnknown*> items;
        EXPECT_EQ(ReadObjectList(list, IID_IPOICategoryObject, 100, &items), S_OK);
        std::vector<std::pair<int, std::string>> out;
        for (IUnknown* item : items) {
            auto* category = static_cast<IPOICategoryObject*>(item);
            out.emplace_back(Value(category, &IPOICategoryObject::GetCategoryNumber),
                             Text(category, &IPOICategoryObject::GetCategoryName));
            item->Release();
        }
        return out;
    };
    Variant present;
    ASSERT_EQ(core->POIGetCategories(&present), S_OK);
    const auto loaded = read(&present);
    ASSERT_FALSE(loaded.empty());
    EXPECT_EQ(loaded.front(), (std::pair<int, std::string>{0, "All categories"}));
    std::vector<int> numbers;
    for (std::size_t i = 1; i < loaded.size(); ++i)
        numbers.push_back(loaded[i].first);
    // The town's categories (and the user's own), in the display order.
    EXPECT_EQ(numbers, (std::vector<int>{12, 6, 5, 9, 11, 13, 10, 8, 2, 15, 4, 3, 7, 1, 14, 18}));

    Variant all;
    ASSERT_EQ(core->POIGetAllCategories(&all, VARIANT_TRUE), S_OK);
    const auto every = read(&all);
    ASSERT_EQ(every.size(), 19u);
    EXPECT_EQ(every[1].first, 12);
    EXPECT_EQ(every[17], (std::pair<int, std::string>{17, "Other places"}));
    EXPECT_EQ(every[18].first, 18);

    struct Sub {
        SHORT category;
        std::vector<std::string> names; // after the header
    };
    const Sub subs[] = {{18, {"Private", "Public"}}, {2, {"Hospital", "Clinic", "Doctor"}}};
    for (const Sub& s : subs) {
        Variant list;
        ASSERT_EQ(core->POIGetSubCategories(s.category, &list), S_OK);
        std::vector<IUnknown*> items;
        ASSERT_EQ(ReadObjectList(&list, IID_IPOISubCategoryObject, 600, &items), S_OK);
        std::vector<std::string> names;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string name = Text(static_cast<IPOISubCategoryObject*>(items[i]),
                                          &IPOISubCategoryObject::GetSubCategoryName);
            if (i == 0)
                EXPECT_EQ(name, "All subcategories");
            else if (names.size() < s.names.size())
                names.push_back(name);
            items[i]->Release();
        }
        EXPECT_EQ(names, s.names);
    }
    // A category that does not exist has no subcategories.
    for (SHORT bad : {SHORT(0), SHORT(19), SHORT(-5)}) {
        Variant list;
        ASSERT_EQ(core->POIGetSubCategories(bad, &list), S_OK);
        std::vector<IUnknown*> items;
        ASSERT_EQ(ReadObjectList(&list, IID_IPOISubCategoryObject, 10, &items), S_OK);
        EXPECT_TRUE(items.empty()) << bad;
    }
    SHORT files = 0;
    ASSERT_EQ(core->POIGetNumberOfCommercialFilesLoaded(&files), S_OK);
    EXPECT_EQ(files, 1);
}

} // namespace
} // namespace gpslib::test
