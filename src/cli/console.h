#pragma once
// Where the command line writes and asks: standard output for the result only, standard error for
// every message, and the console for a question.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "assoc/default_apps_texts.h"

namespace cli {

using assoc::defaults::Language;

// The command line's streams; the process's own (TStdConsole), or a test's.
class TConsole {
 public:
  virtual ~TConsole() = default;
  // Writes text to standard output.
  virtual void Out(std::wstring_view text) = 0;
  // Writes text to standard error.
  virtual void Err(std::wstring_view text) = 0;
  // Asks question on the console and answers yes or no; nothing when standard input is no
  // console, so that nobody can answer.
  virtual std::optional<bool> Ask(std::wstring_view question) = 0;
  // The language the console can show.
  virtual Language Shown() const = 0;
};

// The process's standard handles. A handle that is a console is written with its own (wide)
// output; one redirected to a file or a pipe gets UTF-8 without a byte-order mark, so that a
// script reads the same bytes whatever the console's code page.
class TStdConsole : public TConsole {
 public:
  TStdConsole();
  void Out(std::wstring_view text) override;
  void Err(std::wstring_view text) override;
  std::optional<bool> Ask(std::wstring_view question) override;
  Language Shown() const override { return language_; }

 private:
  HANDLE out_, err_, in_;
  Language language_;
};

// Japanese, unless the console's output code page can show no Japanese (neither 932 nor UTF-8);
// Japanese where there is no console.
Language ConsoleLanguage(UINT outputCodePage);

// An answer typed to a yes/no question: true for y, yes and はい, false for n, no and いいえ
// (letter case and surrounding blanks aside); nothing for anything else.
std::optional<bool> ParseAnswer(std::wstring_view typed);

}  // namespace cli
