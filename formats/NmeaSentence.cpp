#include "formats/NmeaSentence.h"

#include <cstdio>

namespace gpslib::nmea {

unsigned Checksum(std::string_view body) {
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    return sum;
}

std::string Sentence(std::string_view body) {
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", Checksum(body));
    std::string out;
    out.reserve(body.size() + 6);
    out += '$';
    out += body;
    out += tail;
    return out;
}

} // namespace gpslib::nmea
