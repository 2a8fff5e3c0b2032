#pragma once
// The classic association records below HKEY_CLASSES_ROOT: the extension key names a file
// type key, which holds the description, Shell\open\command and DefaultIcon.

#include "assoc/link_extention_base.h"

class TLinkExtentionWinXp : public TLinkExtentionBase {
 public:
  // Writes E = N + "File", the description (N + "ファイル" when empty), the command and, when
  // IconFile is not empty, "IconFile,IconIndex" followed by the change notice. Raises
  // "拡張子に間違いがあります。" before touching the registry for an extension that is shorter
  // than two characters, lacks the leading "." or holds "\"; raises
  // "レジストリを変更できませんでした。" when a key cannot be opened.
  void Link(const std::wstring& Extention, const std::wstring& Command, const std::wstring& IconFile, int IconIndex,
            const std::wstring& FileType) override;
  // Removes the extension key and the file type key it names, each with its sub-keys, then
  // sends the change notice. Raises "拡張子に間違いがあります。" for the empty extension or one
  // holding "\". A file type name that is a path (holds "\") is not removed.
  void Unlink(const std::wstring& Extention) override;
  std::wstring GetCommand(const std::wstring& Extention) override;
  std::wstring GetAppFile(const std::wstring& Extention) override;
  // Reads the extension key's default value, creating the key when it is missing. Empty,
  // without touching the registry, for the empty extension or one holding "\".
  std::wstring GetFileTypeKey(const std::wstring& Extention) override;
  HICON GetSmallIcon(const std::wstring& Extention) override;
  std::wstring GetFileType(const std::wstring& Extention) override;
  TLinkExtention::TIconInfo GetIconInfo(const std::wstring& Extention) override;
};
