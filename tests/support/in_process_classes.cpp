// Offers the GPSLib classes linked into this executable for the whole test run: creation by
// class id then finds them without a registry store, and ImplOf reaches their internal setters.
#include "GPSLib_classes.h"
#include "classes_offered.h"

namespace {

[[maybe_unused]] const ::testing::Environment* const kOffered =
    gpslib::test::OfferForTheRun(kGPSLibModule);

} // namespace
