// The user's own places through the service on the sample town: user POIs with tags and media
// files, favorites, the history of places, annotations; what survives a restart, and two
// services adding at once. (Killed writers and a full disk: tests/database/.)
#include <random>
#include <set>
#include <thread>

#include "poi_fixture.h"
#include "value.h"

namespace gpslib::test {
namespace {

std::string Bytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string data(n, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    return data;
}

class PersonalPlaces : public POIService {
protected:
    bool Near() {
        VARIANT_BOOL near = 7;
        EXPECT_EQ(core->AnnotationsIsNear(GPSMode, &near), S_OK);
        EXPECT_NE(near, 7) << "no answer";
        return near != 0;
    }
    // Counts read into -1, so that a getter that writes nothing cannot pass for none.
    SHORT UserCount() {
        SHORT n = -1;
        EXPECT_EQ(core->POIsGetNumberOfUser(&n), S_OK);
        return n;
    }
    SHORT FavoriteCount() {
        SHORT n = -1;
        EXPECT_EQ(core->FavoritesGetCount(&n), S_OK);
        return n;
    }
    // The media file of the POI, extracted (as `name` when one is given) into the test's folder.
    std::string Media(IPOIObject* poi, const char* name = nullptr) {
        const std::string out = dir.File("out.wav");
        std::filesystem::remove(out);
        VARIANT_BOOL extracted = 0;
        EXPECT_EQ(core->POIGetMediaFile(poi, name ? Bstr(name).Get() : nullptr, Bstr(out).Get(),
                                        &extracted),
                  S_OK);
        EXPECT_NE(extracted, 0);
        return ReadWholeFile(out);
    }
    bool AddFavorite(IGPSCore* service, const std::string& name, double lat) {
        VARIANT_BOOL added = VARIANT_FALSE;
        EXPECT_EQ(service->FavoritesAddLocation(Place(lat, 10.001, name.c_str()).Get(), &added),
                  S_OK);
        return added == VARIANT_TRUE || added == static_cast<VARIANT_BOOL>(0xFFFF);
    }
    std::set<std::string> FavoriteNames() {
        std::set<std::string> names;
        for (SHORT i = 0; i < FavoriteCount(); ++i) {
            ComPtr<IPOIObject> poi;
            EXPECT_EQ(core->FavoritesGetItem(i, poi.Put()), S_OK);
            names.insert(Name(poi.Get()));
        }
        return names;
    }
};

TEST_F(PersonalPlaces, AUserPOIFromCreationToVacuum) {
    StandAt(45.0020, 10.0012, 90);
    ComPtr<IPOIObject> poi;
    ASSERT_EQ(core->POICreate(GPSMode, POICreationTypeUserPriate, poi.Put()), S_OK);
    EXPECT_EQ(Value(poi.Get(), &IPOIObject::GetCategoryNumber), 18);
    EXPECT_EQ(Value(poi.Get(), &IPOIObject::GetSubCategoryNumber), 1);
    EXPECT_NE(Value(poi.Get(), &IPOIObject::IsPrivate), 0);
    EXPECT_EQ(Text(poi.Get(), &IPOIObject::GetStreet), "Main Street");
    EXPECT_EQ(Text(poi.Get(), &IPOIObject::GetCity), "Sampleton");

    const std::string voice = Bytes(100000, 1);
    const std::string recording = dir.File("note.wav");
    std::ofstream(recording, std::ios::binary) << voice;
    poi->SetName(Bstr("My Door").Get());
    poi->SetTags(Bstr("ramp").Get());
    poi->SetMediaFile(Bstr(recording).Get());
    EXPECT_EQ(Add(poi.Get()), 1);
    EXPECT_EQ(UserCount(), 1);
    EXPECT_EQ(Text(poi.Get(), &IPOIObject::GetMediaFile), "note.wav");
    for (const char* tag : {"ramp", "RAMP", "bell"})
        ASSERT_EQ(core->POIAddTag(1, Bstr(tag).Get()), S_OK);
    Variant tags;
    ASSERT_EQ(core->POIGetTags(1, &tags), S_OK);
    EXPECT_EQ(Strings(&tags), (std::vector<std::string>{"ramp", "bell"}));

    // Found by the search of private user POIs, with its media file.
    auto search = NewSearch();
    search->SetCategoryNumber(18);
    search->SetSubCategoryNumber(1);
    ComPtr<IPOIObject> found;
    ASSERT_EQ(Find(search.Get(), &found), 1);
    EXPECT_EQ(Name(found.Get()), "My Door");
    EXPECT_NE(Value(found.Get(), &IPOIObject::HasMediaFile), 0);
    EXPECT_TRUE(Media(found.Get(), "note.wav") == voice) << "the media file comes back whole";

    // Updated, then read back by position.
    found->SetName(Bstr("My Front Door").Get());
    EXPECT_TRUE(Done(&IGPSCore::POIUpdate, found.Get()));
    ComPtr<IPOIObject> first;
    ASSERT_EQ(core->POIGetUser(0, first.Put()), S_OK);
    EXPECT_EQ(Name(first.Get()), "My Front Door");
    ComPtr<IPOIObject> next;
    ASSERT_EQ(core->POIGetUserNext(0, next.Put()), S_OK);
    EXPECT_EQ(Name(next.Get()), "");

    // A commercial POI is not the user's to change.
    ASSERT_GT(Find(nullptr, &found), 0);
    EXPECT_FALSE(Done(&IGPSCore::POIUpdate, found.Get()));
    EXPECT_FALSE(Done(&IGPSCore::POIDelete, found.Get()));

    EXPECT_TRUE(Done(&IGPSCore::POIDelete, first.Get()));
    EXPECT_FALSE(Done(&IGPSCore::POIDelete, first.Get())) << "a key that no longer exists";
    EXPECT_EQ(UserCount(), 0);

    const std::string result = Got(core.Get(), &IGPSCore::POIVaccuumUserDatabase);
    EXPECT_EQ(result.rfind("Personal databases compacted, ", 0), 0u) << result;
}

TEST_F(PersonalPlaces, KeysNamesAndTheNextFreeKey) {
    EXPECT_EQ(Add(NewUserPOI("A", 45.001, 10.001).Get()), 1);
    EXPECT_EQ(Add(NewUserPOI("B", 45.001, 10.002).Get()), 2);
    ComPtr<IPOIObject> c = NewUserPOI("C", 45.001, 10.003);
    EXPECT_EQ(Add(c.Get()), 3);
    EXPECT_EQ(Got(core.Get(), &IGPSCore::POIGetUserNextFreeKey), 4);
    EXPECT_TRUE(Done(&IGPSCore::POIDelete, c.Get()));
    EXPECT_EQ(Got(core.Get(), &IGPSCore::POIGetUserNextFreeKey), 3) << "the highest is free again";
    // A key chosen by the client is kept; one in use is refused.
    ComPtr<IPOIObject> chosen = NewUserPOI("Chosen", 45.001, 10.004);
    chosen->SetKey(10);
    EXPECT_EQ(Add(chosen.Get()), 10);
    ComPtr<IPOIObject> clash = NewUserPOI("Clash", 45.001, 10.004);
    clash->SetKey(10);
    Add(clash.Get());
    EXPECT_EQ(UserCount(), 3);

    Variant names, keys;
    SHORT count = 0;
    ASSERT_EQ(core->POIGetAllUserNamesAndKeys(&names, &keys, &count), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Strings(&names), (std::vector<std::string>{"A", "B", "Chosen"}));
}

TEST_F(PersonalPlaces, BadPOIsAndMediaFilesAreRefusedOrKeptWhole) {
    const std::string empty = dir.File("empty.wav");
    std::ofstream(empty, std::ios::binary).flush();
    const std::string big = dir.File("big.wav");
    const std::string bigData = Bytes(50u << 20, 7);
    std::ofstream(big, std::ios::binary) << bigData;
    struct Case {
        const char* name;
        double lat, lon;
        std::string media;
        SHORT category;
        bool added;
        std::size_t mediaBytes;
    };
    const Case cases[] = {
        {"missing media", 45.001, 10.001, dir.File("missing.wav"), 18, false, 0},
        {"media is a folder", 45.001, 10.001, dir.path() + "/", 18, false, 0},
        {"empty media", 45.001, 10.001, empty, 18, true, 0},
        {"50 MB media", 45.001, 10.001, big, 18, true, bigData.size()},
        {"", 45.001, 10.002, "", 18, true, 0},                 // no name
        {"at zero", 0.0, 0.0, "", 18, true, 0},                // no position
        {"no such category", 45.001, 10.003, "", 99, true, 0}, // kept as a user POI
    };
    SHORT expected = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IPOIObject> poi = NewUserPOI(c.name, c.lat, c.lon, c.media);
        poi->SetCategoryNumber(c.category);
        const LONG key = Add(poi.Get());
        EXPECT_EQ(key > 0, c.added);
        if (c.added) ++expected;
        EXPECT_EQ(UserCount(), expected);
        if (!c.added) continue;
        EXPECT_EQ(Value(poi.Get(), &IPOIObject::GetCategoryNumber), 18);
        if (c.media.empty()) continue;
        EXPECT_EQ(Media(poi.Get()).size(), c.mediaBytes);
    }
    // Keys that do not exist.
    for (LONG key : {0L, -1L, 999L}) {
        ComPtr<IPOIObject> ghost = NewUserPOI("ghost", 45.001, 10.001);
        ghost->SetKey(key);
        EXPECT_FALSE(Done(&IGPSCore::POIUpdate, ghost.Get())) << key;
        EXPECT_FALSE(Done(&IGPSCore::POIDelete, ghost.Get())) << key;
        ComPtr<IPOIObject> none;
        ASSERT_EQ(core->POIGetUser(key == 0 ? 100 : key, none.Put()), S_OK);
        EXPECT_EQ(Name(none.Get()), "");
    }
    EXPECT_EQ(UserCount(), expected);
}

// An annotation is near within the arrived-near threshold, from the live position and for the
// places Where Am I describes (the corner of Main Street and Oak Avenue here).
TEST_F(PersonalPlaces, AnAnnotationIsNearWithinTheThreshold) {
    Apply([](ISystemSettingsObject* s) {
        s->SetUnits(Metric);
        s->SetArrivedNearThreshold(Metric, 10);
    });
    constexpr double kCornerLat = 45.0020, kCornerLon = 10.0030;
    StandAt(kCornerLat, kCornerLon, 0);
    ComPtr<IPOIObject> note;
    ASSERT_EQ(core->POICreate(GPSMode, POICreationTypeAnnotation, note.Put()), S_OK);
    note->SetName(Bstr("Push button on the pole").Get());
    ASSERT_TRUE(Done(&IGPSCore::AnnotationsAdd, note.Get()));
    struct Case {
        double metresNorth;
        bool near;
    };
    const Case cases[] = {{0, true}, {5, true}, {9, true}, {12, false}, {200, false}};
    for (const Case& c : cases) {
        StandAt(kCornerLat + c.metresNorth / 111120.0, kCornerLon, 0);
        EXPECT_EQ(Near(), c.near) << c.metresNorth;
    }
    Variant list;
    ASSERT_EQ(core->AnnotationsGetList(GPSMode, &list), S_OK);
    const auto texts = Strings(&list);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("Push button on the pole, Main Street, Sampleton, ", 0), 0u)
        << texts[0];
}

TEST_F(PersonalPlaces, FavoritesHistoryAndAnnotationsSurviveStopAndStart) {
    StandAt(45.0020, 10.0012, 90);
    ASSERT_TRUE(AddFavorite(core.Get(), "Home", 45.0022));
    // A POI with its recording, copied with the recording.
    const std::string voice = Bytes(20000, 3);
    const std::string recording = dir.File("door.wav");
    std::ofstream(recording, std::ios::binary) << voice;
    ComPtr<IPOIObject> door = NewUserPOI("Friend's Door", 45.0019, 10.0030, recording);
    ASSERT_GT(Add(door.Get()), 0);
    EXPECT_TRUE(Done(&IGPSCore::FavoritesAddPOI, door.Get()));
    // An address the search has not placed: refused.
    ComPtr<IAddressObject> address;
    ASSERT_EQ(CreateObject(CLSID_AddressObject, IID_IAddressObject, &address), S_OK);
    address->SetStreet(Bstr("Main Street").Get());
    EXPECT_FALSE(Done(&IGPSCore::FavoritesAddAddress, address.Get()));

    // Annotations: one at the corner, with a recording.
    ComPtr<IPOIObject> note;
    ASSERT_EQ(core->POICreate(GPSMode, POICreationTypeAnnotation, note.Put()), S_OK);
    note->SetName(Bstr("Steps down").Get());
    note->SetMediaFile(Bstr(recording).Get());
    EXPECT_TRUE(Done(&IGPSCore::AnnotationsAdd, note.Get()));

    // Twenty-six places visited: the first drops out.
    for (int i = 0; i < 26; ++i) {
        ASSERT_EQ(core->DestinationSetByLocation(
                      Place(45.0 + i * 0.0001, 10.0, ("Place " + std::to_string(i)).c_str()).Get()),
                  S_OK);
    }
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "before the restart" : "after the restart");
        SHORT count = 0;
        // Before the user stands anywhere again: the first fix is a place visited too.
        Variant history;
        ASSERT_EQ(core->HistoryGetList(GPSMode, &history, &count), S_OK);
        EXPECT_EQ(count, 25);
        ComPtr<ILocationObject> oldest;
        ASSERT_EQ(core->HistoryGetItem(0, oldest.Put()), S_OK);
        EXPECT_EQ(Got(oldest.Get(), &ILocationObject::GetName), "Place 1");

        StandAt(45.0020, 10.0012, 90);
        EXPECT_EQ(FavoriteCount(), 2);
        EXPECT_EQ(FavoriteNames(), (std::set<std::string>{"Home", "Friend's Door"}));
        Variant list;
        ASSERT_EQ(core->FavoritesGetList(GPSMode, &list, &count), S_OK);
        EXPECT_EQ(count, 2);
        EXPECT_EQ(Strings(&list), (std::vector<std::string>{"Home, 89 feet, behind left",
                                                            "Friend's Door, 465 feet, ahead"}));
        ComPtr<IPOIObject> favorite;
        ASSERT_EQ(core->FavoritesGetItem(1, favorite.Put()), S_OK);
        EXPECT_TRUE(Media(favorite.Get()) == voice);

        EXPECT_EQ(Got(core.Get(), &IGPSCore::AnnotationsGetCount), 1);
        ComPtr<IPOIObject> annotation;
        Bstr description;
        ASSERT_EQ(core->AnnotationsGetItem(GPSMode, 0, annotation.Put(), description.Put()), S_OK);
        EXPECT_EQ(Name(annotation.Get()), "Steps down");
        EXPECT_EQ(Value(annotation.Get(), &IPOIObject::GetCategoryNumber), 16);
        EXPECT_TRUE(Near());
        StandAt(45.0030, 10.0012, 90);
        EXPECT_FALSE(Near());
        // The restart gives back the destination (Place 25) without adding it to the history
        // again: the oldest place stays.
        if (run == 0) Restart();
    }
}

TEST_F(PersonalPlaces, TwoServicesAddFavoritesAtOnce) {
    ComPtr<IGPSCore> other;
    ASSERT_EQ(CreateObject(CLSID_GPSCore, IID_IGPSCore, &other), S_OK);
    Bstr text(settings), result;
    ASSERT_EQ(other->Start(text.Get(), nullptr, result.Put()), S_OK);
    constexpr int kEach = 30;
    std::atomic<int> failures{0};
    auto adder = [&](IGPSCore* service, const char* who) {
        for (int i = 0; i < kEach; ++i)
            if (!AddFavorite(service, std::string(who) + std::to_string(i), 45.001)) ++failures;
    };
    std::thread a(adder, core.Get(), "a");
    std::thread b(adder, other.Get(), "b");
    a.join();
    b.join();
    other->Stop();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(FavoriteCount(), 2 * kEach);
    EXPECT_EQ(FavoriteNames().size(), static_cast<std::size_t>(2 * kEach));
}

} // namespace
} // namespace gpslib::test

namespace gpslib::test {
namespace {

// Before Start there are no stores and no maps: every call answers, empty or false, and nothing
// crashes.
TEST(PlacesBeforeStart, EveryCallAnswersEmpty) {
    RegisterModules();
    ComPtr<IGPSCore> core;
    ASSERT_EQ(CreateObject(CLSID_GPSCore, IID_IGPSCore, &core), S_OK);
    ComPtr<IPOIObject> poi;
    LONG found = -1;
    EXPECT_EQ(core->POIsFindNearest(GPSMode, poi.Put(), &found), S_OK);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(core->POIGet(3, poi.Put()), S_OK);
    ASSERT_TRUE(poi);
    IPOIObject* p = poi.Get();
    EXPECT_EQ(core->POIAdd(&p), S_OK);
    LONG key = -1;
    poi->GetKey(&key);
    EXPECT_EQ(key, 0);
    VARIANT_BOOL flag = 1;
    EXPECT_EQ(core->FavoritesAddLocation(Place(45.0, 10.0).Get(), &flag), S_OK);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(core->AnnotationsIsNear(VirtualMode, &flag), S_OK);
    EXPECT_EQ(flag, 0);
    SHORT count = -1;
    Variant list;
    EXPECT_EQ(core->HistoryGetList(GPSMode, &list, &count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(core->FavoritesGetCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    Variant categories;
    EXPECT_EQ(core->POIGetAllCategories(&categories, VARIANT_TRUE), S_OK);
    Bstr text;
    EXPECT_EQ(core->POIVaccuumUserDatabase(text.Put()), S_OK);
    EXPECT_EQ(core->POIGetLastLookaroundFound(poi.Put()), S_OK);
    ASSERT_TRUE(poi);
    Bstr description;
    EXPECT_EQ(core->AnnotationsGetItem(GPSMode, -1, poi.Put(), description.Put()), S_OK);
    EXPECT_EQ(description.Utf8(), "");
}

} // namespace
} // namespace gpslib::test
