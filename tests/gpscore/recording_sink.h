// A client's event sink for tests that drive the service as a client does: it records every
// event it is handed, with the test's poll count at that moment, and can call back into the
// service from inside the callback.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include <gpslib/event_sink.h>

#include "GPSLib_classes.h"

namespace gpslib::test {

// The reference counting and the dispatch stubs every sink shares, as any client has them.
using SinkBase = gpslib::EventSinkBase;

// A client's sink: records what arrives (and when, by the test's poll count) and releases the
// reference it was handed. Optionally calls back into the service from inside the callback.
class RecordingSink final : public SinkBase {
public:
    struct Seen {
        EventType type;
        int poll;
        std::u16string text;
        double latitude = 0.0, longitude = 0.0; // Where the event says it happened.
    };

    HRESULT OnAutomaticEvent(IAutomaticEventObject* event) override {
        EventType type = EventUnknown;
        gpslib::Bstr text;
        event->GetEventType(&type);
        event->GetDescription(text.Put());
        Seen seen{type, poll, std::u16string(text.View())};
        gpslib::ComPtr<ILocationObject> place;
        if (SUCCEEDED(event->GetLocation(place.Put())) && place) {
            place->GetLatitude(&seen.latitude);
            place->GetLongitude(&seen.longitude);
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_seen.push_back(std::move(seen));
        }
        if (callBack != nullptr) {
            gpslib::ComPtr<IGPSStatusObject> status;
            callBack->GPSGetStatus(status.Put());
            UrgencyLevel level;
            callBack->LookaroundGetUrgencyReportingLevel(&level);
            if (pollFromCallback) {
                VARIANT_BOOL read = VARIANT_FALSE;
                callBack->GPSForcePoll(&read);
            }
        }
        event->Release(); // The reference the service handed over.
        return S_OK;
    }

    std::vector<Seen> Seen_() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }
    std::vector<EventType> Types() {
        std::vector<EventType> types;
        for (const auto& s : Seen_())
            types.push_back(s.type);
        return types;
    }

    int poll = 0;
    IGPSCore* callBack = nullptr;
    // With callBack: the callback also runs a poll of its own, as a client that polls whenever
    // it hears something might.
    bool pollFromCallback = false;

private:
    std::mutex m_mutex;
    std::vector<Seen> m_seen;
};

} // namespace gpslib::test
