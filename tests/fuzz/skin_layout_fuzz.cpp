// Feeds arbitrary bytes to the skin's layout parser: it must never read outside the text,
// and it either accepts the layout with unique form names and sane geometry or refuses it
// with a reason and no forms.

#include "skin/skin_layout.h"

#include <QSet>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

void CheckControls(const std::vector<SkinControlDef>& controls, int depth)
{
    Check(depth < 64, "controls nested beyond any limit");
    for (const SkinControlDef& control : controls) {
        Check(!control.name.isEmpty(), "a control without a name");
        Check(control.geometry.width() >= 0 && control.geometry.height() >= 0,
              "a control of negative size");
        CheckControls(control.children, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The string is exactly the file's bytes, as the engine hands them over.
    const SkinLayout layout =
        ParseSkinLayout(std::string(reinterpret_cast<const char*>(data), size));
    if (!layout.error.isEmpty()) {
        Check(layout.forms.empty(), "a refused layout kept forms");
        return 0;
    }
    QSet<QString> names;
    for (const SkinFormDef& form : layout.forms) {
        Check(!names.contains(form.name), "two forms of one name");
        names.insert(form.name);
        Check(form.size.width() >= 0 && form.size.height() >= 0, "a form of negative size");
        CheckControls(form.controls, 0);
    }
    return 0;
}
