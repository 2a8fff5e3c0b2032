#pragma once
// An operation as a front-end carries it out, in terms every front-end shares (the windows'
// change runner and the command line): what to say first, what to ask, the preview, what to
// apply, and what came of it with what to offer next. The operations make these (see
// assoc/change_requests.h); the front-ends only show and answer them.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace common {

// How a box shows a sentence, as the tool's message boxes do.
enum class TBoxKind { Warning, Error, Information, Confirmation };
enum class TBoxButtons { Ok, YesNo, YesNoCancel };

// One box: a note (OK) or a question, of which only はい goes on.
struct TBox {
  TBoxKind Kind = TBoxKind::Information;
  std::wstring Text;
  TBoxButtons Buttons = TBoxButtons::Ok;
  bool DefaultNo = false;  // Enter answers いいえ
};

// What an operation came to. The command line's exit code follows it.
enum class TResult {
  Done,        // changed what it was to change
  Nothing,     // there was nothing to change
  Declined,    // the user answered no; nothing changed
  Refused,     // the input or the policy refused it before anything changed
  Failed,      // it failed, and what it changed was put back (or the box says what is left)
  Protected,   // Windows protects what it was to change
};

// Where an operation ends in Windows' own user interface, which the front-end opens.
enum class TShellPlace {
  None,
  WindowsChooser,       // Windows' chooser of the program for Extension
  DefaultAppsSettings,  // Windows' settings of default apps
};

struct TChangeRequest;
using TRequestRef = std::shared_ptr<const TChangeRequest>;

// What became of a request: its result, the box that says so (none when Text is empty), the field
// of the front-end to put the focus in after a refusal, whether the registry changed (the
// front-end's windows then read it again), and the request to carry out next (null: none).
struct TOutcome {
  TResult Result = TResult::Done;
  TBox Box;
  int Focus = 0;
  bool Changed = false;
  TRequestRef Next;
};

// The preview of a change the user did not type: a question above every step of the change.
struct TPreviewPart {
  std::wstring Title;
  std::wstring Question;
  std::wstring Summary;
  std::vector<std::wstring> About;
  size_t Steps = 0;
  std::function<std::wstring(size_t)> Step;    // the line of step i
  std::function<std::wstring(size_t)> Detail;  // step i whole
};

// Called now and then while a change applies, with the steps done and their number.
using TProgressSink = std::function<void(size_t done, size_t total)>;

// One operation as a front-end carries it out:
// 1. Refused: when set, its box is shown and nothing else happens;
// 2. Notes: shown in order (OK);
// 3. Questions: asked in order; an answer but はい ends the request with Declined, and Declined
//    (when set) is carried out next;
// 4. Preview: shown when set; an answer but はい ends it the same way;
// 5. Apply: carried out (when set) with the progress shown, under a busy cursor, the front-end's
//    other windows taking no input; its outcome's box is shown;
// 6. Shell: after an Apply that did not fail (or without one), Windows' place opened; where it
//    cannot be opened, ShellFallback is shown;
// 7. the outcome's Next is carried out the same way.
struct TChangeRequest {
  std::optional<TOutcome> Refused;
  // The status line while Apply runs: the steps done of their number, as the operation says it.
  std::function<std::wstring(size_t done, size_t total)> ProgressText;
  std::vector<TBox> Notes;
  std::vector<TBox> Questions;
  TRequestRef Declined;
  std::optional<TPreviewPart> Preview;
  std::function<TOutcome(const TProgressSink& progress)> Apply;
  TShellPlace Shell = TShellPlace::None;
  std::wstring Extension;      // for TShellPlace::WindowsChooser
  std::wstring ShellFallback;  // what to say where Windows' place does not open
};

// What a front-end does for CarryOut: show a box, show a preview, run an Apply the way it shows
// progress, open Windows' own place, and read the registry again after a change.
class TFrontEnd {
 public:
  virtual ~TFrontEnd() = default;
  // Shows box; true when a question was answered はい (a note's answer does not count).
  virtual bool Show(const TBox& box) = 0;
  // Shows the preview; true when it was answered はい.
  virtual bool Preview(const TPreviewPart& preview) = 0;
  // Runs request.Apply (set) with the progress shown as the front-end shows it; an Exception it
  // raises becomes a Failed outcome with its message.
  virtual TOutcome Apply(const TChangeRequest& request) = 0;
  // Opens Windows' place (for extension); true when it opened.
  virtual bool OpenShell(TShellPlace place, const std::wstring& extension) = 0;
  // The registry changed: what the front-end shows of it is read again.
  virtual void Changed() = 0;
};

// Carries out request and each request after it through frontEnd, in the order TChangeRequest
// gives; answers the outcome of the last one (Declined when a question or the preview was not
// answered はい and nothing follows).
TOutcome CarryOut(const TChangeRequest& request, TFrontEnd& frontEnd);

}  // namespace common
