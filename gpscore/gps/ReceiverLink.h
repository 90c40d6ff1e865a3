// The receiver as the service holds it: the live fix record and what the sentences mean (the
// receiver state), the link to the serial port or the playback file, the sentences a client
// pushes in, and the trace being recorded.
#ifndef GPSCORE_GPS_RECEIVERLINK_H_
#define GPSCORE_GPS_RECEIVERLINK_H_

#include <memory>
#include <string>
#include <string_view>

#include "GPSLib_classes.h"
#include "gps/Nmea.h"
#include "gps/ReceiverState.h"
#include "gps/Trace.h"
#include "os/env.h"

namespace gpscore {

struct ServiceContext;

// REQUIRES for every method: the service's core lock held.
class ReceiverLink {
public:
    // What the link tells the rest of the service.
    class Listener {
    public:
        // The link was opened again: whatever watched the old one starts over.
        virtual void OnLinkRestarted() = 0;
        // A played-back trace reached one of its annotations.
        virtual void OnAnnotation(std::u16string_view text) = 0;

    protected:
        ~Listener() = default;
    };

    explicit ReceiverLink(ServiceContext& context);
    ReceiverLink(const ReceiverLink&) = delete;
    ReceiverLink& operator=(const ReceiverLink&) = delete;

    void SetListener(Listener* listener) { m_pListener = listener; }
    ReceiverState& State() { return m_receiver; }
    const ReceiverState& State() const { return m_receiver; }
    // The live fix record: made by the first Open, released by Release.
    IGPSObject* Record() const { return m_pGPSObject.Get(); }
    gpslib::ComPtr<ILocationObject> Location() const;
    // New snapshots of the fix's time and status for a client.
    HRESULT Time(IGPSTimeObject** time);
    HRESULT Status(IGPSStatusObject** status);

    // Opens the configured receiver (the record is made first when there is none) and puts the
    // last known position into the record; true when it opened or none is configured.
    bool Open(SHORT startupSentences);
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
    // identity changed; E_FAIL when the stored settings cannot be made.
    HRESULT ApplySettings(IGPSSettingsObject* settings, VARIANT_BOOL* portOpened);

    // Traces: the file name is checked and kept; the file opens only while the service runs.
    HRESULT StartRecording(std::u16string_view file, bool running);
    void StopRecording();
    void InsertAnnotation(std::u16string_view text);

private:
    enum class Source { kSerialPort, kPlaybackFile };
    bool OpenLink(SHORT startupSentences);
    bool OpenPort(std::unique_ptr<gpslib::os::SerialPort>& port, std::u16string_view portName,
                  SHORT portNumber, LONG baudRate);
    bool ReadSource(Source source);
    // Appends to the trace being recorded; a write that fails ends the recording.
    void AppendToTrace(std::string_view bytes);

    ServiceContext& m_context;
    Listener* m_pListener = nullptr;
    gpslib::ComPtr<IGPSObject> m_pGPSObject;
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
