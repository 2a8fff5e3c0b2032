#pragma once
// Every operation that changes associations, as a request a front-end carries out
// (common/change_request.h): what it says and asks, in the words the tool has always used, the
// plan and its preview, what it says when done and what it offers next. The windows and the
// command line show and answer these; the decisions and the sentences are made here.

#include <string>
#include <vector>

#include "assoc/change_engine.h"
#include "common/change_request.h"

namespace assoc {

// The fields of a front-end that an operation may put the focus in after refusing them.
enum TField : int { kNoField = 0, kExtensionField, kCommandField };

// The five fields of a register, as typed.
struct TRegisterFields {
  std::wstring Extension;  // with its leading "." (GetExtention)
  std::wstring Command;
  std::wstring FileType;  // the description
  std::wstring IconFile;
  std::wstring IconIndex;  // as typed: a whole number
  // The file type key the extension is to name; empty for "<extension without its dot>File", the
  // one the window always writes. The policy judges a named one before anything is asked.
  std::wstring TypeKey;
};

// 登録: refuses an extension that is only ".", an empty command, an icon that cannot be
// extracted and a named file type the policy refuses; warns before an extension that starts programs (いいえ by default); asks when the file
// type it writes into is used by other extensions too, naming them; confirms; registers. Then
// offers to remove a per-user choice or per-user class record that still overrides it, and
// Windows' chooser where Explorer only takes Windows' own choice. The register and its follow-ups
// are one change of the history, undone by one 元に戻す.
common::TChangeRequest RequestRegister(const TRegisterFields& fields);

// 削除: refuses an extension that is only "."; confirms; deletes, saying which file type it kept and
// why; then offers to remove a per-user record that still makes Explorer open the extension (one
// change of the history with the delete).
common::TChangeRequest RequestDelete(const std::wstring& extension);

// バックアップから復元: the registry file at path planned (tick now and then) and previewed; a file
// the policy refuses, or that cannot be read, is said before anything is asked; a file that
// changes nothing says so and asks nothing.
common::TChangeRequest RequestRestore(const std::wstring& path, const TTick& tick = {});

// 読み込み of the list: the same for a registry file being imported, in the import's words.
common::TChangeRequest RequestImport(const std::wstring& path, const TTick& tick = {});

// 元に戻す and やり直し: the change of the history planned against the registry as it is now and
// previewed; after an undo that removed a per-user choice, Windows' chooser is offered.
common::TChangeRequest RequestUndo(const TTick& tick = {});
common::TChangeRequest RequestRedo(const TTick& tick = {});

// A change the tool planned itself (the file type window's 適用): refused before any question
// when the policy refuses it; previewed with question; done says done.
common::TChangeRequest RequestPlannedChange(TChangePlan plan, const std::wstring& question, const std::wstring& done);

// The sentences of the requests.
namespace texts {
inline constexpr wchar_t kEnterExtension[] = L"拡張子を入力して下さい。";
inline constexpr wchar_t kEnterCommand[] = L"実行プログラムを入力して下さい。";
inline constexpr wchar_t kSelectIcon[] = L"アイコンを選択して下さい。";
inline constexpr wchar_t kLinked[] = L"関連づけを登録しました。";
inline constexpr wchar_t kNothingToChange[] = L"ファイルの内容はレジストリと同じです。変更することはありません。";
inline constexpr wchar_t kImported[] = L"登録ファイルを読み込みました。";
inline constexpr wchar_t kChooseInSettings[] =
    L"Windows の「設定」の「アプリ」→「既定のアプリ」で、拡張子を開くアプリを選んで下さい。";
// After an undo of a restore or an import that removed per-user choices.
std::wstring ChooseAgainAfterFile();
// 「拡張子「.txt」の関連づけを登録します。\nよろしいですか？」 and the delete's.
std::wstring LinkQuestion(const std::wstring& extension);
std::wstring UnlinkQuestion(const std::wstring& extension);
// Before a register that writes into a file type other extensions use too.
std::wstring SharedTypeQuestion(const std::wstring& extension, const std::wstring& fileType,
                                const std::vector<std::wstring>& others);
// A register's named file type that the extension may not name, and why.
std::wstring TypeRefused(const std::wstring& fileType, const std::wstring& reason);
// 「「file」の内容で関連づけを復元します。\nよろしいですか？」
std::wstring RestoreQuestion(const std::wstring& fileName);
// 「ファイル「file」の内容を読み込みます。…」
std::wstring ImportQuestion(const std::wstring& fileName);
}  // namespace texts

}  // namespace assoc
