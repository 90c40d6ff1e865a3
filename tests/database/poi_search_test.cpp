// POI search: the database's text filter (DbPOIFind) over compiled OpenStreetMap POIs and drawn
// ones, hostile search texts, the user-POI visibility rule, and the map engine's widening ring
// search (PoiSearch) over the sample town's POI file.
#include <gpslib/GPSLib.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "PoiSearch.h"
#include "db_fixture.h"

namespace gpsdb::test {
namespace {

struct Find {
    std::vector<std::string> names;
    LONG cursor = 0;
    bool found = false;
};

Find RunFind(IPOIDatabase* db, IPOIResults* candidates, IPOISearchConfigurationObject* config,
             LONG cursor = 0) {
    Find f;
    f.cursor = cursor;
    ComPtr<IPOIResults> results;
    VARIANT_BOOL found = 0;
    EXPECT_EQ(db->DbPOIFind(candidates, config, &f.cursor, results.Put(), &found), S_OK);
    EXPECT_TRUE(results);
    if (results) f.names = Names(results.Get());
    f.found = found != 0;
    return f;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(DbPoiTextSearch, CompiledPoisByNameIgnoringCaseAndAccents) {
    const std::vector<std::string> startsWithMa = {
        "Madison Square", "Ale Mary's", "Jewish Museum of Maryland", "Jerry's Food Market"};
    struct Row {
        const char* file;
        const char* search;
        bool startsWith, wholeWord;
        std::vector<std::string> in, out;
    } rows[] = {
        {"Andorra.pdb",
         "ROMA",
         false,
         false,
         {"Sant Romà d'Auvinyà", "Santa Romà de les Bons"},
         {}},
        {"Andorra.pdb", "pyrenees", false, true, {"Pyrénées", "Pyrénées Hyper-Centre"}, {}},
        {"Andorra.pdb", "Pyr", true, false, {"Pyrénées", "Pyrénées Hyper-Centre"}, {}},
        {"Andorra.pdb", "énées", true, false, {}, {"Pyrénées"}},
        {"Andorra.pdb", "énées", false, false, {"Pyrénées"}, {}},
        {"Andorra.pdb", "cabane", false, true, {"Cabane Portella"}, {"Cabana de la Comapedrosa"}},
        {"Baltimore.pdb", "ma", true, false, startsWithMa, {"Bethel Baptist Church"}},
        {"Baltimore.pdb", "mary's", false, true, {"Ale Mary's"}, {"Jewish Museum of Maryland"}},
        {"Baltimore.pdb",
         "square elementary",
         false,
         true,
         {"Madison Square Elementary School"},
         {"Madison Square"}},
    };
    for (const Row& r : rows) {
        gpslib::test::TempDir dir;
        const std::string file = CompiledMapCopy(r.file, dir);
        if (file.empty()) GTEST_SKIP() << "no compiled " << r.file;
        auto db = NewPoiDatabase();
        Open(db.Get(), file);
        auto candidates = AllCandidates(db.Get(), file);
        auto config = NewSearch(r.search);
        config->SetStartsWithSearch(r.startsWith ? VARIANT_TRUE : VARIANT_FALSE);
        config->SetWholeWord(r.wholeWord ? VARIANT_TRUE : VARIANT_FALSE);
        Find f = RunFind(db.Get(), candidates.Get(), config.Get());
        for (const std::string& name : r.in)
            EXPECT_TRUE(Has(f.names, name)) << r.search << " should find " << name;
        for (const std::string& name : r.out)
            EXPECT_FALSE(Has(f.names, name)) << r.search << " should not find " << name;
        EXPECT_EQ(f.found, !r.in.empty()) << r.search;
    }
}

class DbDrawnPois : public ::testing::Test {
protected:
    void SetUp() override {
        db = NewPoiDatabase();
        file = dir.File("user.pdb");
        Open(db.Get(), file);
        for (const Poi& p : pois)
            ASSERT_GT(Add(db.Get(), file, p), 0) << p.name;
        candidates = AllCandidates(db.Get(), file);
    }
    gpslib::test::TempDir dir;
    ComPtr<IPOIDatabase> db;
    std::string file;
    ComPtr<IPOIResults> candidates;
    const std::vector<Poi> pois = {
        {"O\"Brien's Bar", 18, 1, 0, 0, false},
        {"100% Bio", 18, 1, 0, 0, true},
        {"a_b corner", 18, 2},
        {"Cats AND Dogs", 18, 2},
        {"NEAR(x) shop", 18, 1},
        {"{name}: x", 18, 1, 0, 0, true},
        {"Star*", 18, 1},
        {"Plain", 10, 1, 0, 0, false, "quiet garden café"},
    };
};

TEST_F(DbDrawnPois, HostileSearchTextsAreMatchedLiterally) {
    struct Row {
        std::u16string search;
        bool startsWith, wholeWord;
        std::vector<std::string> found;
    } rows[] = {
        {u"o\"brien", true, false, {"O\"Brien's Bar"}},
        {u"\"", false, false, {"O\"Brien's Bar"}},
        {u"%", false, false, {"100% Bio"}},
        {u"100%", false, true, {"100% Bio"}},
        {u"_", false, false, {"a_b corner"}},
        {u"a%b", false, false, {}},
        {u"AND", false, true, {"Cats AND Dogs"}},
        {u"cats OR plain", false, false, {}},
        {u"NEAR(x", true, false, {"NEAR(x) shop"}},
        {u"NEAR(cats dogs)", false, false, {}},
        {u"{name}:", true, false, {"{name}: x"}},
        {u"star*", false, true, {"Star*"}},
        {u"*", true, false, {}},
        {u"st*", true, false, {}},
        {u"'; DROP TABLE pois; --", false, false, {}},
        {std::u16string(100000, u'a'), true, false, {}},
        {std::u16string(1, u'\xD800') + u"abc", false, false, {}}, // a lone surrogate
        {u"Cats\xDFFF", true, false, {}},
    };
    for (const Row& r : rows) {
        auto config = NewSearch(gpslib::ToUtf8(r.search));
        config->SetStartsWithSearch(r.startsWith ? VARIANT_TRUE : VARIANT_FALSE);
        config->SetWholeWord(r.wholeWord ? VARIANT_TRUE : VARIANT_FALSE);
        config->SetIncludeUserPrivateAsWell(VARIANT_TRUE);
        Find f = RunFind(db.Get(), candidates.Get(), config.Get());
        EXPECT_EQ(f.names, r.found) << gpslib::ToUtf8(r.search).substr(0, 40);
    }
    SHORT count = 0;
    db->DbPOIGetCount(Bstr(file).Get(), &count);
    EXPECT_EQ(count, static_cast<SHORT>(pois.size())); // nothing was executed
}

// Symbols the word index drops (currency, arrows, emoji) are still found by every mode, alone or
// beside words, in the name and in the description searched when the name is empty.
TEST(DbPoiTextSearch, SymbolsAloneAndBesideWords) {
    gpslib::test::TempDir dir;
    auto db = NewPoiDatabase();
    const std::string file = dir.File("user.pdb");
    Open(db.Get(), file);
    for (const Poi& p : {Poi{"€ Exchange"}, Poi{"→ Platform 2"}, Poi{"☕ Corner"}, Poi{"Pizza 🍕"},
                         Poi{"Café € 5"}, Poi{"Bikes", 1, 1, 0, 0, false, "🚲 rental, €10"}})
        ASSERT_GT(Add(db.Get(), file, p), 0) << p.name;
    auto candidates = AllCandidates(db.Get(), file);
    enum Mode { kStartsWith, kWholeWord };
    struct Row {
        const char* search;
        Mode mode;
        bool description; // the name left empty: the description is the main field
        std::vector<std::string> found;
    } rows[] = {
        {"€", kStartsWith, false, {"€ Exchange", "Café € 5"}},
        {"€", kWholeWord, false, {"€ Exchange", "Café € 5"}},
        {"→", kStartsWith, false, {"→ Platform 2"}},
        {"→", kWholeWord, false, {"→ Platform 2"}},
        {"🍕", kStartsWith, false, {"Pizza 🍕"}},
        {"🍕", kWholeWord, false, {"Pizza 🍕"}},
        {"☕ cor", kStartsWith, false, {"☕ Corner"}},
        {"☕ corner", kWholeWord, false, {"☕ Corner"}},
        {"pizza 🍕", kWholeWord, false, {"Pizza 🍕"}},
        {"€ 5", kStartsWith, false, {"Café € 5"}},
        {"€ exchange", kWholeWord, false, {"€ Exchange"}},
        {"€ ex", kWholeWord, false, {}},
        {"🍔", kStartsWith, false, {}},
        {"🚲", kStartsWith, true, {"Bikes"}},
        {"🚲", kWholeWord, true, {"Bikes"}},
        {"🚲 rent", kStartsWith, true, {"Bikes"}},
        {"€10", kWholeWord, true, {"Bikes"}},
        {"€1", kWholeWord, true, {}},
    };
    for (const Row& r : rows) {
        auto config = NewSearch(r.description ? "" : r.search);
        if (r.description) {
            ComPtr<IPOIObject> poi;
            config->GetPOISearchObject(poi.Put());
            poi->SetDescription(Bstr(r.search).Get());
        }
        config->SetStartsWithSearch(r.mode == kStartsWith ? VARIANT_TRUE : VARIANT_FALSE);
        config->SetWholeWord(r.mode == kWholeWord ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(RunFind(db.Get(), candidates.Get(), config.Get()).names, r.found)
            << r.search << " mode " << r.mode;
    }
}

TEST_F(DbDrawnPois, UserPoiVisibility) {
    // The public user POIs, and every POI in key order; "Plain" is not in the user category.
    const std::vector<std::string> shared = {"O\"Brien's Bar", "a_b corner", "Cats AND Dogs",
                                             "NEAR(x) shop", "Star*"};
    const std::vector<std::string> all = {"O\"Brien's Bar", "100% Bio",     "a_b corner",
                                          "Cats AND Dogs",  "NEAR(x) shop", "{name}: x",
                                          "Star*",          "Plain"};
    std::vector<std::string> sharedAndPlain = shared, allButPlain = all;
    sharedAndPlain.push_back("Plain");
    allButPlain.pop_back();
    struct Row {
        bool privateOnly, publicOnly, includePrivate;
        std::vector<std::string> found;
    } rows[] = {
        {false, false, false, sharedAndPlain},
        {false, false, true, all},
        {true, false, false, {"100% Bio", "{name}: x"}},
        {false, true, true, shared},
        {true, true, false, allButPlain},
    };
    for (const Row& r : rows) {
        auto config = NewSearch("");
        config->SetUserPrivateOnly(r.privateOnly ? VARIANT_TRUE : VARIANT_FALSE);
        config->SetUserPublicOnly(r.publicOnly ? VARIANT_TRUE : VARIANT_FALSE);
        config->SetIncludeUserPrivateAsWell(r.includePrivate ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(RunFind(db.Get(), candidates.Get(), config.Get()).names, r.found)
            << r.privateOnly << r.publicOnly << r.includePrivate;
    }
}

TEST_F(DbDrawnPois, TheCursorWalksTheCandidatesAcrossCalls) {
    // Public POIs with "a" in the name: indices 0, 2, 3, 4, 6 and 7 (1 and 5 are private).
    auto config = NewSearch("a");
    config->SetMaxSearchResults(2);
    Find first = RunFind(db.Get(), candidates.Get(), config.Get(), 0);
    EXPECT_EQ(first.names, (std::vector<std::string>{"O\"Brien's Bar", "a_b corner"}));
    EXPECT_EQ(first.cursor, 2); // the last candidate examined
    Find second = RunFind(db.Get(), candidates.Get(), config.Get(), first.cursor + 1);
    EXPECT_EQ(second.names, (std::vector<std::string>{"Cats AND Dogs", "NEAR(x) shop"}));
    EXPECT_EQ(second.cursor, 4);
    Find third = RunFind(db.Get(), candidates.Get(), config.Get(), second.cursor + 1);
    EXPECT_EQ(third.names, (std::vector<std::string>{"Star*", "Plain"}));
    EXPECT_EQ(third.cursor, 7);
    Find none = RunFind(db.Get(), candidates.Get(), config.Get(), 8);
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.cursor, 8); // everything examined: the core asks for the next ring
    // A deleted record is no longer a match, nor accepted.
    VARIANT_BOOL ok = 0;
    db->DbPOIDelete(Bstr(file).Get(), 8, &ok);
    EXPECT_EQ(RunFind(db.Get(), candidates.Get(), config.Get(), 7).names,
              std::vector<std::string>{});
}

// ---- The map engine's ring search --------------------------------------------------------------

constexpr double kLat = 45.002, kLon = 10.002; // the middle of the sample town

// A query from the middle of the sample town.
PoiQuery FromTheMiddle() {
    PoiQuery q;
    q.latitude = kLat;
    q.longitude = kLon;
    return q;
}

class DbRingSearch : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(
            search.AddMapFile(std::string(GPSLIB_SAMPLE_MAP_DIR) + "/Sampleton.pdb", &error))
            << error;
    }
    // Widens until the limit; answers every call's hits.
    std::vector<std::vector<PoiHit>> WidenFully(PoiQuery q) {
        std::vector<std::vector<PoiHit>> calls;
        double distance = 0.0;
        while (distance < kMaxSearchDistanceKm && calls.size() < 100) {
            std::vector<PoiHit> hits;
            double before = distance;
            bool found = search.FindPOIs(q, &distance, &hits);
            EXPECT_EQ(found, !hits.empty());
            EXPECT_GT(distance, before);
            for (const PoiHit& h : hits) {
                EXPECT_GT(h.distanceKm, before);
                EXPECT_LE(h.distanceKm, distance);
            }
            EXPECT_TRUE(
                std::is_sorted(hits.begin(), hits.end(), [](const PoiHit& a, const PoiHit& b) {
                    return a.distanceKm < b.distanceKm;
                }));
            calls.push_back(std::move(hits));
        }
        EXPECT_EQ(distance, kMaxSearchDistanceKm);
        return calls;
    }
    static std::multiset<PoiKey> Keys(const std::vector<std::vector<PoiHit>>& calls) {
        std::multiset<PoiKey> keys;
        for (const auto& c : calls)
            for (const PoiHit& h : c)
                keys.insert(h.key);
        return keys;
    }
    PoiSearch search;
};

TEST_F(DbRingSearch, WideningFindsEveryPoiOnceNearestFirst) {
    PoiQuery q = FromTheMiddle();
    auto calls = WidenFully(q);
    ASSERT_FALSE(calls.empty());
    ASSERT_FALSE(calls[0].empty());
    EXPECT_EQ(calls[0][0].name, "Town Pharmacy"); // 17 m away: the nearest
    auto keys = Keys(calls);
    EXPECT_EQ(keys.size(), 33u);
    EXPECT_EQ(std::set<PoiKey>(keys.begin(), keys.end()).size(), 33u);
    // Rings double from the first 0.25 km.
    double distance = 0.0;
    std::vector<PoiHit> hits;
    for (double expected : {0.25, 0.5, 1.0}) {
        search.FindPOIs(q, &distance, &hits);
        EXPECT_DOUBLE_EQ(distance, expected);
    }
    q.distanceStartingKm = 0.1;
    distance = 0.0;
    search.FindPOIs(q, &distance, &hits);
    EXPECT_DOUBLE_EQ(distance, 0.1);
}

TEST_F(DbRingSearch, MaxResultsEndTheRingAtTheLastPoiTaken) {
    PoiQuery q = FromTheMiddle();
    q.maxResults = 5;
    double distance = 0.0;
    std::vector<PoiHit> hits;
    ASSERT_TRUE(search.FindPOIs(q, &distance, &hits));
    ASSERT_GE(hits.size(), 5u);
    EXPECT_DOUBLE_EQ(distance, hits[4].distanceKm);
    EXPECT_LT(distance, 0.25);
    auto keys = Keys(WidenFully(q));
    EXPECT_EQ(keys.size(), 33u);
    EXPECT_EQ(std::set<PoiKey>(keys.begin(), keys.end()).size(), 33u);
}

TEST_F(DbRingSearch, Filters) {
    struct Row {
        int category, subcategory, direction, heading;
        std::set<PoiKey> keys;
    } rows[] = {
        {8, 0, kDirectionAll, -1, {8, 9, 22, 23, 24}},
        {8, 4, kDirectionAll, -1, {8}},
        {17, 0, kDirectionAll, -1, {}},
        {0, 0, kDirectionNorth, -1, {3, 12, 13, 14, 15}},  // 3 lies due north
        {0, 0, kDirectionRight, 270, {3, 12, 13, 14, 15}}, // facing west, the right is north
        {0, 0, kDirectionSouth, -1, {24, 25, 26, 30, 31, 32}},
        {0, 0, kDirectionBehind, 90, {1, 2, 6, 7, 27}},
        {8, 0, kDirectionEast, -1, {8, 9, 22, 23}},
    };
    for (const Row& r : rows) {
        PoiQuery q = FromTheMiddle();
        q.category = r.category;
        q.subcategory = r.subcategory;
        q.direction = r.direction;
        q.heading = r.heading;
        auto keys = Keys(WidenFully(q));
        EXPECT_EQ(std::set<PoiKey>(keys.begin(), keys.end()), r.keys)
            << r.category << "/" << r.direction;
    }
    // A relative direction without a heading searches all around.
    PoiQuery q = FromTheMiddle();
    q.direction = kDirectionLeft;
    EXPECT_EQ(Keys(WidenFully(q)).size(), 33u);
}

TEST(DbPoiFiles, WhatTheEngineTakesAndCounts) {
    gpslib::test::TempDir dir;
    auto db = NewPoiDatabase();
    SHORT n = 0;
    db->OpenDatabases(Bstr(dir.path()).Get(), &n); // creates user.pdb
    const std::string sample = std::string(GPSLIB_SAMPLE_MAP_DIR) + "/Sampleton.pdb";
    PoiSearch search;
    double distance = 0.0;
    std::vector<PoiHit> hits;
    EXPECT_FALSE(search.FindPOIs(PoiQuery{}, &distance, &hits));
    EXPECT_EQ(distance, kMaxSearchDistanceKm); // nothing loaded: no widening
    struct Row {
        std::string path;
        std::vector<int> categories;
        bool isPoiFile, taken;
        int count;
    } rows[] = {
        {sample, {1, 2}, false, false, 0},
        {sample, {}, true, false, 0},
        {sample, {1, 2}, true, true, 1},
        {sample, {1, 2}, true, false, 1},            // already loaded
        {dir.File("user.pdb"), {18}, true, true, 1}, // not counted
        {dir.File("none.pdb"), {1}, true, false, 1},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(search.AddFile(r.path, r.categories, r.isPoiFile), r.taken) << r.path;
        EXPECT_EQ(search.CommercialFileCount(), r.count) << r.path;
    }
    EXPECT_EQ(search.Categories(), (std::vector<int>{1, 2, 18}));
    // A user POI committed after the engine opened the file is found by its next search.
    Add(db.Get(), dir.File("user.pdb"), {"Fresh", 18, 1, kLat, kLon});
    PoiQuery q = FromTheMiddle();
    q.category = 18;
    distance = 0.0;
    hits.clear();
    EXPECT_TRUE(search.FindPOIs(q, &distance, &hits));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].name, "Fresh");
    search.ClearFiles();
    EXPECT_EQ(search.CommercialFileCount(), 0);
    search.SetMaxFiles(1);
    EXPECT_TRUE(search.AddFile(sample, {1}, true));
    EXPECT_FALSE(search.AddFile(dir.File("user.pdb"), {18}, true)); // over the limit
}

} // namespace
} // namespace gpsdb::test
