#include "assoc/change_requests.h"

#include <memory>

#include "assoc/assoc_resolver.h"
#include "assoc/assoc_texts.h"
#include "assoc/change_apply.h"
#include "assoc/change_policy.h"
#include "assoc/change_preview.h"
#include "assoc/link_extention_winxp.h"
#include "assoc/reg_paths.h"
#include "assoc/safety.h"
#include "assoc/type_users.h"
#include "assoc/user_override.h"
#include "common/icons.h"
#include "common/text.h"

namespace assoc {

namespace {

using common::TBox;
using common::TBoxButtons;
using common::TBoxKind;
using common::TChangeRequest;
using common::TOutcome;
using common::TRequestRef;
using common::TResult;

TOutcome Refusal(const std::wstring& text, int focus = kNoField) {
  return TOutcome{TResult::Refused, TBox{TBoxKind::Warning, text}, focus};
}

TOutcome Done(const std::wstring& text) { return TOutcome{TResult::Done, TBox{TBoxKind::Information, text}, 0, true}; }

// A change that failed, or that the policy refused; the registry changed only when the steps
// already applied could not all be put back.
TOutcome Failure(const Exception& e) {
  if (dynamic_cast<const EPolicyRefused*>(&e)) return Refusal(e.Message());
  const auto* failed = dynamic_cast<const EChangeFailed*>(&e);
  if (failed && failed->Code() == ERROR_ACCESS_DENIED && failed->RolledBack())
    return TOutcome{TResult::Protected, TBox{TBoxKind::Warning, e.Message()}};
  return TOutcome{TResult::Failed, TBox{TBoxKind::Warning, e.Message()}, 0, failed && !failed->RolledBack()};
}

TBox Question(const std::wstring& text, TBoxKind kind = TBoxKind::Confirmation,
              TBoxButtons buttons = TBoxButtons::YesNo) {
  return TBox{kind, text, buttons};
}

std::wstring Progress(size_t done, size_t total) { return texts::Applying(done, total); }

// The preview of plan, which the part's functions read while the plan is held by the request.
common::TPreviewPart PreviewPart(const std::shared_ptr<const TChangePlan>& plan, const std::wstring& question) {
  const TPreview preview = PreviewOf(*plan);
  return common::TPreviewPart{texts::kPreviewTitle,
                              question,
                              preview.Summary,
                              preview.About,
                              plan->Steps.size(),
                              [plan](size_t i) { return StepLine(plan->Steps[i]); },
                              [plan](size_t i) { return StepDetail(plan->Steps[i]); }};
}

TRequestRef Shared(TChangeRequest request) { return std::make_shared<const TChangeRequest>(std::move(request)); }

// 「Windows で選ぶ」: question; then fileType is offered in Windows' list for extension (a change of
// its own, when fileType is not empty) and Windows' chooser opens, or what to do by hand is said.
TRequestRef RequestWindowsChoice(const std::wstring& extension, const std::wstring& question,
                                 const std::wstring& fileType, const std::shared_ptr<TChangeGroup>& group) {
  TChangeRequest request;
  request.Questions = {Question(question, TBoxKind::Information)};
  request.ProgressText = Progress;
  if (!fileType.empty()) {
    request.Apply = [extension, fileType, group](const common::TProgressSink& progress) {
      try {
        ExecuteChange(PlanAddOpenWith(extension, fileType), progress, group.get());
      } catch (const Exception& e) {
        // A refusal or a failure as any change's, but never taken for Windows' protection of a
        // choice: this change writes no choice.
        const TOutcome outcome = Failure(e);
        return outcome.Result == TResult::Protected ? TOutcome{TResult::Failed, outcome.Box} : outcome;
      }
      return TOutcome{TResult::Done, {}, 0, true};
    };
  }
  request.Shell = common::TShellPlace::WindowsChooser;
  request.Extension = extension;
  request.ShellFallback = ChooseInSettings(extension);
  return Shared(std::move(request));
}

// After a register: Windows' chooser where Explorer takes only Windows' choice for extension.
TRequestRef WindowsChoiceAfterLink(const std::wstring& extension, bool choiceProtected,
                                   const std::shared_ptr<TChangeGroup>& group) {
  if (!NeedsWindowsChoice(ResolveAssociation(extension), choiceProtected)) return nullptr;
  return RequestWindowsChoice(extension, WindowsChoiceQuestion(extension), FileTypeKeyOf(extension), group);
}

// After a register (registered) or delete of extension: when a per-user choice or per-user class
// record overrides the classic records, the question whether to remove it for this account, and
// its removal; after a register, Windows' chooser where it is still needed.
TRequestRef RequestRemoveOverride(const std::wstring& extension, bool registered,
                                  const std::shared_ptr<TChangeGroup>& group) {
  const EffectiveAssociation found = ResolveAssociation(extension);
  const UserOverride what = OverrideOf(found);
  if (!what.choice && !what.userClasses) return registered ? WindowsChoiceAfterLink(extension, false, group) : nullptr;
  TChangeRequest request;
  request.Questions = {Question(OverrideQuestion(CurrentAccountName(), found, what, extension, registered))};
  if (registered) request.Declined = WindowsChoiceAfterLink(extension, false, group);
  request.ProgressText = Progress;
  request.Apply = [extension, what, registered, group](const common::TProgressSink& progress) {
    try {
      ExecuteChange(PlanRemoveUserOverride(extension, what), progress, group.get());
    } catch (const EChangeFailed& e) {
      if (e.Code() == ERROR_ACCESS_DENIED && e.RolledBack()) {
        // Windows protects this choice: after a register its own chooser is what is left; after a
        // delete, its settings.
        TOutcome outcome{TResult::Protected};
        if (registered) {
          outcome.Next = WindowsChoiceAfterLink(extension, true, group);
        } else {
          TChangeRequest settings;
          settings.Questions = {Question(OverrideProtected(what, extension), TBoxKind::Warning)};
          settings.Shell = common::TShellPlace::DefaultAppsSettings;
          settings.ShellFallback = ChooseInSettings(extension);
          outcome.Next = Shared(std::move(settings));
        }
        return outcome;
      }
      // What could not be put back is in the registry: the front-end reads it again.
      return TOutcome{TResult::Failed, TBox{TBoxKind::Warning, OverrideFailed(what, extension, e.Message())}, 0,
                      !e.RolledBack()};
    } catch (const Exception& e) {
      return TOutcome{TResult::Failed, TBox{TBoxKind::Warning, e.Message()}};
    }
    TOutcome outcome = Done(OverrideRemoved(what, extension));
    if (registered) outcome.Next = WindowsChoiceAfterLink(extension, false, group);
    return outcome;
  };
  return Shared(std::move(request));
}

// A registry file planned for operation: refused before any question when it cannot be read or
// the policy refuses it, said to change nothing when it changes nothing, else previewed.
TChangeRequest RequestFile(const std::wstring& path, TChangeOperation operation, const std::wstring& question,
                           const std::wstring& done, const TTick& tick) {
  TChangeRequest request;
  std::shared_ptr<TChangePlan> plan;
  try {
    plan = std::make_shared<TChangePlan>(PlanRegistryFile(path, operation, tick));
  } catch (const EPolicyRefused& e) {
    request.Refused = Refusal(e.Message());
    return request;
  } catch (const Exception& e) {
    // The file could not be read: nothing was judged.
    request.Refused = TOutcome{TResult::Failed, TBox{TBoxKind::Warning, e.Message()}};
    return request;
  }
  if (plan->Steps.empty()) {
    request.Refused = TOutcome{TResult::Nothing, TBox{TBoxKind::Information, texts::kNothingToChange}};
    return request;
  }
  request.Preview = PreviewPart(plan, question);
  request.ProgressText = Progress;
  request.Apply = [plan, done](const common::TProgressSink& progress) {
    try {
      ExecuteChange(*plan, progress);
    } catch (const Exception& e) {
      return Failure(e);
    }
    return Done(done);
  };
  return request;
}

// An undo (redo false) or redo of the history.
TChangeRequest RequestHistoryMove(bool redo, const TTick& tick) {
  TChangeRequest request;
  std::wstring note;
  std::shared_ptr<THistoryMove> move;
  try {
    std::optional<THistoryMove> planned = redo ? PlanRedo(&note, tick) : PlanUndo(&note, tick);
    if (planned) move = std::make_shared<THistoryMove>(std::move(*planned));
  } catch (const Exception& e) {
    request.Refused = Refusal(e.Message());
    return request;
  }
  if (!note.empty()) request.Notes.push_back(TBox{TBoxKind::Warning, note});
  if (!move) {
    TChangeRequest nothing;
    nothing.Notes = std::move(request.Notes);
    nothing.Apply = [redo](const common::TProgressSink&) {
      return TOutcome{TResult::Nothing, TBox{TBoxKind::Information, redo ? texts::kNothingToRedo : texts::kNothingToUndo}};
    };
    return nothing;
  }
  const std::shared_ptr<const TChangePlan> plan(move, &move->Plan);
  request.Preview = PreviewPart(plan, move->Question);
  request.ProgressText = Progress;
  request.Apply = [move, redo](const common::TProgressSink& progress) {
    try {
      ApplyHistoryMove(*move, progress);
    } catch (const Exception& e) {
      return Failure(e);
    }
    TOutcome outcome = Done(redo ? texts::kRedone : texts::kUndone);
    // A choice the change had removed can come back only through Windows.
    if (!redo && move->Entry.ChoiceLost) {
      const bool ofFile =
          move->Entry.Operation == TChangeOperation::Import || move->Entry.Operation == TChangeOperation::Restore;
      if (ofFile) {
        TChangeRequest settings;
        settings.Questions = {Question(texts::ChooseAgainAfterFile(), TBoxKind::Information)};
        settings.Shell = common::TShellPlace::DefaultAppsSettings;
        settings.ShellFallback = texts::kChooseInSettings;
        outcome.Next = Shared(std::move(settings));
      } else {
        outcome.Next =
            RequestWindowsChoice(move->Entry.Subject, ChooseAgainQuestion(move->Entry.Subject), L"", nullptr);
      }
    }
    return outcome;
  };
  return request;
}

}  // namespace

namespace texts {

std::wstring LinkQuestion(const std::wstring& extension) {
  return L"拡張子「" + extension + L"」の関連づけを登録します。\nよろしいですか？";
}

std::wstring UnlinkQuestion(const std::wstring& extension) {
  return L"拡張子「" + extension + L"」の関連づけを削除します。\nよろしいですか？";
}

std::wstring SharedTypeQuestion(const std::wstring& extension, const std::wstring& fileType,
                                const std::vector<std::wstring>& others) {
  std::wstring names;
  for (const std::wstring& other : others) names += (names.empty() ? L"" : L"、") + other;
  return L"拡張子「" + extension + L"」の登録は、ファイルタイプ「" + fileType + L"」に書き込みます。このファイルタイプは" +
         names + L"も使っているため、それらの関連づけも変わります。\n続けますか？";
}

std::wstring ChooseAgainAfterFile() {
  return L"元に戻した変更では、利用者の選択を削除していました。利用者の選択は Windows でしか設定し直せません。\n"
         L"Windows の「既定のアプリ」の設定を開きますか？";
}

std::wstring TypeRefused(const std::wstring& fileType, const std::wstring& reason) {
  return L"ファイルタイプ「" + fileType + L"」は拡張子に指定できません。" + reason + L"\n何も変更していません。";
}

std::wstring RestoreQuestion(const std::wstring& fileName) {
  return L"「" + fileName + L"」の内容で関連づけを復元します。\nよろしいですか？";
}

std::wstring ImportQuestion(const std::wstring& fileName) {
  return L"「" + fileName + L"」の内容を読み込みます。\nよろしいですか？";
}

}  // namespace texts

TChangeRequest RequestRegister(const TRegisterFields& fields) {
  TChangeRequest request;
  const std::wstring& extension = fields.Extension;
  if (extension == L".") {
    request.Refused = Refusal(texts::kEnterExtension, kExtensionField);
    return request;
  }
  if (fields.Command.empty()) {
    request.Refused = Refusal(texts::kEnterCommand, kCommandField);
    return request;
  }
  int index = 0;
  if (!common::TryStrToInt(fields.IconIndex, index) || index < 0 || !common::ExtractIconFrom(fields.IconFile, index)) {
    request.Refused = Refusal(texts::kSelectIcon);
    return request;
  }
  // A named file type is judged before anything is asked; whether others use it is asked below.
  if (!fields.TypeKey.empty()) {
    try {
      TChangePlan plan = PlanLink(extension, fields.Command, fields.IconFile, index, fields.FileType, fields.TypeKey);
      plan.SharedTypesAllowed = true;
      if (const std::optional<TPolicyRefusal> refusal = CheckPlan(plan)) {
        // Refused where the extension names it: the type is what was wrong.
        const bool atExtension =
            SameKeyName(refusal->Key, std::wstring(paths::kClassesRootPath) + L"\\" + extension);
        request.Refused = Refusal(atExtension ? texts::TypeRefused(fields.TypeKey, refusal->Reason)
                                              : texts::ChangeRefused(refusal->Key, refusal->Reason));
        return request;
      }
    } catch (const Exception& e) {
      request.Refused = Refusal(e.Message());
      return request;
    }
  }
  if (StartsPrograms(extension))
    request.Questions.push_back(
        TBox{TBoxKind::Warning, texts::ProgramExtensionWarning(extension), TBoxButtons::YesNo, true});
  // The file type the register writes into, when other extensions use it too.
  bool shared = false;
  if (IsLinkableExtension(extension) && extension.find(L'\0') == std::wstring::npos) {
    const std::wstring fileType = fields.TypeKey.empty() ? extension.substr(1) + L"File" : fields.TypeKey;
    std::vector<std::wstring> others;
    for (const TTypeReference& reference : TTypeUsers().Others(fileType, {extension}))
      if (reference.Kind == TReferenceKind::Extension) others.push_back(L"拡張子「" + reference.By + L"」");
      else others.push_back(texts::Referrer(reference));
    if (!others.empty()) {
      shared = true;
      request.Questions.push_back(
          TBox{TBoxKind::Warning, texts::SharedTypeQuestion(extension, fileType, others), TBoxButtons::YesNo, true});
    }
  }
  request.Questions.push_back(Question(texts::LinkQuestion(extension), TBoxKind::Confirmation, TBoxButtons::YesNoCancel));
  request.ProgressText = Progress;
  request.Apply = [fields, index, shared](const common::TProgressSink& progress) {
    // The register and what follows it are one change of the history.
    const auto group = std::make_shared<TChangeGroup>();
    try {
      TChangePlan plan =
          PlanLink(fields.Extension, fields.Command, fields.IconFile, index, fields.FileType, fields.TypeKey);
      plan.SharedTypesAllowed = shared;
      ExecuteChange(plan, progress, group.get());
    } catch (const Exception& e) {
      return Failure(e);
    }
    TOutcome outcome = Done(texts::kLinked);
    outcome.Next = RequestRemoveOverride(fields.Extension, true, group);
    return outcome;
  };
  return request;
}

TChangeRequest RequestDelete(const std::wstring& extension) {
  TChangeRequest request;
  if (extension == L".") {
    request.Refused = Refusal(texts::kEnterExtension, kExtensionField);
    return request;
  }
  request.Questions = {Question(texts::UnlinkQuestion(extension), TBoxKind::Confirmation, TBoxButtons::YesNoCancel)};
  request.ProgressText = Progress;
  request.Apply = [extension](const common::TProgressSink& progress) {
    // The delete and the removal of a per-user record after it are one change of the history.
    const auto group = std::make_shared<TChangeGroup>();
    TLinkExtention::TUnlinkResult result;
    try {
      ExecuteChange(PlanUnlink(extension, result), progress, group.get());
    } catch (const Exception& e) {
      return Failure(e);
    }
    TOutcome outcome = Done(texts::UnlinkedMessage(result));
    outcome.Next = RequestRemoveOverride(extension, false, group);
    return outcome;
  };
  return request;
}

TChangeRequest RequestRestore(const std::wstring& path, const TTick& tick) {
  return RequestFile(path, TChangeOperation::Restore, texts::RestoreQuestion(common::ExtractFileName(path)),
                     texts::kRestored, tick);
}

TChangeRequest RequestImport(const std::wstring& path, const TTick& tick) {
  return RequestFile(path, TChangeOperation::Import, texts::ImportQuestion(common::ExtractFileName(path)),
                     texts::kImported, tick);
}

TChangeRequest RequestUndo(const TTick& tick) { return RequestHistoryMove(false, tick); }

TChangeRequest RequestRedo(const TTick& tick) { return RequestHistoryMove(true, tick); }

TChangeRequest RequestPlannedChange(TChangePlan plan, const std::wstring& question, const std::wstring& done) {
  TChangeRequest request;
  // A change the policy refuses is said before the question, not after it.
  if (const std::optional<TPolicyRefusal> refusal = CheckPlan(plan)) {
    request.Refused = Refusal(texts::ChangeRefused(refusal->Key, refusal->Reason));
    return request;
  }
  const auto shared = std::make_shared<const TChangePlan>(std::move(plan));
  request.Preview = PreviewPart(shared, question);
  request.ProgressText = Progress;
  request.Apply = [shared, done](const common::TProgressSink& progress) {
    try {
      ExecuteChange(*shared, progress);
    } catch (const Exception& e) {
      return Failure(e);
    }
    return Done(done);
  };
  return request;
}

}  // namespace assoc
