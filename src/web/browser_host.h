#pragma once

// The program's side of every browser view: script alerts go to the program's message box
// service, and window.external carries the scripting object's answers.

#include "web/com_types.h"
#include "web/web_module.h"

// Boxes through CurrentServices().messageBox, looked up when a box is shown so that
// services installed later are honoured. `external` may be null: pages then get no
// window.external of ours.
BrowserHost MakeBrowserHost(IDispatch* external);
