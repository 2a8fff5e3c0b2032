#include "ui/image_list.h"

namespace ui {

common::UniqueHImageList LoadIconList(std::span<const int> iconIds, int size) {
  common::UniqueHImageList list(
      ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, static_cast<int>(iconIds.size()), 0));
  int count = 0;
  for (int id : iconIds) {
    common::UniqueHIcon icon(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    ++count;
    if (!icon || ImageList_ReplaceIcon(list.get(), -1, icon.get()) < 0) ImageList_SetImageCount(list.get(), count);
  }
  return list;
}

}  // namespace ui
