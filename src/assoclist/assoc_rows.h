#pragma once
// The rows of the list of associations: one per extension key of HKEY_CLASSES_ROOT and one per
// protocol (a key with a "URL Protocol" value), read for reading only (no key is created, no
// value written), all at once or key by key.

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assoc/assoc_resolver.h"
#include "common/seam.h"

namespace assoclist {

// The columns, in the order the window and the exported texts show them.
enum Column : int { kExtension, kFileType, kDescription, kCommand, kIcon, kExplorer, kProblem, kColumnCount };

// The column headings, by Column.
inline constexpr std::array<const wchar_t*, kColumnCount> kColumnCaptions = {
    L"拡張子", L"ファイルタイプ", L"ファイルタイプの説明", L"実行プログラム", L"アイコン", L"エクスプローラーが使うプログラム", L"問題",
};

// What a row stands for.
enum class RowKind : uint8_t { Extension, Protocol };

struct AssocRow {
  std::wstring key;                               // the extension's or protocol's key name as stored
  std::array<std::wstring, kColumnCount> cells;  // each as shown (see cell_text.h)
  // cells[kIcon] is the file type's DefaultIcon text exactly as stored, so its icon can be
  // looked up; false when there is none, or it was escaped, cut, unreadable or not text.
  bool iconReadable = false;
  RowKind kind = RowKind::Extension;
};

// The cell of the last column: empty when Explorer follows the classic record (differs is
// false); else the source label, a full-width colon and the program Explorer starts (the file
// type when it has none), e.g. "利用者の選択：C:\x\v.exe"; a choice Windows protects is
// marked "利用者の選択（Windows が保護）"; Windows' default app is its label alone. The label
// leads, so that a narrow column still shows it and sorting by the column groups the rows.
std::wstring ExplorerCell(const assoc::EffectiveAssociation& association, bool choiceProtected = false);

// Opens a key for the rows (RegOpenKeyExW); a test stands in a slow or stalling registry.
extern common::Seam<LONG(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key)> OpenRowKey;

// The rows of HKEY_CLASSES_ROOT's keys, in the order the registry lists them:
// - an extension (a key whose name begins with "."): 拡張子 is the key's name; ファイルタイプ its
//   default value (the file type); ファイルタイプの説明, 実行プログラム (shell\open\command) and
//   アイコン (DefaultIcon) the default values of the file type key below HKEY_CLASSES_ROOT, when
//   the file type is text that can name a key, empty when that key or value is missing;
//   エクスプローラーが使うプログラム ExplorerCell of the resolver's answer;
// - a protocol: 拡張子 is the key's name followed by ":", ファイルタイプ the key's name, and the
//   description, command and icon its own; エクスプローラーが使うプログラム names the user's choice
//   (UrlAssociations\<scheme>\UserChoice) as ExplorerCell does;
// - 問題: ProblemCell of what is broken (see row_problems.h), unless problems are not checked.
// A key that exists but cannot be opened, or a value that cannot be read, shows kUnreadable in
// the cells it would have filled. Raises only std::bad_alloc.
class RowStream {
 public:
  // Starts before the first key; checkProblems false leaves every 問題 cell empty.
  explicit RowStream(bool checkProblems = true);
  ~RowStream();
  RowStream(RowStream&&) noexcept;
  RowStream& operator=(RowStream&&) noexcept;

  // Examines the next key, appending its row to rows when it makes one; false when every key
  // was examined already.
  bool Next(std::vector<AssocRow>& rows);
  // The keys examined so far, and how many there are (counted when reading began; never fewer
  // than Examined()).
  size_t Examined() const;
  size_t Total() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Every row of a RowStream, read to the end.
std::vector<AssocRow> ReadAssociationRows(bool checkProblems = true);

// The row RowStream makes of HKEY_CLASSES_ROOT\<name> (an extension, or a protocol's scheme);
// nothing when that key is missing, unreadable or no protocol. Raises only std::bad_alloc.
std::optional<AssocRow> ReadAssociationRow(const std::wstring& name, bool checkProblems = true);

}  // namespace assoclist
