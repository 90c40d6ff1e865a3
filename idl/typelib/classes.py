"""The class bases of the coclasses (header and source), and the module's class table."""
import os

from .cpp import cpp_default, guid_init, impl_guid, member_name, signature
from .output import write


def inner_interfaces(model, co):
    """Each inner object of the class: its coclass, the member that holds it, its interface."""
    return [(inner, member, model.coclasses[inner].interface) for inner, member in co.inners]


def classes_header(model, out_dir):
    lib = model.lib
    guard = f"GPSLIB_{lib.name.upper()}_CLASSES_H_"
    w = [f"// Generated from idl/ by gen_typelib.py: class bases of {lib.name}. Do not edit.",
         "//",
         "// Each coclass Xxx gets CXxxBase: reference counting, IDispatch over the dispatch tables,",
         "// plain-storage accessors over its fields, and for every other method an answer of",
         "// E_POINTER (a null out pointer) or E_NOTIMPL. The module defines the concrete class",
         "// CXxx and its creation function Create_Xxx (GPSLIB_CLASS_FACTORY, registry.h).",
         f"#ifndef {guard}\n#define {guard}\n",
         f"#include <gpslib/{lib.name}.h>", "#include <gpslib/dispatch.h>",
         "#include <gpslib/registry.h>", "#include <gpslib/support.h>", "", "#include <atomic>",
         "#include <new>", "#include <string_view>", ""]
    if any(co.lock for co in lib.coclasses):
        w[-1:-1] = ["", "#include \"os/sync.h\""]
    for itf in lib.interfaces:
        w.append(f"extern const gpslib::InterfaceInfo kInfo_{itf.name};")
    w.append(f"extern const gpslib::InterfaceInfo* const k{lib.name}Interfaces[];")
    w.append(f"extern const gpslib::ModuleInfo k{lib.name}Module;\n")
    for co in lib.coclasses:
        itf = model.interfaces[co.interface]
        w.append(f"HRESULT Create_{co.name}(REFIID riid, void** ppv);")
        w.append(f"\nclass C{co.name}Base : public {itf.name} {{")
        w.append("public:")
        w.append("    // Answered only by this module's own objects of the class: the way the module")
        w.append("    // reaches its internal setters behind an interface pointer (gpslib::ImplOf).")
        w.append(f"    static constexpr IID kImplIid = {guid_init(impl_guid(co.guid))};")
        w.append(f"    using Base = C{co.name}Base;")
        w.append("    HRESULT QueryInterface(REFIID riid, void** ppv) override;")
        w.append("    ULONG AddRef() override;")
        w.append("    ULONG Release() override;")
        w.append("    HRESULT GetTypeInfoCount(UINT* pctinfo) override;")
        w.append("    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;")
        w.append("    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,")
        w.append("                          DISPID* rgDispId) override;")
        w.append("    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,")
        w.append("                   DISPPARAMS* pDispParams, VARIANT* pVarResult,")
        w.append("                   EXCEPINFO* pExcepInfo, UINT* puArgErr) override;")
        w.append(f"    // {itf.name}")
        for m in itf.methods:
            w.append(f"    HRESULT {m.name}({signature(model, m)}) override;")
        for name in co.extra:
            w.append(f"    // {name}, reached by QueryInterface: each method answers E_POINTER (a "
                     "null out pointer)")
            w.append("    // or E_NOTIMPL until the class overrides it.")
            for m in model.interfaces[name].methods:
                w.append(f"    virtual HRESULT {m.name}({signature(model, m)});")
        for inner, member, inner_itf in inner_interfaces(model, co):
            w.append(f"    // The inner {inner} (no reference added), and sharing another one "
                     "by reference.")
            w.append(f"    {inner_itf}* Inner{member}() const {{ return m_p{member}.Get(); }}")
            w.append(f"    void Share{member}({inner_itf}* p) {{ m_p{member} = p; }}")
        if co.lock:
            w.append(f"    // The lock that guards every field: the plain accessors take it.")
            w.append(f"    gpslib::os::CriticalSection& {co.lock}Lock() "
                     f"RETURN_CAPABILITY(m_cs{co.lock}) {{")
            w.append(f"        return m_cs{co.lock};\n    }}")
        w.append("\nprotected:")
        w.append(f"    C{co.name}Base();")
        w.append(f"    virtual ~C{co.name}Base();")
        w.append(f"    C{co.name}Base(const C{co.name}Base&) = delete;")
        w.append(f"    C{co.name}Base& operator=(const C{co.name}Base&) = delete;")
        if co.lock:
            w.append(f"    gpslib::os::CriticalSection m_cs{co.lock};")
        guarded = f" GUARDED_BY(m_cs{co.lock})" if co.lock else ""
        for f in co.fields:
            t = "gpslib::Bstr" if f.type == "BSTR" else model.cpp_value_type(f.type)
            d = cpp_default(model, f)
            init = f"{{{d}}}" if d else ""
            w.append(f"    {t} {member_name(model, f)}{guarded}{init};")
        for inner, member, inner_itf in inner_interfaces(model, co):
            w.append(f"    // A {inner} created by class id with the object; null only when that "
                     "failed, and then")
            w.append(f"    // the methods forwarded to it answer E_FAIL.")
            w.append(f"    gpslib::ComPtr<{inner_itf}> m_p{member};")
        w.append("\nprivate:")
        w += extra_parts_header(model, co)
        w.append("    std::atomic<ULONG> m_cRef{1};")
        w.append("};")
    w.append(f"\n#endif // {guard}")
    write(os.path.join(out_dir, f"{lib.name}_classes.h"), "\n".join(w) + "\n")


def part_name(itf_name):
    return f"m_as{itf_name}"


def extra_parts_header(model, co):
    """A member object per further interface of the class: its own vtable and IDispatch over
    that interface's dispatch table, its identity and reference count the object's own."""
    w = []
    c = f"C{co.name}Base"
    for name in co.extra:
        itf = model.interfaces[name]
        w.append(f"    class {name}Part final : public {name} {{")
        w.append("    public:")
        w.append(f"        explicit {name}Part({c}* outer) : m_outer(outer) {{}}")
        w.append("        HRESULT QueryInterface(REFIID riid, void** ppv) override {")
        w.append("            return m_outer->QueryInterface(riid, ppv);\n        }")
        w.append("        ULONG AddRef() override { return m_outer->AddRef(); }")
        w.append("        ULONG Release() override { return m_outer->Release(); }")
        w.append("        HRESULT GetTypeInfoCount(UINT* pctinfo) override {")
        w.append("            return m_outer->GetTypeInfoCount(pctinfo);\n        }")
        w.append("        HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {")
        w.append("            return m_outer->GetTypeInfo(iTInfo, lcid, ppTInfo);\n        }")
        w.append("        HRESULT GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID,")
        w.append("                              DISPID* rgDispId) override {")
        w.append(f"            return gpslib::DispatchGetIDsOfNames(kInfo_{name}, rgszNames, cNames, "
                 "rgDispId);\n        }")
        w.append("        HRESULT Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags,")
        w.append("                       DISPPARAMS* pDispParams, VARIANT* pVarResult,")
        w.append("                       EXCEPINFO* pExcepInfo, UINT* puArgErr) override {")
        w.append(f"            return gpslib::DispatchInvoke(kInfo_{name}, static_cast<{name}*>(this), "
                 "dispIdMember,")
        w.append("                                          wFlags, pDispParams, pVarResult, "
                 "pExcepInfo, puArgErr);\n        }")
        for m in itf.methods:
            args = ", ".join(p.name for p in m.params)
            w.append(f"        HRESULT {m.name}({signature(model, m)}) override {{")
            w.append(f"            return m_outer->{m.name}({args});\n        }}")
        w.append("\n    private:")
        w.append(f"        {c}* m_outer;")
        w.append("    };")
        w.append(f"    {name}Part {part_name(name)}{{this}};")
    return w


def null_check(names):
    """The E_POINTER answer when any of the named pointers is null; no line for no names."""
    if not names:
        return []
    cond = " || ".join(f"{n} == nullptr" for n in names)
    return [f"    if ({cond}) return E_POINTER;"]


def not_implemented(model, c, m):
    outs = [p.name for p in m.params if p.direction != "in"]
    return ([f"HRESULT {c}::{m.name}({signature(model, m, used=set(outs))}) {{"] +
            null_check(outs) + ["    return E_NOTIMPL;\n}"])


def classes_source(model, out_dir):
    lib = model.lib
    w = [f"// Generated from idl/ by gen_typelib.py: class bases of {lib.name}. Do not edit.",
         f"#include \"{lib.name}_classes.h\"", "", "// NOLINTBEGIN"]
    for co in lib.coclasses:
        itf = model.interfaces[co.interface]
        c = f"C{co.name}Base"
        w.append(f"\n// {co.name} ---------------------------------------------------------------")
        if co.inners:
            w.append(f"{c}::{c}() {{")
            w.append("    ++gpslib::module::g_lockCount;")
            for inner, member, inner_itf in inner_interfaces(model, co):
                w.append(f"    (void)gpslib::CreateObject(CLSID_{inner}, IID_{inner_itf}, "
                         f"&m_p{member});")
            w.append("}")
        else:
            w.append(f"{c}::{c}() {{ ++gpslib::module::g_lockCount; }}")
        w.append(f"{c}::~{c}() {{ --gpslib::module::g_lockCount; }}")
        w.append(f"HRESULT {c}::QueryInterface(REFIID riid, void** ppv) {{")
        w.append("    if (ppv == nullptr) return E_POINTER;")
        w.append(f"    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_{itf.name}) {{")
        w.append(f"        *ppv = static_cast<{itf.name}*>(this);")
        w.append("        AddRef();")
        w.append("        return S_OK;\n    }")
        for name in co.extra:
            w.append(f"    if (riid == IID_{name}) {{")
            w.append(f"        *ppv = static_cast<{name}*>(&{part_name(name)});")
            w.append("        AddRef();")
            w.append("        return S_OK;\n    }")
        w.append("    if (riid == kImplIid) {")
        w.append("        *ppv = this;")
        w.append("        AddRef();")
        w.append("        return S_OK;\n    }")
        w.append("    *ppv = nullptr;\n    return E_NOINTERFACE;\n}")
        w.append(f"ULONG {c}::AddRef() {{ return ++m_cRef; }}")
        w.append(f"ULONG {c}::Release() {{")
        w.append("    ULONG left = --m_cRef;")
        w.append("    if (left == 0) delete this;")
        w.append("    return left;\n}")
        w.append(f"HRESULT {c}::GetTypeInfoCount(UINT* pctinfo) {{")
        w.append("    if (pctinfo == nullptr) return E_POINTER;")
        w.append("    *pctinfo = 0; // Names resolve through GetIDsOfNames; no ITypeInfo is offered.")
        w.append("    return S_OK;\n}")
        w.append(f"HRESULT {c}::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {{")
        w.append("    if (ppTInfo == nullptr) return E_POINTER;")
        w.append("    *ppTInfo = nullptr;\n    return DISP_E_BADINDEX;\n}")
        w.append(f"HRESULT {c}::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, "
                 "DISPID* rgDispId) {")
        w.append(f"    return gpslib::DispatchGetIDsOfNames(kInfo_{itf.name}, rgszNames, cNames, "
                 "rgDispId);\n}")
        w.append(f"HRESULT {c}::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, "
                 "DISPPARAMS* pDispParams,")
        w.append("                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {")
        w.append(f"    return gpslib::DispatchInvoke(kInfo_{itf.name}, static_cast<{itf.name}*>(this), "
                 "dispIdMember, wFlags,")
        w.append("                                  pDispParams, pVarResult, pExcepInfo, puArgErr);\n}")
        getters = {f.getter: f for f in co.fields if f.getter}
        setters = {f.setter: f for f in co.fields if f.setter}
        take_lock = (f"    gpslib::os::CriticalSectionLock lock(m_cs{co.lock});"
                     if co.lock else None)
        for m in itf.methods:
            outs = [p.name for p in m.params if p.direction != "in"]
            head = f"HRESULT {c}::{m.name}({signature(model, m)}) {{"
            if m.name in getters:
                f = getters[m.name]
                p = m.params[0]
                mem = member_name(model, f)
                w.append(head)
                w += null_check([p.name])
                if take_lock:
                    w.append(take_lock)
                if f.type == "BSTR":
                    w.append(f"    *{p.name} = gpslib::AllocBstr({mem}.View());")
                    w.append(f"    return *{p.name} == nullptr ? E_OUTOFMEMORY : S_OK;\n}}")
                else:
                    w.append(f"    *{p.name} = {mem};\n    return S_OK;\n}}")
            elif m.name in setters:
                f = setters[m.name]
                p = m.params[0]
                mem = member_name(model, f)
                w.append(head)
                if f.type == "BSTR":
                    if f.notnull:
                        w += null_check([p.name])
                    w.append(f"    gpslib::Bstr value(gpslib::View({p.name}));")
                if take_lock:
                    w.append(take_lock)
                if f.type == "BSTR":
                    w.append(f"    {mem} = std::move(value);")
                else:
                    w.append(f"    {mem} = {p.name};")
                w.append("    return S_OK;\n}")
            elif m.name in co.forwards:
                member = co.forwards[m.name]
                w.append(head)
                w += null_check(outs)
                args = ", ".join(p.name for p in m.params)
                w.append(f"    return m_p{member} ? m_p{member}->{m.name}({args}) : E_FAIL;\n}}")
            else:
                w += not_implemented(model, c, m)
        for name in co.extra:
            for m in model.interfaces[name].methods:
                w += not_implemented(model, c, m)
    # Class table and module information.
    w.append("\nnamespace {")
    w.append("constexpr GUID kLibId = LIBID_%s;" % lib.name)
    w.append("const gpslib::ClassEntry kClasses[] = {")
    for co in lib.coclasses:
        w.append(f"    {{&CLSID_{co.name}, \"{co.name}\", Create_{co.name}}},")
    w.append("};")
    w.append("const gpslib::InterfaceEntry kInterfaceEntries[] = {")
    for itf in lib.interfaces:
        w.append(f"    {{&IID_{itf.name}, \"{itf.name}\"}},")
    w.append("};\n} // namespace\n")
    w.append(f"const gpslib::ModuleInfo k{lib.name}Module = {{")
    w.append(f"    \"{os.environ.get('GPSLIB_PROGID_PREFIX', 'GPS')}\", &kLibId, \"{lib.name}\", "
             f"\"{lib.help}\", {lib.version[0]}, {lib.version[1]},")
    w.append(f"    kClasses, {len(lib.coclasses)}, kInterfaceEntries, {len(lib.interfaces)}}};")
    w.append("// NOLINTEND")
    write(os.path.join(out_dir, f"{lib.name}_classes.cpp"), "\n".join(w) + "\n")
