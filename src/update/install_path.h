#pragma once

// The one rule for which paths an update may carry, and how versions compare. The build's
// list writer, the release tool, the worker (before it downloads anything) and the updater
// all ask here, so that a list one of them accepts is never refused by another later.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Answers whether a relative path ('/' separators) names a folder on the disk the caller
// installs into. An update never replaces a folder with a file.
using IsFolderOnDisk = std::function<bool(const std::string& relative)>;

// The path as installed ('/' separators) when `listPath` (as a version list names it,
// either separator) may be installed; nothing when it is refused: empty, absolute, a drive
// letter or any ':', a "..", "." or empty part, a part ending in a dot or a space (which
// Windows drops, so "conf." would be "conf"), a control character or NUL, anything below
// the profile folder Release/conf/, the installed list, the updater's own working files,
// or (when `isFolder` is given) a folder on disk. Reserved names compare without regard to
// letter case, as Windows does.
std::optional<std::string> InstallableListPath(std::string_view listPath,
                                               const IsFolderOnDisk& isFolder = {});
inline bool IsInstallablePath(std::string_view listPath, const IsFolderOnDisk& isFolder = {})
{
    return InstallableListPath(listPath, isFolder).has_value();
}

// True for the paths the rule refuses because they belong to the program's own bookkeeping
// rather than for their form: the profile folder, the installed list and the updater's
// working files. A release leaves such files of its tree out instead of refusing the tree.
bool IsProgramOwnPath(std::string_view listPath);

// Compares two dotted-number versions ("4.0.10" > "4.0.9"; "4.0" == "4.0.0"): negative,
// zero or positive as `a` is older than, equal to or newer than `b`. Nothing when either is
// not one or more dot-separated runs of decimal digits, which never counts as newer.
std::optional<int> CompareVersions(std::string_view a, std::string_view b);

// True only when `candidate` is a well-formed version newer than the well-formed `installed`.
inline bool IsNewerVersion(std::string_view candidate, std::string_view installed)
{
    const auto order = CompareVersions(candidate, installed);
    return order && *order > 0;
}
