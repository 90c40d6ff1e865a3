#include "poi/POISubCategoryObject.h"

GPSLIB_CLASS_FACTORY(POISubCategoryObject, CPOISubCategoryObject)
