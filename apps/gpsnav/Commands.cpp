#include "Commands.h"

#include "Text.h"

namespace gpsnav {

namespace {

constexpr Command kCommands[] = {
    {CommandId::kWhere, "where", "w", "[LAT,LON]",
     "Where am I: the street, the house number and the city.", ""},
    {CommandId::kCorner, "corner", "c", "", "The nearest intersection.", ""},
    {CommandId::kAhead, "ahead", "a", "", "The next intersection ahead.", ""},
    {CommandId::kCrossings, "crossings", "cx", "",
     "The crossings of the nearest intersection: signals, tactile paving, kerbs.", ""},
    {CommandId::kStatus, "status", "s", "", "The receiver: fix and accuracy.", ""},
    {CommandId::kHeading, "heading", "h", "", "The direction of travel.", ""},
    {CommandId::kAround, "around", "ar",
     "[CATEGORY] [ahead | behind | left | right | north | east | south | west] [within DISTANCE]",
     "The nearest points of interest: of one category, in one direction, within a distance.",
     "ahead behind left right north east south west within"},
    {CommandId::kFind, "find", "f", "TEXT [whole]",
     "Points of interest whose name starts with TEXT (with whole: has the whole word TEXT).", ""},
    {CommandId::kDest, "dest", "d",
     "[LAT,LON [NAME] | here | poi|fav|history|note|place N|NAME | address | clear]",
     "Where the destination is, or set it (N or NAME: an entry of that list).",
     "here poi fav history note place address clear"},
    {CommandId::kRoute, "route", "r",
     "walk | drive | from FILE [walk|drive] | next | back | first | last | N | status | reverse "
     "| recalc | save FILE | load FILE | directions [FILE] [turns|all] [numbered|plain] | close",
     "Plan, make from a trace, explore, save and load the route to the destination.",
     "walk drive from next back first last status reverse recalc save load directions close"},
    {CommandId::kFollow, "follow", "fo", "", "Start following the route turn by turn.", ""},
    {CommandId::kExplore, "explore", "x", "[forward | back | left | right | cross]",
     "Walk the streets virtually from the virtual position.", "forward back left right cross"},
    {CommandId::kFav, "fav", "", "[add [NAME] | rename N|NAME NEWNAME | delete N|NAME]",
     "The favorite places, or add this place, rename or delete one.", "add rename delete"},
    {CommandId::kHistory, "history", "hi", "", "The places visited recently.", ""},
    {CommandId::kNote, "note", "n", "[TEXT [FILE]]",
     "The annotations near here, or add one with an optional recorded file.", ""},
    {CommandId::kAddress, "address", "ad", "city NAME | street NAME | number N",
     "Find an address step by step (several matches are listed: pick one); then dest address.",
     "city street number"},
    {CommandId::kMark, "mark", "mk", "NAME [CATEGORY] [note TEXT]",
     "Mark this place as a place of your own, with a category and a note.", ""},
    {CommandId::kPlaces, "places", "pl", "", "Your own places, marked with mark.", ""},
    {CommandId::kRename, "rename", "", "N|NAME NEWNAME", "Rename one of your own places.", ""},
    {CommandId::kDelete, "delete", "", "N|NAME", "Delete one of your own places.", ""},
    {CommandId::kPick, "pick", "p", "[N|NAME]",
     "Take an entry of the list just heard: the next address step, the waypoint, else the "
     "destination.",
     ""},
    {CommandId::kMore, "more", "mo", "", "The next entries of the list just heard.", ""},
    {CommandId::kList, "list", "l", "", "The list just heard, again from its first entry.", ""},
    {CommandId::kAgain, "again", "ag", "", "The last answer again.", ""},
    {CommandId::kRecord, "record", "rec", "FILE | note TEXT | stop",
     "Record what the receiver sends into a trace (route from FILE makes it a route).",
     "note stop"},
    {CommandId::kReplay, "replay", "rep", "FILE",
     "Replay a trace (or a GPX track) as the receiver.", ""},
    {CommandId::kSettings, "settings", "set",
     "[units U | heading H | lookaround on|off | intersections|pois|streets|cities|maps on|off | "
     "crossings on|off | "
     "urgency U]",
     "Show or change units, heading style and the automatic announcements.",
     "units heading lookaround intersections pois streets cities maps crossings urgency"},
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
