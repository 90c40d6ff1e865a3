"""The object runtime as a foreign client sees it: the usual LP64 layouts of GUID, VARIANT,
DISPPARAMS and EXCEPINFO defined here (nothing of the C++ headers is needed), the runtime's
exported calls through ctypes, and calls through an object's vtable."""
import ctypes
import ctypes.util
import os
from ctypes import (POINTER, Structure, Union, byref, c_double, c_float, c_int8, c_int16,
                    c_int32, c_int64, c_uint8, c_uint16, c_uint32, c_uint64, c_void_p)

VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8 = 0, 1, 2, 3, 4, 5
VT_BSTR, VT_DISPATCH, VT_ERROR, VT_BOOL, VT_VARIANT, VT_UNKNOWN = 8, 9, 10, 11, 12, 13
VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT = 16, 17, 18, 19, 20, 21, 22, 23
VT_ARRAY, VT_BYREF = 0x2000, 0x4000
DISPATCH_METHOD = 1
S_OK, S_FALSE = 0, 1
E_NOTIMPL, E_POINTER, E_FAIL = 0x80004001, 0x80004003, 0x80004005
E_NOINTERFACE = 0x80004002
DISP_E_BADPARAMCOUNT = 0x8002000E
LOCALE = 0x0409
VARIANT_TRUE = -1


class GUID(Structure):
    _fields_ = [("Data1", c_uint32), ("Data2", c_uint16), ("Data3", c_uint16),
                ("Data4", c_uint8 * 8)]

    @classmethod
    def parse(cls, text):
        """{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, braces optional."""
        h = text.strip("{}").replace("-", "")
        data4 = bytes.fromhex(h[16:32])
        return cls(int(h[0:8], 16), int(h[8:12], 16), int(h[12:16], 16),
                   (c_uint8 * 8)(*data4))

    def __eq__(self, other):
        return bytes(self) == bytes(other)


IID_NULL = GUID()
IID_IUNKNOWN = GUID.parse("00000000-0000-0000-C000-000000000046")
IID_IDISPATCH = GUID.parse("00020400-0000-0000-C000-000000000046")


class DECIMAL(Structure):
    _fields_ = [("wReserved", c_uint16), ("scale", c_uint8), ("sign", c_uint8),
                ("Hi32", c_uint32), ("Lo64", c_uint64)]


class _Record(Structure):
    _fields_ = [("pvRecord", c_void_p), ("pRecInfo", c_void_p)]


class _Value(Union):
    _anonymous_ = ("record",)
    _fields_ = [("llVal", c_int64), ("lVal", c_int32), ("iVal", c_int16), ("cVal", c_int8),
                ("bVal", c_uint8), ("uiVal", c_uint16), ("ulVal", c_uint32),
                ("ullVal", c_uint64), ("fltVal", c_float), ("dblVal", c_double),
                ("boolVal", c_int16), ("scode", c_int32), ("bstrVal", c_void_p),
                ("pdispVal", c_void_p), ("parray", c_void_p), ("byref", c_void_p),
                ("record", _Record)]


class _Tagged(Structure):
    _anonymous_ = ("value",)
    _fields_ = [("vt", c_uint16), ("wReserved1", c_uint16), ("wReserved2", c_uint16),
                ("wReserved3", c_uint16), ("value", _Value)]


class VARIANT(Union):
    _anonymous_ = ("tagged",)
    _fields_ = [("tagged", _Tagged), ("decVal", DECIMAL)]


class DISPPARAMS(Structure):
    _fields_ = [("rgvarg", POINTER(VARIANT)), ("rgdispidNamedArgs", POINTER(c_int32)),
                ("cArgs", c_uint32), ("cNamedArgs", c_uint32)]


class EXCEPINFO(Structure):
    _fields_ = [("wCode", c_uint16), ("wReserved", c_uint16), ("bstrSource", c_void_p),
                ("bstrDescription", c_void_p), ("bstrHelpFile", c_void_p),
                ("dwHelpContext", c_uint32), ("pvReserved", c_void_p),
                ("pfnDeferredFillIn", c_void_p), ("scode", c_int32)]


def utf16(text):
    return list(memoryview(text.encode("utf-16-le")).cast("H"))


def slot(obj, index, *argtypes):
    """The function in vtable slot `index` of `obj`, bound to it; it returns the status as an
    unsigned 32-bit number."""
    vtable = ctypes.cast(obj, POINTER(POINTER(c_void_p))).contents
    fn = ctypes.CFUNCTYPE(c_int32, c_void_p, *argtypes)(vtable[index])
    return lambda *args: fn(obj, *args) & 0xFFFFFFFF


def _candidates(path):
    if path:
        yield path
    if os.environ.get("GPSLIB_RUNTIME"):
        yield os.environ["GPSLIB_RUNTIME"]
    try:
        from . import _config
        yield _config.RUNTIME
    except ImportError:
        pass
    found = ctypes.util.find_library("gpsauto")
    if found:
        yield found
    yield "libgpsauto.so"


class Runtime:
    """The runtime's exported calls, as a foreign client declares them."""

    def __init__(self, path=None):
        errors = []
        for candidate in _candidates(path):
            try:
                self.lib = ctypes.CDLL(candidate)
                self.path = candidate
                break
            except OSError as e:
                errors.append(str(e))
        else:
            raise OSError("libgpsauto not found: " + "; ".join(errors))
        lib = self.lib
        lib.SysAllocStringLen.restype = c_void_p
        lib.SysAllocStringLen.argtypes = [POINTER(c_uint16), c_uint32]
        lib.SysStringLen.argtypes = [c_void_p]
        lib.SysStringLen.restype = c_uint32
        lib.SysFreeString.argtypes = [c_void_p]
        lib.VariantInit.argtypes = [POINTER(VARIANT)]
        lib.VariantClear.argtypes = [POINTER(VARIANT)]
        lib.VariantCopy.argtypes = [POINTER(VARIANT), POINTER(VARIANT)]
        lib.CoInitializeEx.argtypes = [c_void_p, c_uint32]
        lib.CLSIDFromProgID.argtypes = [c_void_p, POINTER(GUID)]
        lib.IIDFromInterfaceName.argtypes = [c_void_p, POINTER(GUID)]
        lib.CoCreateInstance.argtypes = [POINTER(GUID), c_void_p, c_uint32, POINTER(GUID),
                                         POINTER(c_void_p)]
        lib.SafeArrayCreateVector.restype = c_void_p
        lib.SafeArrayCreateVector.argtypes = [c_uint16, c_int32, c_uint32]
        lib.SafeArrayPutElement.argtypes = [c_void_p, POINTER(c_int32), c_void_p]
        lib.SafeArrayGetElement.argtypes = [c_void_p, POINTER(c_int32), c_void_p]
        lib.SafeArrayGetLBound.argtypes = [c_void_p, c_uint32, POINTER(c_int32)]
        lib.SafeArrayGetUBound.argtypes = [c_void_p, c_uint32, POINTER(c_int32)]
        lib.SafeArrayGetDim.argtypes = [c_void_p]
        lib.SafeArrayGetDim.restype = c_uint32
        lib.SafeArrayDestroy.argtypes = [c_void_p]
        hr = lib.CoInitializeEx(None, 0) & 0xFFFFFFFF
        if hr not in (S_OK, S_FALSE):
            raise OSError("CoInitializeEx: %#x" % hr)

    def bstr(self, text):
        units = utf16(text)
        return self.lib.SysAllocStringLen((c_uint16 * max(len(units), 1))(*units), len(units))

    def text(self, bstr):
        if not bstr:
            return ""
        return ctypes.string_at(bstr, 2 * self.lib.SysStringLen(bstr)).decode("utf-16-le")

    def _guid_named(self, lookup, name):
        """(status, GUID): the runtime's `lookup` of a name."""
        guid = GUID()
        text = self.bstr(name)
        hr = lookup(text, byref(guid)) & 0xFFFFFFFF
        self.lib.SysFreeString(text)
        return hr, guid

    def clsid(self, progid):
        """The class id of a ProgID; (status, GUID)."""
        return self._guid_named(self.lib.CLSIDFromProgID, progid)

    def iid(self, name):
        """The interface id of a registered interface name; (status, GUID)."""
        return self._guid_named(self.lib.IIDFromInterfaceName, name)

    @staticmethod
    def query(obj, iid):
        """(status, pointer) of the object's interface `iid` (one reference added)."""
        out = c_void_p()
        hr = slot(obj, 0, POINTER(GUID), POINTER(c_void_p))(byref(iid), byref(out)) & 0xFFFFFFFF
        return hr, out.value

    def create(self, clsid, iid=IID_IDISPATCH):
        """(status, pointer) of a new object of class `clsid`."""
        obj = c_void_p()
        hr = self.lib.CoCreateInstance(byref(clsid), None, 1, byref(iid), byref(obj)) & 0xFFFFFFFF
        return hr, obj.value

    @staticmethod
    def add_ref(obj):
        slot(obj, 1)()

    @staticmethod
    def release(obj):
        slot(obj, 2)()

    def dispid(self, obj, name):
        units = utf16(name) + [0]
        wide = (c_uint16 * len(units))(*units)
        names = (c_void_p * 1)(ctypes.addressof(wide))
        dispid = c_int32(-1)
        hr = slot(obj, 5, POINTER(GUID), POINTER(c_void_p), c_uint32, c_uint32,
                  POINTER(c_int32))(byref(IID_NULL), names, 1, LOCALE, byref(dispid))
        return hr, dispid.value

    def invoke(self, obj, dispid, rgvarg):
        """Invokes `dispid` with the argument array `rgvarg` (last argument first); returns
        (status, result variant)."""
        params = DISPPARAMS(rgvarg, None, len(rgvarg), 0)
        result, excep, arg_err = VARIANT(), EXCEPINFO(), c_uint32()
        hr = slot(obj, 6, c_int32, POINTER(GUID), c_uint32, c_uint16, POINTER(DISPPARAMS),
                  POINTER(VARIANT), POINTER(EXCEPINFO), POINTER(c_uint32))(
            dispid, byref(IID_NULL), LOCALE, DISPATCH_METHOD, byref(params), byref(result),
            byref(excep), byref(arg_err))
        for field in ("bstrSource", "bstrDescription", "bstrHelpFile"):
            if getattr(excep, field):
                self.lib.SysFreeString(getattr(excep, field))
        return hr, result
