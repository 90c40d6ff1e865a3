// The NMEA 0183 sentence frame: "$", the body, "*", the checksum in two upper-case hex digits,
// CR LF. The receiver input's parser checks it and the trace writer, the tests and the benchmarks
// make sentences with it; it lives here, below the service, because the trace files are written
// in it.
#ifndef FORMATS_NMEASENTENCE_H_
#define FORMATS_NMEASENTENCE_H_

#include <string>
#include <string_view>

namespace gpslib::nmea {

// The XOR of the body's bytes (what stands between "$" and "*").
unsigned Checksum(std::string_view body);

// "$" + body + "*HH\r\n".
std::string Sentence(std::string_view body);

} // namespace gpslib::nmea

#endif // FORMATS_NMEASENTENCE_H_
