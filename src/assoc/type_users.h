#pragma once
// Everything that names a file type: what makes a file type shared, so that a change of one
// extension does not change or remove what another extension, another user's choice or an
// application's registration still uses.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace assoc {

// How a reference names a file type.
enum class TReferenceKind {
  Extension,        // an extension's default value, in the user's or the machine's classes
  OpenWith,         // an extension's OpenWithProgids list, in the classes or the user's FileExts
  Choice,           // the user's choice of an extension (FileExts\<ext>\UserChoice[Latest])
  ProtocolChoice,   // the user's choice of a protocol (UrlAssociations\<scheme>\UserChoice)
  Capabilities,     // an application's registered capabilities (RegisteredApplications)
  CurVer,           // another file type's CurVer, which forwards to it
  OtherAccount,     // another signed-in account's choice or per-user classes
};

// One reference: what kind, and who makes it (an extension ".txt", a scheme "mailto", an
// application's registered name, a file type with CurVer, or "<SID>: .txt" for another account).
struct TTypeReference {
  TReferenceKind Kind = TReferenceKind::Extension;
  std::wstring By;
  bool operator==(const TTypeReference&) const = default;
};

// The references to every file type, read in one pass over both classes trees (the user's and the
// machine's, not only the merged view, which hides a machine extension that a per-user twin
// shadows), the user's FileExts and UrlAssociations, the registered applications' capabilities,
// every CurVer, and the choices and per-user classes of the other accounts signed in. Reads only,
// never through a registry link; keys it cannot read count as naming nothing. Raises only
// std::bad_alloc.
class TTypeUsers {
 public:
  TTypeUsers();

  // The references to type, letter case aside, in the order they were found; empty for none.
  const std::vector<TTypeReference>& Of(std::wstring_view type) const;

  // The references to type other than those that the extensions and protocols in subjects
  // (letter case aside; a protocol as its scheme) make through their own records: what a change
  // of those subjects alone would leave naming type.
  std::vector<TTypeReference> Others(std::wstring_view type, const std::vector<std::wstring>& subjects) const;

 private:
  void Add(std::wstring_view type, TReferenceKind kind, std::wstring by);
  std::unordered_map<std::wstring, std::vector<TTypeReference>> references_;
};

// The file types an extension's key names now (its default value) in each classes tree (the
// user's, the machine's and the merged view), letter case folded, without repeats. Reads only.
std::vector<std::wstring> TypesNamedBy(std::wstring_view extension);

}  // namespace assoc
