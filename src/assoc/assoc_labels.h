#pragma once
// The words that name where Explorer's decision about an extension comes from, shared by every
// window that shows it.

#include "assoc/assoc_resolver.h"

namespace assoc {

// The label of a source that overrides the classic records: 利用者の選択 (the user's choice, of a
// file type that exists), 選択先なし (the user's choice, of a file type that exists nowhere),
// 利用者のクラス (the per-user class records) or Windows の既定 (an enforced extension without a
// choice). Empty for the machine's class records and for no record at all.
const wchar_t* SourceLabel(const EffectiveAssociation& association);

}  // namespace assoc
