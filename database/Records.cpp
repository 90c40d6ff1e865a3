// The component's small classes: the POI result list and the two records, whose fields are
// plain storage generated from the type library.
#include <string>
#include <utility>
#include <vector>

#include "GPSDatabaseLib_classes.h"

namespace gpsdb {

// An ordered list of (name, key) hits kept in memory.
class CPOIResults : public CPOIResultsBase {
public:
    HRESULT Add(BSTR bstrName, LONG nKey) override {
        m_items.emplace_back(std::u16string(gpslib::View(bstrName)), nKey);
        return S_OK;
    }
    HRESULT GetCount(LONG* pnCount) override {
        if (pnCount == nullptr) return E_POINTER;
        *pnCount = static_cast<LONG>(m_items.size());
        return S_OK;
    }
    HRESULT GetItem(LONG nIndex, BSTR* pbstrName, LONG* pnKey) override {
        if (pbstrName == nullptr || pnKey == nullptr) return E_POINTER;
        if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_items.size()) {
            *pbstrName = gpslib::AllocBstr(std::u16string_view());
            *pnKey = -1;
            return S_FALSE;
        }
        const auto& item = m_items[static_cast<std::size_t>(nIndex)];
        *pbstrName = gpslib::AllocBstr(std::u16string_view(item.first));
        *pnKey = item.second;
        return S_OK;
    }
    HRESULT Clear() override {
        m_items.clear();
        return S_OK;
    }

private:
    std::vector<std::pair<std::u16string, LONG>> m_items;
};

class CPOIRecord : public CPOIRecordBase {};
class CAddressRecord : public CAddressRecordBase {};

} // namespace gpsdb

GPSLIB_CLASS_FACTORY(POIResults, gpsdb::CPOIResults)
GPSLIB_CLASS_FACTORY(POIRecord, gpsdb::CPOIRecord)
GPSLIB_CLASS_FACTORY(AddressRecord, gpsdb::CAddressRecord)
