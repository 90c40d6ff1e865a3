#include "gps/Trace.h"

namespace gpscore {

namespace {

constexpr std::string_view kOpen = "<Ann>";
constexpr std::string_view kClose = "</Ann>";
// A '<' this close to the end of a chunk may begin an opening tag cut by the chunk boundary.
constexpr std::size_t kSplitTagBytes = 3;
constexpr std::size_t kMaxPathCharacters = 260; // terminator included

} // namespace

std::optional<std::string> AnnotationScanner::Scan(std::string_view chunk) {
    const std::size_t open = chunk.find(kOpen);
    if (open == std::string_view::npos && m_pending.empty()) {
        const std::size_t lt = chunk.find('<');
        if (lt != std::string_view::npos && chunk.size() - lt <= kSplitTagBytes)
            m_pending.assign(chunk.substr(lt));
        return std::nullopt;
    }

    const std::size_t close = chunk.find(kClose);
    if (close != std::string_view::npos && m_pending.empty()) {
        // Here open != npos: a chunk without "<Ann>" and nothing pending returned above. An
        // empty text, or a "<Ann>" after the "</Ann>", gives nothing.
        const std::size_t first = open + kOpen.size();
        if (close <= first) return std::nullopt;
        return std::string(chunk.substr(first, close - first));
    }

    if (close != std::string_view::npos) {
        // The rest of a block whose start is pending. The length check keeps a pending text
        // that is not the start of a real block from making an overlong annotation.
        std::optional<std::string> text;
        if (m_pending.size() + close < kTraceChunkBytes + 1) {
            std::string joined = m_pending;
            joined.append(chunk.substr(0, close));
            if (joined.size() > kOpen.size() && std::string_view(joined).starts_with(kOpen))
                text = joined.substr(kOpen.size());
        }
        m_pending.clear();
        return text;
    }

    if (open != std::string_view::npos) {
        m_pending.assign(chunk.substr(open));
        return std::nullopt;
    }

    // Pending text and a chunk with neither tag: a block's text longer than one chunk is not
    // followed further.
    m_pending.clear();
    return std::nullopt;
}

std::string AnnotationBlock(std::string_view cp1252Text) {
    std::string block = "\n\n";
    block += kOpen;
    block += cp1252Text;
    block += kClose;
    block += "\n\n";
    return block;
}

std::u16string TraceFileName(std::u16string_view name) {
    std::u16string result(name);
    if (name.find(u'.') == std::u16string_view::npos) result += u".trc";
    return result;
}

bool TraceFileNameFits(std::u16string_view nameWithExtension) {
    return nameWithExtension.size() < kMaxPathCharacters;
}

} // namespace gpscore
