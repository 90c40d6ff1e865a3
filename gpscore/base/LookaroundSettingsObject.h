// What lookaround announces while the user walks or drives.
#ifndef GPSCORE_BASE_LOOKAROUNDSETTINGSOBJECT_H_
#define GPSCORE_BASE_LOOKAROUNDSETTINGSOBJECT_H_

#include <string>
#include <string_view>

#include "GPSLib_classes.h"

// The setters keep the rules of the settings record (base/SettingsRecords.h).
// Holds its own category and subcategory objects (new and empty when created). Their setters
// copy the given object's numbers into the held ones; their getters hand out the held objects
// themselves. If either could not be created, its two methods answer E_FAIL.
class CLookaroundSettingsObject : public CLookaroundSettingsObjectBase {
public:
    CLookaroundSettingsObject();

    HRESULT GetCommercialCategoryToScanFor(IPOICategoryObject** ppCategory) override;
    HRESULT SetCommercialCategoryToScanFor(IPOICategoryObject* pCategory) override;
    HRESULT GetCommercialSubCategoryToScanFor(IPOISubCategoryObject** ppSubCategory) override;
    HRESULT SetCommercialSubCategoryToScanFor(IPOISubCategoryObject* pSubCategory) override;
    HRESULT SetIntersectionMaxSpeedForReporting(SHORT nMaxSpeed) override;
    HRESULT SetLookaroundReportingInterval(SHORT nPolls) override;

    // The names of the category and subcategory to scan for, as the lookaround settings file
    // keeps them beside the numbers. Plain storage, not on the interface: the held objects
    // derive their spoken names from their numbers.
    const std::u16string& CategoryNameToScanFor() const { return m_categoryName; }
    void SetCategoryNameToScanFor(std::u16string_view name) { m_categoryName = name; }
    const std::u16string& SubCategoryNameToScanFor() const { return m_subCategoryName; }
    void SetSubCategoryNameToScanFor(std::u16string_view name) { m_subCategoryName = name; }

private:
    gpslib::ComPtr<IPOICategoryObject> m_pCategoryToScanFor;
    gpslib::ComPtr<IPOISubCategoryObject> m_pSubCategoryToScanFor;
    std::u16string m_categoryName;
    std::u16string m_subCategoryName;
};

#endif // GPSCORE_BASE_LOOKAROUNDSETTINGSOBJECT_H_
