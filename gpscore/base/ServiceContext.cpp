#include "base/ServiceContext.h"

#include "base/SettingsFiles.h"
#include "base/Utility.h"
#include "resources/StringIds.h"

namespace gpscore {

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

void ServiceContext::WriteSystemSettingsFile() const {
    if (m_pUtility == nullptr) return;
    settings::WriteSystemSettings(*m_pEnv, m_pUtility->SettingsDirectory(),
                                  m_pUtility->SystemSettings().Get());
}

void ServiceContext::WriteReceiverSettingsFile() const {
    if (m_pUtility == nullptr) return;
    settings::WriteReceiverSettings(*m_pEnv, m_pUtility->SettingsDirectory(),
                                    m_pUtility->ReceiverSettings().Get());
}

void ServiceContext::ReadSettingsFiles(std::u16string_view directory) const {
    if (m_pUtility == nullptr) return;
    gpslib::os::Env& env = Env();
    Utility& utility = *m_pUtility;
    auto system = utility.SystemSettings();
    // A first start, with no system settings saved yet, measures in the units the string
    // table's language is used to (its MeasurementSystem entry; the English table keeps the
    // imperial default).
    const bool firstStart =
        !env.FileExists(settings::SettingsFilePath(directory, settings::kSystemFileName));
    settings::ReadSystemSettings(env, directory, system);
    if (firstStart && system && String(gpslib::ids::kMeasurementSystem) == u"metric")
        system->SetUnits(Metric);
    utility.SetSystemSettings(system);
    auto receiver = utility.ReceiverSettings();
    settings::ReadReceiverSettings(env, directory, receiver);
    utility.SetReceiverSettings(receiver);
    auto lookaround = utility.LookaroundSettings();
    settings::ReadLookaroundSettings(env, directory, lookaround,
                                     String(gpslib::ids::kAllCategories),
                                     String(gpslib::ids::kAllSubcategories));
    utility.SetLookaroundSettings(lookaround);
    auto routeGPS = utility.RouteSettings(GPSMode);
    auto routeVirtual = utility.RouteSettings(VirtualMode);
    settings::ReadRouteSettings(env, directory, routeGPS, routeVirtual);
    utility.SetRouteSettings(GPSMode, routeGPS);
    utility.SetRouteSettings(VirtualMode, routeVirtual);
}

} // namespace gpscore
