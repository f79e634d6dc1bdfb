// Which key strokes the browser views swallow before a page sees them.

#include "web/browser_keys.h"

#include <gtest/gtest.h>

namespace {

KeyStroke Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return {KeyStrokeKind::Press, key, modifiers};
}

KeyStroke Release(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return {KeyStrokeKind::Release, key, modifiers};
}

TEST(KeyRule, RefreshOpenPrintNewWindowAndBackspaceAreSwallowed)
{
    EXPECT_TRUE(TranslateAccelerator(Press(Qt::Key_F5)));
    EXPECT_TRUE(TranslateAccelerator(Press(Qt::Key_F5, Qt::ShiftModifier)));
    EXPECT_TRUE(TranslateAccelerator(Press(Qt::Key_O, Qt::ControlModifier)));
    EXPECT_TRUE(TranslateAccelerator(Press(Qt::Key_P, Qt::ControlModifier)));
    EXPECT_TRUE(TranslateAccelerator(Press(Qt::Key_N, Qt::ControlModifier)));
    EXPECT_TRUE(TranslateAccelerator(Press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier)));
    EXPECT_TRUE(TranslateAccelerator(Press(Qt::Key_Backspace)));
    // Backspace is swallowed whichever way it goes and whatever is held with it.
    EXPECT_TRUE(TranslateAccelerator(Release(Qt::Key_Backspace)));
    EXPECT_TRUE(TranslateAccelerator(Press(Qt::Key_Backspace, Qt::ControlModifier)));
}

TEST(KeyRule, OtherStrokesReachThePage)
{
    // Copy, select all and the other editing keys keep working.
    EXPECT_FALSE(TranslateAccelerator(Press(Qt::Key_C, Qt::ControlModifier)));
    EXPECT_FALSE(TranslateAccelerator(Press(Qt::Key_A, Qt::ControlModifier)));
    EXPECT_FALSE(TranslateAccelerator(Press(Qt::Key_V, Qt::ControlModifier)));
    EXPECT_FALSE(TranslateAccelerator(Press(Qt::Key_Delete)));
    // The letters alone, or with another modifier than Ctrl, are plain typing.
    EXPECT_FALSE(TranslateAccelerator(Press(Qt::Key_O)));
    EXPECT_FALSE(TranslateAccelerator(Press(Qt::Key_N, Qt::ShiftModifier)));
    EXPECT_FALSE(TranslateAccelerator(Press(Qt::Key_P, Qt::AltModifier)));
    // Only the key-down of refresh and of the Ctrl letters is swallowed.
    EXPECT_FALSE(TranslateAccelerator(Release(Qt::Key_F5)));
    EXPECT_FALSE(TranslateAccelerator(Release(Qt::Key_N, Qt::ControlModifier)));
    EXPECT_FALSE(TranslateAccelerator(Press(Qt::Key_F4)));
    EXPECT_FALSE(TranslateAccelerator(Press(Qt::Key_F6)));
}

} // namespace
