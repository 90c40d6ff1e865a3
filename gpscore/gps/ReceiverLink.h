// The receiver as the service holds it: the live fix record and what the sentences mean (the
// receiver state), the link to the serial port or the playback file, the sentences a client
// pushes in, and the trace being recorded.
#ifndef GPSCORE_GPS_RECEIVERLINK_H_
#define GPSCORE_GPS_RECEIVERLINK_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/SettingsRecords.h"
#include "gps/LinkListener.h"
#include "gps/Nmea.h"
#include "gps/ReceiverState.h"
#include "gps/Trace.h"
#include "os/env.h"

// The fix object the link makes and the facade hands to clients, and the client's settings
// object applied to the link; the link holds the one and reads the other without speaking the
// object runtime.
struct IGPSObject;

namespace gpscore {

struct ServiceContext;

// REQUIRES for every method: the service's core lock held.
class ReceiverLink {
public:
    explicit ReceiverLink(ServiceContext& context);
    ReceiverLink(const ReceiverLink&) = delete;
    ReceiverLink& operator=(const ReceiverLink&) = delete;

    void SetListener(LinkListener* listener) { m_pListener = listener; }
    ReceiverState& State() { return m_receiver; }
    const ReceiverState& State() const { return m_receiver; }
    // The live fix record: made by the first Open, released by Release. The facade makes the
    // fix's place, time and status objects from it and from the state (gps/GPSObject.h).
    IGPSObject* Record() const { return m_pGPSObject.get(); }

    // Opens the configured receiver (the record is made first when there is none) and puts the
    // last known position into the record; true when it opened or none is configured.
    bool Open(std::int16_t startupSentences);
    // Closes the ports and the trace and forgets the link's counts, as Start does first.
    void ResetLink();
    void Close();
    // Closes everything and lets the record go (Stop).
    void Release();
    bool Configured() const;
    // Reads what the port and the playback file hold; true when any bytes came.
    bool Read();
    // Sentences from the client, one byte per character.
    void PushNmea(std::u16string_view text);
    // Applies receiver settings a client sets (GPSSetSettings) and reopens the link when its
    // identity changed (*portOpened then tells whether it opened; it stays empty otherwise).
    // Averaging seconds outside 1 to 300 become 5 in `settings` too, for the client's object.
    void ApplySettings(settings::Receiver& settings, std::optional<bool>* portOpened);

    // Traces: the file name is checked and kept; the file opens only while the service runs.
    // A name that does not fit is refused (kBadName); a file that cannot be opened ends the
    // recording (kNotOpened).
    enum class Recording { kAccepted, kBadName, kNotOpened };
    Recording StartRecording(std::u16string_view file, bool running);
    void StopRecording();
    void InsertAnnotation(std::u16string_view text);

private:
    enum class Source { kSerialPort, kPlaybackFile };
    struct ReleaseRecord {
        void operator()(IGPSObject* record) const;
    };
    bool OpenLink(std::int16_t startupSentences);
    bool OpenPort(std::unique_ptr<gpslib::os::SerialPort>& port, std::u16string_view portName,
                  std::int16_t portNumber, std::int32_t baudRate);
    bool ReadSource(Source source);
    // Appends to the trace being recorded; a write that fails ends the recording.
    void AppendToTrace(std::string_view bytes);

    ServiceContext& m_context;
    LinkListener* m_pListener = nullptr;
    std::unique_ptr<IGPSObject, ReleaseRecord> m_pGPSObject;
    ReceiverState m_receiver;
    std::unique_ptr<gpslib::os::SerialPort> m_hSerialPort;
    std::unique_ptr<gpslib::os::SerialPort> m_hTalkingLightsPort;
    std::unique_ptr<gpslib::os::SequentialFile> m_hPlaybackFile;
    std::unique_ptr<gpslib::os::WritableFile> m_hTraceFile;
    // Receivers split sentences across reads, so each source keeps its line between reads.
    nmea::Assembly m_serialAssembly;
    std::string m_pushBytes; // PushNmea's buffer, kept so that a push allocates nothing.
    nmea::Assembly m_playbackAssembly;
    std::u16string m_bstrRecordingFile;
    AnnotationScanner m_annotationScanner;
};

} // namespace gpscore

#endif // GPSCORE_GPS_RECEIVERLINK_H_
