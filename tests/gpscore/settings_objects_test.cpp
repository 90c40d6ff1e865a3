// The settings objects through the registered module: the arrival distances with their unit
// rule and limits, the derived debug directory, the receiver set up from a Bluetooth device,
// and the lookaround limits and held category objects.
#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <string>

#include "registered_module.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

template <class T> ComPtr<T> New(const CLSID& clsid, const IID& iid) {
    gpslib::test::RegisteredCoreStore();
    ComPtr<T> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object.PutVoid()), S_OK);
    return object;
}

ComPtr<ISystemSettingsObject> NewSystemSettings() {
    return New<ISystemSettingsObject>(CLSID_SystemSettingsObject, IID_ISystemSettingsObject);
}

SHORT ArrivalFeet(ISystemSettingsObject* s) {
    SHORT feet = -999;
    EXPECT_EQ(s->GetArrivalDistance(Imperial, &feet), S_OK);
    return feet;
}

SHORT ThresholdFeet(ISystemSettingsObject* s) {
    SHORT feet = -999;
    EXPECT_EQ(s->GetArrivedNearThreshold(Imperial, &feet), S_OK);
    return feet;
}

// Each row starts from the defaults: arrival distance 50 feet, threshold 12 feet.
TEST(SystemSettingsObject, ArrivalDistanceIsStoredInFeetAndPullsTheThresholdDown) {
    struct Case {
        Units units;
        SHORT value;
        SHORT storedFeet;
        SHORT readBack; // In the same units.
        SHORT thresholdFeet;
    };
    const Case cases[] = {
        {Metric, 10, 33, 10, 12},
        {Imperial, 80, 80, 80, 12},
        {Nautical, 10, 33, 10, 12},
        {BritishNautical, 10, 33, 10, 12},
        {Metric, 15, 49, 15, 12},
        {Metric, 1, 3, 1, 3},
        {Imperial, 5, 5, 5, 5},
        {Metric, 0, 0, 0, 0},
        {Units(9), 10, 33, 10, 12},  // Any unit but Imperial means metres.
        {Metric, 20000, 81, 25, 12}, // 65617 feet, cut to 16 bits.
        {Imperial, 32767, 32767, 32767, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.units) + ": " + std::to_string(c.value));
        auto settings = NewSystemSettings();
        ASSERT_EQ(settings->SetArrivalDistance(c.units, c.value), S_OK);
        SHORT readBack = -999;
        ASSERT_EQ(settings->GetArrivalDistance(c.units, &readBack), S_OK);
        EXPECT_EQ(ArrivalFeet(settings.Get()), c.storedFeet);
        EXPECT_EQ(readBack, c.readBack);
        EXPECT_EQ(ThresholdFeet(settings.Get()), c.thresholdFeet);
    }
}

TEST(SystemSettingsObject, ThresholdIsNeverNegativeAndNeverAboveTheArrivalDistance) {
    struct Case {
        Units units;
        SHORT value;
        SHORT storedFeet;
        SHORT readInMetres;
    };
    const Case cases[] = {
        {Imperial, 80, 50, 15}, {Imperial, 50, 50, 15}, {Imperial, 20, 20, 6},
        {Imperial, -3, 0, 0},   {Metric, -1, 0, 0},     {Metric, 3, 10, 3},
        {Metric, 100, 50, 15},  {Nautical, 5, 16, 5},   {BritishNautical, 15, 49, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.units) + ": " + std::to_string(c.value));
        auto settings = NewSystemSettings();
        ASSERT_EQ(settings->SetArrivedNearThreshold(c.units, c.value), S_OK);
        SHORT metres = -999;
        ASSERT_EQ(settings->GetArrivedNearThreshold(Metric, &metres), S_OK);
        EXPECT_EQ(ThresholdFeet(settings.Get()), c.storedFeet);
        EXPECT_EQ(metres, c.readInMetres);
        EXPECT_EQ(ArrivalFeet(settings.Get()), 50);
    }
}

TEST(SystemSettingsObject, RaisingTheArrivalDistanceLeavesTheThresholdAlone) {
    auto settings = NewSystemSettings();
    ASSERT_EQ(settings->SetArrivalDistance(Imperial, 5), S_OK);
    ASSERT_EQ(settings->SetArrivalDistance(Imperial, 100), S_OK);
    EXPECT_EQ(ThresholdFeet(settings.Get()), 5);
    ASSERT_EQ(settings->SetArrivedNearThreshold(Imperial, 90), S_OK);
    EXPECT_EQ(ThresholdFeet(settings.Get()), 90);
}

TEST(SystemSettingsObject, SettingsDirectoryDerivesTheDebugDirectory) {
    struct Case {
        const char* directory;
        const char* debug;
    };
    const Case cases[] = {
        {"/home/walker/.config/gpslib", "/home/walker/.config/gpslib/Debug"},
        {"\\CompactFlash\\settings", "\\CompactFlash\\settings/Debug"},
        {"\\CompactFlash\\settings\\", "\\CompactFlash\\settings\\Debug"},
        {"/var/lib/gpslib/", "/var/lib/gpslib/Debug"},
        {"", "/Debug"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.directory);
        auto settings = NewSystemSettings();
        ASSERT_EQ(settings->SetSettingsDirectory(Bstr(c.directory).Get()), S_OK);
        Bstr directory, debug;
        ASSERT_EQ(settings->GetSettingsDirectory(directory.Put()), S_OK);
        ASSERT_EQ(settings->GetDebugDirectory(debug.Put()), S_OK);
        EXPECT_EQ(directory.Utf8(), c.directory);
        EXPECT_EQ(debug.Utf8(), c.debug);
    }
}

// A receiver the client describes itself; each getter can be made to fail.
class FakeBluetoothDevice final : public IBluetoothDeviceObject {
public:
    FakeBluetoothDevice(const char* name, const char* portName, SHORT portNumber, int failingCall)
        : m_name(name), m_portName(portName), m_portNumber(portNumber), m_failingCall(failingCall) {
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        bool ok =
            riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IBluetoothDeviceObject;
        *ppv = ok ? this : nullptr;
        return ok ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; } // Lives on the test's stack.
    ULONG Release() override { return 1; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT GetName(BSTR* out) override { return Text(0, m_name, out); }
    HRESULT GetPortName(BSTR* out) override { return Text(1, m_portName, out); }
    HRESULT GetPortNumber(SHORT* out) override {
        if (m_failingCall == 2) return kFailure;
        *out = m_portNumber;
        return S_OK;
    }
    HRESULT IsActive(VARIANT_BOOL* out) override {
        *out = 1;
        return S_OK;
    }

    static constexpr HRESULT kFailure = E_OUTOFMEMORY;

private:
    HRESULT Text(int call, const char* text, BSTR* out) {
        if (m_failingCall == call) return kFailure;
        *out = gpslib::AllocBstr(std::string_view(text));
        return S_OK;
    }
    const char* m_name;
    const char* m_portName;
    SHORT m_portNumber;
    int m_failingCall;
};

struct ReceiverSettings {
    std::string name, portName, simulatedFile;
    SHORT portNumber = 0;
    GPSType type = GPSTypeNone;
    LONG baudRate = 0;
    bool operator==(const ReceiverSettings&) const = default;
};

ReceiverSettings Read(IGPSSettingsObject* s) {
    ReceiverSettings r;
    Bstr name, portName, file;
    s->GetGPSReceiverName(name.Put());
    s->GetGPSPortName(portName.Put());
    s->GetSimulatedGPSFile(file.Put());
    s->GetGPSPortNumber(&r.portNumber);
    s->GetGPSReceiverType(&r.type);
    s->GetGPSBaudRate(&r.baudRate);
    r.name = name.Utf8();
    r.portName = portName.Utf8();
    r.simulatedFile = file.Utf8();
    return r;
}

TEST(GPSSettingsObject, SetUpBluetoothReceiverTakesTheDeviceOrNothing) {
    struct Case {
        int failingCall; // -1: none; 0 name, 1 port name, 2 port number.
        HRESULT status;
    };
    const Case cases[] = {{-1, S_OK},
                          {0, FakeBluetoothDevice::kFailure},
                          {1, FakeBluetoothDevice::kFailure},
                          {2, FakeBluetoothDevice::kFailure}};
    const ReceiverSettings before{"Old receiver", "/dev/ttyUSB", "walk.trc", 0,
                                  GPSTypeSerial,  9600};
    const ReceiverSettings configured{"My GPS", "COM", "", 5, GPSTypeBlueTooth, 4800};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failingCall);
        auto settings = New<IGPSSettingsObject>(CLSID_GPSSettingsObject, IID_IGPSSettingsObject);
        settings->SetGPSReceiverName(Bstr(before.name).Get());
        settings->SetGPSPortName(Bstr(before.portName).Get());
        settings->SetSimulatedGPSFile(Bstr(before.simulatedFile).Get());
        settings->SetGPSPortNumber(before.portNumber);
        settings->SetGPSReceiverType(before.type);
        settings->SetGPSBaudRate(before.baudRate);
        FakeBluetoothDevice device("My GPS", "COM", 5, c.failingCall);
        EXPECT_EQ(settings->SetUpBluetoothReceiver(&device), c.status);
        EXPECT_EQ(Read(settings.Get()), c.status == S_OK ? configured : before);
    }
}

TEST(GPSSettingsObject, SetUpBluetoothReceiverFromAnEmptyDeviceAndFromNone) {
    auto settings = New<IGPSSettingsObject>(CLSID_GPSSettingsObject, IID_IGPSSettingsObject);
    EXPECT_EQ(settings->SetUpBluetoothReceiver(nullptr), E_POINTER);
    EXPECT_EQ(Read(settings.Get()), (ReceiverSettings{"", "BSP", "", 1, GPSTypeNone, 4800}));
    auto device =
        New<IBluetoothDeviceObject>(CLSID_BluetoothDeviceObject, IID_IBluetoothDeviceObject);
    ASSERT_EQ(settings->SetUpBluetoothReceiver(device.Get()), S_OK);
    EXPECT_EQ(Read(settings.Get()), (ReceiverSettings{"", "", "", -1, GPSTypeBlueTooth, 4800}));
}

TEST(LookaroundSettingsObject, ReportingIntervalAndMaximumSpeedAreKeptInRange) {
    struct Case {
        HRESULT (ILookaroundSettingsObject::*set)(SHORT);
        HRESULT (ILookaroundSettingsObject::*get)(SHORT*);
        SHORT in, stored;
    };
    const auto interval = &ILookaroundSettingsObject::SetLookaroundReportingInterval;
    const auto getInterval = &ILookaroundSettingsObject::GetLookaroundReportingInterval;
    const auto speed = &ILookaroundSettingsObject::SetIntersectionMaxSpeedForReporting;
    const auto getSpeed = &ILookaroundSettingsObject::GetIntersectionMaxSpeedForReporting;
    const Case cases[] = {
        {interval, getInterval, 1, 5},
        {interval, getInterval, 4, 5},
        {interval, getInterval, 5, 5},
        {interval, getInterval, 40, 40},
        {interval, getInterval, 300, 300},
        {interval, getInterval, 301, 300},
        {interval, getInterval, 1000, 300},
        {interval, getInterval, 0, 5},
        {interval, getInterval, -20, 5},
        {speed, getSpeed, -1, 0},
        {speed, getSpeed, -32768, 0},
        {speed, getSpeed, 0, 0},
        {speed, getSpeed, 3, 3},
        {speed, getSpeed, 32767, 32767},
    };
    for (const Case& c : cases) {
        auto settings = New<ILookaroundSettingsObject>(CLSID_LookaroundSettingsObject,
                                                       IID_ILookaroundSettingsObject);
        ASSERT_EQ((settings.Get()->*c.set)(c.in), S_OK);
        SHORT stored = -999;
        ASSERT_EQ((settings.Get()->*c.get)(&stored), S_OK);
        EXPECT_EQ(stored, c.stored) << (c.set == interval ? "interval " : "speed ") << c.in;
    }
}

TEST(LookaroundSettingsObject, CategoryToScanForIsCopiedIntoTheHeldObject) {
    auto settings = New<ILookaroundSettingsObject>(CLSID_LookaroundSettingsObject,
                                                   IID_ILookaroundSettingsObject);
    ComPtr<IPOICategoryObject> held, again;
    ASSERT_EQ(settings->GetCommercialCategoryToScanFor(held.Put()), S_OK);
    ASSERT_TRUE(held);
    SHORT number = -1;
    held->GetCategoryNumber(&number);
    EXPECT_EQ(number, 0);

    auto given = New<IPOICategoryObject>(CLSID_POICategoryObject, IID_IPOICategoryObject);
    given->SetCategoryNumber(12);
    ASSERT_EQ(settings->SetCommercialCategoryToScanFor(given.Get()), S_OK);
    given->SetCategoryNumber(3); // Copied, not shared.
    ASSERT_EQ(settings->GetCommercialCategoryToScanFor(again.Put()), S_OK);
    EXPECT_EQ(again.Get(), held.Get()) << "the getter hands out the held object itself";
    again->GetCategoryNumber(&number);
    EXPECT_EQ(number, 12);
    EXPECT_EQ(settings->SetCommercialCategoryToScanFor(nullptr), E_POINTER);
}

TEST(LookaroundSettingsObject, SubCategoryToScanForCopiesBothNumbers) {
    auto settings = New<ILookaroundSettingsObject>(CLSID_LookaroundSettingsObject,
                                                   IID_ILookaroundSettingsObject);
    auto given = New<IPOISubCategoryObject>(CLSID_POISubCategoryObject, IID_IPOISubCategoryObject);
    given->SetSubCategoryNumber(4);
    given->SetMainCategoryNumber(9);
    ASSERT_EQ(settings->SetCommercialSubCategoryToScanFor(given.Get()), S_OK);
    given->SetSubCategoryNumber(1);
    ComPtr<IPOISubCategoryObject> held;
    ASSERT_EQ(settings->GetCommercialSubCategoryToScanFor(held.Put()), S_OK);
    ASSERT_TRUE(held);
    EXPECT_NE(held.Get(), given.Get());
    SHORT sub = -1, main = -1;
    held->GetSubCategoryNumber(&sub);
    held->GetMainCategoryNumber(&main);
    EXPECT_EQ(sub, 4);
    EXPECT_EQ(main, 9);
    EXPECT_EQ(settings->SetCommercialSubCategoryToScanFor(nullptr), E_POINTER);
}

} // namespace
