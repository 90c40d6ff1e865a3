// Route following: one step per poll while a route is followed.
#include "core/GPSCore.h"

// Starts a pending route once the fix is good, then checks the followed route's next turn.
void CGPSCore::RouteFollowingStep() {}
