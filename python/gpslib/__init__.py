"""gpslib from Python: the navigation service and its value objects, late bound through
IDispatch, in pure Python over ctypes.

    import gpslib
    core = gpslib.create("GPS.GPSCore")
    print(core.Start("/home/me/.config/gpslib/gpsnav/", ""))
    where = core.WhereAmI(gpslib.GPSMode)
    print(where.GetDescription())

- Methods are called by name with their in parameters only. Out parameters come back as the
  return value: the [out, retval] one alone, or a tuple (retval, out1, out2, ...) when the
  method has other out parameters (also for [in, out] lists). An out parameter that comes
  before an in parameter is given as gpslib.OUT in its place.
- Strings are str, numbers int or float, flags bool, objects gpslib.Object, lists Python lists.
- A failing status raises gpslib.Error carrying it (NotAvailableYet for a method the service
  does not offer yet); S_FALSE is not a failure.
- core.RegisterUIAutoEventCallback(gpslib.EventSink(function)) calls function(event) for each
  automatic event, on the service's polling thread.
- gpslib.enums holds every enumeration of the type libraries, generated from them
  (gpslib.enums.Units.Imperial, or gpslib.enums.Imperial); gpslib.GPSMode and
  gpslib.VirtualMode are the Mode's two.
"""
import ctypes
import pkgutil
import threading
from ctypes import POINTER, byref, c_int32, c_uint32, c_void_p

# The generated module (enums) lies beside these files once installed; in the build tree, in the
# build's python/gpslib/, found through the path (docs/python.md).
__path__ = pkgutil.extend_path(__path__, __name__)

from . import _runtime as rt
from . import enums
from ._runtime import GUID
from .enums import GPSMode, VirtualMode

__all__ = ["create", "settings_folder", "OUT", "Object", "EventSink", "Error", "NotAvailableYet", "Event", "runtime",
           "enums", "GPSMode", "VirtualMode"]

IID_AUTO_EVENT_SINK = GUID.parse("17DB1E83-3A22-4B3F-99D0-E40DD896D0CD")
_MAX_OUT = 4



class _Out:
    """Stands for an out or [in, out] parameter that comes before an in parameter:
    core.POIGetAllCategories(gpslib.OUT, False) returns the list."""

    def __repr__(self):
        return "gpslib.OUT"


OUT = _Out()
_lock = threading.Lock()
_runtime = None


def runtime(path=None):
    """The loaded object runtime (libgpsauto), loaded on first use: `path`, else
    GPSLIB_RUNTIME, else the installed one."""
    global _runtime
    with _lock:
        if _runtime is None:
            _runtime = rt.Runtime(path)
        return _runtime


class Error(Exception):
    """A call that failed: `status` is its HRESULT (an unsigned 32-bit number)."""

    def __init__(self, what, status):
        super().__init__("%s failed: %#010x" % (what, status))
        self.status = status
        self.what = what


class NotAvailableYet(Error):
    """The service does not offer this method yet (E_NOTIMPL)."""


def _error(what, status):
    return (NotAvailableYet if status == rt.E_NOTIMPL else Error)(what, status)


def _register_installed_modules():
    """Registers the modules installed with the package in the user's store (first use)."""
    try:
        from . import _config
    except ImportError:
        return False
    lib = runtime().lib
    done = False
    for module in getattr(_config, "MODULES", []):
        try:
            handle = ctypes.CDLL(module)
            done = (handle.DllRegisterServer() & 0xFFFFFFFF) == rt.S_OK or done
        except (OSError, AttributeError):
            pass
    del lib
    return done


STRING_MODULE = "GPSResources_EN.dll"
# The languages there are string modules for, English first (docs/languages.md).
LANGUAGES = ("en", "de", "fr", "es", "it", "pt-BR")


def language_of_locale(locale):
    """"de_DE.UTF-8" -> "de"; "pt", "pt_BR", "pt_PT" -> "pt-BR"; "C", "POSIX", "" -> "en"."""
    import re
    language = re.split(r"[_.@-]", locale or "", maxsplit=1)[0]
    if language in ("", "C", "POSIX"):
        return "en"
    language = language.lower()
    return "pt-BR" if language == "pt" else language


def _read_module(path):
    """The bytes of the string module at `path`, or None when the file is missing or its header
    is not a module's or gives another size (docs/formats.md, "String-table module"); the
    service checks the rest when it loads it."""
    import struct
    try:
        with open(path, "rb") as f:
            data = f.read(4 * 1024 * 1024 + 1)
    except OSError:
        return None
    if len(data) < 32 or data[:8] != b"GPSLSTRT" or struct.unpack_from("<I", data, 28)[0] != len(data):
        return None
    return data


def _english_modules():
    """The English modules named by GPSLIB_RESOURCES and by the installation; the other
    languages' modules lie beside them."""
    import os
    modules = [os.environ.get("GPSLIB_RESOURCES")]
    try:
        from . import _config
        modules.append(_config.RESOURCES)
    except ImportError:
        pass
    return [m for m in modules if m]


def settings_folder(path, language=None):
    """`path` made ready for GPSCore.Start: created when missing, given the string module of
    `language` ("de", "pt-BR" or a locale name such as "de_DE.UTF-8"), and returned with its
    trailing "/" as Start wants it. The service speaks the language of the module the folder
    holds. Without `language` a folder keeps the module it has, and a new one gets English.
    An unknown language raises ValueError naming the languages; a language whose module is
    missing or damaged gives English and a warning."""
    import os
    import warnings
    os.makedirs(path, exist_ok=True)
    target = os.path.join(path, STRING_MODULE)
    if language is None:
        if os.path.exists(target):
            return os.path.join(path, "")
        language = "en"
    wanted = language_of_locale(language)
    if wanted not in LANGUAGES:
        raise ValueError("no language %r; the languages are %s" % (language, ", ".join(LANGUAGES)))

    def find(code):
        name = "GPSResources_%s.dll" % code.upper().replace("-", "_")
        for english in _english_modules():
            for candidate in ([english] if code == "en" else []) + [
                    os.path.join(os.path.dirname(english), name)]:
                data = _read_module(candidate)
                if data is not None:
                    return data
        return None

    module = find(wanted)
    if module is None and wanted != "en":
        warnings.warn("gpslib: the %s string module is missing or damaged; speaking English"
                      % wanted, stacklevel=2)
        module = find("en")
    try:
        with open(target, "rb") as f:
            current = f.read()
    except OSError:
        current = None
    if module is not None and current != module:
        with open(target + ".new", "wb") as f:
            f.write(module)
        os.replace(target + ".new", target)
    return os.path.join(path, "")


def create(progid, runtime_path=None):
    """A new object of the class `progid` ("GPS.GPSCore", "GPS.LocationObject", ...)."""
    r = runtime(runtime_path)
    hr, clsid = r.clsid(progid)
    if hr != rt.S_OK and _register_installed_modules():
        hr, clsid = r.clsid(progid)
    if hr != rt.S_OK:
        raise Error("CLSIDFromProgID(%s)" % progid, hr)
    hr, obj = r.create(clsid)
    if hr != rt.S_OK or not obj:
        raise Error("CoCreateInstance(%s)" % progid, hr)
    return Object(obj)


def _to_variant(r, value, v):
    """Fills the VARIANT `v` with a Python value (a new reference or string it owns)."""
    if value is None:
        v.vt = rt.VT_EMPTY
    elif isinstance(value, bool):
        v.vt, v.boolVal = rt.VT_BOOL, rt.VARIANT_TRUE if value else 0
    elif isinstance(value, int):
        v.vt, v.lVal = rt.VT_I4, value
    elif isinstance(value, float):
        v.vt, v.dblVal = rt.VT_R8, value
    elif isinstance(value, str):
        v.vt, v.bstrVal = rt.VT_BSTR, r.bstr(value)
    elif isinstance(value, (Object, EventSink)):
        r.add_ref(value.pointer)
        v.vt, v.pdispVal = rt.VT_DISPATCH, value.pointer
    elif isinstance(value, (list, tuple)):
        array = r.lib.SafeArrayCreateVector(rt.VT_VARIANT, 0, len(value))
        for i, item in enumerate(value):
            element = rt.VARIANT()
            _to_variant(r, item, element)
            r.lib.SafeArrayPutElement(array, byref(c_int32(i)), byref(element))
            r.lib.VariantClear(byref(element))
        v.vt, v.parray = rt.VT_ARRAY | rt.VT_VARIANT, array
    else:
        raise TypeError("gpslib cannot pass %r" % (value,))


def _from_variant(r, v):
    """The Python value of a VARIANT; references and strings it holds are taken over."""
    vt = v.vt
    if vt & rt.VT_ARRAY:
        items = []
        array = v.parray
        if array and r.lib.SafeArrayGetDim(array) == 1:
            low, high = c_int32(), c_int32()
            r.lib.SafeArrayGetLBound(array, 1, byref(low))
            r.lib.SafeArrayGetUBound(array, 1, byref(high))
            for i in range(low.value, high.value + 1):
                element = rt.VARIANT()
                if vt & 0xFFF == rt.VT_VARIANT:
                    r.lib.SafeArrayGetElement(array, byref(c_int32(i)), byref(element))
                else:
                    # An array of plain elements: read each as a variant of that type.
                    element.vt = vt & 0xFFF
                    r.lib.SafeArrayGetElement(array, byref(c_int32(i)),
                                              ctypes.addressof(element) + 8)
                items.append(_from_variant(r, element))
        r.lib.VariantClear(byref(v))
        return items
    if vt in (rt.VT_EMPTY, rt.VT_NULL):
        return None
    if vt == rt.VT_BSTR:
        text = r.text(v.bstrVal)
        r.lib.VariantClear(byref(v))
        return text
    if vt in (rt.VT_DISPATCH, rt.VT_UNKNOWN):
        pointer = v.pdispVal
        return Object(pointer) if pointer else None  # Takes over the variant's reference.
    if vt == rt.VT_BOOL:
        return v.boolVal != 0
    simple = {rt.VT_I2: "iVal", rt.VT_I4: "lVal", rt.VT_R4: "fltVal", rt.VT_R8: "dblVal",
              rt.VT_I1: "cVal", rt.VT_UI1: "bVal", rt.VT_UI2: "uiVal", rt.VT_UI4: "ulVal",
              rt.VT_I8: "llVal", rt.VT_UI8: "ullVal", rt.VT_INT: "lVal", rt.VT_UINT: "ulVal",
              rt.VT_ERROR: "scode"}
    if vt in simple:
        return getattr(v, simple[vt])
    r.lib.VariantClear(byref(v))
    raise TypeError("gpslib cannot read a variant of type %#x" % vt)


class Object:
    """An automation object, called by name. Holds one reference, released when collected."""

    # How many out parameters each method has beyond its in parameters, learnt by its first
    # call: (method name in lower case, number of in parameters) -> number of out parameters.
    _outs = {}

    def __init__(self, pointer):
        self.pointer = pointer
        self._runtime = runtime()
        self._ids = {}

    def __del__(self):
        if getattr(self, "pointer", None):
            self._runtime.release(self.pointer)
            self.pointer = None

    def __getattr__(self, name):
        if name.startswith("_"):
            raise AttributeError(name)
        return lambda *args: self.call(name, *args)

    def __eq__(self, other):
        return isinstance(other, Object) and other.pointer == self.pointer

    def __hash__(self):
        return hash(self.pointer)

    def query(self, interface):
        """The object seen through another of its interfaces, by name ("IGPSPedestrian" on the
        service): its methods are then called by name like any others."""
        r = self._runtime
        hr, iid = r.iid(interface)
        if hr == rt.S_OK:
            hr, pointer = r.query(self.pointer, iid)
            if hr == rt.S_OK and pointer:
                return Object(pointer)
        raise Error("QueryInterface(%s)" % interface, hr)

    def call(self, name, *args):
        r = self._runtime
        if name not in self._ids:
            hr, dispid = r.dispid(self.pointer, name)
            if hr != rt.S_OK:
                raise AttributeError("%s: no method %s (%#x)" % (type(self).__name__, name, hr))
            self._ids[name] = dispid
        dispid = self._ids[name]
        key = (name.lower(), len(args))
        counts = [Object._outs[key]] if key in Object._outs else range(_MAX_OUT + 1)
        for outs in counts:
            hr, result, out_values = self._invoke(dispid, args, outs)
            if hr != rt.DISP_E_BADPARAMCOUNT:
                Object._outs[key] = outs
                break
        if hr not in (rt.S_OK, rt.S_FALSE):
            raise _error(name, hr)
        has_result = result.vt != rt.VT_EMPTY
        value = _from_variant(r, result)
        if not out_values:
            return value
        values = ([value] if has_result else []) + out_values
        return values[0] if len(values) == 1 else tuple(values)

    def _invoke(self, dispid, args, outs):
        r = self._runtime
        # Out parameters (OUT in the arguments, then `outs` more at the end): references to
        # variants the method fills.
        values = list(args) + [OUT] * outs
        targets = [rt.VARIANT() for value in values if value is OUT]
        count = len(values)
        rgvarg = (rt.VARIANT * max(count, 1))()
        next_target = iter(targets)
        for i, value in enumerate(values):
            v = rgvarg[count - 1 - i]  # The last argument comes first.
            if value is OUT:
                v.vt, v.byref = rt.VT_BYREF | rt.VT_VARIANT, ctypes.addressof(next(next_target))
            else:
                _to_variant(r, value, v)
        hr, result = r.invoke(self.pointer, dispid, rgvarg if count else (rt.VARIANT * 0)())
        for i, value in enumerate(values):
            if value is not OUT:
                r.lib.VariantClear(byref(rgvarg[count - 1 - i]))
        out_values = []
        if hr in (rt.S_OK, rt.S_FALSE):
            out_values = [_from_variant(r, t) for t in targets]
        else:
            for t in targets:
                r.lib.VariantClear(byref(t))
        return hr, result, out_values


class Event:
    """An automatic event as the sink hands it over: its fields read at once."""

    def __init__(self, obj):
        self.type = obj.GetEventType()
        self.urgency = obj.GetUrgencyLevel()
        self.description = obj.GetDescription()
        location = obj.GetLocation()
        self.latitude = location.GetLatitude() if location else 0.0
        self.longitude = location.GetLongitude() if location else 0.0

    def __repr__(self):
        return "Event(type=%d, urgency=%d, %r)" % (self.type, self.urgency, self.description)


_QI = ctypes.CFUNCTYPE(c_uint32, c_void_p, POINTER(GUID), POINTER(c_void_p))
_REF = ctypes.CFUNCTYPE(c_uint32, c_void_p)
_TYPEINFOCOUNT = ctypes.CFUNCTYPE(c_uint32, c_void_p, POINTER(c_uint32))
_ANY = ctypes.CFUNCTYPE(c_uint32, c_void_p)
_ON_EVENT = ctypes.CFUNCTYPE(c_uint32, c_void_p, c_void_p)


class _SinkObject(ctypes.Structure):
    _fields_ = [("vtable", POINTER(c_void_p))]


class EventSink:
    """A client's event sink made of a Python function: function(gpslib.Event) is called for
    each automatic event, on the thread that found it (the service's polling thread). It must
    not wait for another thread that calls the service. Keep the sink alive while registered."""

    def __init__(self, function):
        self._function = function
        self._refs = 1
        self._functions = [
            _QI(self._query_interface), _REF(self._add_ref), _REF(self._release),
            _TYPEINFOCOUNT(self._type_info_count), _ANY(self._not_implemented),
            _ANY(self._not_implemented), _ANY(self._not_implemented),
            _ON_EVENT(self._on_event)]
        self._vtable = (c_void_p * len(self._functions))(
            *[ctypes.cast(f, c_void_p) for f in self._functions])
        self._object = _SinkObject(ctypes.cast(self._vtable, POINTER(c_void_p)))
        self.pointer = ctypes.addressof(self._object)
        self.errors = []

    def _query_interface(self, this, iid, out):
        if iid.contents in (IID_AUTO_EVENT_SINK, rt.IID_IDISPATCH, rt.IID_IUNKNOWN):
            out[0] = this
            self._refs += 1
            return rt.S_OK
        out[0] = None
        return rt.E_NOINTERFACE

    def _add_ref(self, this):
        self._refs += 1
        return self._refs

    def _release(self, this):
        self._refs -= 1
        return self._refs

    @staticmethod
    def _type_info_count(this, count):
        count[0] = 0
        return rt.S_OK

    @staticmethod
    def _not_implemented(this):
        return rt.E_NOTIMPL

    def _on_event(self, this, event):
        try:
            # The service handed over one reference: the Object takes it.
            self._function(Event(Object(event)))
        except Exception as e:  # A callback's error must not cross into the service.
            self.errors.append(e)
        return rt.S_OK
