// The text of a settings file: its fields as values, how a field's text reads and is written,
// the fields in file order, and the file's one read and atomic write within the read limit
// (docs/settings-files.md). The field tables (SettingsFiles.cpp) stand on it.
#ifndef GPSCORE_BASE_SETTINGSTEXT_H_
#define GPSCORE_BASE_SETTINGSTEXT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/env.h"

namespace gpscore::settings::text {

enum class Kind { kInteger, kBoolean, kReal, kString };

// One field's value on its way between the text and a record or object. Integers and switches
// (as the number the switch holds) use `number`.
struct Value {
    std::int64_t number = 0;
    double real = 0.0;
    std::u16string text;
};

Value Number(std::int64_t n);
Value Real(double d);
Value Text(std::u16string_view s);

// A field's text read as `kind` (see docs/settings-files.md for the rules).
Value Parse(Kind kind, std::u16string_view text);
// A field's value as the writer writes it.
std::u16string Format(Kind kind, const Value& v);

// The fields of one file after the version, in the order they were read or are written.
class FieldCursor {
public:
    explicit FieldCursor(std::u16string_view text) : m_text(text) {}

    // The next field's text; none when the text has run out or the field has no separator
    // (and then none for any later field either).
    std::optional<std::u16string_view> Next() {
        if (m_pos >= m_text.size()) return std::nullopt;
        std::size_t separator = m_text.find(u'|', m_pos);
        if (separator == std::u16string_view::npos) {
            m_pos = m_text.size();
            return std::nullopt;
        }
        std::u16string_view field = m_text.substr(m_pos, separator - m_pos);
        m_pos = separator + 1;
        return field;
    }

private:
    std::u16string_view m_text;
    std::size_t m_pos = 0;
};

// The file's version (1 when it has none); the cursor then stands at the first field.
std::int64_t ReadVersion(FieldCursor& cursor);

// One field's text as it will be written, and whether it is a string (which may be shortened).
struct Piece {
    std::u16string text;
    bool isString;
};

// The file's text: empty when it is missing or unreadable, or when its one read fills the
// limit. A trailing odd byte is ignored.
std::u16string ReadContent(gpslib::os::Env& env, std::u16string_view directory,
                           std::u16string_view name);
// Writes the fields, each followed by the separator, atomically; the longest texts are first
// shortened to keep the file within the read limit. False without a directory or on failure.
bool WriteContent(gpslib::os::Env& env, std::u16string_view directory, std::u16string_view name,
                  std::vector<Piece>& pieces);
// The version as the first piece of a file.
std::vector<Piece> VersionPiece(int version);

} // namespace gpscore::settings::text

#endif // GPSCORE_BASE_SETTINGSTEXT_H_
