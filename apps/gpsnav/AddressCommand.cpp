// The address command: a city, a street of it and a house number on it, one step at a time.
// A step that finds one match takes it at once and says it; several are listed, and pick takes
// one of them by number or name before the next step.
#include "Answers.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;

namespace {

constexpr char kPickCity[] = "Pick the city first: pick a number or a name of the list.";
constexpr char kPickStreet[] = "Pick the street first: pick a number or a name of the list.";

} // namespace

Answer Session::Address(const std::vector<std::string>& args) {
    if (args.size() < 2) return Usage("address");
    const std::string step = Lower(args[0]);
    const std::string text = Join(args, 1);
    HRESULT hr;
    gpslib::Variant list;
    SHORT count = 0;
    // One match is taken at once; several are listed to pick from.
    // A new step makes the lists of its step and the later ones old.
    const ListKind heard = m_listing.kind;
    if (heard == ListKind::kAddresses || (heard == ListKind::kStreets && step != "number") ||
        (heard == ListKind::kCities && step == "city"))
        m_listing = {};
    auto choices = [this](ListKind kind, std::vector<std::string> found) {
        if (found.size() != 1) return ShowList(kind, std::move(found), "");
        m_listing = Listing{kind, std::move(found), {0}, true, 1};
        return AddressPick(kind, 0);
    };
    if (step == "city") {
        gpslib::Variant maps;
        hr = m_core->AddressFindMapsForCitySearch(Bstr(std::string_view("")).Get(), &maps, &count);
        if (FAILED(hr)) return Failure("address", hr);
        m_addressSearch = Create<IAddressSearchConfigurationObject>(
            CLSID_AddressSearchConfigurationObject, IID_IAddressSearchConfigurationObject);
        if (!m_addressSearch) return Failure("address", E_OUTOFMEMORY);
        m_addressSearch->SetSearchName(Bstr(text).Get());
        m_addressSearch->SetStartsWith(VARIANT_TRUE);
        m_addressCity = m_addressStreet = -1;
        for (const std::string& map : StringsOf(&maps)) {
            count = 0;
            hr = m_core->AddressFindCity(Bstr(map).Get(), m_addressSearch.Get(), &list, &count);
            if (FAILED(hr)) return Failure("address", hr);
            std::vector<std::string> cities = StringsOf(&list);
            if (!cities.empty()) {
                m_addressMap = map;
                return choices(ListKind::kCities, std::move(cities));
            }
        }
        return Fact("No city " + text + ".", Answer::Status::kFailed);
    }
    if (!m_addressSearch)
        return Fact("Choose the city first: address city NAME.", Answer::Status::kFailed);
    if (step == "street") {
        if (m_addressCity < 0) return Fact(kPickCity, Answer::Status::kFailed);
        m_addressSearch->SetLastSearchIndex(static_cast<LONG>(m_addressCity));
        m_addressSearch->SetSearchName(Bstr(text).Get());
        m_addressSearch->SetStreetAddressNumber(Bstr(std::string_view("")).Get());
        m_addressStreet = -1;
        hr = m_core->AddressFindStreet(m_addressSearch.Get(), &list, &count);
        if (FAILED(hr)) return Failure("address", hr);
        std::vector<std::string> streets = StringsOf(&list);
        if (streets.empty()) return Fact("No street " + text + ".", Answer::Status::kFailed);
        AddressResults results = AddressResultsStreetNames;
        m_addressSearch->GetResultsType(&results);
        if (results != AddressResultsStreetNames) {
            // The only street: the service went on to its house numbers.
            Bstr name;
            m_addressSearch->GetSearchName(name.Put());
            streets = {name.Utf8()};
        }
        return choices(ListKind::kStreets, std::move(streets));
    }
    if (step == "number") {
        if (m_addressStreet < 0) return Fact(kPickStreet, Answer::Status::kFailed);
        m_addressSearch->SetLastSearchIndex(static_cast<LONG>(m_addressStreet));
        m_addressSearch->SetStreetAddressNumber(Bstr(text).Get());
        hr = m_core->AddressFindStreetAddress(m_addressSearch.Get(), &list, &count);
        if (FAILED(hr)) return Failure("address", hr);
        std::vector<std::string> places = StringsOf(&list);
        if (places.empty()) return Fact("No house number " + text + ".", Answer::Status::kFailed);
        return choices(ListKind::kAddresses, std::move(places));
    }
    return Usage("address");
}

Answer Session::AddressPick(ListKind kind, std::size_t index) {
    std::string said;
    for (std::size_t i = 0; i < m_listing.ids.size(); ++i)
        if (m_listing.ids[i] == static_cast<long>(index)) said = m_listing.entries[i];
    if (!m_addressSearch) return Fact("No address search yet.", Answer::Status::kFailed);
    const long at = static_cast<long>(index);
    if (kind == ListKind::kCities) {
        m_addressCity = at;
        m_addressStreet = -1;
        return Texts({said});
    }
    if (kind == ListKind::kStreets) {
        if (m_addressCity < 0) return Fact(kPickCity, Answer::Status::kFailed);
        m_addressStreet = at;
        return Texts({said});
    }
    m_addressSearch->SetLastSearchIndex(static_cast<LONG>(at));
    VARIANT_BOOL ok = VARIANT_FALSE;
    m_address.Reset();
    HRESULT hr = m_core->AddressGet(m_addressSearch.Get(), m_address.Put(), &ok);
    if (FAILED(hr)) return Failure("address", hr);
    if (!ok || !m_address) return Fact("No such house number.", Answer::Status::kFailed);
    Bstr found;
    m_address->GetAddress(found.Put());
    return Texts({found.Utf8()});
}

} // namespace gpsnav
