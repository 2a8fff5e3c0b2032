#include "assoc/assoc_texts.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "assoc/backup_store.h"
#include "assoc/change_history.h"
#include "assoc/change_plan.h"
#include "assoc/type_users.h"

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
    {TFileTypeKept::Protocol, false, L"ファイルタイプ「{T}」はプロトコルのキーのため、残しました。"},
    {TFileTypeKept::ComClass, false, L"ファイルタイプ「{T}」は COM のクラスが使うキーのため、残しました。"},
    {TFileTypeKept::Chosen, false, L"ファイルタイプ「{T}」は拡張子「{E}」の利用者の選択が指しているため、残しました。"},
    {TFileTypeKept::UsedElsewhere, false, L"ファイルタイプ「{T}」は{E}が指しているため、残しました。"},
};

constexpr wchar_t kProgramWarning[] =
    L"拡張子「{E}」はプログラムの起動に使われています。関連づけを変更すると、このソフトウェアも含めて、"
    L"どのプログラムも起動できなくなることがあります。\n本当に登録しますか？";
constexpr wchar_t kUndoQuestion[] = L"{T}に行った{S}の{O}を元に戻します。\nよろしいですか？";
constexpr wchar_t kRedoQuestion[] = L"{T}に行った{S}の{O}をやり直します。\nよろしいですか？";
constexpr wchar_t kChoiceLost[] =
    L"\nこの変更で削除した利用者の選択は、Windows でしか設定し直せません。元に戻したあと、Windows で選び直して下さい。";
// What else names a file type, by the kind of reference.
struct UsedByText {
  TReferenceKind kind;
  const wchar_t* text;
};
constexpr UsedByText kUsedByTexts[] = {
    {TReferenceKind::Extension, L"拡張子「{B}」も使っているファイルタイプです。"},
    {TReferenceKind::OpenWith, L"拡張子「{B}」の「プログラムから開く」の候補にあるファイルタイプです。"},
    {TReferenceKind::Choice, L"拡張子「{B}」の利用者の選択が指しているファイルタイプです。"},
    {TReferenceKind::ProtocolChoice, L"プロトコル「{B}:」の利用者の選択が指しているファイルタイプです。"},
    {TReferenceKind::Capabilities, L"アプリケーション「{B}」の登録が指しているファイルタイプです。"},
    {TReferenceKind::CurVer, L"ファイルタイプ「{B}」の CurVer が指しているファイルタイプです。"},
    {TReferenceKind::OtherAccount, L"ほかのアカウントの関連づけ（{B}）が使っているファイルタイプです。"},
};
// Who makes a reference, as a sentence names it.
constexpr UsedByText kReferrerTexts[] = {
    {TReferenceKind::Extension, L"拡張子「{B}」"},
    {TReferenceKind::OpenWith, L"拡張子「{B}」の「プログラムから開く」の候補"},
    {TReferenceKind::Choice, L"拡張子「{B}」の利用者の選択"},
    {TReferenceKind::ProtocolChoice, L"プロトコル「{B}:」の利用者の選択"},
    {TReferenceKind::Capabilities, L"アプリケーション「{B}」の登録"},
    {TReferenceKind::CurVer, L"ファイルタイプ「{B}」の CurVer"},
    {TReferenceKind::OtherAccount, L"ほかのアカウントの関連づけ（{B}）"},
};
constexpr wchar_t kKeyRefused[] = L"キー「{K}」：{R}";
constexpr wchar_t kChangeRefused[] = L"キー「{K}」は変更できません。{R}\n何も変更していません。";
constexpr wchar_t kKeyChanged[] = L"確認のあとで「{K}」が変わったため、変更を行いませんでした。";
constexpr wchar_t kStepFailed[] = L"キー「{K}」の{S}に失敗しました。{R}";
constexpr wchar_t kStepLeft[] = L"キー「{K}」の{S}（{R}）";
constexpr wchar_t kRolledBack[] = L"\n変更はすべて元に戻しました。";
constexpr wchar_t kLeft[] = L"\n次の変更は元に戻せませんでした：";
constexpr wchar_t kFolderIsLink[] = L"フォルダー「{P}」がほかの場所へのリンクになっています。";
constexpr wchar_t kCannotSecureFolder[] = L"フォルダー「{P}」のアクセス許可を設定できませんでした。";
constexpr wchar_t kFileTooLarge[] = L"ファイル「{F}」は {N} MB を超えているため、読み込みません。\n何も変更していません。";
constexpr wchar_t kHistoryNotTrusted[] =
    L"変更の履歴「{P}」は管理者以外が書き込んだため、使いません。";
constexpr wchar_t kHistoryUnreadable[] = L"変更の履歴「{P}」を読み取れないため、使いません。";
constexpr wchar_t kBackupMissing[] = L"バックアップ「{F}」が見つかりません。\n何も変更していません。";
constexpr wchar_t kBackupNotTrusted[] =
    L"バックアップ「{F}」は管理者以外が書き込んだため、使いません。\n何も変更していません。";
constexpr wchar_t kHistoryNotWritten[] = L"変更の履歴に記録できませんでした。変更は行いません。\n{R}";
constexpr wchar_t kPreviewSummary[] = L"追加 {A} 件、変更 {C} 件、削除 {D} 件";
constexpr wchar_t kNoticeShared[] = L"注意：ファイルタイプ「{T}」を変更します。{R}";
constexpr wchar_t kNoticeChoice[] = L"注意：「{O}」の利用者の選択を削除します。Windows でしか設定し直せません。";
constexpr wchar_t kNoticeProgram[] = L"注意：プログラムの起動に使われる拡張子「{E}」を変更します。";
constexpr wchar_t kAboutExtensions[] = L"対象の拡張子：{L}";
constexpr wchar_t kAboutProtocols[] = L"対象のプロトコル：{L}";
constexpr wchar_t kAboutFileType[] = L"対象のファイルタイプ：{T}（使っている拡張子：{L}）";
constexpr wchar_t kAboutFileTypeUnused[] = L"対象のファイルタイプ：{T}（使っている拡張子はありません）";
constexpr wchar_t kAboutApplications[] = L"対象のアプリケーションの登録：{L}";
constexpr wchar_t kCutMark[] = L"…（全 {N} 文字）";
constexpr wchar_t kBlanks[] = L"‹空白 {N}›";

std::wstring Joined(const std::vector<std::wstring>& items, std::wstring_view suffix = {}) {
  std::wstring out;
  for (const std::wstring& item : items) out += (out.empty() ? L"" : L"、") + item + std::wstring(suffix);
  return out;
}

struct StepName {
  TStepKind kind;
  const wchar_t* text;
};
constexpr StepName kStepNames[] = {
    {TStepKind::CreateKey, L"作成"},
    {TStepKind::SetValue, L"値{V}の設定"},
    {TStepKind::DeleteValue, L"値{V}の削除"},
    {TStepKind::DeleteKey, L"削除"},
};
constexpr wchar_t kUnreadableEncoding[] =
    L"{E} のファイルは読めません。BOM 付きの UTF-16 か ANSI で保存して下さい。";
constexpr wchar_t kKeyTooDeep[] = L"キーの階層が {N} を超えています。";
constexpr wchar_t kLineFault[] = L"{N}行目：{F}";
constexpr wchar_t kBackupFailed[] = L"バックアップを保存できませんでした。変更は行いません。\n{R}";
constexpr wchar_t kCannotCreateFolder[] = L"フォルダー「{P}」を作成できませんでした。";
constexpr wchar_t kCannotWriteFile[] = L"ファイル「{P}」に書き込めませんでした。";
constexpr wchar_t kCannotReadKey[] = L"キー「{K}」を読み取れませんでした。";
constexpr wchar_t kCannotReadFile[] = L"ファイル「{F}」を読み込めませんでした。\n何も変更していません。";
constexpr wchar_t kCannotRestore[] = L"ファイル「{F}」から復元できません。\n{R}\n何も変更していません。";
constexpr wchar_t kCannotImport[] = L"ファイル「{F}」は読み込めません。\n{R}\n何も変更していません。";

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

namespace {

std::wstring Stamp(const SYSTEMTIME& t) {
  wchar_t time[32];
  std::swprintf(time, std::size(time), L"%04u/%02u/%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds);
  return time;
}

std::wstring SubjectOf(const THistoryEntry& change) {
  const bool file = change.Operation == TChangeOperation::Restore || change.Operation == TChangeOperation::Import;
  if (file) return L"「" + change.Subject + L"」";
  // A protocol's change names its scheme.
  if (!change.Subject.empty() && change.Subject[0] != L'.') return L"プロトコル「" + change.Subject + L":」";
  return L"拡張子「" + change.Subject + L"」";
}

std::wstring Question(const wchar_t* text, const THistoryEntry& change) {
  return Fill(text, {{L"{T}", Stamp(change.Time)},
                     {L"{S}", SubjectOf(change)},
                     {L"{O}", ChangeOperationName(change.Operation)}});
}

std::wstring StepText(const wchar_t* text, const TChangeStep& step, std::wstring_view reason) {
  std::wstring name;
  for (const StepName& row : kStepNames)
    if (row.kind == step.Kind) name = Fill(row.text, {{L"{V}", step.Value.empty() ? L"（既定）" : L"「" + step.Value + L"」"}});
  return Fill(text, {{L"{K}", step.Key}, {L"{S}", name}, {L"{R}", reason}});
}

}  // namespace

std::wstring ChangeName(const THistoryEntry& change) {
  return SubjectOf(change) + L"の" + std::wstring(ChangeOperationName(change.Operation));
}

std::wstring ChangeStateText(TChangeState state, std::wstring_view change, size_t done, size_t total,
                             std::wstring_view undoFile) {
  const std::wstring name(change);
  switch (state) {
    case TChangeState::None:
      return L"このソフトウェアは、まだレジストリを変更していません。";
    case TChangeState::Applying:
      return name + L"を適用している途中でした（全 " + std::to_wstring(total) + L" 手順のうち " +
             std::to_wstring(done) + L" 手順以上）。変更の前の状態はバックアップ「" + std::wstring(undoFile) +
             L"」に保存してあります。「バックアップから復元」でこのファイルを選んで、変更の前に戻して下さい。";
    case TChangeState::Applied:
      return L"最後の変更（" + name + L"）はすべて適用されています。レジストリが途中の状態になっていることはありません。";
    case TChangeState::RolledBack:
      return L"最後の変更（" + name + L"）は失敗し、すべて元に戻してあります。";
    case TChangeState::Left:
      return L"最後の変更（" + name + L"）は失敗し、一部を元に戻せませんでした。バックアップ「" +
             std::wstring(undoFile) + L"」から復元して下さい。";
  }
  return {};
}

std::wstring UndoQuestion(const THistoryEntry& change) {
  std::wstring question = Question(kUndoQuestion, change);
  if (change.ChoiceLost) question.insert(question.find(L"\nよろしいですか？"), kChoiceLost);
  return question;
}

std::wstring RedoQuestion(const THistoryEntry& change) { return Question(kRedoQuestion, change); }

std::wstring Referrer(const TTypeReference& reference) {
  for (const UsedByText& row : kReferrerTexts)
    if (row.kind == reference.Kind) return Fill(row.text, {{L"{B}", reference.By}});
  return {};
}

std::wstring PolicyUsedBy(const TTypeReference& reference) {
  for (const UsedByText& row : kUsedByTexts)
    if (row.kind == reference.Kind) return Fill(row.text, {{L"{B}", reference.By}});
  return {};
}

std::wstring PolicyShared(std::wstring_view extension) {
  return PolicyUsedBy({TReferenceKind::Extension, std::wstring(extension)});
}

std::wstring PolicyChosen(std::wstring_view extension) {
  return PolicyUsedBy({TReferenceKind::Choice, std::wstring(extension)});
}

std::wstring KeyRefused(std::wstring_view key, std::wstring_view reason) {
  return Fill(kKeyRefused, {{L"{K}", key}, {L"{R}", reason}});
}

std::wstring ChangeRefused(std::wstring_view key, std::wstring_view reason) {
  return Fill(kChangeRefused, {{L"{K}", key}, {L"{R}", reason}});
}

std::wstring KeyChangedSincePlanned(std::wstring_view key) { return Fill(kKeyChanged, {{L"{K}", key}}); }

std::wstring StepFailed(const TChangeStep& step, std::wstring_view reason) {
  return StepText(kStepFailed, step, reason.empty() ? L"" : L"\n" + std::wstring(reason));
}

std::wstring StepLeft(const TChangeStep& step, std::wstring_view reason) { return StepText(kStepLeft, step, reason); }

std::wstring ChangeFailed(std::wstring_view failure, const std::vector<std::wstring>& left) {
  std::wstring message(failure);
  if (left.empty()) return message + kRolledBack;
  message += kLeft;
  for (const std::wstring& line : left) message += L"\n・" + line;
  return message;
}

std::wstring FolderIsLink(std::wstring_view folder) { return Fill(kFolderIsLink, {{L"{P}", folder}}); }

std::wstring CannotSecureFolder(std::wstring_view folder) { return Fill(kCannotSecureFolder, {{L"{P}", folder}}); }

std::wstring FileTooLarge(std::wstring_view fileName, unsigned long long limit) {
  return Fill(kFileTooLarge, {{L"{F}", fileName}, {L"{N}", std::to_wstring(limit >> 20)}});
}

std::wstring HistoryNotTrusted(std::wstring_view path) { return Fill(kHistoryNotTrusted, {{L"{P}", path}}); }

std::wstring HistoryUnreadable(std::wstring_view path) { return Fill(kHistoryUnreadable, {{L"{P}", path}}); }

std::wstring BackupMissing(std::wstring_view fileName) { return Fill(kBackupMissing, {{L"{F}", fileName}}); }

std::wstring BackupNotTrusted(std::wstring_view fileName) { return Fill(kBackupNotTrusted, {{L"{F}", fileName}}); }

std::wstring HistoryNotWritten(std::wstring_view reason) { return Fill(kHistoryNotWritten, {{L"{R}", reason}}); }

std::wstring PreviewSummary(size_t added, size_t changed, size_t removed) {
  return Fill(kPreviewSummary,
              {{L"{A}", std::to_wstring(added)}, {L"{C}", std::to_wstring(changed)}, {L"{D}", std::to_wstring(removed)}});
}

std::wstring Applying(size_t done, size_t total) {
  auto grouped = [](size_t n) {
    std::wstring digits = std::to_wstring(n);
    for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, L",");
    return digits;
  };
  return L"変更を適用しています… " + grouped(done) + L" / " + grouped(total);
}

std::wstring NoticeSharedType(std::wstring_view fileType, const TTypeReference& reference) {
  return Fill(kNoticeShared, {{L"{T}", fileType}, {L"{R}", PolicyUsedBy(reference)}});
}

std::wstring NoticeChoiceRemoved(std::wstring_view owner) { return Fill(kNoticeChoice, {{L"{O}", owner}}); }

std::wstring NoticeProgramExtension(std::wstring_view extension) {
  return Fill(kNoticeProgram, {{L"{E}", extension}});
}

std::wstring AboutExtensions(const std::vector<std::wstring>& extensions) {
  return Fill(kAboutExtensions, {{L"{L}", Joined(extensions)}});
}

std::wstring AboutProtocols(const std::vector<std::wstring>& schemes) {
  return Fill(kAboutProtocols, {{L"{L}", Joined(schemes, L":")}});
}

std::wstring AboutFileType(std::wstring_view fileType, const std::vector<std::wstring>& extensions) {
  if (extensions.empty()) return Fill(kAboutFileTypeUnused, {{L"{T}", fileType}});
  return Fill(kAboutFileType, {{L"{T}", fileType}, {L"{L}", Joined(extensions)}});
}

std::wstring AboutApplications(const std::vector<std::wstring>& names) {
  return Fill(kAboutApplications, {{L"{L}", Joined(names)}});
}

std::wstring CutMark(size_t length) { return Fill(kCutMark, {{L"{N}", std::to_wstring(length)}}); }

std::wstring Blanks(size_t count) { return Fill(kBlanks, {{L"{N}", std::to_wstring(count)}}); }

std::wstring UnreadableEncoding(std::wstring_view encoding) {
  return Fill(kUnreadableEncoding, {{L"{E}", encoding}});
}

std::wstring KeyTooDeep(size_t levels) { return Fill(kKeyTooDeep, {{L"{N}", std::to_wstring(levels)}}); }

std::wstring LineFault(int line, std::wstring_view fault) {
  return Fill(kLineFault, {{L"{N}", std::to_wstring(line)}, {L"{F}", fault}});
}

std::wstring BackupFailed(std::wstring_view reason) { return Fill(kBackupFailed, {{L"{R}", reason}}); }

std::wstring CannotCreateFolder(std::wstring_view folder) { return Fill(kCannotCreateFolder, {{L"{P}", folder}}); }

std::wstring CannotWriteFile(std::wstring_view path) { return Fill(kCannotWriteFile, {{L"{P}", path}}); }

std::wstring CannotReadKey(std::wstring_view key) { return Fill(kCannotReadKey, {{L"{K}", key}}); }

std::wstring CannotReadFile(std::wstring_view fileName) { return Fill(kCannotReadFile, {{L"{F}", fileName}}); }

std::wstring CannotRestore(std::wstring_view fileName, std::wstring_view fault) {
  return Fill(kCannotRestore, {{L"{F}", fileName}, {L"{R}", fault}});
}

std::wstring CannotImport(std::wstring_view fileName, std::wstring_view fault) {
  return Fill(kCannotImport, {{L"{F}", fileName}, {L"{R}", fault}});
}


}  // namespace assoc::texts
