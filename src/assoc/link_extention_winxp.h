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

// The classic record of an extension as the read-back shows it - the open command, the file
// type's description and its DefaultIcon split at the first comma - read without creating any
// key. Empty for a missing record. Never raises but for memory.
struct TClassicRecord {
  std::wstring Command;
  std::wstring FileType;
  TLinkExtention::TIconInfo Icon;
};
TClassicRecord ReadClassicRecord(const std::wstring& extension);

}  // namespace assoc

class TLinkExtentionWinXp : public TLinkExtentionBase {
 public:
  // Writes E = N + "File", the description (N + "ファイル" when empty), the command and, when
  // IconFile is not empty, "IconFile,IconIndex" followed by the change notice; only values that
  // differ are written, and a failure undoes what was written. Raises
  // "拡張子に間違いがあります。" before touching the registry for an extension that is shorter
  // than two characters, lacks the leading "." or holds "\"; raises
  // "レジストリを変更できませんでした。" (with the key, the step and the system's reason on the
  // lines after it) when a key cannot be written, or for an extension holding a NUL.
  void Link(const std::wstring& Extention, const std::wstring& Command, const std::wstring& IconFile, int IconIndex,
            const std::wstring& FileType) override;
  // Removes the extension key with its sub-keys, then the file type key it names with its
  // sub-keys unless assoc::JudgeFileTypeKey keeps it (a path, a name beginning with ".", a
  // system key, a protocol or COM class, one another extension's choice or key names), then
  // sends the change notice. Raises "拡張子に間違いがあります。" for the empty extension or one
  // holding "\", and "レジストリを変更できませんでした。" as Link when a key cannot be removed.
  TLinkExtention::TUnlinkResult Unlink(const std::wstring& Extention) override;
  void PlanLink(assoc::TPlanBuilder& builder, const std::wstring& Extention, const std::wstring& Command,
                const std::wstring& IconFile, int IconIndex, const std::wstring& FileType) override;
  TLinkExtention::TUnlinkResult PlanUnlink(assoc::TPlanBuilder& builder, const std::wstring& Extention) override;
  std::wstring GetCommand(const std::wstring& Extention) override;
  std::wstring GetAppFile(const std::wstring& Extention) override;
  // Reads the extension key's default value, creating the key when it is missing. Empty,
  // without touching the registry, for the empty extension or one holding "\".
  std::wstring GetFileTypeKey(const std::wstring& Extention) override;
  HICON GetSmallIcon(const std::wstring& Extention) override;
  std::wstring GetFileType(const std::wstring& Extention) override;
  TLinkExtention::TIconInfo GetIconInfo(const std::wstring& Extention) override;
};
