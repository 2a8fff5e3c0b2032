#pragma once
// What is broken in an association, in the words of the list's 問題 column, and the file
// checks behind them, each path asked once per reading.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "assoc/command_program.h"

namespace assoclist {

// The problems a row may have, as bits; the cell names them in this order.
enum Problem : uint8_t {
  kNoFileType = 1,    // the file type the extension names does not exist
  kNoProgram = 2,     // the program of the default verb does not exist
  kNoIconFile = 4,    // the icon file is missing or cannot be read
  kNoChosenType = 8,  // a per-user choice or an Open with entry names a type that does not exist
};

// The words of each problem, by bit.
struct ProblemText {
  Problem problem;
  const wchar_t* text;
};
inline constexpr ProblemText kProblemTexts[] = {
    {kNoFileType, L"ファイルタイプがありません"},
    {kNoProgram, L"プログラムが見つかりません"},
    {kNoIconFile, L"アイコンファイルが見つかりません"},
    {kNoChosenType, L"選択先のファイルタイプがありません"},
};

// The cell of problems: their words joined by 「、」; empty for none.
std::wstring ProblemCell(unsigned problems);

// Answers about files, each path (letter case aside) asked of the file system once. One object
// per reading of the list, so that a refresh sees the files as they are then. Not thread-safe.
class FileChecks {
 public:
  // True when the program of command exists (see assoc::ParseCommandProgram), and when the
  // command names no program to check.
  bool ProgramFound(std::wstring_view command);
  // True when the file of a DefaultIcon text (see ParseIconLocation) can be opened for reading,
  // and when it names no file or stands for the file itself ("%1").
  bool IconFileFound(std::wstring_view defaultIcon);
  // How many distinct paths went to the file system.
  size_t Asked() const { return readable_.size(); }

 private:
  bool Readable(const std::wstring& path);
  bool Found(const assoc::CommandProgram& program);
  std::unordered_map<std::wstring, bool> readable_;
};

}  // namespace assoclist
