// The scripting object's answers and the script that carries them into pages.

#include "web/external_script.h"
#include "web/imp_idispatch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ImpIDispatch, ReferenceCountMovesButNeverFreesTheObject)
{
    CImpIDispatch object;
    EXPECT_EQ(object.AddRef(), 1u);
    EXPECT_EQ(object.AddRef(), 2u);
    EXPECT_EQ(object.Release(), 1u);
    EXPECT_EQ(object.Release(), 0u);
    // Past zero the object is still there and answers (ASan would catch a use after free).
    object.Release();
    EXPECT_EQ(object.RefCount(), -1);
    EXPECT_EQ(object.AddRef(), 0u);
    const wchar_t* names[] = {L"ruzAzudir"};
    DISPID id = 0;
    EXPECT_EQ(object.GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
}

TEST(ImpIDispatch, HandsOutTheDispatchInterfaceOnly)
{
    CImpIDispatch object;
    void* out = &object;
    EXPECT_EQ(object.QueryInterface(IID_IDispatch, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDispatch*>(&object));
    EXPECT_EQ(object.RefCount(), 1);

    out = &object;
    EXPECT_EQ(object.QueryInterface(IID_IUnknown, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    // All sixteen bytes count: a difference in the last one is another interface.
    IID nearly = IID_IDispatch;
    nearly.Data4[7] ^= 1;
    out = &object;
    EXPECT_EQ(object.QueryInterface(nearly, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    nearly = IID_IDispatch;
    nearly.Data2 = 1;
    EXPECT_EQ(object.QueryInterface(nearly, &out), E_NOINTERFACE);

    EXPECT_EQ(object.QueryInterface(IID_IDispatch, nullptr), E_POINTER);
    EXPECT_EQ(object.RefCount(), 1) << "failed queries must not count";
}

TEST(ImpIDispatch, NamesAreMatchedWholeAndCaseSensitively)
{
    CImpIDispatch object;
    const wchar_t* names[] = {L"ruzAzudir",  L"ruzAzudiR", L"ruzAzudi",
                              L"ruzAzudirr", L"",          L"ruzAzudir"};
    DISPID ids[6] = {7, 7, 7, 7, 7, 7};
    EXPECT_EQ(object.GetIDsOfNames(IID_NULL, names, 6, 0x804, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);
    EXPECT_EQ(ids[3], DISPID_UNKNOWN);
    EXPECT_EQ(ids[4], DISPID_UNKNOWN);
    EXPECT_EQ(ids[5], 1) << "names after an unknown one are still resolved";

    DISPID untouched = 7;
    EXPECT_EQ(object.GetIDsOfNames(IID_NULL, names, 0, 0, &untouched), S_OK);
    EXPECT_EQ(untouched, 7);

    const wchar_t* known[] = {L"ruzAzudir"};
    DISPID id = 0;
    EXPECT_EQ(object.GetIDsOfNames(IID_IDispatch, known, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 1);
}

TEST(ImpIDispatch, PropertyReadOfTheMemberIsTrueAndEverythingElseSucceedsWithoutEffect)
{
    CImpIDispatch object;
    VARIANT result;
    result.vt = 99;
    result.lVal = 12345;
    EXPECT_EQ(
        object.Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, 1) << "the value is 1, not VARIANT_TRUE";

    // Combined flags, as script engines pass them for a call expression, still read.
    result.vt = 99;
    EXPECT_EQ(object.Invoke(1, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr,
                            &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);

    const struct
    {
        DISPID id;
        WORD flags;
    } untouchedCases[] = {{1, DISPATCH_METHOD},
                          {1, DISPATCH_PROPERTYPUT},
                          {2, DISPATCH_PROPERTYGET},
                          {0, DISPATCH_PROPERTYGET},
                          {-1, DISPATCH_PROPERTYGET}};
    for (const auto& c : untouchedCases) {
        result.vt = 99;
        result.lVal = 12345;
        VARIANT argument;
        VariantInit(&argument);
        DISPPARAMS params{&argument, nullptr, 1, 0};
        EXPECT_EQ(object.Invoke(c.id, IID_NULL, 0, c.flags, &params, &result, nullptr, nullptr),
                  S_OK)
            << "id " << c.id;
        EXPECT_EQ(result.vt, 99) << "id " << c.id << " flags " << c.flags;
        EXPECT_EQ(result.lVal, 12345);
    }

    // No result variant: nothing to write, still a success.
    EXPECT_EQ(
        object.Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr, nullptr),
        S_OK);
}

// A member name with what a script literal must escape or may carry as it is.
const std::wstring kOddName = L"a\"b\\c\u00e9\u2028\u2029\n\U0001F600";

// An object with other answers, to show that the page script follows whatever the object
// says instead of knowing the member by heart.
class ScriptedObject : public IDispatch
{
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetTypeInfoCount(unsigned*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(unsigned, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, const wchar_t* const* names, unsigned count, LCID,
                          DISPID* ids) override
    {
        HRESULT hr = S_OK;
        for (unsigned i = 0; i < count; ++i) {
            const std::wstring name = names[i];
            ids[i] = name == L"flag"      ? 10
                     : name == L"count"   ? 11
                     : name == L"act"     ? 12
                     : name == kOddName   ? 13
                     : name == L"refused" ? 14
                                          : DISPID_UNKNOWN;
            if (ids[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                   unsigned*) override
    {
        if (id == 14)
            return static_cast<HRESULT>(0x80020003u); // member not found
        if (!(flags & DISPATCH_PROPERTYGET))
            return S_OK;
        if (id == 10 || id == 13) {
            result->vt = VT_BOOL;
            result->boolVal = 0;
        } else if (id == 11) {
            result->vt = VT_I4;
            result->lVal = -42;
        }
        return S_OK;
    }
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(ExternalScript, CarriesTheObjectsAnswersForKnownNamesOnly)
{
    CImpIDispatch object;
    const std::string script = BuildExternalScript(object, {L"ruzAzudir", L"ruzAzudiR", L"other"});
    EXPECT_TRUE(Contains(script, "\"ruzAzudir\", {value: true"));
    EXPECT_FALSE(Contains(script, "ruzAzudiR"));
    EXPECT_FALSE(Contains(script, "other"));
    EXPECT_EQ(object.RefCount(), 0) << "building the script holds no reference";

    ScriptedObject scripted;
    const std::string other = BuildExternalScript(
        scripted, {L"flag", L"count", L"act", kOddName, L"refused", L"ruzAzudir"});
    EXPECT_TRUE(Contains(other, "\"flag\", {value: false"));
    EXPECT_TRUE(Contains(other, "\"count\", {value: -42"));
    EXPECT_TRUE(Contains(other, "\"act\", {value: function () {}"));
    // Quoted as JSON is, with the separators that end a line in older engines escaped.
    EXPECT_TRUE(
        Contains(other, "\"a\\\"b\\\\c\xC3\xA9\\u2028\\u2029\\n\xF0\x9F\x98\x80\", {value: false"))
        << other;
    EXPECT_FALSE(Contains(other, "refused"));
    EXPECT_FALSE(Contains(other, "ruzAzudir")) << "the member comes from the object, not the host";
}

TEST(ExternalScript, VariantsBecomeLiterals)
{
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(VariantToScript(v), "");
    v.vt = VT_BOOL;
    v.boolVal = -1;
    EXPECT_EQ(VariantToScript(v), "true");
    v.boolVal = 0;
    EXPECT_EQ(VariantToScript(v), "false");
    v.vt = VT_I4;
    v.lVal = 2147483647;
    EXPECT_EQ(VariantToScript(v), "2147483647");
}

} // namespace
