#include "assoc/assoc_texts.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "assoc/backup.h"

namespace assoc::texts {

namespace {

using TLinkExtention::TFileTypeKept;

// The second line after a delete that kept the file type key {T}; {E} is the first other
// extension that names it and {N} how many more do.
struct KeptText {
  TFileTypeKept kept;
  bool more;  // for Shared: more than one other extension
  const wchar_t* text;
};
constexpr KeptText kKeptTexts[] = {
    {TFileTypeKept::KeyPath, false, L"ファイルタイプ「{T}」は「\\」を含み、他のキーを指すため、残しました。"},
    {TFileTypeKept::Extention, false, L"ファイルタイプ「{T}」は「.」で始まり、拡張子のキーを指すため、残しました。"},
    {TFileTypeKept::SystemKey, false, L"ファイルタイプ「{T}」はシステムが使うキーのため、残しました。"},
    {TFileTypeKept::Shared, false, L"ファイルタイプ「{T}」は拡張子「{E}」も使っているため、残しました。"},
    {TFileTypeKept::Shared, true, L"ファイルタイプ「{T}」は拡張子「{E}」ほか{N}個も使っているため、残しました。"},
};

constexpr wchar_t kProgramWarning[] =
    L"拡張子「{E}」はプログラムの起動に使われています。関連づけを変更すると、このソフトウェアも含めて、"
    L"どのプログラムも起動できなくなることがあります。\n本当に登録しますか？";
constexpr wchar_t kUndoQuestion[] = L"{T}に行った拡張子「{E}」の{O}を元に戻します。\nよろしいですか？";
constexpr wchar_t kUndoQuestionWithoutExtension[] = L"{T}に行った{O}を元に戻します。\nよろしいですか？";
constexpr wchar_t kLineFault[] = L"{N}行目：{F}";
constexpr wchar_t kForeignKey[] = L"キー「{K}」はこのソフトウェアが扱うキーではありません。";
constexpr wchar_t kBackupFailed[] = L"バックアップを保存できませんでした。変更は行いません。\n{R}";
constexpr wchar_t kCannotCreateFolder[] = L"フォルダー「{P}」を作成できませんでした。";
constexpr wchar_t kCannotWriteFile[] = L"ファイル「{P}」に書き込めませんでした。";
constexpr wchar_t kCannotReadKey[] = L"キー「{K}」を読み取れませんでした。";
constexpr wchar_t kCannotWriteKey[] = L"キー「{K}」に書き込めませんでした。";
constexpr wchar_t kCannotReadFile[] = L"ファイル「{F}」を読み込めませんでした。\n何も変更していません。";
constexpr wchar_t kCannotRestore[] = L"ファイル「{F}」から復元できません。\n{R}\n何も変更していません。";
constexpr wchar_t kRestoreStopped[] =
    L"{R}\n復元を途中で止めました。復元の前の状態はバックアップ「{B}」に保存してあります。";

// text with each placeholder replaced by its part, in one pass, so that a part that holds a
// placeholder's spelling (a key may be named "{E}") stays as it is.
using Parts = std::initializer_list<std::pair<std::wstring_view, std::wstring_view>>;

std::wstring Fill(std::wstring_view text, Parts parts) {
  std::wstring out;
  for (size_t i = 0; i < text.size();) {
    const auto part = std::find_if(parts.begin(), parts.end(), [&](const auto& p) {
      return text.substr(i, p.first.size()) == p.first;
    });
    if (part == parts.end()) {
      out += text[i++];
    } else {
      out += part->second;
      i += part->first.size();
    }
  }
  return out;
}

}  // namespace

std::wstring UnlinkedMessage(const TLinkExtention::TUnlinkResult& result) {
  std::wstring message = kUnlinked;
  if (result.Kept == TFileTypeKept::No) return message;
  const bool more = result.Kept == TFileTypeKept::Shared && result.SharedWith.size() > 1;
  for (const KeptText& row : kKeptTexts) {
    if (row.kept != result.Kept || row.more != more) continue;
    const std::wstring first = result.SharedWith.empty() ? L"" : result.SharedWith.front();
    const std::wstring others = result.SharedWith.empty() ? L"0" : std::to_wstring(result.SharedWith.size() - 1);
    message += L"\n" + Fill(row.text, {{L"{T}", result.FileTypeKey}, {L"{E}", first}, {L"{N}", others}});
  }
  return message;
}

std::wstring ProgramExtensionWarning(std::wstring_view extension) {
  return Fill(kProgramWarning, {{L"{E}", extension}});
}

std::wstring UndoQuestion(const TBackupName& backup) {
  wchar_t time[32];
  const SYSTEMTIME& t = backup.Time;
  std::swprintf(time, std::size(time), L"%04u/%02u/%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond);
  return Fill(backup.Extension.empty() ? kUndoQuestionWithoutExtension : kUndoQuestion,
              {{L"{T}", time}, {L"{E}", backup.Extension}, {L"{O}", BackupOperationName(backup.Operation)}});
}

std::wstring LineFault(int line, std::wstring_view fault) {
  return Fill(kLineFault, {{L"{N}", std::to_wstring(line)}, {L"{F}", fault}});
}

std::wstring ForeignKey(std::wstring_view key) { return Fill(kForeignKey, {{L"{K}", key}}); }

std::wstring BackupFailed(std::wstring_view reason) { return Fill(kBackupFailed, {{L"{R}", reason}}); }

std::wstring CannotCreateFolder(std::wstring_view folder) { return Fill(kCannotCreateFolder, {{L"{P}", folder}}); }

std::wstring CannotWriteFile(std::wstring_view path) { return Fill(kCannotWriteFile, {{L"{P}", path}}); }

std::wstring CannotReadKey(std::wstring_view key) { return Fill(kCannotReadKey, {{L"{K}", key}}); }

std::wstring CannotWriteKey(std::wstring_view key) { return Fill(kCannotWriteKey, {{L"{K}", key}}); }

std::wstring CannotReadFile(std::wstring_view fileName) { return Fill(kCannotReadFile, {{L"{F}", fileName}}); }

std::wstring CannotRestore(std::wstring_view fileName, std::wstring_view fault) {
  return Fill(kCannotRestore, {{L"{F}", fileName}, {L"{R}", fault}});
}

std::wstring RestoreStopped(std::wstring_view failure, std::wstring_view backupFileName) {
  return Fill(kRestoreStopped, {{L"{R}", failure}, {L"{B}", backupFileName}});
}

}  // namespace assoc::texts
