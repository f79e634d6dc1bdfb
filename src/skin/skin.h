#pragma once

// Tavro's skin library: windows are empty shells, and a skin form gives one its size, its
// look and its named controls. The layout file (XML) says which forms exist and where
// their controls sit; the skin file (a Qt style sheet) says how they look.
//
// Every operation accepts null or stale objects and then does nothing (false, empty
// text, null). Objects belong to the library: a form and its controls live as long as
// the window they are attached to, and all of them end with FreeSkin().
//
// Controls notify the window their form is attached to with SendMessage(message,
// (WPARAM)control, 0): WM_SKIN_PRESS and WM_SKIN_CLICK (left button pressed, and released
// over the same control) and WM_SKIN_DBLCLK from buttons, labels, panels, pictures and
// animations; WM_SKIN_SELCHANGE when the user picks an item of a combo box.
//
// The keyboard: Tab reaches combo boxes and buttons in layout order; Enter, Return or Space
// on a button sends its WM_SKIN_CLICK. Enter that no control takes clicks the form's
// visible button marked default="1", Escape the one marked cancel="1". Screen readers get a
// name and a role for every control (skin_accessible.h).

#include "ui/messages.h"
#include "ui/wnd.h"

#include <QImage>

#include <cstdint>
#include <string>

class QWidget;

class SkinEngine;
class SkinForm;
class SkinControl;

// The kind FindControl is called with; the library looks controls up by name alone.
constexpr int SKIN_ANY_CONTROL = 90000;

// Opens a layout and a skin file. Always gives an engine: a missing or malformed layout
// leaves it without forms, a missing skin leaves the forms unstyled; both are reported.
// The three numbers are reserved and ignored.
SkinEngine* OpenSkinW(const wchar_t* layoutPath, const wchar_t* skinPath, int, int, int);
// Releases every engine with its forms; controls vanish from windows that still exist.
void FreeSkin();
// What keeps the engine's windows from being drawn: one line per skin file that could not
// be read or used, naming the file; empty when the package is complete.
std::wstring SkinProblems(const SkinEngine* engine);

// Builds the named form inside the window, gives the window the form's size and makes it
// frameless. Attaching the same form to the same window again gives the same form.
SkinForm* AttachForm(SkinEngine* engine, const wchar_t* formName, CWnd* window);
// The same pointer for a name every time; it is the wParam of the control's notifications.
// With searchChildren false only the form's outermost controls are searched.
SkinControl* FindControl(SkinForm* form, int kind, const wchar_t* name, int searchChildren);
bool SetFormAlpha(SkinForm* form, int alpha); // 0-255, the whole window
// Asks that a mouse message on the form's controls (WM_RBUTTONUP, 517) reach the window.
// Controls never hold mouse messages back from their window, which hears of all mouse
// input through the framework, so the request is always honoured.
bool PassMessage(SkinForm* form, UINT message);

// Shown when `show` is non-zero. The two other flags are accepted for compatibility.
bool ShowControl(SkinControl* control, int show, int, int);
// Starts (play non-zero) or stops an animation; it repeats until stopped.
bool PlayAnimation(SkinControl* control, int play, int, int);
bool SetLabelText(SkinControl* control, const wchar_t* text); // labels and buttons
// What screen readers call the control: its layout label with `value` in place of "%1"
// (the day a picture shows), or `value` itself when the layout gives no label.
bool SetControlLabel(SkinControl* control, const wchar_t* value);
bool SetEditText(SkinControl* control, const wchar_t* text);
// The frame keeps its own copy; a null image clears it back to the skin's placeholder.
bool SetPictureBitmap(SkinControl* control, const QImage& image);
// On a scroll bar or a text box: moves both to `position` (0 is the start).
bool SetScrollPosition(SkinControl* control, int position, int, int);

bool SetComboText(SkinControl* control, const wchar_t* text);
std::wstring GetComboText(SkinControl* control);
// Inserts before the item at `index`; an index past the end (or negative) appends.
bool InsertComboItem(SkinControl* control, const wchar_t* text, int index, std::uintptr_t data);
bool ClearCombo(SkinControl* control); // the items; the shown text stays
int GetComboCount(SkinControl* control);
std::wstring GetComboItem(SkinControl* control, int index);

// Embeds `child` in a window holder: it is placed over the holder's area and follows its
// size. ShowBoundWindow shows a child bound to that holder.
bool BindWindow(SkinControl* holder, QWidget* child);
bool ShowBoundWindow(SkinControl* holder, QWidget* child);

// The widget that draws a control (for tests and for rendering the skin); null if none.
QWidget* GetControlWidget(SkinControl* control);

// Missing files, forms and controls are warnings of the tavro.skin logging category, each
// said once per engine.

inline SkinEngine* OpenSkinW(const std::wstring& layout, const std::wstring& skin, int a, int b,
                             int c)
{
    return OpenSkinW(layout.c_str(), skin.c_str(), a, b, c);
}
inline SkinForm* AttachForm(SkinEngine* engine, const std::wstring& name, CWnd* window)
{
    return AttachForm(engine, name.c_str(), window);
}
inline SkinControl* FindControl(SkinForm* form, int kind, const std::wstring& name,
                                int searchChildren)
{
    return FindControl(form, kind, name.c_str(), searchChildren);
}
inline bool SetLabelText(SkinControl* control, const std::wstring& text)
{
    return SetLabelText(control, text.c_str());
}
inline bool SetControlLabel(SkinControl* control, const std::wstring& value)
{
    return SetControlLabel(control, value.c_str());
}
inline bool SetEditText(SkinControl* control, const std::wstring& text)
{
    return SetEditText(control, text.c_str());
}
inline bool SetComboText(SkinControl* control, const std::wstring& text)
{
    return SetComboText(control, text.c_str());
}
inline bool InsertComboItem(SkinControl* control, const std::wstring& text, int index,
                            std::uintptr_t data)
{
    return InsertComboItem(control, text.c_str(), index, data);
}
