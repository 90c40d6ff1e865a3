// Automation strings: UTF-16 text preceded by a 32-bit byte count and followed by a NUL.
#include <gpslib/automation.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kHeader = sizeof(std::uint32_t);
// Keeps the byte count and the string in 32 bits even after the NUL and header are added.
constexpr std::size_t kMaxBytes = 0x7FFFFFF0u;

std::uint32_t* HeaderOf(BSTR b) {
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(b) - kHeader);
}

BSTR AllocBytes(const void* src, std::size_t bytes) {
    if (bytes > kMaxBytes) return nullptr;
    // Room for the byte count, the text and a two-byte terminator (plus one byte so that an odd
    // byte length still ends in a full NUL character).
    char* block = static_cast<char*>(std::malloc(kHeader + bytes + sizeof(OLECHAR) + 1));
    if (block == nullptr) return nullptr;
    std::uint32_t len = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &len, kHeader);
    char* text = block + kHeader;
    if (src != nullptr && bytes != 0)
        std::memcpy(text, src, bytes);
    else if (bytes != 0)
        std::memset(text, 0, bytes);
    std::memset(text + bytes, 0, sizeof(OLECHAR) + 1);
    return reinterpret_cast<BSTR>(text);
}

std::size_t Length(const OLECHAR* psz) {
    std::size_t n = 0;
    while (psz[n] != 0)
        ++n;
    return n;
}

} // namespace

extern "C" {

BSTR SysAllocString(const OLECHAR* psz) {
    if (psz == nullptr) return nullptr;
    return AllocBytes(psz, Length(psz) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) {
    if (cch > kMaxBytes / sizeof(OLECHAR)) return nullptr;
    return AllocBytes(pch, std::size_t{cch} * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* psz, UINT len) {
    return AllocBytes(psz, len);
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (pbstr == nullptr) return 0;
    BSTR fresh = SysAllocString(psz);
    if (fresh == nullptr && psz != nullptr) return 0;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return 1;
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
    if (pbstr == nullptr) return 0;
    // The source may be the old string itself, so allocate before freeing.
    BSTR fresh = SysAllocStringLen(psz, len);
    if (fresh == nullptr) return 0;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return 1;
}

void SysFreeString(BSTR bstr) {
    if (bstr != nullptr) std::free(HeaderOf(bstr));
}

UINT SysStringLen(BSTR bstr) {
    return bstr == nullptr ? 0 : *HeaderOf(bstr) / sizeof(OLECHAR);
}

UINT SysStringByteLen(BSTR bstr) {
    return bstr == nullptr ? 0 : *HeaderOf(bstr);
}

void* CoTaskMemAlloc(std::size_t cb) {
    return std::malloc(cb);
}
void CoTaskMemFree(void* pv) {
    std::free(pv);
}

} // extern "C"
