#include "formats/RouteFile.h"

#include <tinyxml2.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace gpslib::routefile {
namespace {

using tinyxml2::XMLElement;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// All the element's text, its CDATA sections included (a comment inside splits the text into
// several nodes); empty for no element.
std::string AllText(const XMLElement* e) {
    std::string out;
    if (e == nullptr) return out;
    for (const tinyxml2::XMLNode* n = e->FirstChild(); n != nullptr; n = n->NextSibling())
        if (const tinyxml2::XMLText* t = n->ToText(); t != nullptr && t->Value() != nullptr)
            out += t->Value();
    return out;
}

// The element's text with the blanks around it removed.
std::string Trimmed(const XMLElement* e) {
    std::string t = AllText(e);
    std::size_t begin = 0, end = t.size();
    while (begin < end && IsBlank(t[begin]))
        ++begin;
    while (end > begin && IsBlank(t[end - 1]))
        --end;
    return t.substr(begin, end - begin);
}

std::optional<long> WholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(s.c_str(), &end, 10);
    if (end != s.c_str() + s.size() || errno == ERANGE) return std::nullopt;
    return value;
}

std::optional<double> Decimal(std::string_view text) {
    if (text.empty() || text.size() > 64) return std::nullopt;
    const std::string s(text);
    char* end = nullptr;
    const double value = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// Reads the file's elements into fields, keeping the first error.
class Reader {
public:
    explicit Reader(std::string* error) : m_error(error) {}
    bool ok() const { return m_ok; }

    // The first child named `name` (case-sensitive); null when there is none.
    static const XMLElement* Child(const XMLElement* parent, const char* name) {
        return parent->FirstChildElement(name);
    }

    void Whole(const XMLElement* parent, const char* name, long low, long high, int* out) {
        const XMLElement* e = Child(parent, name);
        if (e == nullptr || !m_ok) return;
        const std::optional<long> v = WholeNumber(Trimmed(e));
        if (!v || *v < low || *v > high) {
            Fail(e, "<" + std::string(name) + "> is not a whole number from " +
                        std::to_string(low) + " to " + std::to_string(high));
            return;
        }
        *out = static_cast<int>(*v);
    }
    void Real(const XMLElement* parent, const char* name, double low, double high, double* out) {
        const XMLElement* e = Child(parent, name);
        if (e == nullptr || !m_ok) return;
        const std::optional<double> v = Decimal(Trimmed(e));
        if (!v || *v < low || *v > high) {
            Fail(e, "<" + std::string(name) + "> is not a number from " + Format(low) + " to " +
                        Format(high));
            return;
        }
        *out = *v;
    }
    // Text is taken as written: blanks inside and around a name are the name's.
    static void Text(const XMLElement* parent, const char* name, std::string* out) {
        if (const XMLElement* e = Child(parent, name)) *out = AllText(e);
    }
    void Fail(const XMLElement* e, const std::string& message) {
        if (!m_ok) return;
        m_ok = false;
        *m_error = "line " + std::to_string(e->GetLineNum()) + ": " + message;
    }

private:
    static std::string Format(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        return text;
    }
    std::string* m_error;
    bool m_ok = true;
};

// The configuration's elements in the file's order, each with its field and the values a file may
// give it: one list for writing and reading.
struct Setting {
    const char* name;
    int Configuration::*field;
    long low, high;
};
constexpr Setting kSettings[] = {
    {"RouteType", &Configuration::routeType, 0, 7},
    {"WaypointMode", &Configuration::waypointMode, 0, 2},
    {"InitialHeading", &Configuration::initialHeading, -1, 359},
    {"FreewayPreference", &Configuration::freewayPreference, 0, 3},
    {"VehicleTurnPreference", &Configuration::vehicleTurnPreference, 1, 3},
    {"PedestrianTurnPreference", &Configuration::pedestrianTurnPreference, 0, 1},
    {"RoundaboutPreference", &Configuration::roundaboutPreference, 0, 2},
    {"TollRoadPreference", &Configuration::tollRoadPreference, 0, 2},
    {"VehicleMode", &Configuration::vehicleMode, 0, 2},
};

void Line(std::string* out, int tabs, const char* name, std::string_view value) {
    out->push_back('\n');
    out->append(static_cast<std::size_t>(tabs), '\t');
    out->append("<").append(name).append(">");
    out->append(value);
    out->append("</").append(name).append(">");
}

void LineNumber(std::string* out, int tabs, const char* name, long value) {
    Line(out, tabs, name, std::to_string(value));
}

void LineDecimal(std::string* out, int tabs, const char* name, double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9f", value);
    Line(out, tabs, name, text);
}

std::string CommentText(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '-' && !out.empty() && out.back() == '-') out.push_back(' ');
        out.push_back(c == '\n' || c == '\r' ? ' ' : c);
    }
    if (!out.empty() && out.back() == '-') out.push_back(' ');
    return out;
}

} // namespace

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '&')
            out += "&amp;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '<')
            out += "&lt;";
        else if (u < 0x20 && c != '\t' && c != '\n' && c != '\r')
            out.push_back(' ');
        else
            out.push_back(c);
    }
    return out;
}

std::string Write(const Route& route, std::string_view ownership, std::string_view versionText) {
    std::string out;
    out.reserve(512 + route.waypoints.size() * 400);
    out += "<?xml version=\"1.0\"?>\n";
    out += "<!-- " + CommentText(ownership) + " -->\n";
    out += "<!-- " + CommentText(versionText) + " -->\n\n";
    out += "<ROUTE>";
    const Configuration& c = route.configuration;
    LineNumber(&out, 1, "Version", kVersion);
    for (const Setting& s : kSettings)
        LineNumber(&out, 1, s.name, c.*s.field);
    for (const Waypoint& w : route.waypoints) {
        out += "\n\t<WP>";
        Line(&out, 2, "Nm", Escape(w.name));
        LineDecimal(&out, 2, "X", w.latitude);
        LineDecimal(&out, 2, "Y", w.longitude);
        Line(&out, 2, "Tn", w.turningPoint ? "1" : "0");
        Line(&out, 2, "Des", Escape(w.description));
        Line(&out, 2, "St", Escape(w.streetName));
        LineNumber(&out, 2, "Lns", w.lanes);
        LineNumber(&out, 2, "Tp", w.pointType);
        LineNumber(&out, 2, "Fwd", w.orientationForward);
        LineNumber(&out, 2, "Rvs", w.orientationReverse);
        LineNumber(&out, 2, "Spd", w.speed);
        LineDecimal(&out, 2, "Dst", w.distance);
        LineNumber(&out, 2, "Idx", w.featureIndex);
        Line(&out, 2, "Crs", Escape(w.crossStreet));
        LineNumber(&out, 2, "Ss", w.sideOfStreet);
        out += "\n\t</WP>";
    }
    out += "\n</ROUTE>\n";
    return out;
}

bool Read(std::string_view xml, Route* route, std::string* error) {
    *route = Route{};
    error->clear();
    if (xml.size() > kMaxFileBytes) {
        *error = "the file is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
        return false;
    }
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS) {
        *error = "line " + std::to_string(doc.ErrorLineNum()) + ": not XML (" +
                 (doc.ErrorStr() != nullptr ? doc.ErrorStr() : "") + ")";
        return false;
    }
    const XMLElement* root = doc.RootElement();
    if (root == nullptr || std::string_view(root->Name()) != "ROUTE") {
        *error = "not a route file: the root element is not <ROUTE>";
        return false;
    }
    Reader read(error);
    Route r;
    int version = kVersion;
    read.Whole(root, "Version", 1, kVersion, &version);
    Configuration& c = r.configuration;
    for (const Setting& s : kSettings)
        read.Whole(root, s.name, s.low, s.high, &(c.*s.field));
    for (const XMLElement* e = root->FirstChildElement("WP"); e != nullptr && read.ok();
         e = e->NextSiblingElement("WP")) {
        if (r.waypoints.size() == kMaxWaypoints) {
            read.Fail(e, "more than " + std::to_string(kMaxWaypoints) + " waypoints");
            break;
        }
        Waypoint w;
        Reader::Text(e, "Nm", &w.name);
        read.Real(e, "X", -90.0, 90.0, &w.latitude);
        read.Real(e, "Y", -180.0, 180.0, &w.longitude);
        w.turningPoint = Trimmed(Reader::Child(e, "Tn")) == "1";
        Reader::Text(e, "Des", &w.description);
        Reader::Text(e, "St", &w.streetName);
        read.Whole(e, "Lns", 0, 32767, &w.lanes);
        read.Whole(e, "Tp", 0, 1, &w.pointType);
        read.Whole(e, "Fwd", -1, 359, &w.orientationForward);
        read.Whole(e, "Rvs", -1, 359, &w.orientationReverse);
        read.Whole(e, "Spd", 0, 32767, &w.speed);
        read.Real(e, "Dst", 0.0, 1e9, &w.distance);
        read.Whole(e, "Idx", -1, 32767, &w.featureIndex);
        Reader::Text(e, "Crs", &w.crossStreet);
        read.Whole(e, "Ss", 0, 2, &w.sideOfStreet);
        r.waypoints.push_back(std::move(w));
    }
    if (!read.ok()) return false;
    *route = std::move(r);
    return true;
}

} // namespace gpslib::routefile
