#pragma once
// The association store as the window sees it: five calls, each of which creates an
// implementation for the running Windows, performs one operation and destroys it again.

#include <string>

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

// Removes the extension key and the file type key it names. Raises Exception
// ("拡張子に間違いがあります。") for an extension it refuses.
void Unlink(const std::wstring& Extention);

// The open command of the extension's file type; empty when there is none. Never raises.
std::wstring GetCommand(const std::wstring& Extention);

// The description of the extension's file type; empty when there is none. Never raises.
std::wstring GetFileType(const std::wstring& Extention);

// The default icon of the extension's file type; empty file and 0 when none. Never raises.
TIconInfo GetIconInfo(const std::wstring& Extention);

}  // namespace TLinkExtention
