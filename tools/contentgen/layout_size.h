#pragma once

// The size of a control in the skin layout, so the generated content fits the frame it is
// shown in.

#include <string>

struct ControlSize
{
    int width = 0;
    int height = 0;
};

// Finds, anywhere in the layout document, the first element whose "name" attribute is
// `controlName` and reads its "width" and "height" attributes. False, with a message in
// `error`, when the file cannot be read, the control is missing, or a size is not a
// positive whole number.
bool ReadControlSize(const std::string& layoutPath, const std::string& controlName,
                     ControlSize& size, std::string& error);
