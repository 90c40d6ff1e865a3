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

std::optional<settings::System> ServiceContext::SystemSettings() const {
    if (m_pUtility == nullptr) return std::nullopt;
    return m_pUtility->SystemSettings();
}

std::optional<settings::Receiver> ServiceContext::ReceiverSettings() const {
    if (m_pUtility == nullptr) return std::nullopt;
    return m_pUtility->ReceiverSettings();
}

std::optional<settings::Lookaround> ServiceContext::LookaroundSettings() const {
    if (m_pUtility == nullptr) return std::nullopt;
    return m_pUtility->LookaroundSettings();
}

std::optional<settings::Route> ServiceContext::RouteSettings(Mode mode) const {
    if (m_pUtility == nullptr) return std::nullopt;
    return m_pUtility->RouteSettings(mode);
}

Units ServiceContext::CurrentUnits() const {
    return m_pUtility != nullptr ? m_pUtility->CurrentUnits() : Imperial;
}

GPSType ServiceContext::ReceiverType() const {
    auto settings = ReceiverSettings();
    return settings ? settings->receiverType : GPSTypeNone;
}

void ServiceContext::WriteSystemSettingsFile() const {
    if (m_pUtility == nullptr) return;
    settings::WriteSystemSettings(*m_pEnv, m_pUtility->SettingsDirectory(),
                                  m_pUtility->SystemSettings());
}

void ServiceContext::WriteReceiverSettingsFile() const {
    if (m_pUtility == nullptr) return;
    settings::WriteReceiverSettings(*m_pEnv, m_pUtility->SettingsDirectory(),
                                    m_pUtility->ReceiverSettings());
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
    settings::System system = utility.SystemSettings();
    settings::ReadSystemSettings(env, directory, system);
    if (firstStart && String(gpslib::ids::kMeasurementSystem) == u"metric") system.units = Metric;
    utility.SetSystemSettings(std::move(system));
    settings::Receiver receiver = utility.ReceiverSettings();
    settings::ReadReceiverSettings(env, directory, receiver);
    utility.SetReceiverSettings(std::move(receiver));
    settings::Lookaround lookaround = utility.LookaroundSettings();
    settings::ReadLookaroundSettings(env, directory, lookaround,
                                     String(gpslib::ids::kAllCategories),
                                     String(gpslib::ids::kAllSubcategories));
    utility.SetLookaroundSettings(std::move(lookaround));
    settings::Route routeGPS = utility.RouteSettings(GPSMode);
    settings::Route routeVirtual = utility.RouteSettings(VirtualMode);
    settings::ReadRouteSettings(env, directory, routeGPS, routeVirtual);
    utility.SetRouteSettings(GPSMode, routeGPS);
    utility.SetRouteSettings(VirtualMode, routeVirtual);
}

} // namespace gpscore
