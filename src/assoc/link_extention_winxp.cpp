#include "assoc/link_extention_winxp.h"

#include "assoc/assoc_texts.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "assoc/shell_assoc.h"
#include "common/exception.h"
#include "common/text.h"

namespace {

using assoc::texts::kCannotChangeRegistry;
using assoc::texts::kWrongExtension;

// The classic records' root as plans name it.
const std::wstring kRoot = std::wstring(assoc::paths::kClassesRootPath) + L"\\";

}  // namespace

namespace assoc {

bool IsLinkableExtension(std::wstring_view extension) noexcept {
  return extension.size() >= 2 && extension[0] == L'.' && IsUnlinkableExtension(extension);
}

bool IsUnlinkableExtension(std::wstring_view extension) noexcept {
  return !extension.empty() && extension.find(L'\\') == std::wstring_view::npos;
}

TClassicRecord ReadClassicRecord(const std::wstring& extension) {
  TClassicRecord record;
  const std::wstring fileTypeKey = FileTypeKeyOf(extension);
  if (!IsUnlinkableExtension(extension) || fileTypeKey.empty()) return record;
  auto text = [&](const std::wstring& sub) {
    return ReadRegText(HKEY_CLASSES_ROOT, fileTypeKey + sub, L"").value_or(L"");
  };
  record.Command = text(L"\\Shell\\open\\command");
  record.FileType = text(L"");
  const std::wstring location = text(L"\\DefaultIcon");
  // The file ends at the first comma, as the read-back has it.
  const size_t comma = location.find(L',');
  record.Icon.IconFile = location.substr(0, comma);
  if (comma != std::wstring::npos)
    record.Icon.IconIndex = common::StrToIntDef(std::wstring_view(location).substr(comma + 1), 0);
  return record;
}

}  // namespace assoc

void TLinkExtentionWinXp::PlanLink(assoc::TPlanBuilder& builder, const std::wstring& Extention,
                                   const std::wstring& Command, const std::wstring& IconFile, int IconIndex,
                                   const std::wstring& FileType, const std::wstring& TypeKey) {
  if (!assoc::IsLinkableExtension(Extention)) throw Exception(kWrongExtension);
  // The API would end such a name at the NUL and write another key.
  if (Extention.find(L'\0') != std::wstring::npos) throw Exception(kCannotChangeRegistry);

  const std::wstring name = Extention.substr(1);
  const std::wstring typeKey = TypeKey.empty() ? name + L"File" : TypeKey;
  const std::wstring fileTypeKey = kRoot + typeKey;
  builder.SetText(kRoot + Extention, L"", typeKey);
  builder.SetText(fileTypeKey, L"", FileType.empty() ? name + L"ファイル" : FileType);
  builder.SetText(fileTypeKey + L"\\Shell\\open\\command", L"", Command);
  // Without an icon file the earlier DefaultIcon stays.
  if (!IconFile.empty())
    builder.SetText(fileTypeKey + L"\\DefaultIcon", L"", IconFile + L"," + common::IntToStr(IconIndex));
}

TLinkExtention::TUnlinkResult TLinkExtentionWinXp::PlanUnlink(assoc::TPlanBuilder& builder,
                                                              const std::wstring& Extention) {
  if (!assoc::IsUnlinkableExtension(Extention)) throw Exception(kWrongExtension);
  // A name holding a NUL names no key of its own: nothing goes.
  if (Extention.find(L'\0') != std::wstring::npos) return {};
  // Judged before the extension key goes, which the shared check skips by name anyway.
  const TLinkExtention::TUnlinkResult result = assoc::JudgeFileTypeKey(assoc::FileTypeKeyOf(Extention), Extention);
  builder.DeleteTree(kRoot + Extention);
  if (!result.FileTypeKey.empty() && result.Kept == TLinkExtention::TFileTypeKept::No)
    builder.DeleteTree(kRoot + result.FileTypeKey);
  return result;
}

