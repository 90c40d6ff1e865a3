// What a metre of way costs the routing profiles, in seconds: the walking speed and what a road
// costs a walker by what lies beside its carriageway, the driving speeds by road class, and what
// the route preferences do to them. The engine prices its searches with these
// (mapengine/RoutePrices.cpp, WalkCosts.cpp); the compiler measures the map file's route bounds
// with the prices of a walk and of the fastest drive (BoundPerMetre), which no preference the
// bounds serve makes cheaper, so that a bound never exceeds a route's cost. A map records the key
// of the prices its bounds were measured with (BoundsPricesKey); the engine uses them only while
// its prices have the same key. The turn and crossing costs are here too: a map's route hierarchy
// adds them up (RouteCostsKey).
#ifndef FORMATS_ROUTESPEEDS_H_
#define FORMATS_ROUTESPEEDS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace gpslib::formats::speeds {

constexpr double kWalk = 1.4;            // metres per second
constexpr double kShortest = 50.0 / 3.6; // metres per second: "shortest" costs length only
constexpr double kAvoid = 5.0;           // "avoid if possible": five times as costly
constexpr double kPrefer = 0.5;          // preferred freeways: half the cost

// Seconds added by a turn (45 degrees or more where three or more edges meet) or a U-turn.
constexpr double kVehicleTurn = 2.0;
constexpr double kAcrossTraffic = 10.0; // a turn across the traffic, by the turn preference
constexpr double kFewestVehicle = 20.0;
constexpr double kFewestPedestrian = 30.0;
constexpr double kDeadEndUTurn = 30.0;
constexpr double kStartUTurnVehicle = 60.0; // leaving the start against the initial heading
constexpr double kStartUTurnPedestrian = 15.0;
constexpr double kShortestTurns = 0.25; // the share of the turn costs a shortest route pays
constexpr double kParking = 120.0;      // leaving the car to walk the last stretch
// Seconds for crossing a major road, by its crossing's control (format::CrossingControl:
// unknown, unmarked, marked, signals). A major road crossed at a junction where no crossing is
// mapped costs as a crossing of unknown control; stepping onto or off the carriageway of one
// whose sidewalks are separate ways costs half the crossing there.
constexpr double kCrossing[] = {150.0, 200.0, 150.0, 0.0};
// Counts up whenever the rules that apply the numbers above change (which turns count, where a
// walker crosses), so that a route hierarchy priced by the old rules is not used.
constexpr int kCostRules = 1;

bool IsFreeway(std::string_view cls);
// km/h where a way has no maxspeed.
double ClassSpeed(std::string_view cls);
// Seconds a metre of a road costs the fastest driving route, before the preferences.
double FastestPerMetre(std::string_view cls, double maxspeed);
// A metre of road as a multiple of a metre of footway, by what the walker has beside the
// carriageway (`walk`: format::WalkFact bits; without kWalkFacts, as on maps compiled before
// they were kept, only steps cost more); 1 or more. `major`: crossing the road costs as its
// crossing's control says (docs/routing.md).
double WalkFactor(std::string_view cls, std::uint32_t walk, bool* major = nullptr);
// What a metre of a way costs the profile that the route bounds are measured for: a walk, or the
// fastest drive before the preferences.
double BoundPerMetre(bool walking, std::string_view cls, double maxspeed, std::uint32_t walk);
// Names the prices of a metre above: the same text for the same numbers.
std::string BoundsPricesKey();
// Names every cost above and the rules' count: the key of a map's route hierarchy, whose
// shortcuts add up turn and crossing costs too.
std::string RouteCostsKey();

} // namespace gpslib::formats::speeds

#endif // FORMATS_ROUTESPEEDS_H_
