#pragma once
// Icons taken from executables, libraries and icon files.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/seam.h"

namespace common {

// CreateIconFromResourceEx on the bytes of one icon image, checked and copied out of the file
// (a bitmap whose header, colours, pixels and mask lie inside them, or a PNG image), at cx x cy
// pixels: a new icon handle, or null. The only way bytes of a file reach the platform's reader;
// tests wrap it to watch the handles that come out.
extern Seam<HICON(const std::vector<BYTE>& image, int cx, int cy)> CreateIconRaw;

// The icons of one file, read from one opening of it: the file is opened once (see
// OpenForCheck: local files only, a link not followed), mapped, and every icon is built from the
// bytes of that mapping, so the file cannot be swapped between the check and the reading. A
// program, library or icon file that is cut short, or whose tables point outside it, holds no
// icons here. Checked are the headers and sections of 32- and 64-bit programs (PE), their
// resource tree and every icon group in it, the resource table of 16-bit programs (NE) and their
// icon groups, and the directory of icon files; other programs (DOS, LE) and files of other kinds
// hold no icons. A name without a folder is looked up on the local folders of the search path
// (FindOnLocalSearchPath); a name that is not found, a path that is not local, or a file that
// cannot be read, holds no icons.
class IconFile {
 public:
  explicit IconFile(const std::wstring& path);
  ~IconFile();
  IconFile(const IconFile&) = delete;
  IconFile& operator=(const IconFile&) = delete;

  // The number of icons (icon groups; 1 for an icon file); 0 when it holds none or cannot be read.
  UINT Count() const;
  // Icon number index (a negative one is the resource id of an icon group) at the system's icon
  // size, owned by the caller; empty when there is none, and for -1.
  UniqueHIcon Icon(int index) const;
  // Icon number index as the image of size x size pixels that the file holds nearest to it
  // (scaled where it holds none that size), owned by the caller; empty as for Icon(index).
  UniqueHIcon Icon(int index, int size) const;

 private:
  class Source;
  UniqueHIcon Build(int index, int cx, int cy) const;
  std::unique_ptr<const Source> source_;  // null: no icons
};

// IconFile(file).Icon(index), for a single icon.
UniqueHIcon ExtractIconFrom(const std::wstring& file, int index);

}  // namespace common
