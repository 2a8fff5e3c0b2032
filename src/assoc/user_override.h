#pragma once
// What overrides the classic records for one user - the per-user choice that Explorer keeps
// below FileExts, and the per-user class record of the extension - and how the tool speaks of
// it after a register or a delete. The removal itself is a change like any other
// (PlanRemoveUserOverride).

#include <string>

#include "assoc/assoc_resolver.h"
#include "assoc/user_hive.h"

namespace assoc {

// What a removal takes away for an extension.
struct UserOverride {
  bool choice = false;       // FileExts\<ext>\UserChoice and \UserChoiceLatest, each with its sub-keys
  bool userClasses = false;  // HKCU\Software\Classes\<ext>, with its sub-keys
};

// The per-user records that keep Explorer from doing what the classic records say: the choice
// when there is one, and the per-user class record of the extension when it names another file
// type. Nothing when Explorer already follows the classic records.
UserOverride OverrideOf(const EffectiveAssociation& association);

// What Explorer does with files of the extension, as a sentence's end: 「「C:\v.exe」で開きます」,
// 「ファイルタイプ「x」で開きます」 or, for a chosen file type that is gone, that it asks.
std::wstring WhatExplorerDoes(const EffectiveAssociation& association);

// The main window's note: the source's label and what Explorer does; empty when Explorer
// follows the classic records.
std::wstring ExplorerNoteText(const EffectiveAssociation& association);

// The records what removes, as the questions and messages name them.
std::wstring OverrideName(const UserOverride& what, const std::wstring& extension);

// The question after a register (registered) or delete: for account (empty: unknown) Explorer
// keeps doing what found says; remove the records?
std::wstring OverrideQuestion(const std::wstring& account, const EffectiveAssociation& found,
                              const UserOverride& what, const std::wstring& extension, bool registered);

// After the removal: done; refused by Windows (with the offer of Windows' own settings); or
// failed for reason.
std::wstring OverrideRemoved(const UserOverride& what, const std::wstring& extension);
std::wstring OverrideProtected(const UserOverride& what, const std::wstring& extension);
std::wstring OverrideFailed(const UserOverride& what, const std::wstring& extension, const std::wstring& reason);

// True when Explorer will not use what a register wrote until the user picks the program in
// Windows: an enforced extension without a choice (Windows' default app decides), or a choice
// that Windows protects from removal.
bool NeedsWindowsChoice(const EffectiveAssociation& found, bool choiceProtected);

// The information after such a register, offering 「Windows で選ぶ」; the offer after an undo
// that could not write back a choice it had removed; and what to do by hand when neither
// Windows' chooser nor its settings open.
std::wstring WindowsChoiceQuestion(const std::wstring& extension);
std::wstring ChooseAgainQuestion(const std::wstring& extension);
std::wstring ChooseInSettings(const std::wstring& extension);

// The name of the account whose associations the tool works on (TargetAccount): the desktop's,
// also when the tool runs elevated as another administrator; empty when it cannot be read.
std::wstring CurrentAccountName();

// What the titles add when the tool works on another account than its own: 「（対象: DOMAIN\user）」,
// with 「サインインしていません」 when that account's hive is not loaded; empty for its own account.
std::wstring TargetTitle(const TTargetAccount& account);

// The note under the fields when the tool works on another account than its own, saying whose
// associations it shows and changes, and as whom it runs; empty for its own account.
std::wstring TargetNote(const TTargetAccount& account, const std::wstring& runningAs);

}  // namespace assoc
