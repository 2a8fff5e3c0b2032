#include "common/icons.h"

#include <shellapi.h>

#include <cstring>

namespace common {

namespace {

// The bytes of a file, mapped read-only for one check.
class MappedFile {
 public:
  explicit MappedFile(const std::wstring& path) {
    file_.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size) || size.QuadPart == 0 || size.QuadPart > 0x7FFFFFFF) return;
    mapping_.reset(CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_) return;
    view_ = static_cast<const unsigned char*>(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (view_) size_ = static_cast<size_t>(size.QuadPart);
  }
  ~MappedFile() {
    if (view_) UnmapViewOfFile(view_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Copies the object at offset; false when it does not lie wholly inside the file.
  template <typename T>
  bool Read(size_t offset, T& out) const {
    if (!view_ || offset > size_ || size_ - offset < sizeof(T)) return false;
    std::memcpy(&out, view_ + offset, sizeof(T));
    return true;
  }
  bool Holds(size_t offset, size_t length) const { return offset <= size_ && size_ - offset >= length; }

 private:
  UniqueFileHandle file_;
  UniqueKernelHandle mapping_;
  const unsigned char* view_ = nullptr;
  size_t size_ = 0;
};

#pragma pack(push, 1)
struct IconDirEntry {
  BYTE width, height, colors, reserved;
  WORD planes, bitCount;
  DWORD bytes, offset;
};
#pragma pack(pop)

// An icon file: every image its directory lists lies inside the file.
bool IconFileIsWhole(const MappedFile& f) {
  WORD header[3];
  if (!f.Read(0, header)) return false;
  for (WORD i = 0; i < header[2]; ++i) {
    IconDirEntry entry;
    if (!f.Read(6 + i * sizeof entry, entry) || !f.Holds(entry.offset, entry.bytes)) return false;
  }
  return true;
}

// The file offset of a relative virtual address of a PE image, through its section table.
bool RvaToOffset(const MappedFile& f, size_t sections, WORD count, DWORD rva, size_t& offset) {
  for (WORD i = 0; i < count; ++i) {
    IMAGE_SECTION_HEADER s;
    if (!f.Read(sections + i * sizeof s, s)) return false;
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData) {
      offset = s.PointerToRawData + (rva - s.VirtualAddress);
      return true;
    }
  }
  return false;
}

// Walks a resource directory: every directory, entry and data block lies inside the file.
bool ResourcesAreWhole(const MappedFile& f, size_t sections, WORD sectionCount, size_t root, size_t directory,
                       int depth) {
  IMAGE_RESOURCE_DIRECTORY dir;
  if (depth > 3 || !f.Read(directory, dir)) return false;
  const size_t count = size_t{dir.NumberOfNamedEntries} + dir.NumberOfIdEntries;
  for (size_t i = 0; i < count; ++i) {
    IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
    if (!f.Read(directory + sizeof dir + i * sizeof entry, entry)) return false;
    const size_t target = root + (entry.OffsetToData & 0x7FFFFFFF);
    if (entry.OffsetToData & 0x80000000) {
      if (!ResourcesAreWhole(f, sections, sectionCount, root, target, depth + 1)) return false;
    } else {
      IMAGE_RESOURCE_DATA_ENTRY data;
      size_t offset = 0;
      if (!f.Read(target, data) || !RvaToOffset(f, sections, sectionCount, data.OffsetToData, offset) ||
          !f.Holds(offset, data.Size))
        return false;
    }
  }
  return true;
}

// A program or library: its headers, section table and resources lie inside the file.
bool ImageIsWhole(const MappedFile& f) {
  IMAGE_DOS_HEADER dos;
  if (!f.Read(0, dos) || dos.e_lfanew < 0) return false;
  const size_t nt = static_cast<size_t>(dos.e_lfanew);
  DWORD signature = 0;
  if (!f.Read(nt, signature)) return false;
  if (signature != IMAGE_NT_SIGNATURE) return true;  // older formats go to the platform as they are
  IMAGE_FILE_HEADER file;
  if (!f.Read(nt + 4, file)) return false;
  const size_t optional = nt + 4 + sizeof file;
  const size_t sections = optional + file.SizeOfOptionalHeader;
  if (!f.Holds(sections, size_t{file.NumberOfSections} * sizeof(IMAGE_SECTION_HEADER))) return false;

  WORD magic = 0;
  if (!f.Read(optional, magic)) return false;
  IMAGE_DATA_DIRECTORY resources{};
  if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    IMAGE_OPTIONAL_HEADER64 header;
    if (!f.Read(optional, header)) return false;
    if (header.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_RESOURCE)
      resources = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
  } else {
    IMAGE_OPTIONAL_HEADER32 header;
    if (!f.Read(optional, header)) return false;
    if (header.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_RESOURCE)
      resources = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
  }
  if (resources.VirtualAddress == 0) return true;
  size_t root = 0;
  if (!RvaToOffset(f, sections, file.NumberOfSections, resources.VirtualAddress, root)) return false;
  return ResourcesAreWhole(f, sections, file.NumberOfSections, root, root, 0);
}

// False for a program, library or icon file that is cut short or whose tables point outside
// it. Files of other kinds, and files that cannot be read here, go to the platform as they are.
bool IconSourceIsSound(const std::wstring& file) {
  MappedFile f(file);
  WORD start[2];
  if (!f.Read(0, start)) return true;
  if (start[0] == IMAGE_DOS_SIGNATURE) return ImageIsWhole(f);
  if (start[0] == 0 && start[1] == 1) return IconFileIsWhole(f);
  return true;
}

HICON RealExtractIcon(const std::wstring& file, UINT index) {
  return ExtractIconW(GetModuleHandleW(nullptr), file.c_str(), index);
}

}  // namespace

Seam<HICON(const std::wstring& file, UINT index)> ExtractIconRaw(&RealExtractIcon);

IconFile::IconFile(std::wstring path) : path_(std::move(path)), sound_(IconSourceIsSound(path_)) {}

UINT IconFile::Count() const {
  if (!sound_) return 0;
  const UINT count = static_cast<UINT>(reinterpret_cast<UINT_PTR>(ExtractIconRaw(path_, UINT_MAX)));
  // A file that is no program, library or icon file counts 1 on Windows (0 under Wine); its
  // "icon" is then no icon either.
  if (count == 1 && !Icon(0)) return 0;
  return count;
}

UniqueHIcon IconFile::Icon(int index) const {
  if (!sound_ || index == -1) return {};
  HICON icon = ExtractIconRaw(path_, static_cast<UINT>(index));
  if (reinterpret_cast<ULONG_PTR>(icon) <= 1) return {};
  return UniqueHIcon(icon);
}

UniqueHIcon ExtractIconFrom(const std::wstring& file, int index) { return IconFile(file).Icon(index); }

}  // namespace common
