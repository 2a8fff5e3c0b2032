#include "common/change_request.h"

namespace common {

TOutcome CarryOut(const TChangeRequest& request, TFrontEnd& frontEnd) {
  const TChangeRequest* current = &request;
  TRequestRef held;
  for (;;) {
    if (current->Refused) {
      if (!current->Refused->Box.Text.empty()) frontEnd.Show(current->Refused->Box);
      return *current->Refused;
    }
    for (const TBox& note : current->Notes) frontEnd.Show(note);
    bool declined = false;
    for (const TBox& question : current->Questions) {
      if (!frontEnd.Show(question)) {
        declined = true;
        break;
      }
    }
    if (!declined && current->Preview) declined = !frontEnd.Preview(*current->Preview);
    if (declined) {
      if (!current->Declined) return TOutcome{TResult::Declined};
      held = current->Declined;
      current = held.get();
      continue;
    }
    TOutcome outcome;
    if (current->Apply) outcome = frontEnd.Apply(*current);
    if (outcome.Changed) frontEnd.Changed();
    if (!outcome.Box.Text.empty()) frontEnd.Show(outcome.Box);
    if (outcome.Result != TResult::Failed && current->Shell != TShellPlace::None) {
      if (!frontEnd.OpenShell(current->Shell, current->Extension) && !current->ShellFallback.empty())
        frontEnd.Show(TBox{TBoxKind::Warning, current->ShellFallback});
      frontEnd.Changed();
    }
    if (!outcome.Next) return outcome;
    held = outcome.Next;
    current = held.get();
  }
}

}  // namespace common
