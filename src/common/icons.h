#pragma once
// Icons taken from executables, libraries and icon files.

#include <windows.h>

#include <string>

#include "common/handles.h"
#include "common/seam.h"

namespace common {

// ExtractIconW with the application's instance: a new icon handle for icon index of file,
// or, for index UINT_MAX (-1), the number of icons the file holds. Tests wrap it to watch
// the handles that come out.
extern Seam<HICON(const std::wstring& file, UINT index)> ExtractIconRaw;

// The icons of one file. A program, library or icon file that is cut short, or whose tables
// point outside it, holds no icons here: the platform's reader is not safe with those
// everywhere (Wine faults on them). Checked are the headers and sections of 32- and 64-bit
// programs (PE), their resource tree and every icon group in it, the resource table of 16-bit
// programs (NE) and their icon groups, and the directory of icon files; other programs (DOS,
// LE) hold no icons, and files of other kinds go to the platform unchecked. The file is looked
// up on the search path as the platform does, and checked once, when the object is made; a
// name that is not found, or a file that cannot be read, holds no icons.
class IconFile {
 public:
  explicit IconFile(const std::wstring& path);
  // The number of icons; 0 when it holds none or cannot be read.
  UINT Count() const;
  // Icon number index, owned by the caller; empty when there is none. ExtractIconW's other
  // answers are not icons and give empty too: 1 (the file holds no icon resources) and
  // anything for index -1 (which asks for the number of icons).
  UniqueHIcon Icon(int index) const;
  // Icon number index as the image of size x size pixels that the file holds nearest to it
  // (scaled where it holds none that size), owned by the caller; empty as for Icon(index).
  UniqueHIcon Icon(int index, int size) const;

 private:
  std::wstring path_;
  bool sound_;
};

// IconFile(file).Icon(index), for a single icon.
UniqueHIcon ExtractIconFrom(const std::wstring& file, int index);

}  // namespace common
