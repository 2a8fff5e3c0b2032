#include "assoc/link_extention_winxp.h"

#include "assoc/assoc_texts.h"
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

// Sets the default value of the key at path, creating the key when missing, and closes it.
// Raises "レジストリを変更できませんでした。" when the key cannot be opened, or the accessor's
// error when the value cannot be set.
void WriteDefaultValue(assoc::RegistryAccessor& registry, const std::wstring& path, const std::wstring& text) {
  if (!registry.OpenKey(path, true)) throw Exception(kCannotChangeRegistry);
  registry.WriteString(L"", text);
  registry.CloseKey();
}

}  // namespace

namespace assoc {

bool IsLinkableExtension(std::wstring_view extension) noexcept {
  return extension.size() >= 2 && extension[0] == L'.' && IsUnlinkableExtension(extension);
}

bool IsUnlinkableExtension(std::wstring_view extension) noexcept {
  return !extension.empty() && extension.find(L'\\') == std::wstring_view::npos;
}

}  // namespace assoc

void TLinkExtentionWinXp::Link(const std::wstring& Extention, const std::wstring& Command,
                               const std::wstring& IconFile, int IconIndex, const std::wstring& FileType) {
  if (!assoc::IsLinkableExtension(Extention)) throw Exception(kWrongExtension);

  ClassesAccessor registry;
  const std::wstring name = Extention.substr(1);
  const std::wstring fileTypeKey = name + L"File";
  WriteDefaultValue(registry, Extention, fileTypeKey);
  WriteDefaultValue(registry, fileTypeKey, FileType.empty() ? name + L"ファイル" : FileType);
  WriteDefaultValue(registry, fileTypeKey + L"\\Shell\\open\\command", Command);
  // Without an icon file the earlier DefaultIcon stays, and the shell is not told.
  if (!IconFile.empty()) {
    WriteDefaultValue(registry, fileTypeKey + L"\\DefaultIcon", IconFile + L"," + common::IntToStr(IconIndex));
    assoc::NotifyAssocChanged();
  }
}

TLinkExtention::TUnlinkResult TLinkExtentionWinXp::Unlink(const std::wstring& Extention) {
  if (!assoc::IsUnlinkableExtension(Extention)) throw Exception(kWrongExtension);

  // Judged before the extension key goes, which the shared check skips by name anyway.
  const TLinkExtention::TUnlinkResult result = assoc::JudgeFileTypeKey(GetFileTypeKey(Extention), Extention);
  ClassesAccessor registry;
  registry.DeleteKey(Extention);
  registry.CloseKey();
  if (!result.FileTypeKey.empty() && result.Kept == TLinkExtention::TFileTypeKept::No) {
    registry.DeleteKey(result.FileTypeKey);
    registry.CloseKey();
  }
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
