#include "base/ServiceContext.h"

#include "base/SettingsFiles.h"
#include "base/SettingsObject.h"
#include "base/SystemSettingsObject.h"
#include "base/Utility.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;

void ServiceContext::Log(std::string_view text) const {
    if (m_pUtility != nullptr) m_pUtility->Log(text);
}

std::u16string ServiceContext::String(int id) const {
    return m_pUtility != nullptr ? m_pUtility->GetString(id) : std::u16string();
}

gpslib::ComPtr<ISystemSettingsObject> ServiceContext::SystemSettings() const {
    return m_pUtility != nullptr ? m_pUtility->SystemSettings() : nullptr;
}

gpslib::ComPtr<IGPSSettingsObject> ServiceContext::ReceiverSettings() const {
    return m_pUtility != nullptr ? m_pUtility->ReceiverSettings() : nullptr;
}

gpslib::ComPtr<ILookaroundSettingsObject> ServiceContext::LookaroundSettings() const {
    return m_pUtility != nullptr ? m_pUtility->LookaroundSettings() : nullptr;
}

Units ServiceContext::CurrentUnits() const {
    return m_pUtility != nullptr ? m_pUtility->CurrentUnits() : Imperial;
}

GPSType ServiceContext::ReceiverType() const {
    GPSType type = GPSTypeNone;
    if (auto settings = ReceiverSettings()) settings->GetGPSReceiverType(&type);
    return type;
}

namespace {

// The record of a held settings object, and a new object holding a record.
template <class R, class I> R RecordOf(I* object) {
    R record;
    settings::FromObject(object, record);
    return record;
}

template <class I, class R>
gpslib::ComPtr<I> ObjectOf(REFCLSID clsid, REFIID iid, const R& record) {
    gpslib::ComPtr<I> object;
    gpslib::CreateObject(clsid, iid, &object);
    settings::ToObject(record, object.Get());
    return object;
}

} // namespace

void ServiceContext::WriteSystemSettingsFile() const {
    if (m_pUtility == nullptr) return;
    auto system = m_pUtility->SystemSettings();
    if (!system) return;
    auto record = RecordOf<settings::System>(system.Get());
    if (auto* impl = gpslib::ImplOf<CSystemSettingsObject>(system.Get()))
        record.saved = impl->Saved();
    settings::WriteSystemSettings(*m_pEnv, m_pUtility->SettingsDirectory(), record);
}

void ServiceContext::WriteReceiverSettingsFile() const {
    if (m_pUtility == nullptr) return;
    auto receiver = m_pUtility->ReceiverSettings();
    if (receiver)
        settings::WriteReceiverSettings(*m_pEnv, m_pUtility->SettingsDirectory(),
                                        RecordOf<settings::Receiver>(receiver.Get()));
}

void ServiceContext::ReadSettingsFiles(std::u16string_view directory) const {
    if (m_pUtility == nullptr) return;
    gpslib::os::Env& env = Env();
    Utility& utility = *m_pUtility;
    // A first start, with no system settings saved yet, measures in the units the string
    // table's language is used to (its MeasurementSystem entry; the English table keeps the
    // imperial default).
    const bool firstStart =
        !env.FileExists(settings::SettingsFilePath(directory, settings::kSystemFileName));
    auto system = RecordOf<settings::System>(utility.SystemSettings().Get());
    if (auto held = utility.SystemSettings()) {
        Bstr debug;
        held->GetDebugDirectory(debug.Put());
        system.debugDirectory = debug.View();
        if (auto* impl = gpslib::ImplOf<CSystemSettingsObject>(held.Get()))
            system.saved = impl->Saved();
    }
    settings::ReadSystemSettings(env, directory, system);
    if (firstStart && String(gpslib::ids::kMeasurementSystem) == u"metric") system.units = Metric;
    auto systemObject = ObjectOf<ISystemSettingsObject>(CLSID_SystemSettingsObject,
                                                        IID_ISystemSettingsObject, system);
    if (auto* impl = gpslib::ImplOf<CSystemSettingsObject>(systemObject.Get())) {
        impl->Saved() = system.saved;
        impl->SetDebugDirectoryOnly(system.debugDirectory);
    }
    utility.SetSystemSettings(systemObject);
    auto receiver = RecordOf<settings::Receiver>(utility.ReceiverSettings().Get());
    settings::ReadReceiverSettings(env, directory, receiver);
    utility.SetReceiverSettings(
        ObjectOf<IGPSSettingsObject>(CLSID_GPSSettingsObject, IID_IGPSSettingsObject, receiver));
    auto lookaround = RecordOf<settings::Lookaround>(utility.LookaroundSettings().Get());
    settings::ReadLookaroundSettings(env, directory, lookaround,
                                     String(gpslib::ids::kAllCategories),
                                     String(gpslib::ids::kAllSubcategories));
    utility.SetLookaroundSettings(ObjectOf<ILookaroundSettingsObject>(
        CLSID_LookaroundSettingsObject, IID_ILookaroundSettingsObject, lookaround));
    auto routeGPS = RecordOf<settings::Route>(utility.RouteSettings(GPSMode).Get());
    auto routeVirtual = RecordOf<settings::Route>(utility.RouteSettings(VirtualMode).Get());
    settings::ReadRouteSettings(env, directory, routeGPS, routeVirtual);
    utility.SetRouteSettings(GPSMode,
                             ObjectOf<IRouteSettingsObject>(CLSID_RouteSettingsObject,
                                                            IID_IRouteSettingsObject, routeGPS));
    utility.SetRouteSettings(VirtualMode, ObjectOf<IRouteSettingsObject>(CLSID_RouteSettingsObject,
                                                                         IID_IRouteSettingsObject,
                                                                         routeVirtual));
}

} // namespace gpscore
