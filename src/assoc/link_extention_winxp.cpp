#include "assoc/link_extention_winxp.h"

#include "assoc/assoc_texts.h"
#include "assoc/change_apply.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "assoc/registry_accessor.h"
#include "assoc/safety.h"
#include "assoc/shell_assoc.h"
#include "common/exception.h"
#include "common/text.h"

namespace {

using assoc::texts::kCannotChangeRegistry;
using assoc::texts::kWrongExtension;

// True for an extension whose records the reads look up; any other has no association.
bool IsReadableExtention(const std::wstring& extention) { return assoc::IsUnlinkableExtension(extention); }

// An accessor on HKEY_CLASSES_ROOT with full access, as every classic operation uses.
class ClassesAccessor : public assoc::RegistryAccessor {
 public:
  ClassesAccessor() noexcept { SetRootKey(HKEY_CLASSES_ROOT); }
};

// The classic records' root as plans name it.
const std::wstring kRoot = std::wstring(assoc::paths::kClassesRootPath) + L"\\";

// Applies a plan of the store. A failure has been undone; its message follows the store's own.
void ApplyStorePlan(const assoc::TChangePlan& plan) {
  try {
    assoc::ApplyPlan(plan);
  } catch (const assoc::EChangeFailed& e) {
    throw Exception(std::wstring(kCannotChangeRegistry) + L"\n" + e.Message());
  } catch (const Exception& e) {
    throw Exception(std::wstring(kCannotChangeRegistry) + L"\n" + e.Message());
  }
}

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
                                   const std::wstring& FileType) {
  if (!assoc::IsLinkableExtension(Extention)) throw Exception(kWrongExtension);
  // The API would end such a name at the NUL and write another key.
  if (Extention.find(L'\0') != std::wstring::npos) throw Exception(kCannotChangeRegistry);

  const std::wstring name = Extention.substr(1);
  const std::wstring fileTypeKey = kRoot + name + L"File";
  builder.SetText(kRoot + Extention, L"", name + L"File");
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

void TLinkExtentionWinXp::Link(const std::wstring& Extention, const std::wstring& Command,
                               const std::wstring& IconFile, int IconIndex, const std::wstring& FileType) {
  assoc::TChangePlan plan;
  assoc::TPlanBuilder builder(plan);
  PlanLink(builder, Extention, Command, IconFile, IconIndex, FileType);
  ApplyStorePlan(plan);
  // Without an icon file the shell is not told.
  if (!IconFile.empty()) assoc::NotifyAssocChanged();
}

TLinkExtention::TUnlinkResult TLinkExtentionWinXp::Unlink(const std::wstring& Extention) {
  assoc::TChangePlan plan;
  assoc::TPlanBuilder builder(plan);
  const TLinkExtention::TUnlinkResult result = PlanUnlink(builder, Extention);
  ApplyStorePlan(plan);
  assoc::NotifyAssocChanged();
  return result;
}

std::wstring TLinkExtentionWinXp::GetCommand(const std::wstring& Extention) {
  if (!IsReadableExtention(Extention)) return {};
  const std::wstring fileTypeKey = GetFileTypeKey(Extention);
  if (fileTypeKey.empty()) return {};

  std::wstring command;
  try {
    ClassesAccessor registry;
    if (registry.OpenKey(fileTypeKey + L"\\Shell\\open\\command", true)) command = registry.ReadString(L"");
    registry.CloseKey();
  } catch (...) {
    // A read reports no failure: the command stays empty.
  }
  return command;
}

std::wstring TLinkExtentionWinXp::GetAppFile(const std::wstring& Extention) {
  std::wstring command = GetCommand(Extention);
  if (command.empty()) return {};
  wchar_t delimiter = L' ';
  if (command[0] == L'"') {
    delimiter = L'"';
    command.erase(0, 1);
  }
  const size_t end = command.find(delimiter);
  if (end == std::wstring::npos) return {};
  return command.substr(0, end);
}

std::wstring TLinkExtentionWinXp::GetFileTypeKey(const std::wstring& Extention) {
  if (!IsReadableExtention(Extention)) return {};

  std::wstring fileTypeKey;
  try {
    ClassesAccessor registry;
    if (registry.OpenKey(Extention, true)) fileTypeKey = registry.ReadString(L"");
  } catch (...) {
    // A read reports no failure: the name stays empty.
  }
  return fileTypeKey;
}

HICON TLinkExtentionWinXp::GetSmallIcon(const std::wstring& Extention) {
  return assoc::SmallIconOfExtension(Extention);
}

std::wstring TLinkExtentionWinXp::GetFileType(const std::wstring& Extention) {
  std::wstring fileType;
  if (!IsReadableExtention(Extention)) return fileType;
  const std::wstring fileTypeKey = GetFileTypeKey(Extention);

  try {
    ClassesAccessor registry;
    if (registry.OpenKey(fileTypeKey, false)) fileType = registry.ReadString(L"");
  } catch (...) {
    // A read reports no failure: the description stays empty.
  }
  return fileType;
}

TLinkExtention::TIconInfo TLinkExtentionWinXp::GetIconInfo(const std::wstring& Extention) {
  TLinkExtention::TIconInfo info;
  if (!IsReadableExtention(Extention)) return info;
  const std::wstring fileTypeKey = GetFileTypeKey(Extention);

  try {
    ClassesAccessor registry;
    if (!registry.OpenKey(fileTypeKey + L"\\DefaultIcon", true)) return info;
    const std::wstring location = registry.ReadString(L"");
    registry.CloseKey();

    // The file ends at the first comma, so a path that holds a comma is cut there.
    const size_t comma = location.find(L',');
    if (comma == std::wstring::npos) {
      info.IconFile = location;
    } else {
      info.IconIndex = common::StrToIntDef(std::wstring_view(location).substr(comma + 1), 0);
      info.IconFile = location.substr(0, comma);
    }
  } catch (...) {
    // A read reports no failure: the record stays empty.
  }
  return info;
}
