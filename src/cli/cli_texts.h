#pragma once
// The command line's own sentences, in Japanese and, for a console that cannot show Japanese, in
// English. "{0}", "{1}" stand for what Say puts in. The sentences of the operations themselves
// come from the operations, in Japanese.

#include <initializer_list>
#include <string>
#include <string_view>

#include "cli/console.h"

namespace cli::texts {

struct TText {
  const wchar_t* Japanese;
  const wchar_t* English;
};

// text in language, each "{n}" replaced by the n-th of args.
std::wstring Say(const TText& text, Language language, std::initializer_list<std::wstring_view> args = {});

inline constexpr TText kUnknownCommand = {
    L"「{0}」というコマンドはありません。「tavrelo /?」で使い方を表示します。",
    L"There is no command \"{0}\". Type \"tavrelo /?\" to see the commands."};
inline constexpr TText kUnknownOption = {
    L"「{0}」には「{1}」というオプションはありません。「tavrelo {0} /?」で使い方を表示します。",
    L"\"{0}\" has no option \"{1}\". Type \"tavrelo {0} /?\" to see its use."};
inline constexpr TText kBadOptionValue = {L"オプション「{0}」の値「{1}」は使えません。{2} のどれかを指定して下さい。",
                                          L"The option \"{0}\" cannot be \"{1}\"; use one of {2}."};
inline constexpr TText kMissingValue = {L"オプション「{0}」には値を指定して下さい（例：{0}:値）。",
                                        L"The option \"{0}\" needs a value ({0}:value)."};
inline constexpr TText kArgumentCount = {L"「{0}」の引数の数が違います。「tavrelo {0} /?」で使い方を表示します。",
                                         L"Wrong number of arguments for \"{0}\". Type \"tavrelo {0} /?\" to see its use."};
inline constexpr TText kNotAnIdentifier = {
    L"「{0}」は、拡張子（「.」で始まる名前）でもプロトコルの名前でもありません。",
    L"\"{0}\" is neither an extension (a name starting with \".\") nor a protocol's name."};
inline constexpr TText kNotFound = {L"「{0}」の関連づけはありません。", L"There is no association of \"{0}\"."};
inline constexpr TText kNoFile = {L"ファイル「{0}」がありません。", L"The file \"{0}\" does not exist."};
inline constexpr TText kBadIcon = {
    L"アイコンを「/icon:ファイル,番号」の形で指定して下さい（実行プログラムをフルパスで指定した場合は省略できます）。",
    L"Give the icon as \"/icon:FILE,INDEX\" (it may be left out when the command names its program by its full path)."};
inline constexpr TText kNeedsAdministrator = {
    L"「{0}」はレジストリを変更します。管理者として実行したコマンド プロンプトで実行して下さい。"
    L"何も変更していません。",
    L"\"{0}\" changes the registry: run it from a command prompt started as administrator. Nothing was changed."};
inline constexpr TText kCannotAsk = {
    L"確認が必要ですが、標準入力がコンソールではないため質問できません。答えが「はい」でよければ /yes を"
    L"付けて実行して下さい。何も変更していません。",
    L"A question needs an answer, but standard input is not a console. Add /yes to answer yes. Nothing was changed."};
inline constexpr TText kDeclined = {L"何も変更していません。", L"Nothing was changed."};
inline constexpr TText kDryRun = {L"/dry-run のため、何も変更していません。", L"/dry-run: nothing was changed."};
inline constexpr TText kExported = {L"{0} 件の関連づけを「{1}」に保存しました。",
                                    L"{0} associations were written to \"{1}\"."};
inline constexpr TText kNoHistory = {L"変更の履歴はありません。", L"There is no change in the history."};
inline constexpr TText kHistoryApplied = {L"適用済み", L"applied"};
inline constexpr TText kHistoryUndone = {L"取り消し済み", L"undone"};
inline constexpr TText kCannotSave = {L"ファイル「{0}」に保存できません。{1}", L"Cannot write \"{0}\". {1}"};

// The help of the whole command line (tavrelo /?), with the exit codes.
inline constexpr TText kUsage = {
    L"拡張子とプロトコルの関連づけを表示・変更します。\r\n"
    L"\r\n"
    L"tavrelo コマンド [引数] [オプション]\r\n"
    L"\r\n"
    L"  list      関連づけの一覧を表示します。\r\n"
    L"  show      一つの関連づけを詳しく表示します。\r\n"
    L"  export    関連づけを登録ファイル (.reg) に保存します。\r\n"
    L"  import    登録ファイルを読み込みます。\r\n"
    L"  register  拡張子の関連づけを登録します。\r\n"
    L"  delete    拡張子の関連づけを削除します。\r\n"
    L"  undo      最後の変更を元に戻します。\r\n"
    L"  redo      元に戻した変更をやり直します。\r\n"
    L"  history   変更の履歴を表示します。\r\n"
    L"  defaults  既定のアプリの構成ファイルを保存・確認します。\r\n"
    L"\r\n"
    L"「tavrelo コマンド /?」で、コマンドごとの使い方を表示します。\r\n"
    L"結果は標準出力に、メッセージは標準エラーに書きます。変更するコマンドは管理者として実行して下さい。\r\n"
    L"\r\n"
    L"終了コード:\r\n"
    L"  0  完了（または、変更することがない）\r\n"
    L"  1  コマンドラインの誤り（質問に答えるには /yes が必要な場合も）\r\n"
    L"  2  安全のため拒否した（ファイルの確認で問題が見つかった場合も）\r\n"
    L"  3  失敗し、変更を元に戻した\r\n"
    L"  4  管理者の権限が必要\r\n"
    L"  5  Windows が保護しているため変更できない\r\n"
    L"  6  関連づけ、ファイル、または履歴が見つからない\r\n"
    L"  7  質問に「いいえ」と答えたため、何も変更していない\r\n",
    L"Shows and changes the associations of file extensions and protocols.\r\n"
    L"\r\n"
    L"tavrelo COMMAND [ARGUMENTS] [OPTIONS]\r\n"
    L"\r\n"
    L"  list      lists the associations\r\n"
    L"  show      shows one association in full\r\n"
    L"  export    writes associations to a registry file (.reg)\r\n"
    L"  import    imports a registry file\r\n"
    L"  register  registers an extension's association\r\n"
    L"  delete    deletes an extension's association\r\n"
    L"  undo      undoes the last change\r\n"
    L"  redo      applies an undone change again\r\n"
    L"  history   lists the changes\r\n"
    L"  defaults  writes or checks a default associations file\r\n"
    L"\r\n"
    L"\"tavrelo COMMAND /?\" shows the use of one command.\r\n"
    L"Results go to standard output, messages to standard error. Run the commands that change the registry as "
    L"administrator.\r\n"
    L"\r\n"
    L"Exit codes:\r\n"
    L"  0  done (or nothing to change)\r\n"
    L"  1  wrong command line (or a question needs /yes)\r\n"
    L"  2  refused for safety (or a checked file has problems)\r\n"
    L"  3  failed, and the change was put back\r\n"
    L"  4  needs administrator rights\r\n"
    L"  5  Windows protects it\r\n"
    L"  6  no such association, file or history entry\r\n"
    L"  7  a question was answered no: nothing was changed\r\n"};

}  // namespace cli::texts
