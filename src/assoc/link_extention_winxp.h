#pragma once
// The classic association records below HKEY_CLASSES_ROOT: the extension key names a file
// type key, which holds the description, Shell\open\command and DefaultIcon.

#include <string_view>

#include "assoc/link_extention_base.h"

namespace assoc {

// True for an extension the classic Link writes: two characters or more, a leading "." and
// no "\" (which would make its key name a path into other keys).
bool IsLinkableExtension(std::wstring_view extension) noexcept;

// True for an extension the classic Unlink removes: not empty and without "\".
bool IsUnlinkableExtension(std::wstring_view extension) noexcept;

}  // namespace assoc

class TLinkExtentionWinXp : public TLinkExtentionBase {
 public:
  // Writes E = N + "File", the description (N + "ファイル" when empty), the command and, when
  // IconFile is not empty, "IconFile,IconIndex" followed by the change notice. Raises
  // "拡張子に間違いがあります。" before touching the registry for an extension that is shorter
  // than two characters, lacks the leading "." or holds "\"; raises
  // "レジストリを変更できませんでした。" when a key cannot be opened.
  void Link(const std::wstring& Extention, const std::wstring& Command, const std::wstring& IconFile, int IconIndex,
            const std::wstring& FileType) override;
  // Removes the extension key with its sub-keys, then the file type key it names with its
  // sub-keys unless assoc::JudgeFileTypeKey keeps it (a path, a name beginning with ".", a
  // system key, or one other extensions name too), then sends the change notice. Raises
  // "拡張子に間違いがあります。" for the empty extension or one holding "\".
  TLinkExtention::TUnlinkResult Unlink(const std::wstring& Extention) override;
  std::wstring GetCommand(const std::wstring& Extention) override;
  std::wstring GetAppFile(const std::wstring& Extention) override;
  // Reads the extension key's default value, creating the key when it is missing. Empty,
  // without touching the registry, for the empty extension or one holding "\".
  std::wstring GetFileTypeKey(const std::wstring& Extention) override;
  HICON GetSmallIcon(const std::wstring& Extention) override;
  std::wstring GetFileType(const std::wstring& Extention) override;
  TLinkExtention::TIconInfo GetIconInfo(const std::wstring& Extention) override;
};
