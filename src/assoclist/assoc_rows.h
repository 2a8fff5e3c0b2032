#pragma once
// The rows of the list of associations: one per extension key of HKEY_CLASSES_ROOT, read for
// reading only (no key is created, no value written).

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "assoc/assoc_resolver.h"

namespace assoclist {

// The columns, in the order the window and the exported texts show them.
enum Column : int { kExtension, kFileType, kDescription, kCommand, kIcon, kExplorer, kColumnCount };

// The column headings, by Column.
inline constexpr std::array<const wchar_t*, kColumnCount> kColumnCaptions = {
    L"拡張子", L"ファイルタイプ", L"ファイルタイプの説明", L"実行プログラム", L"アイコン", L"エクスプローラーが使うプログラム",
};

struct AssocRow {
  std::wstring key;                               // the extension key's name as stored
  std::array<std::wstring, kColumnCount> cells;  // each as shown (see cell_text.h)
  // cells[kIcon] is the file type's DefaultIcon text exactly as stored, so its icon can be
  // looked up; false when there is none, or it was escaped, cut, unreadable or not text.
  bool iconReadable = false;
};

// The cell of the last column: empty when Explorer follows the classic record (differs is
// false); else the source label, a full-width colon and the program Explorer starts (the file
// type when it has none), e.g. "利用者の選択：C:\x\v.exe"; a choice Windows protects is
// marked "利用者の選択（Windows が保護）"; Windows' default app is its label alone. The label
// leads, so that a narrow column still shows it and sorting by the column groups the rows.
std::wstring ExplorerCell(const assoc::EffectiveAssociation& association, bool choiceProtected = false);

// The rows of every key of HKEY_CLASSES_ROOT whose name begins with ".", in the order the
// registry lists them. Each row holds:
// - 拡張子: the key's name; ファイルタイプ: its default value (the file type);
// - ファイルタイプの説明, 実行プログラム (shell\open\command), アイコン (DefaultIcon): the default
//   values of the file type key below HKEY_CLASSES_ROOT, when the file type is text that can
//   name a key; empty when that key or value is missing;
// - エクスプローラーが使うプログラム: ExplorerCell of the resolver's answer.
// A key that exists but cannot be opened, or a value that cannot be read, shows kUnreadable in
// the cells it would have filled. Keys are opened for reading only. Raises only std::bad_alloc.
std::vector<AssocRow> ReadAssociationRows();

}  // namespace assoclist
