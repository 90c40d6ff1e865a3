// Address search: the maps for a city or postal search, then city, postal code, street and house
// number step by step, and the cross streets of an address. The home of AddressFindMapsFor…,
// AddressFindCity, AddressFindPostal, AddressFindStreet, AddressFindStreetAddress, AddressGet and
// AddressGetCrossStreets, over the address databases of the context. Nothing of it is built
// yet; the facade answers those methods "not implemented" until it is.
#ifndef GPSCORE_ADDRESS_ADDRESSSEARCH_H_
#define GPSCORE_ADDRESS_ADDRESSSEARCH_H_

namespace gpscore {

struct ServiceContext;

class AddressSearch {
public:
    explicit AddressSearch(ServiceContext& context) : m_context(context) {}

private:
    [[maybe_unused]] ServiceContext& m_context;
};

} // namespace gpscore

#endif // GPSCORE_ADDRESS_ADDRESSSEARCH_H_
