// Choosing the service's language by the module put into a settings folder (<gpslib/language.h>):
// locale names, the module copied under the service's name, a damaged module giving English,
// an unknown language refused with the list.
#include <gpslib/language.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using gpslib::test::ReadWholeFile;

TEST(Language, LocaleNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"de_DE.UTF-8", "de"}, {"fr", "fr"},    {"pt_BR.UTF-8", "pt-BR"}, {"pt_PT", "pt-BR"},
        {"pt-BR", "pt-BR"},    {"C", "en"},     {"POSIX", "en"},          {"", "en"},
        {"C.UTF-8", "en"},     {"ES_es", "es"}, {"sv_SE", "sv"},          {"it@euro", "it"}};
    for (const auto& [locale, language] : cases)
        EXPECT_EQ(gpslib::LanguageOfLocale(locale), language) << locale;
    EXPECT_EQ(gpslib::LanguageModuleName("pt-BR"), "GPSResources_PT_BR.dll");
}

TEST(Language, ModulesPutIntoTheSettingsFolder) {
    gpslib::test::TempDir dir;
    const fs::path built = fs::path(GPSLIB_RESOURCE_MODULE).parent_path();
    const fs::path modules = fs::path(dir.path()) / "modules";
    fs::create_directories(modules);
    fs::copy_file(built / "GPSResources_EN.dll", modules / "GPSResources_EN.dll");
    fs::copy_file(built / "GPSResources_FR.dll", modules / "GPSResources_FR.dll");
    // Cut short: not a module any more.
    const std::string german = ReadWholeFile(built / "GPSResources_DE.dll");
    std::ofstream(modules / "GPSResources_DE.dll", std::ios::binary) << german.substr(0, 100);
    const std::string settings = (fs::path(dir.path()) / "settings").string();
    const fs::path target = fs::path(dir.path()) / "settings" / "GPSResources_EN.dll";

    struct Case {
        const char* language;
        bool known, fellBack;
        const char* speaks;
        const char* module;
    };
    const Case cases[] = {
        {"fr_FR.UTF-8", true, false, "fr", "GPSResources_FR.dll"},
        {"de", true, true, "en", "GPSResources_EN.dll"},
        {"xx", false, false, "", "GPSResources_EN.dll"}, // refused: the folder is unchanged
        {"C", true, false, "en", "GPSResources_EN.dll"},
    };
    for (const Case& c : cases) {
        gpslib::LanguageChoice choice;
        std::string error;
        EXPECT_EQ(gpslib::UseLanguage(settings, c.language, {modules.string()}, &choice, &error),
                  c.known)
            << c.language;
        if (!c.known) {
            EXPECT_EQ(error, "no language 'xx'; the languages are en, de, fr, es, it, pt-BR");
            continue;
        }
        EXPECT_EQ(choice.language, c.speaks) << c.language;
        EXPECT_EQ(choice.fellBack, c.fellBack) << c.language;
        EXPECT_EQ(choice.note.empty(), !c.fellBack) << c.language;
        EXPECT_EQ(ReadWholeFile(target), ReadWholeFile(modules / c.module)) << c.language;
    }
}

} // namespace
