// GUID text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in both directions.
#include <gpslib/automation.h>

#include <gpslib/support.h>

#include <cstdio>

namespace gpslib {

bool ParseGuid(std::string_view text, GUID* out) {
    if (text.size() == 36) {
        // Accept the bare form too; the registry store and the tools write braces.
    } else if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, 36);
    } else {
        return false;
    }
    std::uint8_t bytes[16] = {};
    int nibble = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return false;
            continue;
        }
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            return false;
        if (nibble % 2 == 0)
            bytes[nibble / 2] = static_cast<std::uint8_t>(v << 4);
        else
            bytes[nibble / 2] |= static_cast<std::uint8_t>(v);
        ++nibble;
    }
    out->Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                 (std::uint32_t{bytes[2]} << 8) | bytes[3];
    out->Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    out->Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        out->Data4[i] = bytes[8 + i];
    return true;
}

std::string GuidToString(const GUID& g) {
    char buf[39];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

} // namespace gpslib

extern "C" {

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (lpsz == nullptr || cchMax < 39) return 0;
    std::string text = gpslib::GuidToString(rguid);
    for (int i = 0; i < 38; ++i)
        lpsz[i] = static_cast<OLECHAR>(text[i]);
    lpsz[38] = 0;
    return 39;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) {
    if (pclsid == nullptr) return E_INVALIDARG;
    *pclsid = GUID_NULL;
    if (lpsz == nullptr) return S_OK; // A null string names the null class, as the usual call does.
    std::string text;
    for (; *lpsz != 0 && text.size() < 40; ++lpsz) {
        if (*lpsz > 0x7F) return CO_E_CLASSSTRING;
        text.push_back(static_cast<char>(*lpsz));
    }
    if (text.size() != 38 || !gpslib::ParseGuid(text, pclsid)) {
        *pclsid = GUID_NULL;
        return CO_E_CLASSSTRING;
    }
    return S_OK;
}

HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid) {
    HRESULT hr = CLSIDFromString(lpsz, lpiid);
    return hr == CO_E_CLASSSTRING ? E_INVALIDARG : hr;
}

} // extern "C"
