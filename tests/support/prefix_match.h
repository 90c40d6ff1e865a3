#pragma once

#include <string>
#include <string_view>

namespace gpslib::test {

// Whether `line` starts with `pattern`, where '9' in the pattern stands for any digit; the rest
// of the line goes to *rest. (Hand-written: the regex library trips a compiler warning under the
// sanitizers.)
inline bool MatchesPrefix(const std::string& line, std::string_view pattern, std::string* rest) {
    if (line.size() < pattern.size()) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        bool digit = line[i] >= '0' && line[i] <= '9';
        if (pattern[i] == '9' ? !digit : line[i] != pattern[i]) return false;
    }
    *rest = line.substr(pattern.size());
    return true;
}

} // namespace gpslib::test
