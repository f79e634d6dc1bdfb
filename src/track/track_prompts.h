#pragma once

// The questions the two tools ask: a yes/no confirmation and the file an export goes to.
// The program uses Qt's boxes; tests install answers decided in advance.

#include "host/scoped_install.h"

#include <optional>
#include <string>

class ITrackPrompts
{
public:
    virtual ~ITrackPrompts() = default;
    // True only for an explicit "yes" (the button named `yes`); closing the box is a "no".
    virtual bool Confirm(const std::wstring& text, const std::wstring& yes,
                         const std::wstring& no) = 0;
    // The file the user picked to save to, starting from `suggested`; nothing when cancelled.
    virtual std::optional<std::wstring> SaveFileName(const std::wstring& suggested) = 0;
};

// The prompts in force; Qt's boxes unless a test installed others.
ITrackPrompts& CurrentTrackPrompts();
ITrackPrompts* InstallTrackPrompts(ITrackPrompts* const& prompts);
using ScopedTrackPrompts = ScopedInstall<ITrackPrompts*, InstallTrackPrompts>;
