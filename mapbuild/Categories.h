// How OSM tags become the system's POI categories and subcategories. The numbering is the one of
// the string table (category c is resource (c + 59) * 500, its subcategory s that plus s), whose
// source names the tags beside each subcategory; docs/formats.md has the table.
#ifndef MAPBUILD_CATEGORIES_H_
#define MAPBUILD_CATEGORIES_H_

#include <string_view>

namespace gpsmap::build {

struct Category {
    int category = 0; // 1-17; 0 when the object is no POI
    int subcategory = 0;
};

// The category of an object with these tags; `get` answers a tag's value or null.
template <class GetTag> Category Categorize(GetTag get);

// The table itself, one row per (key, value); an empty value matches any value of the key. The
// first matching row in table order wins, so specific rows come before catch-all ones.
struct CategoryRule {
    std::string_view key;
    std::string_view value;
    int category;
    int subcategory;
};
extern const CategoryRule kCategoryRules[];
extern const int kCategoryRuleCount;

template <class GetTag> Category Categorize(GetTag get) {
    // Places of worship are told apart by religion.
    if (const char* amenity = get("amenity");
        amenity && std::string_view(amenity) == "place_of_worship") {
        const char* religion = get("religion");
        std::string_view r = religion ? religion : "";
        if (r == "christian") return {4, 1};
        if (r == "muslim") return {4, 2};
        if (r == "jewish") return {4, 3};
        if (r == "buddhist" || r == "hindu" || r == "sikh") return {4, 4};
        return {4, 5};
    }
    if (const char* station = get("station"); station && std::string_view(station) == "subway")
        return {14, 5};
    for (int i = 0; i < kCategoryRuleCount; ++i) {
        const CategoryRule& rule = kCategoryRules[i];
        const char* v = get(rule.key.data());
        if (v == nullptr) continue;
        if (rule.value.empty() || rule.value == v) return {rule.category, rule.subcategory};
    }
    return {};
}

} // namespace gpsmap::build

#endif // MAPBUILD_CATEGORIES_H_
