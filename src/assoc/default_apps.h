#pragma once
// The file of default associations that Windows 10 and 11 apply at sign-in (written by
// "Dism /Online /Export-DefaultAppAssociations", taken by image import, by the group policy "Set a
// default associations configuration file" and by the MDM policy ApplicationDefaults):
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <DefaultAssociations>
//     <Association Identifier=".htm" ProgId="htmlfile" ApplicationName="Viewer" />
//   </DefaultAssociations>
//
// Identifier is an extension with its "." or a protocol's scheme without its ":". Windows 11 22H2
// and later also read Version on DefaultAssociations and Suggested ("true" or "false") on
// Association: a Suggested association is applied once per Version, any other at every sign-in.
//
// This module makes the file from what this machine's user opens now, and checks a file against
// this machine. It reads the registry and files for reading only: it never writes a choice, a
// class record or anything else, and never opens a program file that is not on a local drive.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/exception.h"

namespace assoc::defaults {

// One Association element.
struct DefaultApp {
  std::wstring identifier;       // ".htm" or "http"
  std::wstring progId;           // the file type (or protocol key) that opens it
  std::wstring applicationName;  // the program's name, for people: Windows does not use it
  bool operator==(const DefaultApp&) const = default;
};

// Which associations an export takes.
enum class ExportScope {
  All,      // every identifier whose program is known
  Changed,  // only those whose ProgId differs from the machine's classic record: the small file
            // of a policy, beside the full one an image takes
};

// A failure of the environment rather than of a file (the system's XML library is missing or
// fails); carries the message in English too, for a console that cannot show Japanese.
class DefaultAppsError : public Exception {
 public:
  DefaultAppsError(std::wstring japanese, std::wstring english)
      : Exception(std::move(japanese)), english_(std::move(english)) {}
  const std::wstring& English() const noexcept { return english_; }

 private:
  std::wstring english_;
};

// What this machine's user opens identifier with now, as the file would name it: for an
// extension the file type Explorer takes (the user's choice, else the per-user class record, else
// the machine's), for a protocol the user's choice, else the protocol's own key. Nothing when no
// program is known: no record, Windows' own default app of an enforced type, a file type that
// does not exist or starts nothing, a program on a local drive that is not there, or a name that
// the file cannot hold. Every key below the user's and the machine's classes and the user's
// records is opened one name at a time and never through a registry link (a record reached
// through one counts as missing). Reads only; never raises but for memory.
std::optional<DefaultApp> CurrentDefaultApp(std::wstring_view identifier);

// The associations of this machine's user: every extension key of the user's and the machine's
// classes (what HKEY_CLASSES_ROOT merges) and every extension with a per-user record, every
// protocol (a classes key with a "URL Protocol" value) and every protocol with a per-user choice,
// as CurrentDefaultApp answers, without those it answers nothing for. Sorted by identifier,
// ordinally with letter case ignored (as the registry compares names): extensions come before
// protocols, as in DISM's export, and the order is the same on every machine and in every
// language, so two exports compare line by line. Reads only.
std::vector<DefaultApp> CollectDefaultApps(ExportScope scope);

// The bytes of the file for apps, in the order given, as DISM writes it: UTF-8 without a
// byte-order mark, the declaration, the elements indented by two spaces, each Association
// self-closing with its attributes Identifier, ProgId, ApplicationName in that order, every line
// ending with CR LF. Attribute values are escaped (&amp; &lt; &gt; &quot;; "'" stays, as the
// values are in double quotation marks). Written with the system's XML library; raises
// DefaultAppsError when it cannot be loaded or fails. The caller writes the bytes to the file
// (settings::ReplaceWholeFile).
std::string DefaultAppsXml(const std::vector<DefaultApp>& apps);

// What a check says about one thing of the file.
enum class FindingKind : uint8_t {
  // The file as a whole: the only finding of a result, as the file was not taken.
  CannotRead,              // here: the system's reason
  NotPlainFile,            // a folder, a link or a device
  TooLarge,                // here: the size in bytes
  BadEncoding,             // bytes that are neither UTF-8 nor UTF-16 with its byte-order mark
  EncodingMismatch,        // asked: the encoding the declaration names; here: the file's
  Malformed,               // the XML reader's refusal: code, line, column
  NotDefaultAssociations,  // asked: the root element's name
  // The elements and attributes.
  UnknownElement,    // asked: its name
  UnknownAttribute,  // asked: its name; here: the element's
  UnexpectedText,    // asked: the text
  MissingAttribute,  // asked: the attribute's name (absent or empty)
  BadIdentifier,     // neither an extension nor a scheme
  Duplicate,         // here: the line of the first one, asked: its identifier as written there
  BadValue,          // asked: the attribute's name; here: its value
  // This machine.
  ProgIdMissing,   // asked: the ProgId; here: what the identifier opens with now
  ProgramMissing,  // asked: the ProgId; here: the program its open command names
  Protected,       // Windows guards the user's choice of this type here
  // Windows 11 22H2 and later.
  NewerWindowsOnly,      // asked: Version or Suggested (its first use in the file)
  AppliedAtEverySignIn,  // Suggested="false"
};

// How a finding counts: a problem makes the result "something wrong"; a note only informs.
enum class Severity : uint8_t { Problem, Note };

struct Finding {
  FindingKind kind = FindingKind::Malformed;
  std::wstring identifier;  // the Association's Identifier; empty for the file or another element
  std::wstring here;        // what this machine has (see FindingKind)
  std::wstring asked;       // what the file asks
  unsigned line = 0;        // where in the file (from 1); 0 where the file was not read
  unsigned column = 0;
  HRESULT code = S_OK;  // the reader's error for Malformed
};

// One Association of the file beside what this machine has for its identifier.
struct CheckedApp {
  DefaultApp asked;                // as written (an attribute that is missing is empty)
  std::optional<DefaultApp> here;  // CurrentDefaultApp of its identifier; nothing for an
                                   // identifier that is not valid or repeats an earlier one
  unsigned line = 0;
};

struct CheckResult {
  std::vector<CheckedApp> associations;  // in the file's order; empty when the file was refused
  std::vector<Finding> findings;         // in the file's order
  bool nothingWrong = false;             // no finding is a Problem
};

// The largest file a check reads, and the deepest nesting of elements its reader takes (the
// file needs two).
inline constexpr unsigned long long kLargestCheckedFile = 16ull * 1024 * 1024;
inline constexpr unsigned kMaxDepth = 8;

// Checks the file at path: opened once for reading (never through a link: a folder, a link or a
// device is NotPlainFile), its size taken from that handle before anything is read (over
// kLargestCheckedFile: TooLarge), then CheckDefaultAppsBytes. Writes nothing. Raises DefaultAppsError
// as CheckDefaultAppsBytes.
CheckResult CheckDefaultAppsFile(const std::wstring& path);

// Checks the bytes of a file. The encoding must be UTF-8 (a byte-order mark allowed) or UTF-16
// with its byte-order mark, and agree with the declaration; the XML is read with the system's
// reader, document type definitions prohibited and at most kMaxDepth elements deep. A file that
// fails there, or whose root is not DefaultAssociations, is refused with one finding. Otherwise
// every element, attribute and identifier is judged (see FindingKind) and each Association is
// compared with CurrentDefaultApp. Reads the registry only. Raises DefaultAppsError when the
// reader cannot be loaded.
CheckResult CheckDefaultAppsBytes(std::string_view bytes);

// True for an identifier the file can hold: an extension ("." then up to 254 characters a file
// name may end with: no control character and none of \ / : * ? " < > |, not ending in "." or a
// blank) or a scheme (an ASCII letter, then letters, digits, "+", "-" and ".").
bool IsValidIdentifier(std::wstring_view identifier) noexcept;

}  // namespace assoc::defaults
