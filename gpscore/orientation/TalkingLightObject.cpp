#include "orientation/TalkingLightObject.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace {

// The text between `open` and the next `close` after it; empty when either tag is missing.
std::u16string_view Between(std::u16string_view text, std::u16string_view open,
                            std::u16string_view close) {
    std::size_t begin = text.find(open);
    if (begin == std::u16string_view::npos) return {};
    begin += open.size();
    std::size_t end = text.find(close, begin);
    if (end == std::u16string_view::npos) return {};
    return text.substr(begin, end - begin);
}

// Leading decimal digits after an optional sign, as far as they go; 0 when there are none.
// Values beyond 32 bits stop at the nearest limit.
LONG ParseDecimal(std::u16string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > std::int64_t{std::numeric_limits<LONG>::max()} + 1) break;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<LONG>::max()) return std::numeric_limits<LONG>::max();
    if (value < std::numeric_limits<LONG>::min()) return std::numeric_limits<LONG>::min();
    return static_cast<LONG>(value);
}

} // namespace

HRESULT CTalkingLightObject::InternalGetRawData(BSTR* pbstrRawData) {
    if (pbstrRawData == nullptr) return E_POINTER;
    std::u16string raw = u"<TL><id>";
    raw += m_bstrId.View();
    raw += u"</id><am>";
    for (char c : std::to_string(m_nAmplitude))
        raw += static_cast<char16_t>(c);
    raw += u"</am></TL>";
    return gpslib::ReturnString(pbstrRawData, std::u16string_view(raw));
}

// A text that does not start with "<TL>" exactly (letter case included) changes nothing.
HRESULT CTalkingLightObject::InternalSetFromRawData(BSTR bstrRawData) {
    std::u16string_view raw = gpslib::View(bstrRawData);
    if (raw.substr(0, 4) != u"<TL>") return S_OK;
    m_bstrId = gpslib::Bstr(Between(raw, u"<id>", u"</id>"));
    m_nAmplitude = ParseDecimal(Between(raw, u"<am>", u"</am>"));
    return S_OK;
}

GPSLIB_CLASS_FACTORY(TalkingLightObject, CTalkingLightObject)
