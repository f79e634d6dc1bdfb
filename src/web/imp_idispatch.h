#pragma once

// The scripting object that web pages reach as window.external. It knows one member,
// "ruzAzudir", which reads as true: pages use it to tell that they are shown inside Tavro.
// One instance lives for the whole process and is never freed, so its reference count only
// moves up and down.

#include "web/com_types.h"

class CImpIDispatch : public IDispatch
{
public:
    // The one member name and its dispatch id.
    static constexpr const wchar_t* kMemberName = L"ruzAzudir";
    static constexpr DISPID kMemberId = 1;

    CImpIDispatch() = default;
    virtual ~CImpIDispatch() = default;
    CImpIDispatch(const CImpIDispatch&) = delete;
    CImpIDispatch& operator=(const CImpIDispatch&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetTypeInfoCount(unsigned* count) override;
    HRESULT GetTypeInfo(unsigned index, LCID locale, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, const wchar_t* const* names, unsigned count, LCID locale,
                          DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, unsigned* argError) override;

    std::int32_t RefCount() const { return m_cRef; }

private:
    // Single-threaded like the pages that use it, hence a plain integer.
    std::int32_t m_cRef = 0;
};
