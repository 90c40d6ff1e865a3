#include "core/SystemSettingsObject.h"

GPSLIB_CLASS_FACTORY(SystemSettingsObject, CSystemSettingsObject)
