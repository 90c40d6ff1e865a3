// Late binding: the tables the type-library generator writes for every interface, and the one
// implementation of GetIDsOfNames and Invoke that reads them.
#ifndef GPSLIB_DISPATCH_H_
#define GPSLIB_DISPATCH_H_

#include <gpslib/automation.h>

#include <cstddef>
#include <cstdint>

namespace gpslib {

enum class ParamType : std::uint8_t {
    Short,   // VT_I2
    Long,    // VT_I4 (also every enumeration)
    Double,  // VT_R8
    Bool,    // VT_BOOL
    String,  // VT_BSTR
    Object,  // VT_DISPATCH, queried for ParamInfo::iid
    Unknown, // VT_UNKNOWN
    Variant, // [in] VARIANT: any value
    List,    // [in, out] VARIANT*: an array of variants
};

enum class ParamDir : std::uint8_t { In, Out, InOut, RetVal };

struct ParamInfo {
    const char* name;
    ParamType type;
    ParamDir dir;
    const IID* iid; // Object parameters only.
};

// Calls the method through the vtable. args[i] points at the storage of parameter i: the value
// itself for [in] parameters, the out location for the others.
using MethodThunk = HRESULT (*)(void* self, void* const* args);

struct MethodInfo {
    const char* name;
    DISPID dispid;
    const char* helpString; // Null when the method has none.
    std::uint8_t paramCount;
    const ParamInfo* params;
    MethodThunk call;
};

struct InterfaceInfo {
    const char* name;
    const IID* iid;
    const MethodInfo* methods; // Sorted by dispid.
    std::size_t methodCount;
};

// Method names compare without regard to ASCII case; further names are parameter names and get
// their position as id. DISP_E_UNKNOWNNAME when any name is unknown (its id is DISPID_UNKNOWN).
GPSLIB_API HRESULT DispatchGetIDsOfNames(const InterfaceInfo& info, LPOLESTR* names, UINT cNames,
                                         DISPID* ids);

// Checks the argument count and types, coerces [in] arguments (VariantChangeType), passes
// [out] and [in, out] arguments given by reference (VT_BYREF of the parameter's type, or
// VT_BYREF|VT_VARIANT), calls the method and returns its status. On success the out values are
// written back (replacing, and freeing, what the client's reference held) and the return value
// goes to *result when that is not null.
GPSLIB_API HRESULT DispatchInvoke(const InterfaceInfo& info, void* self, DISPID id, WORD flags,
                                  DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                  UINT* argErr);

GPSLIB_API const MethodInfo* FindMethod(const InterfaceInfo& info, DISPID id);

} // namespace gpslib

#endif // GPSLIB_DISPATCH_H_
