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
  // IconFile is not empty, "IconFile,IconIndex"; only values that differ become steps. Raises
  // "拡張子に間違いがあります。" for an extension that is shorter than two characters, lacks the
  // leading "." or holds "\"; raises "レジストリを変更できませんでした。" for one holding a NUL.
  void PlanLink(assoc::TPlanBuilder& builder, const std::wstring& Extention, const std::wstring& Command,
                const std::wstring& IconFile, int IconIndex, const std::wstring& FileType,
                const std::wstring& TypeKey) override;
  // Removes the extension key with its sub-keys, then the file type key it names with its
  // sub-keys unless assoc::JudgeFileTypeKey keeps it (a path, a name beginning with ".", a
  // system key or a program's type, a protocol or COM class, one that anything else names).
  // Raises "拡張子に間違いがあります。" for the empty extension or one holding "\"; a name holding a
  // NUL plans nothing.
  TLinkExtention::TUnlinkResult PlanUnlink(assoc::TPlanBuilder& builder, const std::wstring& Extention) override;
};
