#include "Commands.h"

#include "Text.h"

namespace gpsnav {

namespace {

constexpr Command kCommands[] = {
    {CommandId::kWhere, "where", "w", "[LAT,LON]",
     "Where am I: the street, the house number and the city.", ""},
    {CommandId::kCorner, "corner", "c", "", "The nearest intersection.", ""},
    {CommandId::kAhead, "ahead", "a", "", "The next intersection ahead.", ""},
    {CommandId::kStatus, "status", "s", "", "The receiver: fix and accuracy.", ""},
    {CommandId::kHeading, "heading", "h", "", "The direction of travel.", ""},
    {CommandId::kAround, "around", "ar", "[CATEGORY]",
     "The nearest points of interest, of one category when given.", ""},
    {CommandId::kFind, "find", "f", "TEXT", "Points of interest whose name starts with TEXT.", ""},
    {CommandId::kDest, "dest", "d", "[LAT,LON [NAME] | here | poi N | fav N | address | clear]",
     "Where the destination is, or set it.", "here poi fav address clear"},
    {CommandId::kRoute, "route", "r", "walk | drive | next | back | close",
     "Plan a walking or driving route to the destination, or step through it.",
     "walk drive next back close"},
    {CommandId::kFollow, "follow", "fo", "", "Start following the route turn by turn.", ""},
    {CommandId::kExplore, "explore", "x", "[forward | back | left | right | cross]",
     "Walk the streets virtually from the virtual position.", "forward back left right cross"},
    {CommandId::kFav, "fav", "", "[add [NAME]]", "The favorite places, or add this place.", "add"},
    {CommandId::kHistory, "history", "hi", "", "The places visited recently.", ""},
    {CommandId::kNote, "note", "n", "[TEXT [FILE]]",
     "The annotations near here, or add one with an optional recorded file.", ""},
    {CommandId::kAddress, "address", "ad", "city NAME | street NAME | number N",
     "Find an address step by step (each step takes the first match); then dest address.",
     "city street number"},
    {CommandId::kRecord, "record", "rec", "FILE | note TEXT | stop",
     "Record what the receiver sends into a trace.", "note stop"},
    {CommandId::kReplay, "replay", "rep", "FILE",
     "Replay a trace (or a GPX track) as the receiver.", ""},
    {CommandId::kSettings, "settings", "set",
     "[units U | heading H | lookaround on|off | intersections|pois|streets|cities|maps on|off | "
     "urgency U]",
     "Show or change units, heading style and the automatic announcements.",
     "units heading lookaround intersections pois streets cities maps urgency"},
    {CommandId::kMode, "mode", "m", "[gps | virtual]",
     "Answer for the receiver's position or the virtual one.", "gps virtual"},
    {CommandId::kWait, "wait", "", "SECONDS", "Let the walk go on, announcing what happens.", ""},
    {CommandId::kEcho, "echo", "", "TEXT", "Print TEXT (for scripts).", ""},
    {CommandId::kHelp, "help", "?", "[COMMAND]", "The commands, or the help of one.", ""},
    {CommandId::kQuit, "quit", "q", "", "Stop the service, save the settings and leave.", ""},
};

} // namespace

std::span<const Command> Commands() {
    return kCommands;
}

const Command* FindCommand(std::string_view word) {
    const std::string w = Lower(word);
    if (w == "exit") return FindCommand("quit");
    for (const Command& c : kCommands)
        if (w == c.name || (!c.shortName.empty() && w == c.shortName)) return &c;
    return nullptr;
}

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const Command& c : kCommands) {
        names.emplace_back(c.name);
        if (!c.shortName.empty()) names.emplace_back(c.shortName);
    }
    return names;
}

std::vector<std::string> CommandWords(const Command& command) {
    std::vector<std::string> words;
    auto split = SplitWords(command.words);
    if (split) words = *split;
    return words;
}

} // namespace gpsnav
