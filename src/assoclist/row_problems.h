#pragma once
// What is broken in an association, in the words of the list's 問題 column, and the file
// checks behind them, each path asked once per reading.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "assoc/command_program.h"
#include "common/local_files.h"

namespace assoclist {

// The problems a row may have, as bits; the cell names them in this order.
enum Problem : uint8_t {
  kNoFileType = 1,    // the file type the extension names does not exist
  kNoProgram = 2,     // the program of the default verb does not exist
  kNoIconFile = 4,    // the icon file is missing or cannot be read
  kNoChosenType = 8,  // a per-user choice or an Open with entry names a type that does not exist
  kNotChecked = 16,   // the program or icon file is not on a local drive, so it is not looked at
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
    {kNotChecked, L"ネットワーク上のため確認していません"},
    {kNoChosenType, L"選択先のファイルタイプがありません"},
};

// The cell of problems: their words joined by 「、」; empty for none.
std::wstring ProblemCell(unsigned problems);

// Answers about files, each path (letter case aside) asked of the file system once. One object
// per reading of the list, so that a refresh sees the files as they are then. Only local paths
// are opened (common::OpenForCheck). Not thread-safe.
class FileChecks {
 public:
  // The problems of the program of command (see assoc::ParseCommandProgram): kNoProgram when it
  // does not exist, kNotChecked when it is not local; 0 when it exists or the command names no
  // program to check.
  unsigned ProgramProblems(std::wstring_view command);
  // The problems of the file of a DefaultIcon text (see ParseIconLocation): kNoIconFile when it
  // cannot be opened for reading, kNotChecked when it is not local; 0 when it can, names no file,
  // or stands for the file itself ("%1").
  unsigned IconFileProblems(std::wstring_view defaultIcon);
  // How many distinct paths went to the file system.
  size_t Asked() const { return states_.size(); }

 private:
  common::FileState State(const std::wstring& path);
  common::FileState Find(const assoc::CommandProgram& program);
  std::unordered_map<std::wstring, common::FileState> states_;
  common::LocalDrives drives_;
};

}  // namespace assoclist
