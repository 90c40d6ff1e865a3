#include "Printer.h"

#include <cstdio>

#include "Speech.h"
#include "Text.h"

namespace gpsnav {

Printer::Printer(Options options, Speaker* speaker, std::FILE* out)
    : m_options(options), m_speaker(speaker), m_out(out) {}

std::vector<std::string> Printer::Format(const std::string& command, const gpsnav::Answer& answer,
                                         long time) const {
    std::vector<std::string> lines;
    if (m_options.json) {
        std::string line = "{\"command\":" + JsonString(command) + ",\"status\":\"" +
                           std::string(StatusName(answer.status)) + "\"";
        if (m_options.times) line += ",\"time\":" + std::to_string(time);
        line += ",\"texts\":[";
        for (std::size_t i = 0; i < answer.texts.size(); ++i)
            line += (i ? "," : "") + JsonString(answer.texts[i]);
        lines.push_back(line + "]}");
        return lines;
    }
    for (const std::string& text : answer.texts)
        lines.push_back(m_options.times ? WalkTime(time) + " " + text : text);
    return lines;
}

std::string Printer::Format(const gpsnav::Event& e) const {
    if (m_options.json) {
        char position[64];
        std::snprintf(position, sizeof position, "%.6f,\"longitude\":%.6f", e.latitude,
                      e.longitude);
        return "{\"event\":\"" + std::string(EventTypeName(e.type)) +
               "\",\"type\":" + std::to_string(e.type) + ",\"urgency\":\"" +
               std::string(UrgencyName(e.urgency)) + "\",\"time\":" + std::to_string(e.time) +
               ",\"text\":" + JsonString(e.text) + ",\"latitude\":" + position + "}";
    }
    return m_options.times ? WalkTime(e.time) + " " + e.text : e.text;
}

void Printer::Answer(const std::string& command, const gpsnav::Answer& answer, long time) {
    Write(Format(command, answer, time));
    if (m_speaker != nullptr)
        for (const std::string& text : answer.texts)
            m_speaker->Say(text);
}

void Printer::Event(const gpsnav::Event& event) {
    if (event.text.empty() && !m_options.json) return;
    Write({Format(event)});
    if (m_speaker != nullptr) m_speaker->Say(event.text);
}

void Printer::Write(const std::vector<std::string>& lines) {
    if (!m_good || lines.empty()) return;
    if (m_before) m_before();
    for (const std::string& line : lines) {
        if (std::fputs(line.c_str(), m_out) < 0 || std::fputc('\n', m_out) == EOF) {
            m_good = false;
            break;
        }
    }
    if (std::fflush(m_out) != 0) m_good = false;
    if (m_after) m_after();
}

} // namespace gpsnav
