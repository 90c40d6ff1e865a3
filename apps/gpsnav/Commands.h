// The commands of gpsnav: their names, short forms, arguments and help lines. One table serves
// the dispatcher, `help`, tab completion and the suggestion for a misspelt command.
#ifndef GPSNAV_COMMANDS_H_
#define GPSNAV_COMMANDS_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gpsnav {

enum class CommandId {
    kWhere,
    kCorner,
    kAhead,
    kCrossings,
    kStatus,
    kHeading,
    kAround,
    kFind,
    kDest,
    kRoute,
    kFollow,
    kExplore,
    kFav,
    kHistory,
    kNote,
    kAddress,
    kMark,
    kPlaces,
    kRename,
    kDelete,
    kPick,
    kMore,
    kList,
    kAgain,
    kRecord,
    kReplay,
    kSettings,
    kMode,
    kWait,
    kEcho,
    kHelp,
    kQuit
};

struct Command {
    CommandId id;
    std::string_view name;
    std::string_view shortName; // "" when none.
    std::string_view usage;     // The arguments, as help shows them.
    std::string_view help;      // One line.
    std::string_view words;     // First arguments offered by completion, blank separated.
};

std::span<const Command> Commands();
// The command named `word` (its name or short name, any case), or nullptr.
const Command* FindCommand(std::string_view word);
// Every name and short name, for completion and suggestions.
std::vector<std::string> CommandNames();
// The first-argument words of `command` for completion.
std::vector<std::string> CommandWords(const Command& command);

} // namespace gpsnav

#endif // GPSNAV_COMMANDS_H_
