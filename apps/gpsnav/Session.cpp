#include "Session.h"

#include <thread>

#include "Answers.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

std::atomic<bool> Session::s_interrupted{false};

Mode Session::CurrentMode() {
    Mode mode = GPSMode;
    m_core->SystemGetCurrentMode(&mode);
    return mode;
}

ComPtr<ILocationObject> Session::NewLocation(double latitude, double longitude) {
    auto location = Create<ILocationObject>(CLSID_LocationObject, IID_ILocationObject);
    if (location) {
        location->SetLatitude(latitude);
        location->SetLongitude(longitude);
    }
    return location;
}

ComPtr<ILocationObject> Session::Here() {
    ComPtr<ILocationObject> here;
    m_core->GetLocation(CurrentMode(), here.Put());
    return here;
}

Answer Session::Run(const std::vector<std::string>& words) {
    if (words.empty()) return {};
    const Command* command = FindCommand(words[0]);
    if (command == nullptr) {
        Answer a;
        a.status = Answer::Status::kUnknown;
        const std::string nearest = Nearest(words[0], CommandNames());
        a.texts.push_back(
            "Unknown command " + words[0] + "." +
            (nearest.empty() ? " Type help for the commands." : " Did you mean " + nearest + "?"));
        return a;
    }
    const std::vector<std::string> args(words.begin() + 1, words.end());
    if (command->id == CommandId::kAgain) {
        if (!args.empty()) return Usage("again");
        if (m_lastAnswer.texts.empty()) return Fact("Nothing to say again yet.");
        return m_lastAnswer;
    }
    Answer answer = Dispatch(*command, args);
    if (!answer.texts.empty()) m_lastAnswer = answer;
    return answer;
}

Answer Session::Dispatch(const Command& command, const std::vector<std::string>& args) {
    switch (command.id) {
    case CommandId::kWhere:
        return Where(args);
    case CommandId::kCorner:
        return Intersection(false);
    case CommandId::kAhead:
        return Intersection(true);
    case CommandId::kCrossings:
        return Crossings();
    case CommandId::kStatus:
        return Status();
    case CommandId::kHeading:
        return Heading();
    case CommandId::kAround:
        return Around(args);
    case CommandId::kFind:
        return Find(args);
    case CommandId::kDest:
        return Dest(args);
    case CommandId::kRoute:
        return Route(args);
    case CommandId::kFollow:
        return Follow();
    case CommandId::kExplore:
        return Explore(args);
    case CommandId::kFav:
        return Fav(args);
    case CommandId::kHistory:
        return History();
    case CommandId::kNote:
        return Note(args);
    case CommandId::kAddress:
        return Address(args);
    case CommandId::kMark:
        return Mark(args);
    case CommandId::kPlaces:
        return args.empty() ? Places() : Usage("places");
    case CommandId::kRename:
        return RenamePlace(args);
    case CommandId::kDelete:
        return DeletePlace(args);
    case CommandId::kPick:
        return Pick(args);
    case CommandId::kMore:
        return args.empty() ? More() : Usage("more");
    case CommandId::kList:
        return args.empty() ? ListAgain() : Usage("list");
    case CommandId::kAgain:
        return {};
    case CommandId::kRecord:
        return Record(args);
    case CommandId::kReplay:
        return Replay(args);
    case CommandId::kSettings:
        return Settings(args);
    case CommandId::kMode:
        return ModeCommand(args);
    case CommandId::kWait:
        return Wait(args);
    case CommandId::kEcho: {
        std::string text;
        for (const std::string& a : args)
            text += (text.empty() ? "" : " ") + a;
        return Texts({text});
    }
    case CommandId::kHelp: {
        Answer a;
        if (!args.empty()) {
            const Command* c = FindCommand(args[0]);
            if (c == nullptr) return Run({args[0]}); // Unknown: the suggestion.
            std::string names(c->name);
            if (!c->shortName.empty()) names += " (" + std::string(c->shortName) + ")";
            a.texts.push_back(names + (c->usage.empty() ? "" : " " + std::string(c->usage)) + ": " +
                              std::string(c->help));
            return a;
        }
        std::string list;
        for (const Command& c : Commands())
            list += (list.empty() ? "" : ", ") + std::string(c.name);
        a.texts.push_back("Commands: " + list + ". Type help and a command for more.");
        return a;
    }
    case CommandId::kQuit: {
        Answer a;
        a.quit = true;
        return a;
    }
    }
    return {};
}

Answer Session::Where(const std::vector<std::string>& args) {
    ComPtr<IWhereAmIObject> where;
    HRESULT hr;
    if (!args.empty()) {
        auto at = ParseLatLon(args[0]);
        if (!at) return Usage("where");
        hr = m_core->WhereAmIAtLocation(NewLocation(at->latitude, at->longitude).Get(), -1,
                                        where.Put());
    } else {
        hr = m_core->WhereAmI(CurrentMode(), where.Put());
    }
    if (FAILED(hr) || !where) return Failure("where", hr);
    Bstr text;
    where->GetDescription(text.Put());
    // The service answers a known position the maps say nothing about with an empty text.
    if (text.Length() == 0) return Texts({"No street nearby on the loaded maps."});
    return Texts({Utf8(text)});
}

Answer Session::Intersection(bool ahead) {
    ComPtr<IIntersectionObject> corner;
    HRESULT hr = ahead ? m_core->GetNextIntersectionAhead(CurrentMode(), corner.Put())
                       : m_core->GetNearestIntersection(CurrentMode(), corner.Put());
    if (FAILED(hr) || !corner) return Failure(ahead ? "ahead" : "corner", hr);
    Bstr text;
    corner->GetIntersectionDescription(text.Put());
    Answer a = Texts({Utf8(text)});
    if (CrossingsOn()) {
        const std::string crossings = CrossingsSentence(corner.Get(), !ahead);
        if (!crossings.empty()) a.texts.push_back(crossings);
    }
    return a;
}

Answer Session::Status() {
    ComPtr<IGPSStatusObject> status;
    HRESULT hr = m_core->GPSGetStatus(status.Put());
    if (FAILED(hr) || !status) return Failure("status", hr);
    Bstr accuracy;
    status->GetEstimatedAccuracyDescription(accuracy.Put());
    return Texts({Utf8(accuracy)});
}

Answer Session::Heading() {
    Bstr heading;
    HRESULT hr = m_core->GetHeading(CurrentMode(), Compass, heading.Put());
    if (FAILED(hr)) return Failure("heading", hr);
    return Texts({Utf8(heading)});
}

Answer Session::ModeCommand(const std::vector<std::string>& args) {
    if (!args.empty()) {
        const std::string what = Lower(args[0]);
        if (what != "gps" && what != "virtual") return Usage("mode");
        m_core->SystemSetCurrentMode(what == "gps" ? GPSMode : VirtualMode);
    }
    return Fact(CurrentMode() == GPSMode ? "Mode gps." : "Mode virtual.");
}

Answer Session::Wait(const std::vector<std::string>& args) {
    auto seconds = args.size() == 1 ? ParseNumber(args[0], 0, 86400) : std::nullopt;
    if (!seconds) return Usage("wait");
    if (m_options.speed > 0 && m_options.pollOnlyInWait) {
        auto next = std::chrono::steady_clock::now();
        for (long i = 0; i < *seconds && !s_interrupted; ++i) {
            next += PollPeriod();
            std::this_thread::sleep_until(next);
            PollOnce();
            if (m_pump) m_pump();
        }
    } else {
        const double speed = m_options.speed > 0 ? m_options.speed : 1;
        const auto end = std::chrono::steady_clock::now() +
                         std::chrono::duration<double>(static_cast<double>(*seconds) / speed);
        while (std::chrono::steady_clock::now() < end && !s_interrupted) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (m_pump) m_pump();
        }
    }
    return {};
}

} // namespace gpsnav
