#include "web/imp_idispatch.h"

#include <cwchar>

HRESULT CImpIDispatch::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    // Only the dispatch interface is handed out; scripts never ask for anything else.
    if (!(riid == IID_IDispatch))
        return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG CImpIDispatch::AddRef() { return static_cast<ULONG>(++m_cRef); }

ULONG CImpIDispatch::Release()
{
    // The application owns the object for the whole run; reaching zero frees nothing.
    return static_cast<ULONG>(--m_cRef);
}

HRESULT CImpIDispatch::GetTypeInfoCount(unsigned*) { return E_NOTIMPL; }

HRESULT CImpIDispatch::GetTypeInfo(unsigned, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT CImpIDispatch::GetIDsOfNames(REFIID, const wchar_t* const* names, unsigned count, LCID,
                                     DISPID* ids)
{
    HRESULT result = S_OK;
    for (unsigned i = 0; i < count; ++i) {
        if (names[i] && std::wcscmp(names[i], kMemberName) == 0) {
            ids[i] = kMemberId;
        } else {
            // Keep going so that the caller learns the ids of the names that are known.
            ids[i] = DISPID_UNKNOWN;
            result = DISP_E_UNKNOWNNAME;
        }
    }
    return result;
}

HRESULT CImpIDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                              EXCEPINFO*, unsigned*)
{
    if (id == kMemberId && (flags & DISPATCH_PROPERTYGET) && result) {
        VariantInit(result);
        result->vt = VT_BOOL;
        // 1 rather than VARIANT_TRUE (-1): scripts only test it for truth.
        result->boolVal = 1;
    }
    return S_OK;
}
