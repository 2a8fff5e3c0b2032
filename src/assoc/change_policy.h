#pragma once
// Which keys a change may touch: those of the associations it is about, and nothing else. What a
// key is comes from what the registry holds now (and, for a key the change makes, what it will
// be), never from what a file declares or how it is named; what a change is about comes from the
// user: the main window's extension, the file type window's type, or - for a registry file - the
// associations whose keys the file names, which the preview lists before anything is applied.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assoc/change_plan.h"
#include "common/exception.h"

namespace assoc {

// The first thing a policy refuses: its key, why, and the line of the registry file that names it
// (0 for a change the tool planned itself).
struct TPolicyRefusal {
  std::wstring Key;
  std::wstring Reason;
  int Line = 0;
};

// Where a key lies, by the key names that lead to it: below one of the classes roots, or in the
// user's FileExts, OpenSavePidlMRU or UrlAssociations records.
enum class TKeyArea { Classes, FileExts, OpenSaveMru, UrlAssociations };

// A key as the policy sees it: its area, the first key name below the area's root (an extension,
// a file type, a protocol, SystemFileAssociations, Applications...), and the names below that.
// The views point into the path given.
struct TKeyPlace {
  TKeyArea Area = TKeyArea::Classes;
  std::wstring_view Head;
  std::vector<std::wstring_view> Below;
};

// The place of key (a path with its root spelled out); nothing for a key outside the areas or an
// area's root itself.
std::optional<TKeyPlace> PlaceOfKey(std::wstring_view key);

// A change the policy refuses, raised before anything is written; the message names the key (and
// the file's line) and why.
class EPolicyRefused : public Exception {
 public:
  using Exception::Exception;
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

// True for the name of an application's registration (Applications\<name>): a program's file
// name ending in ".exe", without the characters file names cannot hold.
bool IsPlausibleApplication(std::wstring_view name) noexcept;

// Reads what document is about and judges every one of its sections by its name and by what the
// registry holds now, before any key below a section is read: a section outside the policy -
// a removal above an association's own keys included - is refused unread. Adds to plan the
// extensions, protocols, file types and application registrations whose keys the file names
// (the file types with the extensions that name them, so that the preview can show them). The
// file's name counts for nothing. Answers the first refused section (with its line), or nothing.
// Reads only; never raises but for memory.
std::optional<TPolicyRefusal> SurveyDocument(const TRegDocument& document, TChangePlan& plan);

// Checks every step of plan. The associations it is about are its Subject (an extension or, with
// Protocols naming it, a protocol, for a change the tool planned itself), and the Extensions,
// Protocols, FileTypes and Applications it lists. Such an association may have touched:
// - an extension E: its key in the three classes roots with everything below it, which may name a
//   file type that passes FileTypeRefusal; SystemFileAssociations\E (the verbs Windows adds for
//   it); the user's FileExts\E and OpenSavePidlMRU\E, whose UserChoice and UserChoiceLatest may
//   only be removed. An extension that starts programs (StartsPrograms) is touched only by a
//   change whose Subject it is, never by a file;
// - a file type that an extension of the change names (now, in either classes tree, or as the
//   change sets it): its keys, when it is none of the keys an extension may not name, and - but
//   for a change that SharedTypesAllowed - nothing outside the change still names it; it is
//   removed only when nothing outside the change names it;
// - a protocol P: its key in the classes roots with everything below, when it is a protocol now
//   or a new key the change makes one (an existing key never becomes one); not a COM class's
//   ProgID, and a protocol the system serves is never removed; the user's UrlAssociations\P,
//   whose choice may only be removed;
// - an application registration A: Applications\A with everything below it.
// Anything else - a system key, a perceived type, a COM class, a root or a key holding the keys of
// other associations, other keys of the user - is refused. Answers the first refused step, or
// nothing. Reads only (a pass over both classes trees when a shared file type may be involved);
// never raises but for memory.
std::optional<TPolicyRefusal> CheckPlan(const TChangePlan& plan);

// One check of one change that keeps what it read of the registry from the judgement of a
// registry file's sections (Survey, which adds to the plan what the file is about) to that of
// the plan's steps (Steps): SurveyDocument and CheckPlan in one.
class TPolicyCheck {
 public:
  // The check of a change about plan's subjects.
  explicit TPolicyCheck(const TChangePlan& plan);
  ~TPolicyCheck();
  TPolicyCheck(const TPolicyCheck&) = delete;
  TPolicyCheck& operator=(const TPolicyCheck&) = delete;
  // SurveyDocument, the subjects added to plan and to this check.
  std::optional<TPolicyRefusal> Survey(const TRegDocument& document, TChangePlan& plan);
  // CheckPlan of plan, with the subjects this check knows.
  std::optional<TPolicyRefusal> Steps(const TChangePlan& plan);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Why an extension may not name fileType: a path, an extension, a system key, the file type of a
// program (StartsPrograms, and exefile and its kin), a COM class's ProgID or a protocol, as the
// registry holds them now; nothing when it may (the empty name names nothing). Reads only.
std::optional<std::wstring> FileTypeRefusal(std::wstring_view fileType);

}  // namespace assoc
