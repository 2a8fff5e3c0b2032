#pragma once
// The association store as the window sees it: five calls, each of which creates an
// implementation for the running Windows, performs one operation and destroys it again.

#include <string>
#include <vector>

namespace TLinkExtention {

// Where the icon of a file type lives. Empty IconFile and IconIndex 0 when none is recorded.
struct TIconInfo {
  std::wstring IconFile;
  int IconIndex = 0;
};

// Registers the association of Extention (with its leading "."). Raises Exception with the
// store's message ("拡張子に間違いがあります。", "レジストリを変更できませんでした。") or the
// accessor's ERegistryException. Records already written stay when it raises.
void Link(const std::wstring& Extention, const std::wstring& Command, const std::wstring& IconFile, int IconIndex,
          const std::wstring& FileType);

// Why a delete kept the file type key that the extension named.
enum class TFileTypeKept {
  No,         // removed, or there was none to remove
  KeyPath,    // the name holds "\" and would reach other keys
  Extention,  // the name begins with ".", so it is an extension key itself
  SystemKey,  // one of the keys the system keeps in HKEY_CLASSES_ROOT
  Shared,     // other extension keys name it too
  Protocol,   // a protocol's key (it holds a "URL Protocol" value)
  ComClass,   // a COM class's ProgID (it has a CLSID sub-key)
  Chosen,     // the user's choice of another extension names it
};

// What a delete did with the file type key.
struct TUnlinkResult {
  std::wstring FileTypeKey;              // the name the extension key held; empty when none
  TFileTypeKept Kept = TFileTypeKept::No;
  std::vector<std::wstring> SharedWith;  // for Shared: the other extensions, in the registry's order
};

// Removes the extension key and, unless a reason in TFileTypeKept keeps it, the file type key
// it names, and tells what became of the latter. Raises Exception ("拡張子に間違いがあります。")
// for an extension it refuses.
TUnlinkResult Unlink(const std::wstring& Extention);

// The open command of the extension's file type; empty when there is none. Never raises.
std::wstring GetCommand(const std::wstring& Extention);

// The description of the extension's file type; empty when there is none. Never raises.
std::wstring GetFileType(const std::wstring& Extention);

// The default icon of the extension's file type; empty file and 0 when none. Never raises.
TIconInfo GetIconInfo(const std::wstring& Extention);

}  // namespace TLinkExtention
