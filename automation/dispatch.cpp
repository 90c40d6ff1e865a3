// The one implementation of late binding over the generated interface tables.
#include <gpslib/dispatch.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace gpslib {

namespace {

bool SameName(const OLECHAR* wide, const char* ascii) {
    for (;; ++wide, ++ascii) {
        char16_t a = *wide;
        char b = *ascii;
        if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a - u'A' + u'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != static_cast<unsigned char>(b)) return false;
        if (b == 0) return true;
    }
}

VARTYPE VarTypeOf(ParamType t) {
    switch (t) {
    case ParamType::Short:
        return VT_I2;
    case ParamType::Long:
        return VT_I4;
    case ParamType::Double:
        return VT_R8;
    case ParamType::Bool:
        return VT_BOOL;
    case ParamType::String:
        return VT_BSTR;
    case ParamType::Object:
        return VT_DISPATCH;
    case ParamType::Unknown:
        return VT_UNKNOWN;
    case ParamType::Variant:
    case ParamType::List:
        return VT_VARIANT;
    }
    return VT_EMPTY;
}

// Storage of one argument during a call.
struct Arg {
    union {
        SHORT s;
        LONG l;
        DOUBLE d;
        VARIANT_BOOL b;
        BSTR str;
        void* p; // Object and Unknown parameters.
    };
    VARIANT value;             // Variant parameters: a private copy of the client's value.
    VARIANT* client = nullptr; // Out/in-out/list parameters: where the client wants the value.
    void* address = nullptr;   // What the thunk receives.
};

// Moves a by-value variant of the parameter's type into the argument storage (taking ownership).
void Store(ParamType t, VARIANT& v, Arg* a) {
    switch (t) {
    case ParamType::Short:
        a->s = v.iVal;
        break;
    case ParamType::Long:
        a->l = v.lVal;
        break;
    case ParamType::Double:
        a->d = v.dblVal;
        break;
    case ParamType::Bool:
        a->b = v.boolVal;
        break;
    case ParamType::String:
        a->str = v.bstrVal;
        break;
    case ParamType::Object:
    case ParamType::Unknown:
        a->p = v.punkVal;
        break;
    default:
        return;
    }
    VariantInit(&v); // Ownership moved.
}

// Frees what the storage of a parameter of type t owns.
void Free(ParamType t, Arg* a) {
    if (t == ParamType::String) {
        SysFreeString(a->str);
        a->str = nullptr;
    } else if ((t == ParamType::Object || t == ParamType::Unknown) && a->p != nullptr) {
        static_cast<IUnknown*>(a->p)->Release();
        a->p = nullptr;
    } else if (t == ParamType::Variant) {
        VariantClear(&a->value);
    }
}

// Builds a by-value variant from the storage, handing over ownership.
void Load(ParamType t, Arg* a, VARIANT* v) {
    VariantInit(v);
    v->vt = VarTypeOf(t);
    switch (t) {
    case ParamType::Short:
        v->iVal = a->s;
        break;
    case ParamType::Long:
        v->lVal = a->l;
        break;
    case ParamType::Double:
        v->dblVal = a->d;
        break;
    case ParamType::Bool:
        v->boolVal = a->b;
        break;
    case ParamType::String:
        v->bstrVal = std::exchange(a->str, nullptr);
        break;
    case ParamType::Object:
    case ParamType::Unknown:
        v->punkVal = static_cast<IUnknown*>(std::exchange(a->p, nullptr));
        break;
    default:
        v->vt = VT_EMPTY;
        break;
    }
}

// Coerces an [in] value to the parameter type; objects are then queried for the interface.
HRESULT Coerce(const ParamInfo& p, const VARIANT& in, Arg* a) {
    bool object = p.type == ParamType::Object || p.type == ParamType::Unknown;
    VARIANT v;
    VariantInit(&v);
    // An empty value stands for "no object", as a client's unset object variable does.
    const VARIANT* value = in.vt == (VT_BYREF | VT_VARIANT) ? in.pvarVal : &in;
    if (object && value != nullptr && value->vt == VT_EMPTY) {
        a->p = nullptr;
        return S_OK;
    }
    HRESULT hr = VariantChangeType(&v, &in, 0, VarTypeOf(p.type));
    if (FAILED(hr)) return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
    if (p.type == ParamType::Object && v.pdispVal != nullptr && p.iid != nullptr &&
        !IsEqualIID(*p.iid, IID_IDispatch)) {
        IUnknown* typed = nullptr;
        hr = v.pdispVal->QueryInterface(*p.iid, reinterpret_cast<void**>(&typed));
        VariantClear(&v);
        if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
        a->p = typed;
        return S_OK;
    }
    Store(p.type, v, a);
    return S_OK;
}

// Writes an out value into the client's reference, replacing (and freeing) what it held.
void WriteBack(const ParamInfo& p, Arg* a, VARIANT* client) {
    VARIANT v;
    Load(p.type, a, &v);
    if (client->vt == (VT_BYREF | VT_VARIANT)) {
        VariantClear(client->pvarVal);
        *client->pvarVal = v;
        return;
    }
    switch (p.type) {
    case ParamType::Short:
        *client->piVal = v.iVal;
        break;
    case ParamType::Long:
        *client->plVal = v.lVal;
        break;
    case ParamType::Double:
        *client->pdblVal = v.dblVal;
        break;
    case ParamType::Bool:
        *client->pboolVal = v.boolVal;
        break;
    case ParamType::String:
        SysFreeString(*client->pbstrVal);
        *client->pbstrVal = v.bstrVal;
        break;
    case ParamType::Object:
    case ParamType::Unknown:
        if (*client->ppunkVal != nullptr) (*client->ppunkVal)->Release();
        *client->ppunkVal = v.punkVal;
        break;
    default:
        VariantClear(&v);
        break;
    }
}

} // namespace

const MethodInfo* FindMethod(const InterfaceInfo& info, DISPID id) {
    const MethodInfo* end = info.methods + info.methodCount;
    const MethodInfo* it = std::lower_bound(
        info.methods, end, id, [](const MethodInfo& m, DISPID d) { return m.dispid < d; });
    return it != end && it->dispid == id ? it : nullptr;
}

HRESULT DispatchGetIDsOfNames(const InterfaceInfo& info, LPOLESTR* names, UINT cNames,
                              DISPID* ids) {
    if (names == nullptr || ids == nullptr) return E_POINTER;
    if (cNames == 0) return E_INVALIDARG;
    for (UINT i = 0; i < cNames; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
    const MethodInfo* method = nullptr;
    for (std::size_t i = 0; i < info.methodCount && method == nullptr; ++i)
        if (SameName(names[0], info.methods[i].name)) method = &info.methods[i];
    if (method == nullptr) return DISP_E_UNKNOWNNAME;
    ids[0] = method->dispid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < cNames; ++i) {
        for (std::uint8_t p = 0; names[i] != nullptr && p < method->paramCount; ++p)
            if (SameName(names[i], method->params[p].name)) ids[i] = p;
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchInvoke(const InterfaceInfo& info, void* self, DISPID id, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    const MethodInfo* m = FindMethod(info, id);
    if (m == nullptr) return DISP_E_MEMBERNOTFOUND;
    if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (params == nullptr) params = &none;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != 0 && params->rgvarg == nullptr) return E_INVALIDARG;

    UINT expected = 0;
    for (std::uint8_t i = 0; i < m->paramCount; ++i)
        if (m->params[i].dir != ParamDir::RetVal) ++expected;
    if (params->cArgs != expected) return DISP_E_BADPARAMCOUNT;

    constexpr int kMaxParams = 16;
    if (m->paramCount > kMaxParams) return E_NOTIMPL;
    Arg args[kMaxParams];
    void* addresses[kMaxParams];
    HRESULT hr = S_OK;
    std::uint8_t prepared = 0;
    for (; prepared < m->paramCount; ++prepared) {
        const ParamInfo& p = m->params[prepared];
        Arg& a = args[prepared];
        std::memset(static_cast<void*>(&a), 0, sizeof a);
        VariantInit(&a.value);
        a.address =
            p.type == ParamType::Variant ? static_cast<void*>(&a.value) : static_cast<void*>(&a.s);
        addresses[prepared] = a.address;
        if (p.dir == ParamDir::RetVal) continue;
        // Arguments arrive last first.
        UINT position = params->cArgs - 1 - prepared;
        VARIANT& in = params->rgvarg[position];
        bool byRef = (in.vt & VT_BYREF) != 0;
        if (p.type == ParamType::List) {
            // A list is the client's variant itself: by reference, or (for lists only read)
            // the argument slot.
            a.address = in.vt == (VT_BYREF | VT_VARIANT) ? in.pvarVal : &in;
            if (a.address == nullptr) hr = E_POINTER;
        } else if (p.dir == ParamDir::In) {
            hr = p.type == ParamType::Variant ? VariantCopyInd(&a.value, &in) : Coerce(p, in, &a);
        } else {
            // Out and in-out values need a reference of the parameter's own type, or a variant.
            bool asVariant = in.vt == (VT_BYREF | VT_VARIANT);
            if (!(byRef && (asVariant || (in.vt & ~VT_BYREF) == VarTypeOf(p.type))) ||
                in.byref == nullptr) {
                hr = byRef && in.byref == nullptr ? E_POINTER : DISP_E_TYPEMISMATCH;
            } else {
                a.client = &in;
                if (p.dir == ParamDir::InOut) hr = Coerce(p, in, &a);
            }
        }
        addresses[prepared] = a.address;
        if (FAILED(hr)) {
            if (argErr != nullptr) *argErr = position;
            ++prepared;
            break;
        }
    }

    if (SUCCEEDED(hr)) {
        hr = m->call(self, addresses);
        if (FAILED(hr) && excep != nullptr) {
            std::memset(excep, 0, sizeof *excep);
            excep->scode = hr;
        }
        if (SUCCEEDED(hr)) {
            for (std::uint8_t i = 0; i < m->paramCount; ++i) {
                const ParamInfo& p = m->params[i];
                if (p.dir == ParamDir::Out || p.dir == ParamDir::InOut) {
                    if (p.type != ParamType::List) WriteBack(p, &args[i], args[i].client);
                } else if (p.dir == ParamDir::RetVal && result != nullptr) {
                    Load(p.type, &args[i], result);
                }
            }
        }
    }
    for (std::uint8_t i = 0; i < prepared; ++i)
        if (m->params[i].type != ParamType::List) Free(m->params[i].type, &args[i]);
    return hr;
}

} // namespace gpslib
