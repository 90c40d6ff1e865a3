// What lookaround announces while the user walks or drives.
#ifndef GPSCORE_ORIENTATION_LOOKAROUNDSETTINGSOBJECT_H_
#define GPSCORE_ORIENTATION_LOOKAROUNDSETTINGSOBJECT_H_

#include "GPSLib_classes.h"

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

    // The interval is a number of polls; below 5 lookaround would talk constantly, above 300 it
    // would fall silent for minutes.
    static constexpr SHORT kMinReportingInterval = 5;
    static constexpr SHORT kMaxReportingInterval = 300;

private:
    gpslib::ComPtr<IPOICategoryObject> m_pCategoryToScanFor;
    gpslib::ComPtr<IPOISubCategoryObject> m_pSubCategoryToScanFor;
};

#endif // GPSCORE_ORIENTATION_LOOKAROUNDSETTINGSOBJECT_H_
