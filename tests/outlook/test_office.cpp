// The stand-in's Office command bars as the add-in relies on them: bars and
// controls found by name in any case or by 1-based index, a missing one
// failing as Office fails, pictures taken by value or by reference, faces
// pasted from the clipboard, and the Click event with its two arguments.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <olectl.h>

#include "classlib/com/CVariant.h"
#include "standins/outlook/core/CallLog.h"
#include "standins/outlook/core/EventIds.h"
#include "standins/outlook/office/CommandBarButton.h"
#include "standins/outlook/office/CommandBars.h"
#include "tests/support/TestEventSink.h"
#include "tests/support/HResultText.h"

using namespace standin;

namespace {

struct Answer {
    HRESULT hr;
    SCODE scode; // of the exception, when hr is DISP_E_EXCEPTION
    CVariant result;
};

// One late-bound call: args in declaration order; put: the last is the value.
Answer Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<CVariant> args = {})
{
    Answer answer{E_FAIL, S_OK, {}};
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    answer.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(answer.hr))
        return answer;
    std::vector<VARIANT> raw(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), isPut ? &put : nullptr,
                      static_cast<UINT>(raw.size()), isPut ? 1u : 0u};
    EXCEPINFO exception{};
    answer.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                               answer.result.Put(), &exception, nullptr);
    answer.scode = exception.scode;
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return answer;
}

CComPtr<IPictureDisp> SmallPicture()
{
    HDC screen = GetDC(nullptr);
    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    CComPtr<IPictureDisp> picture;
    OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, picture.PutVoid());
    return picture;
}

class OfficeStandInTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CallLog().Clear();
        CallLog().ClearInjections();
    }
    CComPtr<CCommandBars> bars = New<CCommandBars>();
};

TEST_F(OfficeStandInTest, BarsByNameOrIndexAndMissingOnesFailAsOfficeDoes)
{
    CCommandBar* standard = bars->AddBar(L"Standard", 1, false, false);
    struct {
        const char* what;
        CVariant index;
        CCommandBar* expected;
    } cases[] = {
        {"name", CVariant(L"Standard"), standard},
        {"name in another case", CVariant(L"sTANDARD"), standard},
        {"first index", CVariant(1L), standard},
        {"missing name", CVariant(L"Quillet"), nullptr},
        {"index 0", CVariant(0L), nullptr},
        {"index past the last", CVariant(2L), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Answer answer = Call(bars->Dispatch(), L"Item", DISPATCH_PROPERTYGET, {c.index});
        if (c.expected) {
            ASSERT_HR(S_OK, answer.hr);
            EXPECT_EQ(c.expected->Dispatch(), answer.result.pdispVal);
        } else {
            EXPECT_HR(DISP_E_EXCEPTION, answer.hr);
            EXPECT_HR(E_INVALIDARG, answer.scode);
        }
    }

    Answer added = Call(bars->Dispatch(), L"Add", DISPATCH_METHOD,
                        {CVariant(L"Quillet"), CVariant(1L), CVariant(0L), CVariant(1L)});
    ASSERT_HR(S_OK, added.hr);
    CCommandBar* bar = bars->Find(L"quillet");
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(bar->Dispatch(), added.result.pdispVal);
    EXPECT_TRUE(bar->Temporary());
    EXPECT_FALSE(bar->Visible()) << "a new bar is hidden";
    Answer again = Call(bars->Dispatch(), L"Add", DISPATCH_METHOD, {CVariant(L"QUILLET")});
    EXPECT_HR(DISP_E_EXCEPTION, again.hr) << "a name that is taken";
    EXPECT_EQ(2, Call(bars->Dispatch(), L"Count", DISPATCH_PROPERTYGET).result.lVal);

    CComPtr<CCommandBar> held(bar);
    EXPECT_HR(S_OK, Call(bar->Dispatch(), L"Delete", DISPATCH_METHOD).hr);
    EXPECT_TRUE(bar->Deleted());
    EXPECT_EQ(nullptr, bars->Find(L"Quillet")) << "gone from its collection";
    EXPECT_EQ(1u, bars->Count());
}

TEST_F(OfficeStandInTest, ControlsByCaptionOrIndexAndPlainButtonsOnly)
{
    CCommandBar* bar = bars->AddBar(L"Quillet");
    IDispatch* controls = bar->Controls()->Dispatch();
    Answer first = Call(controls, L"Add", DISPATCH_METHOD, {CVariant(1L)});
    ASSERT_HR(S_OK, first.hr);
    ASSERT_HR(S_OK, Call(first.result.pdispVal, L"Caption", DISPATCH_PROPERTYPUT,
                         {CVariant(L"Quillet-It")})
                        .hr);
    Answer before = Call(controls, L"Add", DISPATCH_METHOD,
                         {CVariant(1L), CVariant(), CVariant(), CVariant(1L)});
    ASSERT_HR(S_OK, before.hr);
    EXPECT_EQ(before.result.pdispVal, bar->Controls()->At(0)->Dispatch()) << "Before 1";

    EXPECT_EQ(
        first.result.pdispVal,
        Call(controls, L"Item", DISPATCH_PROPERTYGET, {CVariant(L"quillet-it")}).result.pdispVal);
    EXPECT_EQ(first.result.pdispVal,
              Call(controls, L"Item", DISPATCH_PROPERTYGET, {CVariant(2L)}).result.pdispVal);
    Answer missing = Call(controls, L"Item", DISPATCH_PROPERTYGET, {CVariant(L"Synclet-It")});
    EXPECT_HR(DISP_E_EXCEPTION, missing.hr);
    EXPECT_HR(E_INVALIDARG, missing.scode);
    EXPECT_HR(DISP_E_EXCEPTION, Call(controls, L"Add", DISPATCH_METHOD, {CVariant(10L)}).hr)
        << "only plain buttons";

    EXPECT_HR(S_OK, Call(first.result.pdispVal, L"Delete", DISPATCH_METHOD).hr);
    EXPECT_EQ(1u, bar->Controls()->Count());
}

TEST_F(OfficeStandInTest, PicturesAreTakenByValueOrByReference)
{
    CCommandBarButton* button = bars->AddBar(L"Quillet")->Controls()->AddButton();
    CComPtr<IPictureDisp> picture = SmallPicture();
    ASSERT_TRUE(picture);
    for (WORD flags : {WORD(DISPATCH_PROPERTYPUT), WORD(DISPATCH_PROPERTYPUTREF)}) {
        SCOPED_TRACE(flags);
        EXPECT_HR(S_OK, Call(button->Dispatch(), L"Picture", flags,
                             {CVariant(static_cast<IDispatch*>(picture.Get()))})
                            .hr);
        EXPECT_EQ(picture.Get(), button->Picture());
        EXPECT_HR(S_OK, Call(button->Dispatch(), L"Mask", flags,
                             {CVariant(static_cast<IDispatch*>(picture.Get()))})
                            .hr);
        EXPECT_EQ(picture.Get(), button->Mask());
    }
    auto notAPicture = New<CCommandBars>();
    EXPECT_HR(DISP_E_TYPEMISMATCH, Call(button->Dispatch(), L"Picture", DISPATCH_PROPERTYPUT,
                                        {CVariant(notAPicture->Dispatch())})
                                       .hr);
    EXPECT_EQ(picture.Get(), button->Picture()) << "kept";
}

TEST_F(OfficeStandInTest, PasteFaceTakesTheButtonFaceFormatElseABitmap)
{
    HWND window = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    auto put = [window](std::vector<std::pair<UINT, std::string>> blocks) {
        ASSERT_TRUE(OpenClipboard(window));
        EmptyClipboard();
        for (const auto& [format, bytes] : blocks) {
            HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
            std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
            GlobalUnlock(block);
            SetClipboardData(format, block);
        }
        CloseClipboard();
    };
    const UINT face = RegisterClipboardFormatW(L"Toolbar Button Face");
    const UINT mask = RegisterClipboardFormatW(L"Toolbar Button Mask");
    std::string dib(sizeof(BITMAPINFOHEADER) + 64, 'd');
    std::string faceBlock(sizeof(BITMAPINFOHEADER) + 64, 'f');
    std::string maskBlock(48 + 64, 'm');
    CCommandBarButton* button = bars->AddBar(L"Quillet")->Controls()->AddButton();

    put({});
    Answer none = Call(button->Dispatch(), L"PasteFace", DISPATCH_METHOD);
    EXPECT_HR(DISP_E_EXCEPTION, none.hr) << "nothing to paste";
    EXPECT_HR(E_FAIL, none.scode);
    EXPECT_EQ(0u, button->PastedFormat());

    put({{CF_TEXT, std::string("text", 5)}, {CF_DIB, dib}});
    ASSERT_HR(S_OK, Call(button->Dispatch(), L"PasteFace", DISPATCH_METHOD).hr);
    EXPECT_EQ(static_cast<UINT>(CF_DIB), button->PastedFormat());
    EXPECT_EQ(dib, button->PastedFace().substr(0, dib.size()));

    put({{CF_DIB, dib}, {face, faceBlock}, {mask, maskBlock}});
    ASSERT_HR(S_OK, Call(button->Dispatch(), L"PasteFace", DISPATCH_METHOD).hr);
    EXPECT_EQ(face, button->PastedFormat()) << "Office's own format first";
    EXPECT_EQ(faceBlock, button->PastedFace().substr(0, faceBlock.size()));
    EXPECT_EQ(maskBlock, button->PastedMask().substr(0, maskBlock.size()));
    put({});
    DestroyWindow(window);
}

TEST_F(OfficeStandInTest, ClickPassesTheControlAndCancelDefault)
{
    CCommandBarButton* button = bars->AddBar(L"Quillet")->Controls()->AddButton();
    UINT argCount = 0;
    CVariant control;
    VARTYPE cancelType = VT_EMPTY;
    CTestEventSink sink(kCommandBarButtonEvents, [&](DISPID, DISPPARAMS& params) {
        argCount = params.cArgs;
        if (params.cArgs != 2)
            return;
        VariantCopy(control.Put(), &params.rgvarg[1]);
        cancelType = params.rgvarg[0].vt;
        if (cancelType == (VT_BOOL | VT_BYREF))
            *params.rgvarg[0].pboolVal = VARIANT_TRUE;
    });
    CComPtr<IConnectionPointContainer> container;
    ASSERT_HR(S_OK, button->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()));
    CComPtr<IConnectionPoint> point;
    ASSERT_HR(S_OK, container->FindConnectionPoint(kCommandBarButtonEvents, point.Put()));
    DWORD cookie = 0;
    ASSERT_HR(S_OK, point->Advise(&sink, &cookie));

    EXPECT_TRUE(button->Click()) << "the sink's CancelDefault comes back";
    EXPECT_EQ(std::vector<DISPID>{kDispClick}, sink.Events());
    EXPECT_EQ(2u, argCount);
    ASSERT_EQ(VT_DISPATCH, control.vt) << "the control is the first argument";
    EXPECT_EQ(button->Dispatch(), control.pdispVal);
    EXPECT_EQ(VT_BOOL | VT_BYREF, cancelType);
    control.Clear();

    EXPECT_HR(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(0u, button->Connections(kCommandBarButtonEvents));
    EXPECT_EQ(0u, sink.RefCount()) << "the button released the sink";
}

} // namespace
