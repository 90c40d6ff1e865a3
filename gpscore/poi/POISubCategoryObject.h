// A POI subcategory: number, main category and spoken name.
#ifndef GPSCORE_POI_POISUBCATEGORYOBJECT_H_
#define GPSCORE_POI_POISUBCATEGORYOBJECT_H_

#include "GPSLib_classes.h"

class CPOISubCategoryObject : public CPOISubCategoryObjectBase {};

#endif // GPSCORE_POI_POISUBCATEGORYOBJECT_H_
