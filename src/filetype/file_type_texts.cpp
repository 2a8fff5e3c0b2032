#include "filetype/file_type_texts.h"

#include "assoc/safety.h"

namespace filetype::texts {

namespace {

using assoc::TFileType;
using assoc::TOpenWithEntry;
using assoc::TOpenWithPlace;
using assoc::TTypeTarget;
using assoc::TVerb;
using assoc::TVerbSource;

std::wstring Shown(const TTypeTarget& target) { return target.Protocol ? target.Name + L":" : target.Name; }

}  // namespace

std::wstring WindowTitle(const TFileType& type) {
  std::wstring title = std::wstring(kTitle) + L" - " + Shown(type.Target);
  if (type.OwnType) title += L" (" + type.TypeKey + L")";
  return title;
}

std::wstring TargetLine(const TFileType& type) {
  if (type.Target.Protocol) return L"プロトコル「" + Shown(type.Target) + L"」 (HKEY_CLASSES_ROOT\\" + type.TypeKey + L")";
  if (!type.OwnType)
    return L"拡張子「" + type.Target.Name + L"」はファイルタイプを指していません。動作は拡張子のキーにあります。";
  return L"拡張子「" + type.Target.Name + L"」のファイルタイプ「" + type.TypeKey + L"」";
}

std::wstring VerbCell(const TVerb& verb, int column, const std::wstring& defaultVerb, const TFileType& type) {
  switch (column) {
    case 0:
      return verb.Name;
    case 1:
      return verb.Caption;
    case 2:
      return verb.Delegated && verb.Command.empty() ? L"(プログラムの部品が実行)" : verb.Command;
    case 3:
      return verb.Source == TVerbSource::Type && assoc::SameKeyName(verb.Name, defaultVerb) ? L"既定" : L"";
    case 4:
      return verb.Extended ? L"Shift のとき" : L"";
    default:
      switch (verb.Source) {
        case TVerbSource::Type:
          return type.OwnType || type.Target.Protocol ? L"ファイルタイプ" : L"拡張子";
        case TVerbSource::Extension:
          return L"システム (" + type.Target.Name + L")";
        case TVerbSource::Perceived:
          return L"システム (" + type.PerceivedType + L")";
      }
      return {};
  }
}

std::wstring OpenWithCell(const TOpenWithEntry& entry, int column) {
  switch (column) {
    case 0:
      return entry.Name;
    case 1:
      switch (entry.Place) {
        case TOpenWithPlace::Classes:
          return L"拡張子";
        case TOpenWithPlace::UserProgIds:
          return L"利用者";
        case TOpenWithPlace::UserList:
          return L"利用者 (プログラム)";
      }
      return {};
    case 2:
      return entry.Program;
    default:
      if (entry.TypeMissing) return L"ファイルタイプがありません";
      if (entry.Unchecked) return L"ネットワーク上のため確認していません";
      if (!entry.Exists) return L"プログラムが見つかりません";
      return L"あり";
  }
}

std::wstring ApplyQuestion(const TFileType& type) {
  const std::wstring what = type.Target.Protocol ? L"プロトコル「" + Shown(type.Target) + L"」"
                                                 : L"拡張子「" + type.Target.Name + L"」";
  return what + L"のファイルタイプを変更します。\nよろしいですか？";
}

}  // namespace filetype::texts
