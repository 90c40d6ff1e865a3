// The service's parts without the service, for the rules of a part that the client's methods show
// only in part, and for timing a poll between whose runs a part is set back. One part object per
// subsystem, wired to the others as CGPSCore wires them, over a context filled as Start fills it:
// the service's platform, the shared Utility with the string module and the settings files of a
// prepared folder, and, given a map folder, a map engine of the registered module with those maps
// loaded. No database component and no polling thread; the caller's one thread stands in for the
// core lock.
#pragma once

#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSMapLib.h>

#include <string>

#include "GPSLib_classes.h"
#include "base/EventQueue.h"
#include "base/ServiceContext.h"
#include "base/ServiceEnv.h"
#include "base/Utility.h"
#include "events/PollCycle.h"
#include "gps/ReceiverLink.h"
#include "maps/MapLoader.h"
#include "orientation/Crossings.h"
#include "orientation/Destination.h"
#include "orientation/Lookaround.h"
#include "orientation/VirtualWalker.h"
#include "orientation/WhereAmI.h"
#include "poi/POILookaround.h"
#include "poi/POIObject.h"
#include "poi/POISearch.h"
#include "poi/PersonalPlaces.h"
#include "route/RouteBuilder.h"
#include "route/RouteFollower.h"

namespace gpslib::test {

class ServiceParts {
public:
    ServiceParts() {
        context.m_pEnv = gpscore::ServiceEnv();
        receiver.SetListener(&poll);
        events.SetObserver(&poll);
    }
    ~ServiceParts() { Stop(); }
    ServiceParts(const ServiceParts&) = delete;
    ServiceParts& operator=(const ServiceParts&) = delete;

    // `settings`: a folder as PrepareSettingsFolder makes it; `maps`: the map folder, or "" for a
    // service without a map engine. Answers what failed, or "" once started.
    std::string Start(const std::string& settings, const std::string& maps = "") {
        if (!maps.empty()) {
            if (FAILED(
                    gpslib::CreateObject(CLSID_GPSMap, IID_IGPSMap, context.m_pGPSMap.PutVoid())))
                return "no map engine registered";
            context.m_pGPSMap->ResetEngine();
        }
        receiver.State().SetMapEngine(context.Map());
        context.m_pUtility = gpscore::Utility::AcquireForService(context.m_pEnv);
        if (context.m_pUtility == nullptr) return "no Utility";
        gpscore::Utility& utility = *context.m_pUtility;
        if (!utility.LoadResources(settings + "GPSResources_EN.dll")) return "no string module";
        if (context.m_pGPSMap) {
            VARIANT_BOOL loaded = VARIANT_FALSE;
            context.m_pGPSMap->SetResourceLibrary(
                Bstr(std::string_view(utility.ResourcesPath())).Get(), &loaded);
            if (loaded == VARIANT_FALSE) return "the engine took no string module";
        }
        context.ReadSettingsFiles(ToUtf16(settings));
        // The log in the folder's Debug folder, as from a service's second run.
        utility.ChangeSystemSettings(
            [&](gpscore::settings::System& s) { s.SetSettingsDirectory(ToUtf16(settings)); });
        gpscore::ResetLogChecks();
        if (context.m_pGPSMap)
            context.m_pGPSMap->SetDebugDirectory(Bstr(utility.DebugDirectory()).Get());
        poiSearch.Start();
        receiver.State().m_nPedestrianAveragingSeconds = 5;
        events.SetReportingLevel(UrgencyLow);
        poll.Restart(utility.LookaroundSettings().startDelay);
        if (context.m_pGPSMap) {
            utility.ChangeSystemSettings(
                [&](gpscore::settings::System& s) { s.mapPOIDirectory = ToUtf16(maps); });
            const std::string loaded = ToUtf8(mapLoader.Load());
            if (loaded != "OK") return "maps not loaded: " + loaded;
        }
        context.m_eCurrentMode = GPSMode;
        receiver.ResetLink();
        poll.ForgetQuality();
        receiver.Open(2);
        walker.Create();
        walker.Restore();
        destination.Restore();
        lookaround.Start();
        poiLookaround.Start();
        return "";
    }
    void Stop() {
        if (context.m_pUtility == nullptr) return;
        poiSearch.Stop();
        if (context.m_pGPSMap) mapLoader.Unload();
        receiver.Release();
        walker.Release();
        destination.Release();
        lookaround.Stop();
        poiLookaround.Stop();
        receiver.State().SetMapEngine(gpscore::MapQueries(nullptr));
        context.m_pGPSMap.Reset();
        gpscore::Utility::ReleaseForService(context.m_pUtility);
    }

    gpscore::ServiceContext context;
    gpscore::EventQueue events{context};
    gpscore::PersonalPlaces places{context};
    gpscore::Destination destination{context, places};
    gpscore::WhereAmI whereAmI{context, places};
    gpscore::VirtualWalker walker{context, places, whereAmI};
    gpscore::Crossings crossings{context, whereAmI};
    gpscore::Lookaround lookaround{context, events, receiver, whereAmI, crossings};
    gpscore::POISearch poiSearch{context};
    gpscore::LastPOIObject lastLookaroundPOI;
    gpscore::POILookaround poiLookaround{context, events, lastLookaroundPOI};
    gpscore::RouteBuilder builder{{context, events, follower, destination, receiver, walker}};
    gpscore::RouteFollower follower{context, events, receiver, walker};
    gpscore::MapLoader mapLoader{context};
    gpscore::ReceiverLink receiver{context};
    gpscore::PollCycle poll{{context, receiver, events, destination, walker, whereAmI, lookaround,
                             poiLookaround, follower, places}};
};

} // namespace gpslib::test
