#pragma once

// What the skin's controls tell assistive technology. Labels, buttons and scroll bars are
// plain Qt widgets and speak for themselves once they carry a name; pictures, text boxes
// and date lists draw things Qt cannot see, so they get interfaces of their own here.
//
// A control's name comes from its layout attribute "label", in which "%1" stands for the
// value the program or the control supplies (a label's text, a picture's day); without
// "label" a button is named by its text or its tool tip and a label by what it shows.

#include <QString>

class QWidget;

// Installs the interfaces of the skin's controls; once per process, later calls do nothing.
void InstallSkinAccessibility();

// The name for a control whose layout label is `format`: the value put in place of "%1",
// the format itself when it has no "%1", the value alone when there is no format.
QString SkinAccessibleText(const QString& format, const QString& value);

// Names the control after its layout label (kept in its "skinLabel" property) and `value`.
void ApplySkinLabel(QWidget* widget, const QString& value);
