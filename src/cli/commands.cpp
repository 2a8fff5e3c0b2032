#include "cli/commands.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "assoc/assoc_resolver.h"
#include "assoc/change_history.h"
#include "assoc/change_requests.h"
#include "assoc/default_apps.h"
#include "assoc/default_apps_texts.h"
#include "assoc/file_type.h"
#include "assoclist/assoc_rows.h"
#include "assoclist/cell_text.h"
#include "assoclist/export_text.h"
#include "assoclist/reg_export.h"
#include "cli/cli_texts.h"
#include "common/change_request.h"
#include "common/exception.h"
#include "common/text.h"
#include "settings/file_access.h"

namespace cli {

common::Seam<bool()> RunsAsAdministrator([] {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  BOOL member = FALSE;
  return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
         CheckTokenMembership(nullptr, administrators, &member) && member;
});

namespace {

using texts::Say;

// The command line split: the positional arguments, and the options by their lower-case name
// ("/format:json" is format → json; "/yes" is yes → nothing).
struct TArguments {
  std::vector<std::wstring> Positional;
  std::map<std::wstring, std::optional<std::wstring>> Options;
  bool Help = false;

  bool Has(const wchar_t* name) const { return Options.count(name) != 0; }
  std::wstring Value(const wchar_t* name, const wchar_t* otherwise = L"") const {
    const auto found = Options.find(name);
    return found == Options.end() || !found->second ? otherwise : *found->second;
  }
};

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text)
    if (c < 0x80) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// True for an argument that asks for help.
bool IsHelp(const std::wstring& arg) {
  const std::wstring lower = Lower(arg);
  return lower == L"/?" || lower == L"-?" || lower == L"/help" || lower == L"--help";
}

TArguments Split(std::span<const std::wstring> args) {
  TArguments split;
  for (const std::wstring& arg : args) {
    if (IsHelp(arg)) {
      split.Help = true;
    } else if (arg.size() > 1 && arg[0] == L'/') {
      const size_t colon = arg.find(L':');
      std::wstring name = Lower(arg.substr(1, colon == std::wstring::npos ? std::wstring::npos : colon - 1));
      std::optional<std::wstring> value;
      if (colon != std::wstring::npos) value = arg.substr(colon + 1);
      split.Options[std::move(name)] = std::move(value);
    } else {
      split.Positional.push_back(arg);
    }
  }
  return split;
}

// What one run has to hand.
struct TRun {
  TConsole& Console;
  TArguments Args;
  Language Lang;

  void Line(const std::wstring& text) { Console.Err(text + L"\r\n"); }
  int Usage(const texts::TText& text, std::initializer_list<std::wstring_view> args) {
    Line(Say(text, Lang, args));
    return kExitUsage;
  }
};

// An identifier on the command line: an extension with its ".", or a scheme with or without its
// ":"; nothing when it is neither.
std::optional<std::wstring> Identifier(std::wstring typed) {
  if (typed.size() > 1 && typed.back() == L':' && typed[0] != L'.') typed.pop_back();
  if (!assoc::defaults::IsValidIdentifier(typed)) return std::nullopt;
  return typed;
}

// Exit code of a request's last outcome; changed tells that an earlier part of it applied (a
// register whose follow-up was declined is done).
int ExitCodeOf(common::TResult result, bool changed) {
  switch (result) {
    case common::TResult::Done:
    case common::TResult::Nothing:
      return kExitDone;
    case common::TResult::Declined:
      return changed ? kExitDone : kExitDeclined;
    case common::TResult::Refused:
      return kExitRefused;
    case common::TResult::Failed:
      return kExitFailed;
    case common::TResult::Protected:
      return kExitProtected;
  }
  return kExitFailed;
}

// Carries a request out on the console: boxes go to standard error, a preview to standard
// output; a question is answered by /yes, or on the console, or not at all (no console).
class TConsoleFrontEnd : public common::TFrontEnd {
 public:
  TConsoleFrontEnd(TRun& run, bool dryRun) : run_(run), yes_(run.Args.Has(L"yes")), dryRun_(dryRun) {}

  bool Show(const common::TBox& box) override {
    if (box.Buttons == common::TBoxButtons::Ok) {
      run_.Line(box.Text);
      return false;
    }
    if (cannotAsk_) return false;
    // A dry run shows the plan whatever the answers would be; it applies nothing.
    if (yes_ || dryRun_) return true;
    return Ask(box.Text);
  }

  bool Preview(const common::TPreviewPart& preview) override {
    std::wstring shown = preview.Summary + L"\r\n";
    for (const std::wstring& line : preview.About) shown += line + L"\r\n";
    for (size_t step = 0; step < preview.Steps; ++step) shown += preview.Step(step) + L"\r\n";
    run_.Console.Out(shown);
    if (dryRun_) {
      dryRunStopped_ = true;
      return false;
    }
    return yes_ || Ask(preview.Question);
  }

  common::TOutcome Apply(const common::TChangeRequest& request) override {
    // Ctrl+C must not end the process between two steps of a change; it is taken again after.
    struct IgnoreBreak {
      IgnoreBreak() { SetConsoleCtrlHandler(nullptr, TRUE); }
      ~IgnoreBreak() { SetConsoleCtrlHandler(nullptr, FALSE); }
    } ignoreBreak;
    try {
      common::TOutcome outcome = request.Apply([](size_t, size_t) {});
      changed_ = changed_ || outcome.Changed;
      return outcome;
    } catch (const Exception& e) {
      return common::TOutcome{common::TResult::Failed, {common::TBoxKind::Warning, e.Message()}};
    }
  }

  // Windows' own places open only in the user's desktop: the fallback says where to go.
  bool OpenShell(common::TShellPlace, const std::wstring&) override { return false; }
  void Changed() override {}

  // The exit code of the outcome CarryOut answered.
  int ExitCode(const common::TOutcome& outcome) {
    if (cannotAsk_) {
      run_.Line(Say(texts::kCannotAsk, run_.Lang));
      return kExitUsage;
    }
    if (dryRunStopped_) {
      run_.Line(Say(texts::kDryRun, run_.Lang));
      return kExitDone;
    }
    if (outcome.Result == common::TResult::Declined && !changed_) run_.Line(Say(texts::kDeclined, run_.Lang));
    return ExitCodeOf(outcome.Result, changed_);
  }

 private:
  bool Ask(const std::wstring& question) {
    const std::optional<bool> answer = run_.Console.Ask(question);
    if (!answer) {
      cannotAsk_ = true;
      return false;
    }
    return *answer;
  }

  TRun& run_;
  bool yes_;
  bool dryRun_;
  bool cannotAsk_ = false;  // a question found no console: nothing more is asked
  bool dryRunStopped_ = false;
  bool changed_ = false;
};

int CarryOut(TRun& run, const common::TChangeRequest& request, bool dryRun = false) {
  TConsoleFrontEnd frontEnd(run, dryRun);
  const common::TOutcome outcome = common::CarryOut(request, frontEnd);
  return frontEnd.ExitCode(outcome);
}

// JSON's string: quoted, with the escapes JSON requires.
std::wstring Json(std::wstring_view text) {
  std::wstring quoted = L"\"";
  for (const wchar_t c : text) {
    switch (c) {
      case L'"':
        quoted += L"\\\"";
        break;
      case L'\\':
        quoted += L"\\\\";
        break;
      case L'\n':
        quoted += L"\\n";
        break;
      case L'\r':
        quoted += L"\\r";
        break;
      case L'\t':
        quoted += L"\\t";
        break;
      default:
        // Control characters, and the marks that separate lines or turn the direction of text,
        // written out: a planted value must not drive the terminal that shows it.
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) ||
            (c >= 0x2066 && c <= 0x2069)) {
          wchar_t escaped[8];
          swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
          quoted += escaped;
        } else {
          quoted += c;
        }
    }
  }
  return quoted + L"\"";
}

// The English keys of the list's columns, by assoclist::Column.
constexpr const wchar_t* kJsonKeys[assoclist::kColumnCount] = {L"extension", L"fileType", L"description", L"command",
                                                             L"icon",      L"explorer", L"problem"};

std::wstring JsonRow(const assoclist::AssocRow& row) {
  std::wstring object = L"{\"key\":" + Json(row.key) + L",\"kind\":" +
                        (row.kind == assoclist::RowKind::Protocol ? L"\"protocol\"" : L"\"extension\"");
  for (int column = 0; column < assoclist::kColumnCount; ++column)
    object += L"," + Json(kJsonKeys[column]) + L":" + Json(row.cells[column]);
  return object + L"}";
}

int List(TRun& run) {
  const std::wstring format = Lower(run.Args.Value(L"format", L"csv"));
  const std::wstring kind = Lower(run.Args.Value(L"kind", L"all"));
  if (format != L"csv" && format != L"json" && format != L"tsv")
    return run.Usage(texts::kBadOptionValue, {L"/format", format, L"csv, json, tsv"});
  if (kind != L"ext" && kind != L"protocol" && kind != L"all")
    return run.Usage(texts::kBadOptionValue, {L"/kind", kind, L"ext, protocol, all"});
  const bool problemsOnly = run.Args.Has(L"problems");
  const std::vector<assoclist::AssocRow> rows = assoclist::ReadAssociationRows(true);
  std::vector<const assoclist::AssocRow*> shown;
  for (const assoclist::AssocRow& row : rows) {
    if (kind == L"ext" && row.kind != assoclist::RowKind::Extension) continue;
    if (kind == L"protocol" && row.kind != assoclist::RowKind::Protocol) continue;
    if (problemsOnly && row.cells[assoclist::kProblem].empty()) continue;
    shown.push_back(&row);
  }
  if (format == L"tsv") {
    run.Console.Out(assoclist::TabSeparatedText(shown));
  } else if (format == L"csv") {
    // The file's byte-order mark is for spreadsheets; a pipe takes the text alone.
    const std::string csv = assoclist::CsvBytes(shown);
    std::string_view bytes = csv;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    run.Console.Out(common::FromUtf8(bytes).value_or(L""));
  } else {
    std::wstring json = L"[";
    for (size_t i = 0; i < shown.size(); ++i) json += (i ? L",\r\n  " : L"\r\n  ") + JsonRow(*shown[i]);
    run.Console.Out(json + (shown.empty() ? L"]\r\n" : L"\r\n]\r\n"));
  }
  return kExitDone;
}

// The English words of JSON and of the text form for what the file type window says in Japanese.
template <typename Enum, size_t N>
const wchar_t* WordOf(const std::pair<Enum, const wchar_t*> (&table)[N], Enum value) {
  for (const auto& [key, word] : table)
    if (key == value) return word;
  return L"";
}

constexpr std::pair<assoc::TOpenWithPlace, const wchar_t*> kPlaceWords[] = {
    {assoc::TOpenWithPlace::Classes, L"classes"},
    {assoc::TOpenWithPlace::UserProgIds, L"userProgIds"},
    {assoc::TOpenWithPlace::UserList, L"userList"},
};

constexpr std::pair<assoc::AssocSource, const wchar_t*> kSourceWords[] = {
    {assoc::AssocSource::None, L"none"},
    {assoc::AssocSource::UserChoice, L"userChoice"},
    {assoc::AssocSource::UserClasses, L"userClasses"},
    {assoc::AssocSource::MachineClasses, L"machineClasses"},
    {assoc::AssocSource::WindowsDefault, L"windowsDefault"},
};

const wchar_t* PlaceKey(assoc::TOpenWithPlace place) { return WordOf(kPlaceWords, place); }
const wchar_t* SourceKey(assoc::AssocSource source) { return WordOf(kSourceWords, source); }

const wchar_t* StateKey(const assoc::TOpenWithEntry& entry) {
  return entry.TypeMissing ? L"noFileType" : entry.Unchecked ? L"notChecked" : entry.Exists ? L"found" : L"missing";
}

int Show(TRun& run) {
  const std::wstring format = Lower(run.Args.Value(L"format", L"text"));
  if (format != L"text" && format != L"json") return run.Usage(texts::kBadOptionValue, {L"/format", format, L"text, json"});
  const std::optional<std::wstring> name = Identifier(run.Args.Positional[0]);
  if (!name) return run.Usage(texts::kNotAnIdentifier, {run.Args.Positional[0]});
  const bool protocol = (*name)[0] != L'.';
  std::optional<assoclist::AssocRow> row = assoclist::ReadAssociationRow(*name);
  if (!row && (protocol || !assoc::HasUserRecords(*name))) {
    run.Line(Say(texts::kNotFound, run.Lang, {*name}));
    return kExitNotFound;
  }
  if (!row) {
    row.emplace();
    row->key = *name;
  }
  assoc::TFileType type;
  try {
    type = assoc::ReadFileType(assoc::TTypeTarget{protocol, *name});
  } catch (const Exception& e) {
    run.Line(e.Message());
    return kExitFailed;
  }
  std::optional<assoc::EffectiveAssociation> effective;
  if (!protocol) effective = assoc::ResolveAssociation(*name);

  if (format == L"json") {
    std::wstring json = L"{\"row\":" + JsonRow(*row) + L",\r\n \"typeKey\":" + Json(type.TypeKey) +
                        L",\"defaultVerb\":" + Json(assoc::EffectiveDefaultVerb(type)) + L",\"perceivedType\":" +
                        Json(type.PerceivedType) + L",\"contentType\":" + Json(type.ContentType);
    if (effective)
      json += L",\r\n \"explorer\":{\"source\":" + Json(SourceKey(effective->source)) + L",\"fileType\":" +
              Json(effective->fileType) + L",\"fileTypeExists\":" +
              (effective->fileTypeExists ? L"true" : L"false") + L",\"command\":" + Json(effective->command) +
              L",\"program\":" + Json(effective->program) + L",\"userChoice\":" + Json(effective->choice.progId) +
              L",\"userChoiceKey\":" + Json(effective->choice.key) + L",\"userClasses\":" +
              Json(effective->userClassesFileType) + L",\"classic\":" + Json(effective->classicFileType) +
              L",\"differs\":" + (effective->differs ? L"true" : L"false") + L"}";
    json += L",\r\n \"verbs\":[";
    for (size_t i = 0; i < type.Verbs.size(); ++i) {
      const assoc::TVerb& verb = type.Verbs[i];
      json += (i ? L",\r\n  " : L"\r\n  ") + std::wstring(L"{\"name\":") + Json(verb.Name) + L",\"caption\":" +
              Json(verb.Caption) + L",\"command\":" + Json(verb.Command) + L",\"extended\":" +
              (verb.Extended ? L"true" : L"false") + L",\"delegated\":" + (verb.Delegated ? L"true" : L"false") +
              L",\"system\":" + (verb.Source == assoc::TVerbSource::Type ? L"false" : L"true") + L"}";
    }
    json += L"],\r\n \"openWith\":[";
    for (size_t i = 0; i < type.OpenWith.size(); ++i) {
      const assoc::TOpenWithEntry& entry = type.OpenWith[i];
      json += (i ? L",\r\n  " : L"\r\n  ") + std::wstring(L"{\"name\":") + Json(entry.Name) + L",\"place\":" +
              Json(PlaceKey(entry.Place)) + L",\"program\":" + Json(entry.Program) + L",\"state\":" +
              Json(StateKey(entry)) + L"}";
    }
    run.Console.Out(json + L"]}\r\n");
    return kExitDone;
  }

  // Every text from the registry as the list's cells show it: on one line, control characters
  // written out.
  const auto cell = [](const std::wstring& text) { return assoclist::CellText(text); };
  std::wstring text;
  for (int column = 0; column < assoclist::kColumnCount; ++column)
    text += std::wstring(assoclist::kColumnCaptions[column]) + L"\t" + row->cells[column] + L"\r\n";
  if (effective) {
    text += L"利用者の選択\t" + cell(effective->choice.progId) +
            (effective->choice.key.empty() ? L"" : L" (" + effective->choice.key + L")") + L"\r\n";
    text += L"利用者のクラスの記録\t" + cell(effective->userClassesFileType) + L"\r\n";
    text += L"エクスプローラーが使うファイルタイプ\t" + cell(effective->fileType) + L" (" +
            SourceKey(effective->source) + L")\r\n";
  }
  const std::wstring defaultVerb = assoc::EffectiveDefaultVerb(type);
  for (const assoc::TVerb& verb : type.Verbs)
    text += L"動作\t" + cell(verb.Name) + (verb.Name == defaultVerb ? L" (既定)" : L"") + L"\t" + cell(verb.Caption) +
            L"\t" + (verb.Delegated ? L"(プログラムの部品が実行)" : cell(verb.Command)) + L"\r\n";
  for (const assoc::TOpenWithEntry& entry : type.OpenWith)
    text += L"プログラムから開く\t" + cell(entry.Name) + L"\t" + PlaceKey(entry.Place) + L"\t" + cell(entry.Program) +
            L"\t" + StateKey(entry) + L"\r\n";
  run.Console.Out(text);
  return kExitDone;
}

// Writes bytes over file in one step; answers the exit code, having said a failure.
int Save(TRun& run, const std::wstring& file, const std::string& bytes) {
  try {
    settings::ReplaceWholeFile(file, bytes);
    return kExitDone;
  } catch (const Exception& e) {
    run.Line(Say(texts::kCannotSave, run.Lang, {file, e.Message()}));
    return kExitFailed;
  }
}

int Export(TRun& run) {
  std::vector<assoclist::AssocRow> rows;
  for (size_t i = 1; i < run.Args.Positional.size(); ++i) {
    const std::optional<std::wstring> name = Identifier(run.Args.Positional[i]);
    if (!name) return run.Usage(texts::kNotAnIdentifier, {run.Args.Positional[i]});
    std::optional<assoclist::AssocRow> row = assoclist::ReadAssociationRow(*name, false);
    if (!row) {
      run.Line(Say(texts::kNotFound, run.Lang, {*name}));
      return kExitNotFound;
    }
    rows.push_back(std::move(*row));
  }
  std::vector<const assoclist::AssocRow*> pointers;
  for (const assoclist::AssocRow& row : rows) pointers.push_back(&row);
  std::string bytes;
  try {
    bytes = assoclist::RegExportBytes(pointers);
  } catch (const Exception& e) {
    run.Line(e.Message());
    return kExitFailed;
  }
  const std::wstring& file = run.Args.Positional[0];
  const int code = Save(run, file, bytes);
  if (code == kExitDone) run.Line(Say(texts::kExported, run.Lang, {std::to_wstring(rows.size()), file}));
  return code;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int Import(TRun& run) {
  const std::wstring& file = run.Args.Positional[0];
  if (!FileExists(file)) {
    run.Line(Say(texts::kNoFile, run.Lang, {file}));
    return kExitNotFound;
  }
  wchar_t full[MAX_PATH * 4];
  const DWORD length = GetFullPathNameW(file.c_str(), MAX_PATH * 4, full, nullptr);
  const std::wstring path = length && length < MAX_PATH * 4 ? std::wstring(full, length) : file;
  return CarryOut(run, assoc::RequestImport(path), run.Args.Has(L"dry-run"));
}

int Register(TRun& run) {
  if (!run.Args.Has(L"command")) return run.Usage(texts::kMissingValue, {L"/command"});
  assoc::TRegisterFields fields;
  fields.Extension = run.Args.Positional[0];
  fields.Command = run.Args.Value(L"command");
  fields.FileType = run.Args.Value(L"description");
  fields.TypeKey = run.Args.Value(L"type");
  if (run.Args.Has(L"icon")) {
    const std::wstring icon = run.Args.Value(L"icon");
    const size_t comma = icon.rfind(L',');
    if (comma == std::wstring::npos || comma == 0 || comma + 1 == icon.size()) return run.Usage(texts::kBadIcon, {});
    fields.IconFile = icon.substr(0, comma);
    fields.IconIndex = icon.substr(comma + 1);
  } else {
    // The window asks for an icon; a script that names none gets the program's own, when the
    // command names it by its full path (nothing is looked up along a search path).
    fields.IconFile = assoc::ProgramOfCommand(fields.Command);
    fields.IconIndex = L"0";
    if (fields.IconFile.size() < 3 || fields.IconFile[1] != L':' || fields.IconFile[2] != L'\\')
      return run.Usage(texts::kBadIcon, {});
  }
  if (!fields.Extension.empty() && fields.Extension[0] != L'.') fields.Extension.insert(0, 1, L'.');
  return CarryOut(run, assoc::RequestRegister(fields));
}

int Delete(TRun& run) {
  std::wstring extension = run.Args.Positional[0];
  if (!extension.empty() && extension[0] != L'.') extension.insert(0, 1, L'.');
  if (extension.size() > 1 && !assoclist::ReadAssociationRow(extension, false) && !assoc::HasUserRecords(extension)) {
    run.Line(Say(texts::kNotFound, run.Lang, {extension}));
    return kExitNotFound;
  }
  return CarryOut(run, assoc::RequestDelete(extension));
}

int Undo(TRun& run) { return CarryOut(run, assoc::RequestUndo()); }
int Redo(TRun& run) { return CarryOut(run, assoc::RequestRedo()); }

int History(TRun& run) {
  std::wstring note;
  const assoc::THistory history = assoc::ReadHistory(&note);
  if (!note.empty()) run.Line(note);
  if (history.Entries.empty()) {
    run.Line(Say(texts::kNoHistory, run.Lang));
    return kExitDone;
  }
  std::wstring text;
  for (size_t i = 0; i < history.Entries.size(); ++i) {
    const assoc::THistoryEntry& entry = history.Entries[i];
    wchar_t time[32];
    swprintf(time, 32, L"%04u-%02u-%02u %02u:%02u:%02u", entry.Time.wYear, entry.Time.wMonth, entry.Time.wDay,
             entry.Time.wHour, entry.Time.wMinute, entry.Time.wSecond);
    text += std::to_wstring(i + 1) + L"\t" + time + L"\t" + std::wstring(assoc::ChangeOperationName(entry.Operation)) +
            L"\t" + assoclist::CellText(entry.Subject) + L"\t" +
            Say(i < history.Position ? texts::kHistoryApplied : texts::kHistoryUndone, run.Lang) + L"\r\n";
  }
  run.Console.Out(text);
  return kExitDone;
}

int Defaults(TRun& run) {
  namespace defaults = assoc::defaults;
  const std::wstring action = Lower(run.Args.Positional[0]);
  const std::wstring& file = run.Args.Positional[1];
  try {
    if (action == L"export") {
      const std::wstring scope = Lower(run.Args.Value(L"scope", L"all"));
      if (scope != L"all" && scope != L"changed")
        return run.Usage(texts::kBadOptionValue, {L"/scope", scope, L"all, changed"});
      const std::vector<defaults::DefaultApp> apps =
          defaults::CollectDefaultApps(scope == L"all" ? defaults::ExportScope::All : defaults::ExportScope::Changed);
      const int code = Save(run, file, defaults::DefaultAppsXml(apps));
      if (code == kExitDone) run.Line(defaults::ExportSummary(apps.size(), run.Lang));
      return code;
    }
    if (action == L"check") {
      if (run.Args.Has(L"scope")) return run.Usage(texts::kUnknownOption, {L"defaults check", L"/scope"});
      const defaults::CheckResult result = defaults::CheckDefaultAppsFile(file);
      std::wstring text;
      for (const defaults::Finding& finding : result.findings)
        text += defaults::FindingSentence(finding, run.Lang) + L"\r\n";
      run.Console.Out(text + defaults::CheckSummary(result, run.Lang) + L"\r\n");
      return result.nothingWrong ? kExitDone : kExitRefused;
    }
  } catch (const defaults::DefaultAppsError& e) {
    run.Line(run.Lang == Language::English ? e.English() : e.Message());
    return kExitFailed;
  }
  return run.Usage(texts::kUnknownCommand, {L"defaults " + run.Args.Positional[0]});
}

// One command: its name, what it runs, the options it takes, how many positional arguments, and
// whether it changes the registry (then it needs administrator rights).
struct TCommand {
  const wchar_t* Name;
  int (*Run)(TRun&);
  std::initializer_list<const wchar_t*> Options;
  size_t FewestArguments, MostArguments;
  bool Changes;
  texts::TText Usage;
};

constexpr size_t kAny = static_cast<size_t>(-1);

const TCommand kCommands[] = {
    {L"list", List, {L"format", L"kind", L"problems"}, 0, 0, false,
     {L"tavrelo list [/format:csv|json|tsv] [/kind:ext|protocol|all] [/problems]\r\n"
      L"関連づけの一覧を、一覧の画面と同じ列で標準出力に書きます。/problems は問題のある行だけを書きます。\r\n",
      L"tavrelo list [/format:csv|json|tsv] [/kind:ext|protocol|all] [/problems]\r\n"
      L"Writes the associations, with the list window's columns, to standard output. /problems writes only the rows "
      L"with a problem.\r\n"}},
    {L"show", Show, {L"format"}, 1, 1, false,
     {L"tavrelo show 拡張子|プロトコル [/format:text|json]\r\n"
      L"一つの関連づけを、利用者の選択、エクスプローラーが使うもの、動作、「プログラムから開く」の候補まで表示します。\r\n",
      L"tavrelo show EXT|SCHEME [/format:text|json]\r\n"
      L"Shows one association in full: the per-user choice, what Explorer uses, the verbs and the Open with "
      L"entries.\r\n"}},
    {L"export", Export, {}, 2, kAny, false,
     {L"tavrelo export ファイル.reg 拡張子|プロトコル...\r\n"
      L"関連づけを、一覧の「REG で保存」と同じ登録ファイルに保存します。\r\n",
      L"tavrelo export FILE.reg EXT|SCHEME...\r\n"
      L"Writes the associations to a registry file, as the list's REG save does.\r\n"}},
    {L"import", Import, {L"dry-run", L"yes"}, 1, 1, true,
     {L"tavrelo import ファイル.reg [/dry-run] [/yes]\r\n"
      L"登録ファイルを読み込みます。変更の内容を標準出力に書き、確認します。/dry-run は何も変更しません。"
      L"/yes は確認に「はい」と答えます。\r\n",
      L"tavrelo import FILE.reg [/dry-run] [/yes]\r\n"
      L"Imports a registry file: writes the change to standard output and asks. /dry-run changes nothing; /yes "
      L"answers yes.\r\n"}},
    {L"register", Register, {L"command", L"type", L"description", L"icon", L"yes"}, 1, 1, true,
     {L"tavrelo register 拡張子 /command:実行プログラム [/type:ファイルタイプ] [/description:ファイルタイプの説明] "
      L"[/icon:ファイル,番号] [/yes]\r\n"
      L"拡張子の関連づけを登録します（画面の「登録」と同じです）。/type は拡張子が指すファイルタイプのキーの名前で、"
      L"省略すると「拡張子から . を除いた名前」に File を付けた名前です。/icon を省略すると、実行プログラムを"
      L"フルパスで指定した場合に、そのプログラムのアイコンを使います。\r\n",
      L"tavrelo register EXT /command:COMMAND [/type:FILETYPE] [/description:TEXT] [/icon:FILE,INDEX] [/yes]\r\n"
      L"Registers an extension's association, as the window's register does. /type names the file type key the "
      L"extension points to (without it, the extension's name without its dot, followed by File). Without /icon, "
      L"the icon of the program, when the command names it by its full path.\r\n"}},
    {L"delete", Delete, {L"yes"}, 1, 1, true,
     {L"tavrelo delete 拡張子 [/yes]\r\n拡張子の関連づけを削除します（画面の「削除」と同じです）。\r\n",
      L"tavrelo delete EXT [/yes]\r\nDeletes an extension's association, as the window's delete does.\r\n"}},
    {L"undo", Undo, {L"yes"}, 0, 0, true,
     {L"tavrelo undo [/yes]\r\n最後の変更を元に戻します。\r\n", L"tavrelo undo [/yes]\r\nUndoes the last change.\r\n"}},
    {L"redo", Redo, {L"yes"}, 0, 0, true,
     {L"tavrelo redo [/yes]\r\n元に戻した変更をやり直します。\r\n",
      L"tavrelo redo [/yes]\r\nApplies the last undone change again.\r\n"}},
    {L"history", History, {}, 0, 0, false,
     {L"tavrelo history\r\n変更の履歴を、古いものから標準出力に書きます。\r\n",
      L"tavrelo history\r\nWrites the changes, oldest first, to standard output.\r\n"}},
    {L"defaults", Defaults, {L"scope"}, 2, 2, false,
     {L"tavrelo defaults export ファイル.xml [/scope:all|changed]\r\n"
      L"tavrelo defaults check ファイル.xml\r\n"
      L"既定のアプリの構成ファイル（Windows がサインイン時に適用する XML ファイル）を保存、または確認します。"
      L"/scope:changed は、クラスの記録と違う選択だけを保存します。確認で問題があれば終了コードは 2 です。\r\n",
      L"tavrelo defaults export FILE.xml [/scope:all|changed]\r\n"
      L"tavrelo defaults check FILE.xml\r\n"
      L"Writes or checks a default associations file (the XML file Windows applies at sign-in). /scope:changed writes "
      L"only the choices that differ from the class records. A check that finds problems exits with 2.\r\n"}},
};

}  // namespace

int RunCommandLine(std::span<const std::wstring> args, TConsole& console) {
  const Language language = console.Shown();
  if (args.empty()) {
    console.Err(Say(texts::kUsage, language));
    return kExitUsage;
  }
  const std::wstring name = Lower(args[0]);
  if (IsHelp(name)) {
    console.Out(Say(texts::kUsage, language));
    return kExitDone;
  }
  const auto command =
      std::find_if(std::begin(kCommands), std::end(kCommands), [&](const TCommand& c) { return name == c.Name; });
  TRun run{console, Split(args.subspan(1)), language};
  if (command == std::end(kCommands)) return run.Usage(texts::kUnknownCommand, {args[0]});
  if (run.Args.Help) {
    console.Out(Say(command->Usage, language));
    return kExitDone;
  }
  for (const auto& [option, value] : run.Args.Options) {
    const bool known = std::any_of(command->Options.begin(), command->Options.end(),
                                   [&](const wchar_t* o) { return option == o; });
    if (!known) return run.Usage(texts::kUnknownOption, {command->Name, L"/" + option});
    const bool valued = option == L"format" || option == L"kind" || option == L"command" || option == L"type" ||
                        option == L"description" || option == L"icon" || option == L"scope";
    if (valued && (!value || value->empty()) && option != L"description")
      return run.Usage(texts::kMissingValue, {L"/" + option});
    if (!valued && value) return run.Usage(texts::kUnknownOption, {command->Name, L"/" + option + L":" + *value});
  }
  const size_t count = run.Args.Positional.size();
  if (count < command->FewestArguments || count > command->MostArguments)
    return run.Usage(texts::kArgumentCount, {command->Name});
  if (command->Changes && !RunsAsAdministrator()) {
    run.Line(Say(texts::kNeedsAdministrator, language, {command->Name}));
    return kExitNeedsAdministrator;
  }
  try {
    return command->Run(run);
  } catch (const Exception& e) {
    run.Line(e.Message());
    return kExitFailed;
  }
}

}  // namespace cli
