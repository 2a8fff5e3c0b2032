#pragma once
// Which keys a change may touch: those of the associations it is about, and nothing else. One
// table per association, checked in one place for every plan, whoever built it: a register or a
// delete, the removal of a per-user choice, a restore, an undo, a redo or an import.

#include <optional>
#include <string>
#include <string_view>

#include "assoc/change_plan.h"

namespace assoc {

// The first step a policy refuses: its key and why.
struct TPolicyRefusal {
  std::wstring Key;
  std::wstring Reason;
};

// True for a name Windows can give an extension's key: a leading "." and more, no "\" or NUL,
// none of the characters file names cannot hold, and not ending in "." or a blank (which file
// names lose), so that "." and ".." stand for no extension.
bool IsPlausibleExtension(std::wstring_view extension) noexcept;

// The longest scheme a protocol's key may have.
inline constexpr size_t kLongestScheme = 64;

// True for a name a protocol can have: a letter, then letters, digits, "+", "-" and ".", at
// most kLongestScheme of them.
bool IsPlausibleScheme(std::wstring_view scheme) noexcept;

// Checks every step of plan. The extensions it is about are its subject (when that is one) and
// those whose keys it touches. Such an extension E may have touched: E's key below HKEY_CLASSES_ROOT,
// HKEY_CURRENT_USER\Software\Classes and HKEY_LOCAL_MACHINE\Software\Classes with its sub-keys;
// the file type key T that E names (in the registry now, or as the plan sets it) in those
// classes, unless GuardOfFileType keeps T, and T itself is removed only when no extension the
// plan leaves and no other user's choice names it; FileExts\E and OpenSavePidlMRU\E of the user,
// except that FileExts\E\UserChoice and UserChoiceLatest may only be removed, never written. An
// extension that starts programs (StartsPrograms) is touched only by a plan whose subject it is.
// A protocol P the plan names (Protocols) may have touched: its key below the three classes
// roots with its sub-keys, when it holds a "URL Protocol" value now or the plan sets one, except
// a COM class's ProgID, and a protocol the system serves is never removed; the user's
// UrlAssociations\P, whose UserChoice and UserChoiceLatest may only be removed.
// Anything else - another class, a root itself, other keys of the user - is refused. Answers
// the first refused step, or nothing. Reads only (a pass over the classes root only when the
// plan removes a file type key); never raises but for memory.
std::optional<TPolicyRefusal> CheckPlan(const TChangePlan& plan);

// Adds to plan.Extensions the extensions whose keys document names, so that the file types a
// file's extension keys name count as named even where the plan leaves those keys as they are;
// and to plan.Protocols the schemes whose protocol keys (a protocol's now, or made one by the
// file) or user's choice records it names.
void NoteExtensions(const TRegDocument& document, TChangePlan& plan);

}  // namespace assoc
