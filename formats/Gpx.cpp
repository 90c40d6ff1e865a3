#include "formats/Gpx.h"

#include <tinyxml2.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "os/time.h"

namespace gpslib::gpx {
namespace {

using tinyxml2::XMLElement;

// Element names compared without a namespace prefix ("gpx:trkpt" is a trkpt).
std::string_view LocalName(const XMLElement* e) {
    std::string_view name = e->Name() != nullptr ? e->Name() : "";
    std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

const XMLElement* Child(const XMLElement* parent, std::string_view name) {
    for (const XMLElement* c = parent->FirstChildElement(); c != nullptr;
         c = c->NextSiblingElement())
        if (LocalName(c) == name) return c;
    return nullptr;
}

std::string ChildText(const XMLElement* parent, std::string_view name) {
    const XMLElement* c = Child(parent, name);
    const char* text = c != nullptr ? c->GetText() : nullptr;
    return text != nullptr ? text : "";
}

std::string At(const XMLElement* e) {
    return "line " + std::to_string(e->GetLineNum()) + ": ";
}

// A decimal number filling the whole text (blanks around it allowed).
std::optional<double> Number(const char* text) {
    if (text == nullptr) return std::nullopt;
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r')
        ++text;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text) return std::nullopt;
    while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r')
        ++end;
    if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool ReadPoint(const XMLElement* e, Point* point, std::string* error) {
    const std::string tag = std::string(LocalName(e));
    std::optional<double> lat = Number(e->Attribute("lat"));
    std::optional<double> lon = Number(e->Attribute("lon"));
    if (e->Attribute("lat") == nullptr || e->Attribute("lon") == nullptr) {
        *error = At(e) + "<" + tag + "> without " + (e->Attribute("lat") ? "lon" : "lat");
        return false;
    }
    if (!lat || !lon || std::fabs(*lat) > 90.0 || std::fabs(*lon) > 180.0) {
        *error = At(e) + "<" + tag + "> with a position that is not one";
        return false;
    }
    point->latitude = *lat;
    point->longitude = *lon;
    if (const XMLElement* ele = Child(e, "ele")) {
        point->elevation = Number(ele->GetText());
        if (!point->elevation) {
            *error = At(ele) + "<ele> is not a number";
            return false;
        }
    }
    if (const XMLElement* time = Child(e, "time")) {
        point->time = ParseTime(time->GetText() != nullptr ? time->GetText() : "");
        if (!point->time) {
            *error = At(time) + "<time> is not a date and time";
            return false;
        }
    }
    point->name = ChildText(e, "name");
    point->description = ChildText(e, "desc");
    return true;
}

// Appends the points of the children of `parent` named `tag` (a route's <rtept>, a segment's
// <trkpt>), in their order.
bool ReadPoints(const XMLElement* parent, std::string_view tag, std::vector<Point>* out,
                std::string* error) {
    for (const XMLElement* e = parent->FirstChildElement(); e != nullptr;
         e = e->NextSiblingElement()) {
        if (LocalName(e) != tag) continue;
        Point p;
        if (!ReadPoint(e, &p, error)) return false;
        out->push_back(std::move(p));
    }
    return true;
}

bool ReadDocument(const XMLElement* root, Document* doc, std::string* error) {
    if (root == nullptr || LocalName(root) != "gpx") {
        *error = "not a GPX file (the root element is not <gpx>)";
        return false;
    }
    if (const char* creator = root->Attribute("creator")) doc->creator = creator;
    if (const XMLElement* metadata = Child(root, "metadata"))
        doc->name = ChildText(metadata, "name");
    for (const XMLElement* e = root->FirstChildElement(); e != nullptr;
         e = e->NextSiblingElement()) {
        const std::string_view name = LocalName(e);
        if (name == "wpt") {
            Point p;
            if (!ReadPoint(e, &p, error)) return false;
            doc->waypoints.push_back(std::move(p));
        } else if (name == "rte") {
            Route route;
            route.name = ChildText(e, "name");
            route.description = ChildText(e, "desc");
            if (!ReadPoints(e, "rtept", &route.points, error)) return false;
            doc->routes.push_back(std::move(route));
        } else if (name == "trk") {
            Track track;
            track.name = ChildText(e, "name");
            track.description = ChildText(e, "desc");
            for (const XMLElement* s = e->FirstChildElement(); s != nullptr;
                 s = s->NextSiblingElement()) {
                if (LocalName(s) != "trkseg") continue;
                std::vector<Point> segment;
                if (!ReadPoints(s, "trkpt", &segment, error)) return false;
                track.segments.push_back(std::move(segment));
            }
            doc->tracks.push_back(std::move(track));
        }
    }
    return true;
}

int Digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return -1;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

void AppendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
}

void AppendElement(std::string& out, std::string_view indent, std::string_view tag,
                   std::string_view text) {
    if (text.empty()) return;
    out += indent;
    out += '<';
    out += tag;
    out += '>';
    AppendEscaped(out, text);
    out += "</";
    out += tag;
    out += ">\n";
}

void AppendPoint(std::string& out, std::string_view indent, std::string_view tag, const Point& p) {
    char position[96];
    std::snprintf(position, sizeof position, " lat=\"%.7f\" lon=\"%.7f\"", p.latitude, p.longitude);
    out += indent;
    out += '<';
    out += tag;
    out += position;
    const bool empty = !p.elevation && !p.time && p.name.empty() && p.description.empty();
    if (empty) {
        out += "/>\n";
        return;
    }
    out += ">\n";
    const std::string inner = std::string(indent) + "  ";
    if (p.elevation) {
        // Room for any finite double in "%.2f" (a sign, 309 digits, the point and two decimals):
        // a shorter buffer cut the text of a huge elevation into another number.
        char ele[320];
        std::snprintf(ele, sizeof ele, "%.2f", *p.elevation);
        AppendElement(out, inner, "ele", ele);
    }
    if (p.time) AppendElement(out, inner, "time", FormatTime(*p.time));
    AppendElement(out, inner, "name", p.name);
    AppendElement(out, inner, "desc", p.description);
    out += indent;
    out += "</";
    out += tag;
    out += ">\n";
}

} // namespace

bool Read(std::string_view xml, Document* doc, std::string* error) {
    *doc = Document{};
    std::string message;
    if (xml.size() > kMaxFileBytes) {
        message = "the file is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
    } else {
        tinyxml2::XMLDocument parsed(true, tinyxml2::COLLAPSE_WHITESPACE);
        if (parsed.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS) {
            message = "not well-formed XML (line " + std::to_string(parsed.ErrorLineNum()) + ": " +
                      (parsed.ErrorStr() != nullptr ? parsed.ErrorStr() : "") + ")";
        } else if (!ReadDocument(parsed.RootElement(), doc, &message)) {
            *doc = Document{};
        }
    }
    if (error != nullptr) *error = message;
    return message.empty();
}

bool ReadFile(const std::string& path, Document* doc, std::string* error) {
    *doc = Document{};
    std::ifstream in(path, std::ios::binary);
    std::string message;
    if (!in) {
        message = path + ": cannot be opened";
    } else {
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        in.seekg(0, std::ios::beg);
        if (size < 0 || static_cast<std::uint64_t>(size) > kMaxFileBytes) {
            message =
                path + ": the file is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
        } else {
            std::string text(static_cast<std::size_t>(size), '\0');
            in.read(text.data(), size);
            if (!in) {
                message = path + ": cannot be read";
            } else if (!Read(text, doc, &message)) {
                message = path + ": " + message;
            }
        }
    }
    if (error != nullptr) *error = message;
    return message.empty();
}

std::string Write(const Document& doc) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"";
    AppendEscaped(out, doc.creator.empty() ? "gpslib" : doc.creator);
    out += "\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    if (!doc.name.empty()) {
        out += "  <metadata>\n";
        AppendElement(out, "    ", "name", doc.name);
        out += "  </metadata>\n";
    }
    for (const Point& p : doc.waypoints)
        AppendPoint(out, "  ", "wpt", p);
    for (const Route& route : doc.routes) {
        out += "  <rte>\n";
        AppendElement(out, "    ", "name", route.name);
        AppendElement(out, "    ", "desc", route.description);
        for (const Point& p : route.points)
            AppendPoint(out, "    ", "rtept", p);
        out += "  </rte>\n";
    }
    for (const Track& track : doc.tracks) {
        out += "  <trk>\n";
        AppendElement(out, "    ", "name", track.name);
        AppendElement(out, "    ", "desc", track.description);
        for (const auto& segment : track.segments) {
            out += "    <trkseg>\n";
            for (const Point& p : segment)
                AppendPoint(out, "      ", "trkpt", p);
            out += "    </trkseg>\n";
        }
        out += "  </trk>\n";
    }
    out += "</gpx>\n";
    return out;
}

std::optional<std::int64_t> ParseTime(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\n' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\t'))
        text.remove_suffix(1);
    const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    const int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2),
              second = Digits(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60 || text[4] != '-' ||
        text[7] != '-' || (text[10] != 'T' && text[10] != 't' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':')
        return std::nullopt;
    std::size_t at = 19;
    std::int64_t micros = 0;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        std::int64_t scale = 100000;
        const std::size_t first = at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            micros += scale * (text[at] - '0');
            scale /= 10;
        }
        if (at == first) return std::nullopt;
    }
    std::int64_t offsetMinutes = 0;
    if (at < text.size()) {
        if (text[at] == 'Z' || text[at] == 'z') {
            ++at;
        } else if (text[at] == '+' || text[at] == '-') {
            const int h = Digits(text, at + 1, 2), m = Digits(text, at + 4, 2);
            if (h < 0 || h > 23 || m < 0 || m > 59 || at + 3 >= text.size() || text[at + 3] != ':')
                return std::nullopt;
            offsetMinutes = (text[at] == '+' ? 1 : -1) * (std::int64_t{h} * 60 + m);
            at += 6;
        }
    }
    if (at != text.size()) return std::nullopt;
    const std::int64_t days =
        os::DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    const std::int64_t seconds = days * 86400 + std::int64_t{hour} * 3600 +
                                 std::int64_t{minute} * 60 + second - offsetMinutes * 60;
    return seconds * 1000000 + micros;
}

std::string FormatTime(std::int64_t micros) {
    std::int64_t seconds = micros / 1000000, rest = micros % 1000000;
    if (rest < 0) rest += 1000000, --seconds;
    std::int64_t days = seconds / 86400, secondOfDay = seconds % 86400;
    if (secondOfDay < 0) secondOfDay += 86400, --days;
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    os::CivilFromDays(days, &year, &month, &day);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ",
                  static_cast<long long>(year), month, day,
                  static_cast<long long>(secondOfDay / 3600),
                  static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60), static_cast<long long>(rest / 1000));
    return text;
}

} // namespace gpslib::gpx
