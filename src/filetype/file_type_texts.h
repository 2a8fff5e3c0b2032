#pragma once
// The sentences and captions of the file type window and its verb editor, kept apart from the
// windows so that tests read them without one. Those of the reader and planner of a type are in
// assoc/file_type_texts.h.

#include <string>
#include <string_view>

#include "assoc/file_type.h"

namespace filetype::texts {

inline constexpr wchar_t kTitle[] = L"ファイルタイプの詳細";
inline constexpr wchar_t kVerbTitleAdd[] = L"動作の追加";
inline constexpr wchar_t kVerbTitleEdit[] = L"動作の編集";

inline constexpr wchar_t kCommandMissing[] = L"実行プログラムを入力して下さい。";
inline constexpr wchar_t kVerbTooLong[] = L"表示名とコマンドは 32,767 文字までにして下さい。";
inline constexpr wchar_t kSelectVerb[] = L"動作を選んで下さい。";
inline constexpr wchar_t kSelectOpenWith[] = L"削除する「開く」の候補を選んで下さい。";
inline constexpr wchar_t kDelegatedVerb[] =
    L"この動作はコマンドではなくプログラムの部品が実行するため、編集できません。削除はできます。";
inline constexpr wchar_t kSystemVerb[] =
    L"この動作は Windows が拡張子や種類ごとに追加するもので、ここでは変更できません。";
inline constexpr wchar_t kVerbTooLongToEdit[] =
    L"この動作の表示名またはコマンドは長すぎるため、編集できません。削除はできます。";
inline constexpr wchar_t kTooLongToShow[] = L"(長すぎるため表示しません)";
inline constexpr wchar_t kNothingToApply[] = L"変更はありません。";
inline constexpr wchar_t kApplied[] = L"ファイルタイプの変更を適用しました。";
inline constexpr wchar_t kCloseQuestion[] = L"適用していない変更があります。\n適用してから閉じますか？";

// Column captions of the verbs and of the Open with entries.
inline constexpr const wchar_t* kVerbColumns[] = {L"動作", L"表示名", L"コマンド", L"既定", L"Shift", L"場所"};
inline constexpr const wchar_t* kOpenWithColumns[] = {L"候補", L"記録", L"起動するプログラム", L"状態"};
// The choices of the extension's display, in TExtensionDisplay's order.
inline constexpr const wchar_t* kDisplayChoices[] = {L"エクスプローラーの設定に従う", L"常に表示", L"表示しない"};

// The window's title: 「ファイルタイプの詳細 - .txt (txtfile)」, a protocol as 「mailto:」.
std::wstring WindowTitle(const assoc::TFileType& type);
// The line above the verbs: what the window shows and where it is kept.
std::wstring TargetLine(const assoc::TFileType& type);
// A verb's cells, in kVerbColumns' order; defaultVerb is assoc::EffectiveDefaultVerb's answer.
std::wstring VerbCell(const assoc::TVerb& verb, int column, const std::wstring& defaultVerb,
                      const assoc::TFileType& type);
// An Open with entry's cells, in kOpenWithColumns' order.
std::wstring OpenWithCell(const assoc::TOpenWithEntry& entry, int column);
// The question of the preview before the changes are applied.
std::wstring ApplyQuestion(const assoc::TFileType& type);

}  // namespace filetype::texts
