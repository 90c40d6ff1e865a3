// The settings objects through the registered module: the arrival distances with their unit
// rule and limits, the derived debug directory, the receiver set up from a Bluetooth device,
// and the lookaround limits and held category objects.
#include <gtest/gtest.h>

#include <string>

#include "registered_module.h"

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;
using gpslib::test::ChangeFields;
using gpslib::test::Fields;
using gpslib::test::ReadByName;

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
    const struct {
        Units units;
        SHORT value, storedFeet;
        SHORT readBack; // In the same units.
        SHORT thresholdFeet;
    } cases[] = {
        {Metric, 10, 33, 10, 12},    {Imperial, 80, 80, 80, 12}, {Nautical, 10, 33, 10, 12},
        {Metric, 15, 49, 15, 12},    {Metric, 1, 3, 1, 3},       {Imperial, 5, 5, 5, 5},
        {Units(9), 10, 33, 10, 12},  // Any unit but Imperial means metres.
        {Metric, 20000, 81, 25, 12}, // 65617 feet, cut to 16 bits.
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.units) + ": " + std::to_string(c.value));
        auto settings = GPS_NEW(SystemSettingsObject);
        ASSERT_EQ(settings->SetArrivalDistance(c.units, c.value), S_OK);
        SHORT readBack = -999;
        ASSERT_EQ(settings->GetArrivalDistance(c.units, &readBack), S_OK);
        EXPECT_EQ(ArrivalFeet(settings.Get()), c.storedFeet);
        EXPECT_EQ(readBack, c.readBack);
        EXPECT_EQ(ThresholdFeet(settings.Get()), c.thresholdFeet);
    }
}

TEST(SystemSettingsObject, ThresholdIsNeverNegativeAndNeverAboveTheArrivalDistance) {
    const struct {
        Units units;
        SHORT value, storedFeet, readInMetres;
    } cases[] = {
        {Imperial, 80, 50, 15}, {Imperial, 20, 20, 6}, {Imperial, -3, 0, 0}, {Metric, -1, 0, 0},
        {Metric, 3, 10, 3},     {Metric, 100, 50, 15}, {Nautical, 5, 16, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.units) + ": " + std::to_string(c.value));
        auto settings = GPS_NEW(SystemSettingsObject);
        ASSERT_EQ(settings->SetArrivedNearThreshold(c.units, c.value), S_OK);
        SHORT metres = -999;
        ASSERT_EQ(settings->GetArrivedNearThreshold(Metric, &metres), S_OK);
        EXPECT_EQ(ThresholdFeet(settings.Get()), c.storedFeet);
        EXPECT_EQ(metres, c.readInMetres);
        EXPECT_EQ(ArrivalFeet(settings.Get()), 50);
    }
    // Raising the arrival distance leaves the threshold where it was.
    auto settings = GPS_NEW(SystemSettingsObject);
    settings->SetArrivalDistance(Imperial, 5);
    settings->SetArrivalDistance(Imperial, 100);
    EXPECT_EQ(ThresholdFeet(settings.Get()), 5);
    settings->SetArrivedNearThreshold(Imperial, 90);
    EXPECT_EQ(ThresholdFeet(settings.Get()), 90);
}

TEST(SystemSettingsObject, SettingsDirectoryDerivesTheDebugDirectory) {
    const struct {
        const char *directory, *debug;
    } cases[] = {
        {"/home/walker/.config/gpslib", "/home/walker/.config/gpslib/Debug"},
        {"\\CompactFlash\\settings", "\\CompactFlash\\settings/Debug"},
        {"\\CompactFlash\\settings\\", "\\CompactFlash\\settings\\Debug"},
        {"/var/lib/gpslib/", "/var/lib/gpslib/Debug"},
        {"", "/Debug"},
    };
    for (const auto& c : cases) {
        auto settings = GPS_NEW(SystemSettingsObject);
        ASSERT_EQ(settings->SetSettingsDirectory(Bstr(c.directory).Get()), S_OK);
        EXPECT_EQ(ReadByName(settings.Get(), "GetSettingsDirectory"),
                  '"' + std::string(c.directory) + '"');
        EXPECT_EQ(ReadByName(settings.Get(), "GetDebugDirectory"),
                  '"' + std::string(c.debug) + '"');
    }
}

// A receiver the client describes itself; one of its getters can be made to fail.
class FakeBluetoothDevice final : public IBluetoothDeviceObject {
public:
    explicit FakeBluetoothDevice(int failingCall) : m_failingCall(failingCall) {}

    HRESULT QueryInterface(REFIID, void** ppv) override { return *ppv = nullptr, E_NOINTERFACE; }
    ULONG AddRef() override { return 2; } // Lives on the test's stack.
    ULONG Release() override { return 1; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT GetName(BSTR* out) override { return Text(0, "My GPS", out); }
    HRESULT GetPortName(BSTR* out) override { return Text(1, "COM", out); }
    HRESULT GetPortNumber(SHORT* out) override {
        return *out = 5, m_failingCall == 2 ? kFailure : S_OK;
    }
    HRESULT IsActive(VARIANT_BOOL* out) override { return *out = 1, S_OK; }

    static constexpr HRESULT kFailure = E_OUTOFMEMORY;

private:
    HRESULT Text(int call, const char* text, BSTR* out) {
        if (m_failingCall == call) return kFailure;
        return *out = gpslib::AllocBstr(std::string_view(text)), S_OK;
    }
    int m_failingCall;
};

TEST(GPSSettingsObject, SetUpBluetoothReceiverTakesTheDeviceOrNothing) {
    for (int failingCall : {-1, 0, 1, 2}) { // -1: none; 0 name, 1 port name, 2 port number.
        SCOPED_TRACE(failingCall);
        auto settings = GPS_NEW(GPSSettingsObject);
        ChangeFields(settings.Get(), CLSID_GPSSettingsObject);
        auto expected = Fields(settings.Get(), CLSID_GPSSettingsObject);
        FakeBluetoothDevice device(failingCall);
        EXPECT_EQ(settings->SetUpBluetoothReceiver(&device),
                  failingCall == -1 ? S_OK : FakeBluetoothDevice::kFailure);
        if (failingCall == -1) {
            expected["GetGPSReceiverName"] = "\"My GPS\"";
            expected["GetGPSPortName"] = "\"COM\"";
            expected["GetGPSPortNumber"] = "5";
            expected["GetSimulatedGPSFile"] = "\"\"";
            expected["GetGPSReceiverType"] = std::to_string(GPSTypeBlueTooth);
            expected["GetGPSBaudRate"] = "4800";
        }
        EXPECT_EQ(Fields(settings.Get(), CLSID_GPSSettingsObject), expected);
    }
    auto settings = GPS_NEW(GPSSettingsObject);
    EXPECT_EQ(settings->SetUpBluetoothReceiver(nullptr), E_POINTER);
    ASSERT_EQ(settings->SetUpBluetoothReceiver(GPS_NEW(BluetoothDeviceObject).Get()), S_OK);
    EXPECT_EQ(ReadByName(settings.Get(), "GetGPSPortNumber"), "-1"); // The empty device's.
}

TEST(LookaroundSettingsObject, ReportingIntervalAndMaximumSpeedAreKeptInRange) {
    const auto interval = &ILookaroundSettingsObject::SetLookaroundReportingInterval;
    const auto speed = &ILookaroundSettingsObject::SetIntersectionMaxSpeedForReporting;
    const struct {
        HRESULT (ILookaroundSettingsObject::*set)(SHORT);
        SHORT in, stored;
    } cases[] = {
        {interval, 4, 5},     {interval, 5, 5},   {interval, 300, 300},
        {interval, 301, 300}, {interval, -20, 5}, {speed, -1, 0},
        {speed, -32768, 0},   {speed, 0, 0},      {speed, 3, 3},
    };
    for (const auto& c : cases) {
        const bool isInterval = c.set == interval;
        auto settings = GPS_NEW(LookaroundSettingsObject);
        ASSERT_EQ((settings.Get()->*c.set)(c.in), S_OK);
        EXPECT_EQ(ReadByName(settings.Get(), isInterval ? "GetLookaroundReportingInterval"
                                                        : "GetIntersectionMaxSpeedForReporting"),
                  std::to_string(c.stored))
            << (isInterval ? "interval " : "speed ") << c.in;
    }
}

TEST(LookaroundSettingsObject, CategoriesToScanForAreCopiedIntoTheHeldObjects) {
    auto settings = GPS_NEW(LookaroundSettingsObject);
    ComPtr<IPOICategoryObject> held, again;
    ASSERT_EQ(settings->GetCommercialCategoryToScanFor(held.Put()), S_OK);
    EXPECT_EQ(ReadByName(held.Get(), "GetCategoryNumber"), "0");
    auto category = GPS_NEW(POICategoryObject);
    category->SetCategoryNumber(12);
    ASSERT_EQ(settings->SetCommercialCategoryToScanFor(category.Get()), S_OK);
    category->SetCategoryNumber(3); // Copied, not shared.
    ASSERT_EQ(settings->GetCommercialCategoryToScanFor(again.Put()), S_OK);
    EXPECT_EQ(again.Get(), held.Get()) << "the getter hands out the held object itself";
    EXPECT_EQ(ReadByName(held.Get(), "GetCategoryNumber"), "12");
    EXPECT_EQ(settings->SetCommercialCategoryToScanFor(nullptr), E_POINTER);

    auto sub = GPS_NEW(POISubCategoryObject);
    sub->SetSubCategoryNumber(4);
    sub->SetMainCategoryNumber(9);
    ASSERT_EQ(settings->SetCommercialSubCategoryToScanFor(sub.Get()), S_OK);
    sub->SetSubCategoryNumber(1);
    ComPtr<IPOISubCategoryObject> heldSub;
    ASSERT_EQ(settings->GetCommercialSubCategoryToScanFor(heldSub.Put()), S_OK);
    EXPECT_NE(heldSub.Get(), sub.Get());
    EXPECT_EQ(ReadByName(heldSub.Get(), "GetSubCategoryNumber"), "4");
    EXPECT_EQ(ReadByName(heldSub.Get(), "GetMainCategoryNumber"), "9");
}

} // namespace
