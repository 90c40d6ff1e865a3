// The real receiver captures in ../shared/data/nmea, as the wire delivers them.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace gpslib::test {

inline const std::filesystem::path kCaptureDir = GPSLIB_NMEA_DATA_DIR;

// The file's lines, without carriage returns (some captures were stored with them).
inline std::vector<std::string> Lines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line); lines.push_back(line))
        if (!line.empty() && line.back() == '\r') line.pop_back();
    return lines;
}

// The capture as a receiver sends it: comment lines removed, one CR LF after every line.
inline std::string Wire(const std::filesystem::path& path) {
    std::string wire;
    for (const std::string& line : Lines(path))
        if (line.empty() || line[0] != '#') wire += line + "\r\n";
    return wire;
}

// Every capture, in name order; empty when the data is not there.
inline std::vector<std::filesystem::path> Captures() {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(kCaptureDir, ec))
        if (entry.path().extension() == ".log") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace gpslib::test
