#pragma once

// Pages cannot call into a C++ object synchronously, so window.external is built in the
// page as a plain object whose members carry the scripting object's own answers. The script
// is made by asking the object, name by name, exactly as a page's script engine would.

#include "web/com_types.h"

#include <string>
#include <vector>

// A script that replaces window.external with an object holding every name in
// `candidateNames` that `object` knows: a property whose value the object answers to a
// property read, or else a function that does nothing, when the object accepts it as a
// method call. Names the object does not know are left out. Runs before the page's own
// scripts when injected at document creation.
//
// A member the object answers to a property read becomes that value, so that
// `window.external.ruzAzudir === true` holds; a script value cannot also be called, so a
// page that calls such a member gets a TypeError where the object would have accepted the
// call and done nothing. Reading is what pages do with it.
std::string BuildExternalScript(IDispatch& object, const std::vector<std::wstring>& candidateNames);

// A value as a JavaScript literal; empty when the type has no literal here.
std::string VariantToScript(const VARIANT& value);
