// The preview hides nothing: every step has its line, a long value is cut only in its line and
// shown whole in its detail, characters that do not show or turn the text are written out, and
// what others use or Windows protects comes first.
#include "assoc/change_preview.h"

#include <gtest/gtest.h>

#include <string>

#include "assoc/assoc_texts.h"
#include "assoc/change_plan.h"
#include "assoc/type_users.h"
#include "support/registry_sandbox.h"

namespace {

using testsupport::WriteValue;

std::string Text(const std::wstring& text) {
  std::string data(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
  return data;
}

assoc::TChangeStep Setting(const std::wstring& before, const std::wstring& after) {
  assoc::TChangeStep step;
  step.Kind = assoc::TStepKind::SetValue;
  step.Key = L"HKEY_CLASSES_ROOT\\t\\shell\\open\\command";
  step.Before = {!before.empty(), REG_SZ, before.empty() ? std::string() : Text(before)};
  step.After = {true, REG_SZ, Text(after)};
  return step;
}

TEST(Preview, AStepsLineShowsWhatIsThereAndItsDetailShowsAllOfIt) {
  const std::wstring longValue(300, L'x');
  struct Case {
    const char* what;
    std::wstring value;
    std::wstring line;    // the part of the line after "→ "
    std::wstring detail;  // the same in the detail
  };
  const Case cases[] = {
      {"a direction override", L"notepad.exe \u202Eexe.txt", L"「notepad.exe ‹U+202E›exe.txt」",
       L"「notepad.exe ‹U+202E›exe.txt」"},
      {"a zero-width space and a line break", L"a\u200Bb\nc", L"「a‹U+200B›b‹U+000A›c」", L"「a‹U+200B›b‹U+000A›c」"},
      {"padding that pushes the rest out of sight", L"a.exe" + std::wstring(60, L' ') + L"& evil.exe",
       L"「a.exe" + assoc::texts::Blanks(60) + L"& evil.exe」", L"「a.exe" + std::wstring(60, L' ') + L"& evil.exe」"},
      {"a long value", longValue, L"「" + longValue.substr(0, assoc::kShownCharacters) + assoc::texts::CutMark(300) + L"」",
       L"「" + longValue + L"」"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const assoc::TChangeStep step = Setting(L"old", c.value);
    const std::wstring line = assoc::StepLine(step), detail = assoc::StepDetail(step);
    EXPECT_EQ(line.substr(line.find(L"→ ") + 2), c.line);
    EXPECT_EQ(detail.substr(detail.find(L"→ ") + 2), c.detail);
  }
  // Bytes that are not text: a line shows the first 40, the detail every one.
  assoc::TChangeStep binary;
  binary.Kind = assoc::TStepKind::DeleteValue;
  binary.Key = L"HKEY_CLASSES_ROOT\\t";
  binary.Value = L"EditFlags";
  binary.Before = {true, REG_BINARY, std::string(100, '\x01')};
  EXPECT_NE(assoc::StepLine(binary).find(assoc::texts::CutMark(100)), std::wstring::npos);
  EXPECT_EQ(assoc::StepDetail(binary).find(assoc::texts::CutMark(100)), std::wstring::npos);
  EXPECT_NE(assoc::StepDetail(binary).find(L"01 01 01"), std::wstring::npos);
}

TEST(Preview, WhatOthersUseAndWhatWindowsProtectsComesFirstThenWhatTheChangeIsAbout) {
  testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
  WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
  WriteValue(HKEY_CLASSES_ROOT, L".log", L"", REG_SZ, L"txtfile");
  WriteValue(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command", L"", REG_SZ, L"notepad.exe %1");
  WriteValue(HKEY_CURRENT_USER,
             L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.txt\\UserChoice", L"ProgId", REG_SZ,
             L"txtfile");
  assoc::TChangePlan plan;
  plan.Operation = assoc::TChangeOperation::EditFileType;
  plan.Subject = L".txt";
  assoc::TPlanBuilder builder(plan);
  builder.SetText(L"HKEY_CLASSES_ROOT\\txtfile\\shell\\open\\command", L"", L"mine.exe %1");
  builder.DeleteTree(L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.txt\\UserChoice");
  const assoc::TPreview preview = assoc::PreviewOf(plan);
  EXPECT_EQ(preview.About, (std::vector<std::wstring>{
                               assoc::texts::NoticeChoiceRemoved(L".txt"),
                               assoc::texts::NoticeSharedType(L"txtfile", {assoc::TReferenceKind::Extension, L".log"}),
                               assoc::texts::AboutExtensions({L".txt"}),
                               assoc::texts::AboutFileType(L"txtfile", {L".log", L".txt"}),
                           }));
  EXPECT_EQ(preview.Summary, L"追加 0 件、変更 1 件、削除 1 件");
}

}  // namespace
