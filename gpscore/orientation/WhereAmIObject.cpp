#include "orientation/WhereAmIObject.h"

GPSLIB_CLASS_FACTORY(WhereAmIObject, CWhereAmIObject)
