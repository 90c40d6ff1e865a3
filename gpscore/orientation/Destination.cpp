#include "orientation/Destination.h"

#include <algorithm>

#include "address/AddressSearch.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/SystemSettingsObject.h"
#include "base/Utility.h"
#include "formats/WordFold.h"
#include "poi/POIBuilder.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"

namespace gpscore {

namespace {

// Whether `name` holds `part`, ignoring case and accents; an empty name holds nothing.
bool Contains(const std::u16string& name, const std::u16string& part) {
    return !name.empty() && gpslib::formats::FoldText(name).find(gpslib::formats::FoldText(part)) !=
                                std::u16string::npos;
}

// A place of the destination's own, which no one else changes.
class OwnPlace final : public HeldPlace {
public:
    explicit OwnPlace(Place place) : m_place(std::move(place)) {}
    std::optional<Place> Read() const override { return m_place; }

private:
    Place m_place;
};

} // namespace

std::optional<Place> Destination::Where() const {
    return m_place ? m_place->Read() : std::nullopt;
}

void Destination::Set(std::shared_ptr<const HeldPlace> place, SideOfStreet side) {
    Replace(std::move(place), side);
    if (auto now = Where()) m_places.AddToHistory(*now, u"");
}

void Destination::Set(const Place& place, SideOfStreet side) {
    Set(std::make_shared<OwnPlace>(place), side);
}

void Destination::Replace(std::shared_ptr<const HeldPlace> place, SideOfStreet side) {
    m_place = std::move(place);
    m_side = side;
    m_bArrivedNearDestination = false;
}

void Destination::SetByAddress(const AddressPlace& address, Place location) {
    // Cross streets and addresses a client fills carry no name on their position.
    location.name = address.SpokenName(location.name);
    Set(location, SideUnknown);
}

void Destination::SetByPOI(const POIData& poi, Place location) {
    std::u16string name = poi.name;
    // The parts of the address that the name does not say already.
    std::u16string collected;
    if (!poi.street.empty() && !Contains(name, poi.street)) {
        if (!poi.addressNumber.empty()) collected += poi.addressNumber + u" ";
        collected += poi.street;
    }
    if (!poi.city.empty() && !Contains(name, poi.city))
        collected += (collected.empty() ? u"" : u", ") + poi.city;
    if (!collected.empty()) name += u", " + collected;
    if (m_context.m_pUtility != nullptr) name = m_context.m_pUtility->ForDisplay(name);
    location.name = std::move(name);
    Set(location, SideUnknown);
}

void Destination::Clear() {
    Release();
    m_bArrivedNearDestination = false;
}

void Destination::Release() {
    m_place.reset();
    m_side = SideUnknown;
}

std::optional<std::u16string> Destination::Missing(Mode mode,
                                                   const std::optional<Place>& here) const {
    const std::optional<Place> target = Where();
    if (!target || !target->HasPosition()) return m_context.String(ids::kNoDestination);
    if (!here || !here->HasPosition())
        return m_context.String(mode == VirtualMode ? ids::kNoVirtualPosition
                                                    : ids::kNoGpsPosition);
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Kept across runs in the system settings.

void Destination::Save() {
    if (m_context.m_pUtility == nullptr) return;
    const std::optional<Place> target = Where();
    // Spelling marks are for the speaking client; the stored name is plain. Made before the
    // change, which holds the settings lock.
    const std::u16string name = target ? m_context.m_pUtility->ForStorage(target->name) : u"";
    m_context.m_pUtility->ChangeSystemSettings([&](settings::System& system) {
        auto& saved = system.saved;
        saved.destinationName = name;
        saved.destinationDescription = target ? target->description : u"";
        saved.destinationLatitude = target ? target->latitude : 0.0;
        saved.destinationLongitude = target ? target->longitude : 0.0;
    });
}

void Destination::Restore() {
    Clear();
    if (m_context.m_pUtility == nullptr) return;
    const settings::SavedState saved = m_context.m_pUtility->SystemSettings().saved;
    if (saved.destinationLatitude == 0.0 && saved.destinationLongitude == 0.0) return;
    Place place{saved.destinationLatitude, saved.destinationLongitude,
                m_context.m_pUtility->ForDisplay(saved.destinationName),
                saved.destinationDescription};
    Replace(std::make_shared<OwnPlace>(std::move(place)), SideUnknown);
}

} // namespace gpscore
