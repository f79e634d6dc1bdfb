#pragma once

// The test skin, a window that records the skin's notifications and the fixture that
// shows forms in such windows, for the skin's form tests.

#include "log_capture.h"
#include "skin/skin.h"
#include "skin/skin_controls.h"
#include "temp_program_dir.h"
#include "wait_for.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <memory>
#include <vector>

constexpr const char* kLayout = R"(<?xml version="1.0" encoding="UTF-8"?>
<skin>
  <form name="Test" width="240" height="170">
    <control name="btn" type="button" x="10" y="10" width="80" height="30" text="OK"/>
    <control name="card" type="panel" x="100" y="10" width="130" height="100" drag="1">
      <control name="lbl" type="label" x="10" y="10" width="100" height="30" text="hi"/>
      <control name="pic" type="picture" x="10" y="50" width="40" height="40"/>
    </control>
    <control name="week" type="label" x="10" y="140" width="80" height="20" format="已满&lt;b&gt;%1&lt;/b&gt;周"/>
    <control name="cbx" type="combo" x="10" y="50" width="80" height="30" text="2015"/>
    <control name="edit" type="edit" x="10" y="90" width="70" height="40"/>
    <control name="bar" type="scrollbar" target="edit" x="82" y="90" width="6" height="40"/>
    <control name="holder" type="holder" x="100" y="115" width="120" height="40"/>
    <control name="anim" type="animation" x="0" y="150" width="20" height="20" interval="10"/>
  </form>
  <form name="Other" width="50" height="60"/>
  <form name="Quiet" width="50" height="60" activate="0"/>
</skin>
)";

class RecordingWnd : public CWnd
{
public:
    struct Note
    {
        UINT message;
        WPARAM control;
    };
    std::vector<Note> notes;
    int rightButtonUps = 0;
    std::function<void(UINT, WPARAM)> onNote;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_SKIN_PRESS:
        case WM_SKIN_CLICK:
        case WM_SKIN_DBLCLK:
        case WM_SKIN_SELCHANGE:
            notes.push_back({message, wParam});
            if (onNote)
                onNote(message, wParam); // may delete this object
            return 1;
        case WM_RBUTTONUP:
            ++rightButtonUps;
            break;
        default:
            break;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<UINT> Messages() const
    {
        std::vector<UINT> messages;
        for (const Note& note : notes)
            messages.push_back(note.message);
        return messages;
    }
};

inline WPARAM Id(SkinControl* control) { return reinterpret_cast<WPARAM>(control); }

class SkinFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir.Write("Skin/layout.dui", kLayout);
        dir.Write("Skin/skin.skn", "#btn { color: red; }");
        engine = Open("Skin/layout.dui", "Skin/skin.skn");
        ASSERT_NE(engine, nullptr);
    }
    void TearDown() override
    {
        windows.clear();
        FreeSkin();
    }

    SkinEngine* Open(const std::string& layout, const std::string& skin)
    {
        return OpenSkinW(dir.Sub(layout).wstring(), dir.Sub(skin).wstring(), 0, 0, 0);
    }
    RecordingWnd* NewWindow()
    {
        windows.push_back(std::make_unique<RecordingWnd>());
        EXPECT_TRUE(windows.back()->CreatePopup(nullptr));
        return windows.back().get();
    }
    // A shown window with the test form attached.
    SkinForm* AttachShown(RecordingWnd* wnd)
    {
        SkinForm* form = AttachForm(engine, L"Test", wnd);
        wnd->ShowWindow(SW_SHOW);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(wnd->GetWidget()));
        return form;
    }
    SkinControl* Find(SkinForm* form, const wchar_t* name)
    {
        return FindControl(form, SKIN_ANY_CONTROL, name, true);
    }
    int ReportsNaming(const std::wstring& text) const
    {
        int count = 0;
        for (const auto& line : reports.Lines())
            count += line.find(text) != std::wstring::npos;
        return count;
    }

    TempProgramDir dir;
    SkinEngine* engine = nullptr;
    std::vector<std::unique_ptr<RecordingWnd>> windows;
    LogCapture reports{"tavro.skin"};
};
