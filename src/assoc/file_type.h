#pragma once
// A whole file type as the details window shows and edits it: its verbs (its own, and those
// Windows adds from SystemFileAssociations), its description, icon and display of the
// extension, the perceived and content type of the extension, and the Open with entries. Read
// from the registry as it is; an edited copy becomes one plan of the change engine.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assoc/change_plan.h"

namespace assoc {

// What a details window is about: an extension (".txt") or a protocol ("mailto").
struct TTypeTarget {
  bool Protocol = false;
  std::wstring Name;
  bool operator==(const TTypeTarget&) const = default;
};

// Where a verb comes from: the file type's own key (editable), or the keys Windows adds for
// every file of the extension or of its perceived type (shown only).
enum class TVerbSource { Type, Extension, Perceived };

// One verb: a key below a "shell" key.
struct TVerb {
  std::wstring Name;       // the key's name
  std::wstring Caption;    // the menu's text: MUIVerb, else the default value, "@file,-id" resolved
  bool CaptionIsMui = false;  // Caption came from MUIVerb
  std::wstring Command;    // the command key's default value
  bool Extended = false;   // shown only with Shift ("Extended" value)
  bool Delegated = false;  // DelegateExecute or DropTarget instead of a command: not editable
  TVerbSource Source = TVerbSource::Type;
  std::wstring Original;   // the name it was read with; empty for a verb added in the window
  bool operator==(const TVerb&) const = default;
};

// How Explorer shows the extension of the type's files.
enum class TExtensionDisplay { Explorer, Always, Never };

// Where an Open with entry is kept.
enum class TOpenWithPlace {
  Classes,      // HKEY_CLASSES_ROOT\<ext>\OpenWithProgids, a file type
  UserProgIds,  // the user's FileExts\<ext>\OpenWithProgids, a file type
  UserList,     // the user's FileExts\<ext>\OpenWithList, a program's file name
};

// One entry of the Open with lists, with the program it starts.
struct TOpenWithEntry {
  TOpenWithPlace Place = TOpenWithPlace::Classes;
  std::wstring Name;     // the value's name (a file type), or for OpenWithList its data (a file name)
  std::wstring Value;    // the value's name in OpenWithList ("a", "b", ...); else Name
  std::wstring Program;  // the program it starts, found as Windows finds it; empty when none
  bool TypeMissing = false;  // a file type entry whose key does not exist
  bool Exists = false;       // the program exists
  bool Unchecked = false;    // the program is not on a local drive, so it was not looked at
  bool operator==(const TOpenWithEntry&) const = default;
};

// Everything the window shows of a target.
struct TFileType {
  TTypeTarget Target;
  std::wstring TypeKey;   // the key below HKEY_CLASSES_ROOT that holds the verbs and properties
  bool OwnType = false;   // TypeKey is the file type the extension names (not the extension key)
  std::vector<TVerb> Verbs;  // the type's own first, in the registry's order, then the added ones
  std::wstring DefaultVerb;  // the "shell" key's default value, as written
  std::wstring Description;
  std::wstring Icon;         // DefaultIcon's default value
  std::wstring PerceivedType;
  std::wstring ContentType;
  TExtensionDisplay Display = TExtensionDisplay::Explorer;
  std::optional<std::wstring> EditFlags;  // its value as text ("0x00010000"), when present
  std::vector<TOpenWithEntry> OpenWith;
};

// The perceived types Windows documents, offered in the details window.
inline constexpr const wchar_t* kPerceivedTypes[] = {L"",         L"text",        L"image",       L"audio",
                                                     L"video",    L"compressed",  L"document",    L"system",
                                                     L"application", L"gamemedia", L"contacts"};

// The verb Explorer runs on a double click of a file of a type whose "shell" key's default value
// is listed: the first of the first 64 names listed (separated by commas or blanks) that has()
// finds among the shell key's verbs, else "open" when has() finds it, else first(), the shell
// key's first verb in the registry's order; empty when the key has no verb. has() is asked only
// about names that can be one key's name (1 to 255 characters, no "\" or NUL), and first() only
// when none was found. The one rule of the list's problem check, the details window and its
// plans: what runs is the default value of that verb's "command" key, and a verb without one
// (DelegateExecute, DropTarget) runs no command; no other verb stands in for it.
std::wstring ChooseDefaultVerb(std::wstring_view listed, const std::function<bool(const std::wstring&)>& has,
                               const std::function<std::wstring()>& first);

// ChooseDefaultVerb among verbs, the names of a shell key's verbs in the registry's order
// (letter case aside); the name as verbs spells it.
std::wstring DefaultVerbAmong(std::wstring_view listed, const std::vector<std::wstring>& verbs);

// Reads target from HKEY_CLASSES_ROOT and the user's records, every key opened for reading only,
// one name at a time and never through a registry link; at most 1000 verbs of a shell key and
// 1000 entries of an Open with list. An extension that names no file type has its verbs in its
// own key. Raises Exception (kWrongExtension) for a name that is no extension or scheme. Keys
// that cannot be read, or are links, count as empty.
TFileType ReadFileType(const TTypeTarget& target);

// The verb type's own verbs run on a double click (DefaultVerbAmong of its DefaultVerb and its
// own verbs); empty when it has none.
std::wstring EffectiveDefaultVerb(const TFileType& type);

// Why name cannot be a verb's name (letters, digits, "_" and "-" only, at most 64); empty when
// it can. other: the names of the type's other verbs, which it must not repeat.
std::wstring VerbNameProblem(std::wstring_view name, const std::vector<std::wstring>& other);

// The plan that makes the registry hold edited where it held before (both read or edited from
// the same target): verbs added, changed, renamed or removed, the default verb, the properties
// and the Open with entries removed. Only the differences; a renamed verb keeps its other values
// and keys (at most 1000 keys of it). When edited's default verb falls to its first verb and its
// verbs were added, renamed or removed, the registry's order would decide after the change: the
// shell key's default value then names EffectiveDefaultVerb(edited), so that the verb the window
// shows as the default is the one that runs. Reads only, never through a registry link; raises
// Exception as TPlanBuilder does.
TChangePlan PlanFileTypeEdit(const TFileType& before, const TFileType& edited);

// "HKEY_CLASSES_ROOT\<key>".
std::wstring ClassesPath(std::wstring_view key);

}  // namespace assoc
