#include "assoc/user_override.h"

#include <windows.h>

#include <iterator>

#include "assoc/assoc_labels.h"
#include "assoc/safety.h"
#include "assoc/user_hive.h"

namespace assoc {

UserOverride OverrideOf(const EffectiveAssociation& a) {
  UserOverride what;
  if (!a.differs) return what;
  what.choice = !a.choice.key.empty();
  what.userClasses = !a.userClassesFileType.empty() && !SameKeyName(a.userClassesFileType, a.classicFileType);
  return what;
}

std::wstring WhatExplorerDoes(const EffectiveAssociation& a) {
  if (a.source == AssocSource::WindowsDefault) return L"Windows の既定のアプリで開きます";
  if (!a.fileTypeExists) return L"開くとき、使うプログラムを利用者に尋ねます";
  if (!a.program.empty()) return L"「" + a.program + L"」で開きます";
  return L"ファイルタイプ「" + a.fileType + L"」で開きます";
}

std::wstring ExplorerNoteText(const EffectiveAssociation& a) {
  // The source leads, so that a long program path cut at the end leaves it readable.
  if (!a.differs) return {};
  if (a.source == AssocSource::WindowsDefault)
    return std::wstring(SourceLabel(a)) + L"：エクスプローラーはこの拡張子に従来の関連づけを使わず、Windows の既定のアプリで開きます。";
  return std::wstring(SourceLabel(a)) + L"：エクスプローラーはこの拡張子を" + WhatExplorerDoes(a) + L"。";
}

std::wstring OverrideName(const UserOverride& what, const std::wstring& extension) {
  const std::wstring classes = L"利用者のクラスの記録（HKEY_CURRENT_USER\\Software\\Classes\\" + extension + L"）";
  if (what.choice && what.userClasses) return L"利用者の選択と、" + classes;
  return what.choice ? L"利用者の選択" : classes;
}

std::wstring OverrideQuestion(const std::wstring& account, const EffectiveAssociation& found,
                              const UserOverride& what, const std::wstring& extension, bool registered) {
  const std::wstring who = account.empty() ? L"この利用者" : L"利用者「" + account + L"」";
  return who + L"の設定では、エクスプローラーはこの拡張子を引き続き" + WhatExplorerDoes(found) + L"（" +
         SourceLabel(found) + L"）。\n" + OverrideName(what, extension) +
         (registered ? L"を削除して、登録した関連づけが使われるようにしますか？" : L"も削除しますか？");
}

std::wstring OverrideRemoved(const UserOverride& what, const std::wstring& extension) {
  return OverrideName(what, extension) + L"を削除しました。";
}

std::wstring OverrideProtected(const UserOverride& what, const std::wstring& extension) {
  return OverrideName(what, extension) +
         L"を削除できませんでした。Windows がこの拡張子の選択を保護しているため、"
         L"このソフトウェアからは変更できません。\nWindows の「既定のアプリ」の設定を開きますか？";
}

std::wstring OverrideFailed(const UserOverride& what, const std::wstring& extension, const std::wstring& reason) {
  return OverrideName(what, extension) + L"を削除できませんでした。\n" + reason;
}

bool NeedsWindowsChoice(const EffectiveAssociation& found, bool choiceProtected) {
  return found.source == AssocSource::WindowsDefault || choiceProtected;
}

std::wstring WindowsChoiceQuestion(const std::wstring& extension) {
  return L"拡張子「" + extension +
         L"」の関連づけを登録しましたが、エクスプローラーはこの拡張子に、Windows で選んだアプリだけを使います。"
         L"登録したプログラムで開くには、Windows でそのプログラムを選んで下さい。\n"
         L"「Windows で選ぶ」を行いますか？（このプログラムを Windows の候補に加えてから、Windows の選択画面を開きます。）";
}

std::wstring ChooseAgainQuestion(const std::wstring& extension) {
  return L"元に戻した変更では、拡張子「" + extension +
         L"」の利用者の選択を削除していました。利用者の選択は Windows でしか設定し直せません。\n"
         L"「Windows で選ぶ」で、Windows の選択画面を開きますか？";
}

std::wstring ChooseInSettings(const std::wstring& extension) {
  return L"Windows の選択画面を開けませんでした。Windows の「設定」の「アプリ」→「既定のアプリ」で、拡張子「" + extension +
         L"」を開くアプリを選んで下さい。";
}

std::wstring CurrentAccountName() { return TargetAccount().Name; }

std::wstring TargetTitle(const TTargetAccount& account) {
  if (account.Self) return {};
  return L"（対象: " + account.Name + (account.Loaded ? L"" : L"、サインインしていません") + L"）";
}

std::wstring TargetNote(const TTargetAccount& account, const std::wstring& runningAs) {
  if (account.Self) return {};
  if (!account.Loaded)
    return L"デスクトップの利用者「" + account.Name +
           L"」のレジストリが読み込まれていないため、利用者ごとの記録は表示も変更もしません。";
  return L"このソフトウェアは「" + runningAs + L"」として動いていますが、デスクトップの利用者「" + account.Name +
         L"」の関連づけを表示し、変更します。";
}

}  // namespace assoc
