"""A late-bound client that knows nothing of our headers: VARIANT, DISPPARAMS and EXCEPINFO come
from the Python package, which defines them itself (the usual LP64 layout); it loads the runtime
with ctypes, creates classes by ProgID from a registry store filled by the real gpsreg, and
calls IDispatch through the vtable.

Arguments: --runtime libgpsauto.so --gpsreg TOOL --resources GPSResources_EN.dll MODULE...
"""
import argparse
import ctypes
import os
import subprocess
import sys
import tempfile
import unittest
from ctypes import POINTER, byref, c_int32, c_uint16, c_uint32, c_void_p, sizeof

ARGS = None

# The structures and vtable calls of a foreign client are those of the gpslib Python package
# (python/gpslib/_runtime.py), which defines them itself, without the C++ headers.
from gpslib._runtime import (DECIMAL, DISPATCH_METHOD, DISPPARAMS, EXCEPINFO, GUID,  # noqa: E402
                             IID_IDISPATCH, IID_NULL, LOCALE, S_FALSE, S_OK, VARIANT, VT_BSTR,
                             VT_BYREF, VT_I2, VT_I4, VT_R8, _Record, _Tagged, slot, utf16)


class Client:
    """The runtime's exported calls, as a foreign client declares them."""

    def __init__(self, path):
        lib = self.lib = ctypes.CDLL(path)
        lib.SysAllocStringLen.restype = c_void_p
        lib.SysAllocStringLen.argtypes = [POINTER(c_uint16), c_uint32]
        lib.SysStringLen.argtypes = [c_void_p]
        lib.SysFreeString.argtypes = [c_void_p]
        lib.VariantClear.argtypes = [POINTER(VARIANT)]
        lib.CoInitializeEx.argtypes = [c_void_p, c_uint32]
        lib.CLSIDFromProgID.argtypes = [c_void_p, POINTER(GUID)]
        lib.CoCreateInstance.argtypes = [POINTER(GUID), c_void_p, c_uint32, POINTER(GUID),
                                         POINTER(c_void_p)]

    def bstr(self, text):
        units = utf16(text)
        return self.lib.SysAllocStringLen((c_uint16 * max(len(units), 1))(*units), len(units))

    def text(self, bstr):
        return ctypes.string_at(bstr, 2 * self.lib.SysStringLen(bstr)).decode("utf-16-le")

    def create(self, progid):
        clsid = GUID()
        name = self.bstr(progid)
        hr = self.lib.CLSIDFromProgID(name, byref(clsid))
        self.lib.SysFreeString(name)
        assert hr == S_OK, f"{progid}: {hr & 0xFFFFFFFF:#x}"
        obj = c_void_p()
        hr = self.lib.CoCreateInstance(byref(clsid), None, 1, byref(IID_IDISPATCH), byref(obj))
        assert hr == S_OK and obj.value, f"{progid}: {hr & 0xFFFFFFFF:#x}"
        return obj.value

    def release(self, obj):
        slot(obj, 2)()

    def invoke(self, obj, name, *args):
        """Calls `name` with `args` (given first to last); returns (status, result variant)."""
        units = utf16(name) + [0]
        wide = (c_uint16 * len(units))(*units)
        names = (c_void_p * 1)(ctypes.addressof(wide))
        dispid = c_int32(-1)
        hr = slot(obj, 5, POINTER(GUID), POINTER(c_void_p), c_uint32, c_uint32, POINTER(c_int32))(
            byref(IID_NULL), names, 1, LOCALE, byref(dispid))
        assert hr == S_OK, f"GetIDsOfNames({name}): {hr:#x}"
        rgvarg = (VARIANT * max(len(args), 1))()
        for i, arg in enumerate(reversed(args)):  # The last argument comes first.
            rgvarg[i] = arg
        params = DISPPARAMS(rgvarg, None, len(args), 0)
        result, excep, arg_err = VARIANT(), EXCEPINFO(), c_uint32()
        hr = slot(obj, 6, c_int32, POINTER(GUID), c_uint32, c_uint16, POINTER(DISPPARAMS),
                  POINTER(VARIANT), POINTER(EXCEPINFO), POINTER(c_uint32))(
            dispid, byref(IID_NULL), LOCALE, DISPATCH_METHOD, byref(params), byref(result),
            byref(excep), byref(arg_err))
        for i in range(len(args)):
            if not rgvarg[i].vt & VT_BYREF:
                self.lib.VariantClear(byref(rgvarg[i]))
        return hr, result

    # Argument builders.
    def string(self, text):
        v = VARIANT()
        v.vt, v.bstrVal = VT_BSTR, self.bstr(text)
        return v

    @staticmethod
    def number(vt, value):
        v = VARIANT()
        v.vt = vt
        setattr(v, {VT_I2: "iVal", VT_I4: "lVal", VT_R8: "dblVal"}[vt], value)
        return v

    @staticmethod
    def ref(vt, target):
        v = VARIANT()
        v.vt, v.byref = VT_BYREF | vt, ctypes.addressof(target)
        return v

    def value(self, v):
        """The text or double a result variant holds; the variant is then cleared."""
        found = self.text(v.bstrVal) if v.vt == VT_BSTR else v.dblVal if v.vt == VT_R8 else None
        self.lib.VariantClear(byref(v))
        return found


class LateBoundClient(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        tmp = tempfile.TemporaryDirectory()
        cls.addClassCleanup(tmp.cleanup)
        cls.tmp = tmp.name
        os.environ["GPSLIB_REGISTRY"] = os.path.join(tmp.name, "registry.reg")
        for module in ARGS.modules:
            subprocess.run([ARGS.gpsreg, module], check=True, capture_output=True)
        cls.client = Client(ARGS.runtime)
        assert cls.client.lib.CoInitializeEx(None, 0) in (S_OK, S_FALSE)

    def test_structures_have_the_usual_layout(self):
        layout = [
            (sizeof(VARIANT), 24), (VARIANT.vt.offset, 0), (VARIANT.decVal.offset, 0),
            (_Tagged.value.offset, 8), (_Record.pRecInfo.offset, 8), (sizeof(DECIMAL), 16),
            (sizeof(DISPPARAMS), 24), (sizeof(EXCEPINFO), 64), (EXCEPINFO.scode.offset, 56),
        ]
        for got, want in layout:
            self.assertEqual(got, want)

    def test_start_receives_every_argument(self):
        c = self.client
        settings = os.path.join(self.tmp, "settings") + "/"
        os.mkdir(settings)
        with open(ARGS.resources, "rb") as src, \
                open(settings + "GPSResources_EN.dll", "wb") as dst:
            dst.write(src.read())
        core = c.create("GPS.GPSCore")
        try:
            hr, result = c.invoke(core, "Start", c.string(settings), c.string(""))
            self.assertEqual(hr, S_OK)
            # The string module was found in the directory given and every database component
            # was created: only the maps are missing.
            self.assertRegex(c.value(result), "^NO MAPS FOUND")
            self.assertEqual(c.invoke(core, "Stop")[0], S_OK)
        finally:
            c.release(core)
        self.assertTrue(os.path.exists(settings + "GPSSystemSettings.inf"),
                        "Stop saved the settings in the directory Start was given")

    def test_value_objects_take_mixed_arguments_and_fill_out_references(self):
        c = self.client
        location = c.create("GPS.LocationObject")
        results = c.create("GPS.POIResults")
        try:
            hr, _ = c.invoke(location, "SetLatitudeDegreesMinutesSeconds", c.number(VT_I2, 45),
                             c.number(VT_I2, 30), c.number(VT_R8, 36.0))
            self.assertEqual(hr, S_OK)
            hr, latitude = c.invoke(location, "GetLatitude")
            self.assertAlmostEqual(c.value(latitude), 45.51)
            hits = [("Main Street Cafe", 42), ("", -7), ("Bibliothèque 𝄞", 70000)]
            for name, key in hits:
                self.assertEqual(c.invoke(results, "Add", c.string(name),
                                          c.number(VT_I4, key))[0], S_OK)
            answers = [(S_OK, name, key) for name, key in hits] + [(S_FALSE, "", -1)]
            for index, want in enumerate(answers):
                text, number = c_void_p(c.bstr("replaced")), c_int32(0)
                hr, _ = c.invoke(results, "GetItem", c.number(VT_I4, index),
                                 c.ref(VT_BSTR, text), c.ref(VT_I4, number))
                self.assertEqual((hr, c.text(text.value), number.value), want, index)
                c.lib.SysFreeString(text)
        finally:
            c.release(location)
            c.release(results)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--runtime", required=True)
    parser.add_argument("--gpsreg", required=True)
    parser.add_argument("--resources", required=True)
    parser.add_argument("modules", nargs="+")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
