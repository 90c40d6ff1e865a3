// The .reg text format: parsing (with line numbers on every error), serialising and the
// in-memory key tree.
#include <gpslib/registry.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "os/codepage.h"

namespace gpslib {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

using gpslib::os::AsciiLower;
using gpslib::os::EqualIgnoringAsciiCase;

// Root names as written in the file; the short forms are accepted on input.
struct Root {
    std::string_view full;
    std::string_view shortName;
};
constexpr Root kRoots[] = {{"HKEY_CLASSES_ROOT", "HKCR"},
                           {"HKEY_LOCAL_MACHINE", "HKLM"},
                           {"HKEY_CURRENT_USER", "HKCU"},
                           {"HKEY_USERS", "HKU"},
                           {"HKEY_CURRENT_CONFIG", "HKCC"}};

// Checks a key path and spells its root in full. Empty components are not allowed, nor line
// breaks, which the key's line in the file could not hold.
bool NormalizeKey(std::string_view key, std::string* out) {
    if (key.find_first_of("\r\n") != std::string_view::npos) return false;
    std::size_t slash = key.find('\\');
    std::string_view root = key.substr(0, slash);
    std::string_view rest = slash == std::string_view::npos ? "" : key.substr(slash);
    const Root* found = nullptr;
    for (const Root& r : kRoots) {
        if (EqualIgnoringAsciiCase(root, r.full) || EqualIgnoringAsciiCase(root, r.shortName))
            found = &r;
    }
    if (found == nullptr) return false;
    if (!rest.empty()) {
        if (rest.back() == '\\' || rest.find("\\\\") != std::string_view::npos) return false;
    }
    out->assign(found->full);
    out->append(rest);
    return true;
}

// Line breaks are written as \n and \r: the format keeps one value per line, and a raw break
// would make the whole file unreadable. Every other backslash is doubled, so the two escapes
// never occur in files written by other tools.
std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            out += c == '\n' ? "\\n" : "\\r";
            continue;
        }
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// Reads a quoted string at text[*pos] (which must be '"'); advances past the closing quote.
bool ReadQuoted(std::string_view text, std::size_t* pos, std::string* out) {
    if (*pos >= text.size() || text[*pos] != '"') return false;
    out->clear();
    for (std::size_t i = *pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            if (i + 1 >= text.size()) return false;
            char e = text[++i];
            out->push_back(e == 'n' ? '\n' : e == 'r' ? '\r' : e);
        } else if (c == '"') {
            *pos = i + 1;
            return true;
        } else {
            out->push_back(c);
        }
    }
    return false;
}

bool ParseHexByte(std::string_view s, std::uint8_t* out) {
    if (s.empty() || s.size() > 2) return false;
    unsigned v = 0;
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        v = v * 16 +
            static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                      ? c - '0'
                                      : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    *out = static_cast<std::uint8_t>(v);
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

} // namespace

struct RegistryStore::Impl {
    struct Key {
        std::string name;
        std::vector<std::pair<std::string, RegistryValue>> values;
    };
    // Looked up by string_view, so that a lookup makes no copy of the path.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>()(s);
        }
    };
    std::vector<Key> keys; // File order.
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>>
        index; // Lower-case path -> position in keys.

    Key* Find(std::string_view path) {
        std::string norm;
        if (!NormalizeKey(path, &norm)) return nullptr;
        auto it = index.find(AsciiLower(norm));
        return it == index.end() ? nullptr : &keys[it->second];
    }
    // Creates the key and its parents, as the registry does.
    Key* Create(std::string_view path) {
        std::string norm;
        if (!NormalizeKey(path, &norm)) return nullptr;
        return &keys[CreateNormalized(norm)];
    }
    // The same for a path NormalizeKey has checked and spelled; answers its position in keys.
    std::size_t CreateNormalized(const std::string& norm) {
        const std::string lower = AsciiLower(norm);
        // Most keys of a file have their parents already: look for the whole path first.
        if (auto it = index.find(std::string_view(lower)); it != index.end()) return it->second;
        std::size_t at = 0;
        for (std::size_t end = norm.find('\\');; end = norm.find('\\', end + 1)) {
            const std::string_view prefix = std::string_view(lower).substr(0, end);
            auto it = index.find(prefix);
            if (it == index.end()) {
                at = keys.size();
                index.emplace(std::string(prefix), at);
                keys.push_back(Key{norm.substr(0, end), {}});
            } else {
                at = it->second;
            }
            if (end == std::string::npos) break;
        }
        return at;
    }
    static void SetValueOf(Key& key, std::string_view name, const RegistryValue& value) {
        for (auto& [n, v] : key.values) {
            if (EqualIgnoringAsciiCase(n, name)) {
                v = value;
                return;
            }
        }
        key.values.emplace_back(std::string(name), value);
    }
    void Reindex() {
        index.clear();
        for (std::size_t i = 0; i < keys.size(); ++i)
            index.emplace(AsciiLower(keys[i].name), i);
    }
};

RegistryStore::RegistryStore() : impl_(std::make_unique<Impl>()) {}
RegistryStore::~RegistryStore() = default;
RegistryStore::RegistryStore(RegistryStore&&) noexcept = default;
RegistryStore& RegistryStore::operator=(RegistryStore&&) noexcept = default;

RegistryStore RegistryStore::Clone() const {
    RegistryStore copy;
    *copy.impl_ = *impl_;
    return copy;
}

bool RegistryStore::Parse(std::string_view text, std::string* error) {
    RegistryStore work;
    *work.impl_ = *impl_; // Changes apply to a copy, so a malformed file changes nothing.
    auto fail = [&](int line, const std::string& message) {
        if (error != nullptr) *error = "line " + std::to_string(line) + ": " + message;
        return false;
    };
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::string currentKey;
    std::size_t currentAt = 0; // Position of currentKey in work's keys.
    bool inDeletedKey = false;
    bool sawHeader = false;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string line(Trim(text.substr(pos, end - pos)));
        pos = end + 1;
        int firstLine = ++lineNo;
        // A trailing backslash continues a hex value on the next line.
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos &&
               pos < text.size()) {
            line.pop_back();
            end = text.find('\n', pos);
            if (end == std::string_view::npos) end = text.size();
            line += Trim(text.substr(pos, end - pos));
            pos = end + 1;
            ++lineNo;
        }
        if (line.empty() || line[0] == ';') continue;
        if (!sawHeader) {
            if (line != kHeader5 && line != kHeader4)
                return fail(firstLine, "missing header \"" + std::string(kHeader5) + "\"");
            sawHeader = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') return fail(firstLine, "unterminated key name");
            std::string_view name = std::string_view(line).substr(1, line.size() - 2);
            bool remove = !name.empty() && name[0] == '-';
            if (remove) name.remove_prefix(1);
            std::string norm;
            if (!NormalizeKey(name, &norm))
                return fail(firstLine, "invalid key \"" + std::string(name) + "\"");
            if (remove) {
                work.DeleteTree(norm);
                inDeletedKey = true;
                currentKey.clear();
            } else {
                currentAt = work.impl_->CreateNormalized(norm);
                inDeletedKey = false;
                currentKey = norm;
            }
            continue;
        }
        std::string name;
        std::size_t p = 0;
        if (line[0] == '@') {
            p = 1;
        } else if (!ReadQuoted(line, &p, &name)) {
            return fail(firstLine, "expected a key in brackets or a value name in quotes");
        }
        while (p < line.size() && line[p] == ' ')
            ++p;
        if (p >= line.size() || line[p] != '=') return fail(firstLine, "expected '=' after name");
        std::string data(Trim(std::string_view(line).substr(p + 1)));
        if (inDeletedKey) continue; // Values under a deleted key are ignored, as on import.
        if (currentKey.empty()) return fail(firstLine, "value outside a key");
        if (data == "-") {
            work.DeleteValue(currentKey, name);
            continue;
        }
        RegistryValue value;
        if (!data.empty() && data[0] == '"') {
            std::size_t q = 0;
            if (!ReadQuoted(data, &q, &value.text) || q != data.size())
                return fail(firstLine, "malformed string value");
        } else if (data.rfind("dword:", 0) == 0) {
            std::string digits = data.substr(6);
            if (digits.empty() || digits.size() > 8 ||
                !std::all_of(digits.begin(), digits.end(),
                             [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
                return fail(firstLine, "malformed dword value");
            value.type = RegistryValue::Type::Dword;
            value.dword = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
        } else if (data.rfind("hex:", 0) == 0) {
            value.type = RegistryValue::Type::Binary;
            std::string_view rest = std::string_view(data).substr(4);
            while (!Trim(rest).empty()) {
                std::size_t comma = rest.find(',');
                std::uint8_t byte = 0;
                if (!ParseHexByte(Trim(rest.substr(0, comma)), &byte))
                    return fail(firstLine, "malformed hex value");
                value.bytes.push_back(byte);
                if (comma == std::string_view::npos) break;
                rest.remove_prefix(comma + 1);
            }
        } else {
            return fail(firstLine, "unsupported value \"" + data + "\"");
        }
        Impl::SetValueOf(work.impl_->keys[currentAt], name, value);
    }
    *impl_ = std::move(*work.impl_);
    return true;
}

std::string RegistryStore::Serialize() const {
    std::string out(kHeader5);
    out += "\n";
    for (const auto& key : impl_->keys) {
        out += "\n[" + key.name + "]\n";
        for (const auto& [name, value] : key.values) {
            out += name.empty() ? "@" : Quote(name);
            out += "=";
            switch (value.type) {
            case RegistryValue::Type::String:
                out += Quote(value.text);
                break;
            case RegistryValue::Type::Dword: {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", value.dword);
                out += buf;
                break;
            }
            case RegistryValue::Type::Binary: {
                out += "hex:";
                for (std::size_t i = 0; i < value.bytes.size(); ++i) {
                    char buf[4];
                    std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", value.bytes[i]);
                    out += buf;
                }
                break;
            }
            }
            out += "\n";
        }
    }
    return out;
}

void RegistryStore::CreateKey(std::string_view key) {
    impl_->Create(key);
}

bool RegistryStore::KeyExists(std::string_view key) const {
    return impl_->Find(key) != nullptr;
}

void RegistryStore::SetValue(std::string_view key, std::string_view name,
                             const RegistryValue& value) {
    Impl::Key* k = impl_->Create(key);
    if (k != nullptr) Impl::SetValueOf(*k, name, value);
}

void RegistryStore::SetString(std::string_view key, std::string_view name, std::string_view value) {
    RegistryValue v;
    v.text = value;
    SetValue(key, name, v);
}

void RegistryStore::SetDword(std::string_view key, std::string_view name, std::uint32_t value) {
    RegistryValue v;
    v.type = RegistryValue::Type::Dword;
    v.dword = value;
    SetValue(key, name, v);
}

const RegistryValue* RegistryStore::GetValue(std::string_view key, std::string_view name) const {
    const Impl::Key* k = impl_->Find(key);
    if (k == nullptr) return nullptr;
    for (const auto& [n, v] : k->values)
        if (EqualIgnoringAsciiCase(n, name)) return &v;
    return nullptr;
}

bool RegistryStore::GetString(std::string_view key, std::string_view name,
                              std::string* value) const {
    const RegistryValue* v = GetValue(key, name);
    if (v == nullptr || v->type != RegistryValue::Type::String) return false;
    *value = v->text;
    return true;
}

bool RegistryStore::GetDword(std::string_view key, std::string_view name,
                             std::uint32_t* value) const {
    const RegistryValue* v = GetValue(key, name);
    if (v == nullptr || v->type != RegistryValue::Type::Dword) return false;
    *value = v->dword;
    return true;
}

std::vector<std::string> RegistryStore::ValueNames(std::string_view key) const {
    std::vector<std::string> names;
    if (const Impl::Key* k = impl_->Find(key))
        for (const auto& entry : k->values)
            names.push_back(entry.first);
    return names;
}

std::vector<std::string> RegistryStore::SubKeys(std::string_view key) const {
    std::vector<std::string> names;
    std::string norm;
    if (!NormalizeKey(key, &norm)) return names;
    std::string prefix = AsciiLower(norm) + "\\";
    for (const auto& k : impl_->keys) {
        std::string lower = AsciiLower(k.name);
        if (lower.size() > prefix.size() && lower.compare(0, prefix.size(), prefix) == 0 &&
            lower.find('\\', prefix.size()) == std::string::npos)
            names.push_back(k.name.substr(prefix.size()));
    }
    return names;
}

bool RegistryStore::DeleteValue(std::string_view key, std::string_view name) {
    Impl::Key* k = impl_->Find(key);
    if (k == nullptr) return false;
    auto it = std::find_if(k->values.begin(), k->values.end(), [&](const auto& entry) {
        return EqualIgnoringAsciiCase(entry.first, name);
    });
    if (it == k->values.end()) return false;
    k->values.erase(it);
    return true;
}

bool RegistryStore::DeleteTree(std::string_view key) {
    std::string norm;
    if (!NormalizeKey(key, &norm)) return false;
    std::string lower = AsciiLower(norm);
    std::string prefix = lower + "\\";
    auto& keys = impl_->keys;
    std::size_t before = keys.size();
    keys.erase(std::remove_if(keys.begin(), keys.end(),
                              [&](const Impl::Key& k) {
                                  std::string l = AsciiLower(k.name);
                                  return l == lower || l.rfind(prefix, 0) == 0;
                              }),
               keys.end());
    impl_->Reindex();
    return keys.size() != before;
}

bool RegistryStore::Empty() const {
    return impl_->keys.empty();
}

} // namespace gpslib
