// The string-table module: the build's English module holds every string of its source with the
// arguments the service passes; the loader finds strings on every block boundary and refuses any
// damaged file as a whole.
#include "os/env.h"
#include "resources/StringTable.h"

#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using gpslib::resources::StringTable;

const std::string kRcSource = GPSLIB_SOURCE_DIR "/resources/GPSResources_EN.rc";

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

// The strings of an .rc source, read here independently of the compiler.
std::map<int, std::u16string> ParseRc(const std::string& path) {
    std::map<int, std::u16string> strings;
    std::ifstream in(path);
    EXPECT_TRUE(in) << "cannot read " << path;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::string_view rest(line);
        auto skipBlanks = [&rest] {
            while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
                rest.remove_prefix(1);
        };
        skipBlanks();
        while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\r'))
            rest.remove_suffix(1);
        if (rest.empty() || rest.starts_with("//") || rest == "STRINGTABLE" || rest == "BEGIN" ||
            rest == "END")
            continue;
        int id = 0;
        std::size_t digits = 0;
        for (; digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9'; ++digits)
            id = id * 10 + (rest[digits] - '0');
        rest.remove_prefix(digits);
        skipBlanks();
        if (rest.starts_with(",")) rest.remove_prefix(1);
        skipBlanks();
        // The entry's name, which the build turns into the constant the code uses.
        while (!rest.empty() &&
               (std::isalnum(static_cast<unsigned char>(rest.front())) != 0 || rest.front() == '_'))
            rest.remove_prefix(1);
        skipBlanks();
        std::string text;
        bool closed = false;
        if (digits > 0 && rest.starts_with("\"")) {
            std::size_t i = 1;
            for (; i < rest.size(); ++i) {
                if (rest[i] == '"') {
                    closed = true;
                    break;
                }
                if (rest[i] == '\\' && i + 1 < rest.size()) {
                    const char e = rest[++i];
                    text += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
                } else {
                    text += rest[i];
                }
            }
            rest.remove_prefix(closed ? i + 1 : rest.size());
            skipBlanks();
        }
        if (!closed || !(rest.empty() || rest.starts_with("//"))) {
            ADD_FAILURE() << path << ":" << lineNo << " is not an entry: " << line;
            continue;
        }
        EXPECT_TRUE(strings.emplace(id, gpslib::ToUtf16(text)).second)
            << path << ":" << lineNo << " repeats an id";
    }
    return strings;
}

// The printf conversions of a format, in order ("sd" for "%s is %d"); "%%" is none.
std::string Conversions(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') continue;
        ++i;
        while (i < text.size() &&
               std::u16string_view(u"-+ #0123456789.lh").find(text[i]) != std::u16string_view::npos)
            ++i;
        if (i < text.size() && text[i] != u'%') out += static_cast<char>(text[i]);
    }
    return out;
}

void LoadOrFail(StringTable& table, const std::string& path) {
    std::string error;
    EXPECT_TRUE(table.Load(*gpslib::os::Env::Default(), path, &error)) << error;
}

TEST(StringTableLookup, FindsStringsOnEveryBlockBoundary) {
    StringTable table;
    std::string error;
    ASSERT_TRUE(table.Load(*gpslib::os::Env::Default(), SMALL_MODULE, &error)) << error;
    const struct {
        int id;
        std::u16string text;
    } cases[] = {
        {0, u"zero"},
        {1, u""},
        {14, u""},
        {15, u"fifteen"},
        {16, u"sixteen"},
        {17, u"seventeen"},
        {18, u""},
        {31, u"thirty-one"},
        {32, u"say \"hi\" \\ back"},
        {33, u""},
        {4000, u"tab\there\r\nnext line"},
        {20708, u"\u03a9 caf\u00e9 \u2713 \U0001D11E"},
        {20709, u""},
        {65519, u"last of block 4095"},
        {65520, u"first of block 4096"},
        {65534, u""},
        {65535, u"last id"},
        {-1, u""},
        {65536, u""},
        {1 << 30, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(table.Get(c.id), c.text) << "id " << c.id;
    EXPECT_EQ(table.Count(), 11u);
}

TEST(StringTableModule, HoldsEveryStringOfItsSource) {
    const std::map<int, std::u16string> source = ParseRc(kRcSource);
    StringTable table;
    LoadOrFail(table, RESOURCE_MODULE);
    ASSERT_GT(source.size(), 300u);
    for (const auto& [id, text] : source)
        EXPECT_EQ(table.Get(id), text) << "id " << id;
    EXPECT_EQ(table.Count(), source.size());
    // The code names the strings it needs from the same source (StringIds.h): a string it uses
    // cannot go missing without the build failing. The version is the library's own.
    EXPECT_EQ(table.Get(20001), gpslib::ToUtf16("gpslib " GPSLIB_VERSION));
}

// A format whose placeholders differ from the arguments the service passes reads the wrong
// argument (or a number as a string pointer): every string's conversions are fixed here.
TEST(StringTableModule, FormatsTakeTheArgumentsTheServicePasses) {
    const std::map<int, std::string> formats = {
        {20003, "s"},  {20004, "s"},    {20015, "s"},   {20016, "s"},   {20018, "d"},
        {20022, "ss"}, {20023, "ssss"}, {20195, "sds"}, {20204, "ss"},  {20205, "s"},
        {20456, "s"},  {20463, "ss"},   {20464, "ss"},  {20471, "ss"},  {20478, "s"},
        {20479, "ss"}, {20500, "d"},    {20501, "dd"},  {20502, "dd"},  {20506, "d"},
        {20507, "d"},  {20510, "dd"},   {20511, "dd"},  {20515, "d"},   {20516, "d"},
        {20520, "d"},  {20521, "d"},    {20522, "dd"},  {20523, "dd"},  {20524, "d"},
        {20580, "d"},  {20615, "sdsd"}, {20616, "d"},   {20617, "sds"}, {20747, "s"},
        {21000, "s"},  {21002, "s"},    {21003, "s"},   {21004, "ss"},  {21005, "d"},
        {21006, "d"},  {21007, "d"},    {21009, "s"},   {21010, "s"},   {21025, "d"},
        {21061, "d"},  {21062, "dd"},   {22008, "ds"},  {22009, "d"},   {41000, "s"},
        {41001, "s"},  {41117, "ss"},   {41118, "s"},
    };
    const std::map<int, std::u16string> source = ParseRc(kRcSource);
    for (const auto& [id, text] : source) {
        auto it = formats.find(id);
        EXPECT_EQ(Conversions(text), it == formats.end() ? "" : it->second) << "id " << id;
    }
    for (const auto& [id, conversions] : formats)
        EXPECT_TRUE(source.count(id)) << "id " << id;
}

// Templates use only the codes their expansion knows (an unknown code is silently dropped), and
// no other string holds a "$".
TEST(StringTableModule, TemplatesUseOnlyTheirCodes) {
    const std::string description = "CcDZdNpFPSWOnqwf$";
    const std::map<int, std::string> templates = {
        {20002, "TFH$"},      {20109, description}, {20179, description}, {20180, description},
        {20466, description}, {20705, description}, {20735, description}, {20736, description},
        {20747, description}, {21012, description}, {21033, description}, {21034, description},
        {21037, "dDWTEU$"},   {22000, description}, {22001, description}, {22002, description},
        {22003, description}, {22004, description}, {22005, description}, {22006, description},
        {22007, description}, {22010, description},
    };
    for (const auto& [id, text] : ParseRc(kRcSource)) {
        auto it = templates.find(id);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != u'$') continue;
            ASSERT_NE(it, templates.end()) << "id " << id << " is not a template";
            ASSERT_LT(i + 1, text.size()) << "id " << id << " ends in a lone $";
            EXPECT_NE(it->second.find(static_cast<char>(text[i + 1])), std::string::npos)
                << "id " << id << " uses $" << static_cast<char>(text[i + 1]);
            ++i;
        }
    }
}

// Each case damages one field of the small module; the loader must refuse the whole file, say
// why, and leave no table behind (even after a good load).
TEST(StringTableCorrupt, RefusesDamagedModules) {
    const std::string good = gpslib::test::ReadWholeFile(SMALL_MODULE);
    ASSERT_GT(good.size(), 200u);
    auto put16 = [](std::string& d, std::size_t at, std::uint16_t v) {
        d[at] = static_cast<char>(v & 0xff);
        d[at + 1] = static_cast<char>(v >> 8);
    };
    auto get32 = [](const std::string& d, std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<unsigned char>(d[at + i]);
        return v;
    };
    auto put32 = [&](std::string& d, std::size_t at, std::uint32_t v) {
        put16(d, at, static_cast<std::uint16_t>(v & 0xffff));
        put16(d, at + 2, static_cast<std::uint16_t>(v >> 16));
    };
    const std::uint32_t blocks = get32(good, 12);
    const std::size_t lastEntry = 32 + 12 * (blocks - 1);
    const std::uint32_t dataOffset = get32(good, 24);
    const struct {
        const char* name;
        std::function<void(std::string&)> damage;
        const char* why;
    } cases[] = {
        {"bad magic", [](std::string& d) { d[0] = 'X'; }, "bad magic"},
        {"newer version", [&](std::string& d) { put16(d, 8, 2); }, "version 2"},
        {"header size", [&](std::string& d) { put16(d, 10, 40); }, "damaged header"},
        {"trailing bytes", [](std::string& d) { d += std::string(2, '\0'); }, "after the end"},
        {"size field too large", [&](std::string& d) { put32(d, 28, get32(d, 28) + 2); },
         "truncated"},
        {"no blocks", [&](std::string& d) { put32(d, 12, 0); }, "block count"},
        {"string count", [&](std::string& d) { put32(d, 16, get32(d, 16) + 1); }, "strings"},
        {"block number 0", [&](std::string& d) { put32(d, 32, 0); }, "bad block number"},
        {"block number 4097", [&](std::string& d) { put32(d, lastEntry, 4097); },
         "bad block number"},
        {"blocks out of order", [&](std::string& d) { put32(d, 44, get32(d, 32)); },
         "bad block number"},
        {"block offset", [&](std::string& d) { put32(d, 36, get32(d, 36) + 2); }, "starts at"},
        {"entry length past its block", [&](std::string& d) { put16(d, dataOffset, 0xffff); },
         "runs past the end of its block"},
        {"block size short", [&](std::string& d) { put32(d, 40, get32(d, 40) - 2); },
         "runs past the end of its block"},
        {"block size long", [&](std::string& d) { put32(d, 40, get32(d, 40) + 2); },
         "bytes after its 16 entries"},
        {"last block past the file",
         [&](std::string& d) { put32(d, lastEntry + 8, get32(d, lastEntry + 8) + 1000); },
         "past the end of the file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bad = good;
        c.damage(bad);
        StringTable table;
        std::string error;
        ASSERT_TRUE(table.LoadFromMemory(good, &error)) << error;
        EXPECT_FALSE(table.LoadFromMemory(bad, &error));
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        EXPECT_FALSE(table.Loaded());
        EXPECT_EQ(table.Count(), 0u);
        EXPECT_EQ(table.Get(0), u"");
    }
}

TEST(StringTableCorrupt, RefusesEveryTruncation) {
    const std::string good = gpslib::test::ReadWholeFile(SMALL_MODULE);
    StringTable table;
    for (std::size_t n = 0; n < good.size(); ++n) {
        std::string error;
        // A copy of exactly n bytes, so that the sanitizers catch a read past it.
        const std::string prefix = good.substr(0, n);
        EXPECT_FALSE(table.LoadFromMemory(prefix, &error)) << n;
        EXPECT_FALSE(error.empty()) << n;
        EXPECT_EQ(table.Get(16), u"") << n;
    }
    std::string error;
    EXPECT_TRUE(table.LoadFromMemory(good, &error)) << error;
}

TEST(StringTableLoad, RefusesUnreadableAndOversizedFiles) {
    gpslib::test::TempDir dir;
    const std::string good = gpslib::test::ReadWholeFile(SMALL_MODULE);
    WriteBytes(dir.File("half.dll"), good.substr(0, good.size() / 2));
    WriteBytes(dir.File("big.dll"), good);
    std::filesystem::resize_file(dir.File("big.dll"), StringTable::kMaxFileSize + 1);
    const struct {
        std::string path;
        const char* why;
    } cases[] = {
        {dir.File("missing.dll"), "NotFound"},
        {dir.path(), "cannot read"},
        {dir.File("half.dll"), "truncated"},
        {dir.File("big.dll"), "too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        StringTable table;
        std::string error;
        ASSERT_TRUE(table.Load(*gpslib::os::Env::Default(), SMALL_MODULE, &error)) << error;
        EXPECT_FALSE(table.Load(*gpslib::os::Env::Default(), c.path, &error));
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        EXPECT_FALSE(table.Loaded());
        EXPECT_EQ(table.Get(0), u"");
    }
    StringTable table;
    EXPECT_FALSE(table.LoadFromMemory(std::string(StringTable::kMaxFileSize + 1, '\0'), nullptr));
    ASSERT_TRUE(table.Load(*gpslib::os::Env::Default(), SMALL_MODULE, nullptr));
    table.Unload();
    EXPECT_FALSE(table.Loaded());
    EXPECT_EQ(table.Get(0), u"");
}

TEST(StringTableResolve, FindsTheModuleByPathOrBesideTheCoreThenInTheDataFolder) {
    gpslib::test::TempDir dir;
    const std::string core = dir.File("core");
    const std::string data = dir.File("data");
    for (const std::string& d : {core, data, core + "/folder.dll"})
        std::filesystem::create_directories(d);
    for (const std::string& f :
         {core + "/both.dll", data + "/both.dll", data + "/data.dll", data + "/folder.dll"})
        WriteBytes(f, "x");
    const struct {
        std::string name, coreDir, dataDir, expected;
    } cases[] = {
        {"maps/res.dll", core, data, "maps/res.dll"},
        {"\\CompactFlash\\settings\\GPSResources_EN.dll", core, data,
         "/CompactFlash/settings/GPSResources_EN.dll"},
        {"..\\res.dll", "", "", "../res.dll"},
        {"both.dll", core, data, core + "/both.dll"},
        {"both.dll", core + "\\", data, core + "/both.dll"},
        {"data.dll", core, data, data + "/data.dll"},
        {"folder.dll", core, data, data + "/folder.dll"}, // a directory is not the module
        {"nowhere.dll", core, data, "nowhere.dll"},
        {"both.dll", "", "", "both.dll"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StringTable::Resolve(*gpslib::os::Env::Default(), c.name, c.coreDir, c.dataDir),
                  c.expected)
            << c.name << " in " << c.coreDir << " / " << c.dataDir;
    }
}

} // namespace
