// gpsnav: the command-line traveller's client of the navigation service, made for screen-reader
// users. Every answer is one plain line of the service's own text; automatic events are printed
// as they arrive. Interactive with line editing, history and completion on a terminal; one
// command a line from --script FILE or from standard input otherwise. See gpsnav(1).
#include <editline/readline.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gpslib/language.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "Printer.h"
#include "Session.h"
#include "Speech.h"
#include "Text.h"

namespace {

using namespace gpsnav;

// Exit codes (gpsnav(1)).
constexpr int kExitOk = 0;
constexpr int kExitCommandFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoService = 3;
constexpr int kExitOutputClosed = 4;
constexpr int kExitInterrupted = 130;

constexpr char kUsage[] =
    "usage: gpsnav [OPTION]...\n"
    "The traveller's command-line client of the gpslib navigation service.\n"
    "\n"
    "  --maps DIR          load the maps of DIR (default: the saved folder, else the sample town)\n"
    "  --settings DIR      the settings folder (default: ~/.config/gpslib/gpsnav)\n"
    "  --receiver R        /dev/ttyUSB0 (a device), gpsd://HOST:PORT (default localhost:2947),\n"
    "                      a trace file, a GPX track, or none\n"
    "  --at LAT,LON        start the virtual position there\n"
    "  --script FILE       run the commands of FILE, one a line (standard input when it is\n"
    "                      not a terminal); --strict stops at the first failure, exit code 1\n"
    "  --speed N           poll N times a second (replay at N times the speed); in scripts\n"
    "                      the walk then only goes on during wait\n"
    "  --times             put the time in the walk before every line\n"
    "  --json              one JSON object a line: command, status, texts, event fields\n"
    "  --speak[=ENGINE]    speak every line (ENGINE auto, speechd, espeak-ng)\n"
    "  --rate WPM          speech rate in words a minute (default 175)\n"
    "  --voice NAME        speech voice\n"
    "  --language LANG     the language the service speaks: en, de, fr, es, it, pt-BR\n"
    "                      (remembered; default: the saved one, else that of LANG)\n"
    "  --help              this text\n"
    "\n"
    "Type help in gpsnav for the commands. Exit codes: 0 done, 1 a command failed (--strict),\n"
    "2 bad options, 3 no service, 4 output closed, 130 interrupted.\n";

struct Options {
    SessionOptions session;
    std::string script;
    bool strict = false;
    Printer::Options print;
    bool speak = false;
    Speaker::Options speech;
};

int SignalPipe[2] = {-1, -1};

void OnInterrupt(int) {
    Session::s_interrupted = true;
    if (SignalPipe[1] >= 0) [[maybe_unused]]
        auto n = write(SignalPipe[1], "i", 1);
}

std::string DefaultSettingsDir() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base = config && *config ? config : std::string(home ? home : ".") + "/.config";
    return base + "/gpslib/gpsnav/";
}

std::string Languages() {
    std::string list;
    for (const std::string& language : gpslib::KnownLanguages())
        list += (list.empty() ? "" : ", ") + language;
    return list;
}

// Parses the options; nullopt (after a message) for bad ones, exit code in *code.
std::optional<Options> ParseOptions(int argc, char** argv, int* code) {
    Options o;
    o.session.settingsDir = DefaultSettingsDir();
    auto fail = [&](const std::string& message) {
        std::fprintf(stderr, "gpsnav: %s\nTry gpsnav --help.\n", message.c_str());
        *code = kExitUsage;
        return std::nullopt;
    };
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto take = [&](std::string* out) {
            if (hasValue) {
                *out = value;
                return true;
            }
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        // The option's number from `low` to `high`; nullopt when it is missing or outside.
        auto takeNumber = [&](long low, long high) {
            std::string s;
            return take(&s) ? ParseNumber(s, low, high) : std::nullopt;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            *code = kExitOk;
            return std::nullopt;
        } else if (arg == "--maps") {
            if (!take(&o.session.mapsDir)) return fail("--maps needs a folder");
        } else if (arg == "--settings") {
            if (!take(&o.session.settingsDir)) return fail("--settings needs a folder");
            if (!o.session.settingsDir.ends_with('/')) o.session.settingsDir += '/';
        } else if (arg == "--receiver") {
            if (!take(&o.session.receiver))
                return fail("--receiver needs a device, gpsd://HOST:PORT or a file");
        } else if (arg == "--at") {
            if (!take(&o.session.at) || !ParseLatLon(o.session.at))
                return fail("--at needs LAT,LON in decimal degrees, for example 45.002,10.0015");
        } else if (arg == "--script") {
            if (!take(&o.script)) return fail("--script needs a file");
        } else if (arg == "--strict") {
            o.strict = true;
        } else if (arg == "--json") {
            o.print.json = true;
        } else if (arg == "--times") {
            o.print.times = true;
        } else if (arg == "--speed") {
            auto n = takeNumber(1, 1000);
            if (!n) return fail("--speed needs a number of polls a second from 1 to 1000");
            o.session.speed = static_cast<double>(*n);
        } else if (arg == "--speak") {
            o.speak = true;
            if (hasValue) o.speech.engine = value;
            if (o.speech.engine != "auto" && o.speech.engine != "speechd" &&
                o.speech.engine != "espeak-ng")
                return fail("--speak takes auto, speechd or espeak-ng");
        } else if (arg == "--rate") {
            auto n = takeNumber(80, 450);
            if (!n) return fail("--rate needs words a minute from 80 to 450");
            o.speech.wordsPerMinute = static_cast<int>(*n);
        } else if (arg == "--voice") {
            if (!take(&o.speech.voice)) return fail("--voice needs a name");
        } else if (arg == "--language") {
            std::string language;
            if (!take(&language)) return fail("--language needs a language: " + Languages());
            o.session.language = gpslib::LanguageOfLocale(language);
            const auto known = gpslib::KnownLanguages();
            if (std::find(known.begin(), known.end(), o.session.language) == known.end())
                return fail("no language '" + language + "'; the languages are " + Languages());
            o.session.rememberLanguage = true;
        } else if (arg == "--speak-wave") {
            if (!take(&o.speech.waveFile)) return fail("--speak-wave needs a file");
        } else {
            return fail("unknown option " + arg);
        }
    }
    // The language: --language, else the one remembered, else the environment's.
    if (!o.session.rememberLanguage) {
        const std::string remembered = RememberedLanguage(o.session.settingsDir);
        o.session.language = remembered.empty() ? gpslib::EnvironmentLanguage()
                                                : gpslib::LanguageOfLocale(remembered);
    }
    o.speech.language = o.session.language;
    return o;
}

// ---------------------------------------------------------------------------------------------
// The interactive terminal: libedit in its callback mode, so that events can be printed while
// a line is being typed and the line is drawn again after them.

Session* g_session = nullptr;
std::vector<std::string> g_matches;
bool g_lineDone = false;

char* CompletionGenerator(const char* text, int state) {
    static std::size_t next = 0;
    if (state == 0) next = 0;
    while (next < g_matches.size()) {
        const std::string& m = g_matches[next++];
        if (m.starts_with(text)) return strdup(m.c_str());
    }
    return nullptr;
}

char** Complete(const char* text, int start, int) {
    g_matches.clear();
    std::string before(rl_line_buffer, static_cast<std::size_t>(start));
    auto words = SplitWords(before).value_or(std::vector<std::string>{});
    if (words.empty()) {
        for (const Command& c : Commands())
            g_matches.emplace_back(c.name);
    } else if (words.size() == 1) {
        if (const Command* c = FindCommand(words[0])) g_matches = CommandWords(*c);
        if (words[0] == "help")
            for (const Command& c : Commands())
                g_matches.emplace_back(c.name);
    }
    rl_attempted_completion_over = 1;
    return rl_completion_matches(text, CompletionGenerator);
}

int RunCommand(Session& session, Printer& printer, const std::string& line, bool strict,
               bool* quit) {
    auto words = SplitWords(line);
    gpsnav::Answer answer;
    std::string command;
    if (!words) {
        answer.status = gpsnav::Answer::Status::kUsage;
        answer.texts.push_back("A quote is not closed.");
    } else {
        if (words->empty() || (*words)[0].starts_with("#")) return kExitOk;
        command = Lower((*words)[0]);
        if (const Command* c = FindCommand(command)) command = std::string(c->name);
        answer = session.Run(*words);
    }
    for (const auto& e : session.TakeEvents())
        printer.Event(e);
    printer.Answer(command, answer, session.WalkSeconds());
    if (answer.quit) *quit = true;
    if (strict && answer.status != gpsnav::Answer::Status::kOk) return kExitCommandFailed;
    return kExitOk;
}

// Runs each finished line inside libedit's callback, so that the prompt is drawn again after
// the answer.
std::function<void(std::optional<std::string>)> g_onLine;

void OnLine(char* line) {
    g_lineDone = true;
    std::optional<std::string> text;
    if (line != nullptr) {
        text = std::string(line);
        if (*line != '\0') add_history(line);
        free(line);
    }
    if (g_onLine) g_onLine(std::move(text));
}

// Whether `line` runs `wait`, the one command that Ctrl-C ends the session in (a walk being
// waited for); any other command is over in a moment, and Ctrl-C after it is taken as at the
// prompt.
bool Waits(const std::string& line) {
    auto words = SplitWords(line);
    const Command* c = words && !words->empty() ? FindCommand((*words)[0]) : nullptr;
    return c != nullptr && c->id == CommandId::kWait;
}

int Interactive(Session& session, Printer& printer, Speaker* speaker) {
    rl_catch_signals = 0;
    rl_attempted_completion_function = Complete;
    using_history();
    const char* prompt = "gpsnav> ";
    bool prompting = false;
    printer.SetAround(
        [&] {
            if (prompting) std::fputs("\n", stdout);
        },
        [&] {
            if (prompting) rl_forced_update_display();
        });
    int code = kExitOk;
    bool finished = false;
    g_onLine = [&](std::optional<std::string> line) {
        if (!line) { // Ctrl-D.
            std::fputs("\n", stdout);
            finished = true;
            return;
        }
        prompting = false;
        bool quit = false;
        RunCommand(session, printer, *line, false, &quit);
        prompting = true;
        if (Session::s_interrupted && Waits(*line)) {
            code = kExitInterrupted;
            finished = true;
        } else if (!printer.Good()) {
            code = kExitOutputClosed;
            finished = true;
        } else if (quit) {
            finished = true;
        }
        // No prompt after the last line.
        if (finished) prompting = false;
    };
    rl_callback_handler_install(prompt, OnLine);
    prompting = true;
    for (;;) {
        pollfd fds[3] = {
            {STDIN_FILENO, POLLIN, 0}, {session.EventFd(), POLLIN, 0}, {SignalPipe[0], POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0 && errno != EINTR) break;
        if (fds[2].revents & POLLIN) {
            char drain[16];
            [[maybe_unused]] auto n = read(SignalPipe[0], drain, sizeof drain);
            // Ctrl-C at the prompt drops the line being typed and what is still to be said.
            Session::s_interrupted = false;
            if (speaker) speaker->Hush();
            std::fputs("\n", stdout);
            rl_callback_handler_remove();
            rl_callback_handler_install(prompt, OnLine);
        }
        if (fds[1].revents & POLLIN)
            for (const auto& e : session.TakeEvents())
                printer.Event(e);
        if (!printer.Good()) {
            code = kExitOutputClosed;
            break;
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            g_lineDone = false;
            rl_callback_read_char();
            if (finished) break;
            if (g_lineDone) {
                // A fresh, empty line under a new prompt after the answer.
                rl_callback_handler_remove();
                rl_callback_handler_install(prompt, OnLine);
            }
        }
    }
    rl_callback_handler_remove();
    printer.SetAround(nullptr, nullptr); // They refer to this function's state.
    g_onLine = nullptr;
    return code;
}

int Scripted(Session& session, Printer& printer, std::istream& in, bool strict) {
    std::string line;
    while (std::getline(in, line)) {
        for (const auto& e : session.TakeEvents())
            printer.Event(e);
        bool quit = false;
        const int code =
            RunCommand(session, printer, std::string(StripLineEnd(line)), strict, &quit);
        if (Session::s_interrupted) return kExitInterrupted;
        if (!printer.Good()) return kExitOutputClosed;
        if (code != kExitOk) return code;
        if (quit) break;
    }
    for (const auto& e : session.TakeEvents())
        printer.Event(e);
    return printer.Good() ? kExitOk : kExitOutputClosed;
}

} // namespace

int main(int argc, char** argv) {
    int code = kExitOk;
    auto options = ParseOptions(argc, argv, &code);
    if (!options) return code;
    signal(SIGPIPE, SIG_IGN);
    if (pipe(SignalPipe) != 0) return kExitNoService;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    std::ifstream scriptFile;
    const bool interactive = options->script.empty() && isatty(STDIN_FILENO);
    if (!options->script.empty()) {
        scriptFile.open(options->script, std::ios::binary);
        if (!scriptFile) {
            std::fprintf(stderr, "gpsnav: cannot read the script %s\n", options->script.c_str());
            return kExitUsage;
        }
    }
    // A scripted walk at a given speed moves only while the script waits: the same output on
    // every run.
    options->session.pollOnlyInWait = !interactive && options->session.speed > 0;

    std::unique_ptr<Speaker> speaker;
    if (options->speak) speaker = std::make_unique<Speaker>(options->speech);
    Printer printer(options->print, speaker.get());

    Session session;
    g_session = &session;
    std::vector<std::string> startTexts;
    std::string error;
    const bool opened = session.Open(options->session, &startTexts, &error);
    if (speaker) startTexts.push_back("Speech: " + speaker->Engine() + ".");
    gpsnav::Answer start;
    start.texts = startTexts;
    if (!opened) {
        start.status = gpsnav::Answer::Status::kFailed;
        start.texts.push_back("gpsnav: " + error + ".");
    }
    printer.Answer("start", start, session.WalkSeconds());
    if (!opened) return kExitNoService;
    session.SetEventPump([&] {
        for (const auto& e : session.TakeEvents())
            printer.Event(e);
    });

    if (interactive)
        code = Interactive(session, printer, speaker.get());
    else if (!options->script.empty())
        code = Scripted(session, printer, scriptFile, options->strict);
    else
        code = Scripted(session, printer, std::cin, options->strict);

    session.Close();
    if (code == kExitInterrupted) {
        gpsnav::Answer stopped;
        stopped.texts.push_back("Interrupted: the service stopped and the settings are saved.");
        printer.Answer("interrupt", stopped, session.WalkSeconds());
    }
    if (speaker) speaker->Drain(code == kExitInterrupted ? 0 : 5000);
    return code;
}
