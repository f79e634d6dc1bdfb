#pragma once

// Which key strokes never reach a page. Refresh (F5), open (Ctrl+O), print (Ctrl+P), new
// window (Ctrl+N) and Backspace, even inside the page's text fields, would let a page
// surface browser behaviour that the program does not have; other keys, Ctrl+C and Ctrl+A
// among them, go through.
//
// Header-only on purpose: the web module and the program both use it, and the module
// links nothing of ours.

#include <Qt>

enum class KeyStrokeKind
{
    Press,
    Release
};

struct KeyStroke
{
    KeyStrokeKind kind = KeyStrokeKind::Press;
    int key = 0; // Qt::Key
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

// True when the stroke is swallowed before the page sees it.
inline bool TranslateAccelerator(const KeyStroke& stroke)
{
    const bool press = stroke.kind == KeyStrokeKind::Press;
    if (press && stroke.key == Qt::Key_F5)
        return true;
    if (press && (stroke.modifiers & Qt::ControlModifier) &&
        (stroke.key == Qt::Key_O || stroke.key == Qt::Key_P || stroke.key == Qt::Key_N))
        return true;
    // Both directions, so that a page never sees half of a Backspace.
    return stroke.key == Qt::Key_Backspace;
}
