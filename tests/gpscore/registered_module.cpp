#include "registered_module.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "temp_dir.h"

namespace gpslib::test {

namespace {
#include "GPSLib_calls.inc"
} // namespace

const std::string& RegisteredCoreStore() {
    static std::unique_ptr<TempDir> dir;
    static std::string store;
    if (store.empty()) {
        dir = std::make_unique<TempDir>();
        store = dir->File("registry.reg");
        setenv("GPSLIB_REGISTRY", store.c_str(), 1);
        std::string command = std::string(GPSREG_TOOL) + " " + GPSCORE_MODULE + " > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
    return store;
}

ComPtr<ILocationObject> NewLocation(double latitude, double longitude, const char* name,
                                    const char* description) {
    auto location = GPS_NEW(LocationObject);
    location->SetLatitude(latitude);
    location->SetLongitude(longitude);
    location->SetName(Bstr(name).Get());
    location->SetDescription(Bstr(description).Get());
    return location;
}

HRESULT CallByName(IDispatch* object, const char* name, std::vector<VARIANT> args,
                   VARIANT* result) {
    std::u16string wide = ToUtf16(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    UINT argErr = 0;
    return object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, &argErr);
}

namespace {

std::string Render(const VARIANT& value) {
    char text[64];
    switch (value.vt) {
    case VT_BOOL:
        return std::to_string(value.boolVal);
    case VT_I2:
        return std::to_string(value.iVal);
    case VT_I4:
        return std::to_string(value.lVal);
    case VT_R8:
        std::snprintf(text, sizeof text, "%g", value.dblVal);
        return text;
    case VT_BSTR:
        return "\"" + ToUtf8(value.bstrVal) + "\"";
    default:
        return "<type " + std::to_string(value.vt) + ">";
    }
}

} // namespace

std::string ReadByName(IDispatch* object, const char* getter) {
    Variant value;
    HRESULT hr = CallByName(object, getter, {}, &value);
    return hr == S_OK ? Render(value) : "<status " + std::to_string(hr) + ">";
}

std::string ReadFields(IDispatch* object, std::string_view expected) {
    std::string read;
    for (std::size_t at = 0, equals; (equals = expected.find('=', at)) != expected.npos;) {
        const std::string getter(expected.substr(at, equals - at));
        read += (read.empty() ? "" : " ") + getter + "=" + ReadByName(object, getter.c_str());
        // A quoted value runs to its closing quote, any other to the next space.
        const bool quoted = equals + 1 < expected.size() && expected[equals + 1] == '"';
        at = std::min(expected.find(quoted ? '"' : ' ', equals + 2), expected.size()) + 1;
        while (at < expected.size() && expected[at] == ' ')
            ++at;
    }
    return read;
}

std::map<std::string, std::string> Fields(IDispatch* object, REFCLSID clsid) {
    std::map<std::string, std::string> fields;
    for (const FieldAccessors& f : kAllFieldAccessors)
        if (*f.clsid == clsid) fields[f.getter] = ReadByName(object, f.getter);
    return fields;
}

void ChangeFields(IDispatch* object, REFCLSID clsid) {
    int n = 0;
    for (const FieldAccessors& f : kAllFieldAccessors) {
        if (!(*f.clsid == clsid)) continue;
        ++n;
        Variant value;
        ASSERT_EQ(CallByName(object, f.getter, {}, &value), S_OK) << f.getter;
        ASSERT_EQ(value.vt, f.vt) << f.getter;
        switch (f.vt) {
        case VT_I2:
            value.iVal = static_cast<SHORT>(value.iVal + n);
            break;
        case VT_I4: // A valid value of every enumeration as well.
            value.lVal = value.lVal == 1 ? 2 : 1;
            break;
        case VT_R8:
            value.dblVal -= 0.5 + n;
            break;
        case VT_BOOL:
            value.boolVal = value.boolVal ? 0 : 1;
            break;
        default:
            SysFreeString(value.bstrVal);
            value.bstrVal = AllocBstr(std::string(f.setter) + " \xC3\xA9");
        }
        ASSERT_EQ(CallByName(object, f.setter, {value}, nullptr), S_OK) << f.setter;
        EXPECT_EQ(ReadByName(object, f.getter), Render(value)) << f.getter;
    }
}

} // namespace gpslib::test
