// Shared by the tests of this executable: a temporary registry store with libgpscore.so
// registered in it (through the real gpsreg tool), object creation, calls by name through
// IDispatch as a late-bound client makes them, and the rows of the tables generated from the
// type library (GPSLib_calls.inc).
#pragma once

#include <gpslib/GPSLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace gpslib::test {

// The store's path; registers the module on first use. Fails the calling test on error.
const std::string& RegisteredCoreStore();

template <class I> ComPtr<I> New(REFCLSID clsid, REFIID iid) {
    RegisteredCoreStore();
    ComPtr<I> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object.PutVoid()), S_OK);
    return object;
}

ComPtr<ILocationObject> NewLocation(double latitude, double longitude, const char* name = "",
                                    const char* description = "");

// Calls a method by name with the given arguments (in declaration order); returns its status.
HRESULT CallByName(IDispatch* object, const char* name, std::vector<VARIANT> args, VARIANT* result);

// Reads a getter by name and renders the value as text: booleans as their raw number (so that
// 1 and -1 differ), strings in quotes, doubles as "%g".
std::string ReadByName(IDispatch* object, const char* getter);

// Reads the getters named in `expected`, a text of getter=value pairs (values as ReadByName
// renders them, separated by spaces), and renders what they answer in the same form.
std::string ReadFields(IDispatch* object, std::string_view expected);

// Every stored field of an object of class `clsid`: getter name -> ReadByName text.
std::map<std::string, std::string> Fields(IDispatch* object, REFCLSID clsid);

// Gives every stored field of the object a value other than the one it holds (a text field:
// its setter's name), through its setter by name, and checks that the getter answers it.
void ChangeFields(IDispatch* object, REFCLSID clsid);

struct NullOutCall {
    const char* name;
    DISPID dispid;
    bool hasOut;
    HRESULT (*call)(IUnknown*);
};
struct InterfaceCalls {
    const IID* iid;
    const char* name;
    const NullOutCall* calls;
    std::size_t count;
};
struct FieldAccessors {
    const CLSID* clsid;
    const char* className;
    const char* getter;
    const char* setter;
    VARTYPE vt;
};
// One row per interface of a class; `primary` marks the default one (IDispatch's).
struct ClassUnderTest {
    const CLSID* clsid;
    const char* name;
    const IID* iid;
    bool primary;
};

} // namespace gpslib::test

// A new object of the class `Class`, through its own interface.
#define GPS_NEW(Class) ::gpslib::test::New<I##Class>(CLSID_##Class, IID_I##Class)
