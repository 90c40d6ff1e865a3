// How gpsnav shows its lines: plain text, one line per answer or event (optionally after its
// time in the walk), or one JSON object a line; each line is also spoken when speech is on.
// Writing stops for good when standard output is closed.
#ifndef GPSNAV_PRINTER_H_
#define GPSNAV_PRINTER_H_

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Session.h"

namespace gpsnav {

class Speaker;

class Printer {
public:
    struct Options {
        bool json = false;
        bool times = false;
    };
    Printer(Options options, Speaker* speaker, std::FILE* out = stdout);

    // Runs around every write, for example to move the line being typed out of the way.
    void SetAround(std::function<void()> before, std::function<void()> after) {
        m_before = std::move(before);
        m_after = std::move(after);
    }
    void Answer(const std::string& command, const gpsnav::Answer& answer, long time);
    void Event(const gpsnav::Event& event);
    // False once a write failed (standard output closed).
    bool Good() const { return m_good; }

    // The text lines of an answer and an event, as printed (without the line end).
    std::vector<std::string> Format(const std::string& command, const gpsnav::Answer& answer,
                                    long time) const;
    std::string Format(const gpsnav::Event& event) const;

private:
    void Write(const std::vector<std::string>& lines);

    Options m_options;
    Speaker* m_speaker;
    std::FILE* m_out;
    bool m_good = true;
    std::function<void()> m_before;
    std::function<void()> m_after;
};

} // namespace gpsnav

#endif // GPSNAV_PRINTER_H_
