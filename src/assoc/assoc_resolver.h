#pragma once
// What Explorer will really use for an extension. Since Windows 8 it looks first at the user's
// own choice, then at the per-user class records, and only then at the machine's class records
// where the classic registration lands. The resolver reads all three and says which one decides
// and whether that differs from the classic record. It opens keys for reading only and creates
// nothing.

#include <windows.h>

#include <string>
#include <string_view>


namespace assoc {

// Where the decision about an extension's file type comes from.
enum class AssocSource {
  None,            // no record names a file type
  UserChoice,      // HKCU\...\Explorer\FileExts\<ext>\UserChoiceLatest or \UserChoice
  UserClasses,     // HKCU\Software\Classes
  MachineClasses,  // HKLM\Software\Classes
  WindowsDefault,  // an enforced extension without a choice: Windows' own default app
};

// The per-user choice of an extension as found (UserChoiceLatest wins over UserChoice).
struct UserChoiceInfo {
  std::wstring key;     // "UserChoiceLatest" or "UserChoice"; empty when neither names a ProgId
  std::wstring progId;  // the chosen file type, as stored
  bool hasHash = false;  // the key holds a Hash value (Windows writes one with every real choice)
};

// The answer for one extension. Texts are cut at their first NUL; a value that is not text
// counts as absent.
struct EffectiveAssociation {
  AssocSource source = AssocSource::None;
  std::wstring fileType;        // the file type Explorer takes (a ProgId, or Applications\<program>)
  bool fileTypeExists = false;  // fileType names a key in the per-user or machine classes
  std::wstring command;         // its open command as stored (not expanded); empty when none
  std::wstring defaultIcon;     // its DefaultIcon as stored
  std::wstring program;         // the program the command starts (its first word, unquoted)
  UserChoiceInfo choice;
  // What HKCU\Software\Classes\<ext> names (empty: nothing); it decides when no choice does.
  std::wstring userClassesFileType;
  std::wstring classicFileType;  // what HKEY_CLASSES_ROOT\<ext> names, as the read-back sees it
  std::wstring classicCommand;   // that file type's open command through HKEY_CLASSES_ROOT
  // A per-user choice or per-user class record decides, and Explorer will not do what the
  // classic record says: another file type, another command, or a file type that does not exist.
  bool differs = false;
};

// What Explorer will use for extension (with its leading "."). For an enforced extension
// (IsEnforcedHere) without a choice of the user, Windows' own default app: source WindowsDefault,
// no file type, differs true, whatever the classic and per-user class records say. The empty
// extension, one without its leading "." and one holding "\" or a NUL have no records: source
// None, everything empty.
// Opens keys for reading only; never raises.
EffectiveAssociation ResolveAssociation(std::wstring_view extension);

// False when the user has neither a FileExts record nor a per-user class record of extension, so
// that Explorer follows the classic records and ResolveAssociation would say so (differs false).
// Two key opens: callers that only want to know about overrides ask this first.
bool HasUserRecords(std::wstring_view extension);

// False when Explorer surely follows the classic records of extension: no per-user records
// (HasUserRecords) and an extension whose association Windows does not enforce here.
bool ExplorerMayDiffer(std::wstring_view extension);

// True when Windows protects the user's choice of extension: its UserChoice or UserChoiceLatest
// key exists and refuses this program the right to remove it. A refusal to set its values alone
// does not count: Windows puts one on every choice it writes. Changes nothing; never raises.
bool IsChoiceProtected(std::wstring_view extension);

// The program a command line starts: the text between its opening quotation mark and the next
// one, or, unquoted, the text before its first blank (the whole command when it has none).
std::wstring ProgramOfCommand(std::wstring_view command);

}  // namespace assoc
