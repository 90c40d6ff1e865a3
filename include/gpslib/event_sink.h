// The base of a client's sink for the service's automatic events: reference counting, the
// interface query and the dispatch stubs every sink needs. A sink derives from it, adds
// OnAutomaticEvent, and is created with one reference and deleted by its last Release.
#ifndef GPSLIB_EVENT_SINK_H_
#define GPSLIB_EVENT_SINK_H_

#include <gpslib/GPSLib.h>

#include <atomic>

namespace gpslib {

class EventSinkBase : public IGPSAutoEventSink {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IGPSAutoEventSink) {
            *ppv = static_cast<IGPSAutoEventSink*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

protected:
    virtual ~EventSinkBase() = default;

private:
    std::atomic<ULONG> m_refs{1};
};

} // namespace gpslib

#endif // GPSLIB_EVENT_SINK_H_
