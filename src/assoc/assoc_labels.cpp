#include "assoc/assoc_labels.h"

namespace assoc {

namespace {

struct LabelRow {
  AssocSource source;
  bool fileTypeExists;
  const wchar_t* label;
};

constexpr LabelRow kLabels[] = {
    {AssocSource::UserChoice, true, L"利用者の選択"},
    {AssocSource::UserChoice, false, L"選択先なし"},
    {AssocSource::UserClasses, true, L"利用者のクラス"},
    {AssocSource::UserClasses, false, L"利用者のクラス"},
    {AssocSource::WindowsDefault, true, L"Windows の既定"},
};

}  // namespace

const wchar_t* SourceLabel(const EffectiveAssociation& association) {
  for (const LabelRow& row : kLabels)
    if (row.source == association.source && row.fileTypeExists == association.fileTypeExists) return row.label;
  return L"";
}

}  // namespace assoc
