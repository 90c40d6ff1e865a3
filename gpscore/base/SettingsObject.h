// The settings objects a client sees, as copies of the settings records: each kind of object
// made from its record and read back into one, field by field through the field tables of the
// settings files (SettingsFiles.cpp), so that what a client gets and what a file keeps never
// drift apart.
#ifndef GPSCORE_BASE_SETTINGSOBJECT_H_
#define GPSCORE_BASE_SETTINGSOBJECT_H_

#include "GPSLib_classes.h"
#include "base/SettingsRecords.h"

namespace gpscore::settings {

// Every field of the file but the saved virtual walker and destination, then the settings
// directory (through the setter, which derives the debug directory). The saved side of the
// street and marker go only into an object of this module's class.
void ToObject(const System& record, ISystemSettingsObject* object);
// Every field of the file but the saved walker and destination, and the settings directory; a
// getter that fails gives the file's default. The saved side of the street and marker come
// only from an object of this module's class.
void FromObject(ISystemSettingsObject* object, System& record);

void ToObject(const Receiver& record, IGPSSettingsObject* object);
void FromObject(IGPSSettingsObject* object, Receiver& record);

// The category and subcategory names go only into, and come only from, an object of this
// module's class; otherwise the record's (or the object's) stay.
void ToObject(const Lookaround& record, ILookaroundSettingsObject* object);
void FromObject(ILookaroundSettingsObject* object, Lookaround& record);

void ToObject(const Route& record, IRouteSettingsObject* object);
// The first getter that fails answers, and the record is then left as it was; E_POINTER for a
// missing object.
HRESULT FromObject(IRouteSettingsObject* object, Route& record);

} // namespace gpscore::settings

#endif // GPSCORE_BASE_SETTINGSOBJECT_H_
