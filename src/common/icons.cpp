#include "common/icons.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <utility>
#include <vector>

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
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (view_) size_ = static_cast<size_t>(size.QuadPart);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Copies the object at offset; false when it does not lie wholly inside the file.
  template <typename T>
  bool Read(size_t offset, T& out) const {
    if (!Holds(offset, sizeof(T))) return false;
    std::memcpy(&out, static_cast<const unsigned char*>(view_.get()) + offset, sizeof(T));
    return true;
  }
  // True when the length bytes at offset lie inside the file.
  bool Holds(uint64_t offset, uint64_t length) const { return offset <= size_ && size_ - offset >= length; }

 private:
  UniqueFileHandle file_;
  UniqueKernelHandle mapping_;
  UniqueMappedView view_;
  size_t size_ = 0;
};

// The entries (directory entries and icon-group entries) that one check reads at most. Real
// libraries read a few thousand (Wine's shell32.dll, the most of its system files, 5,062);
// tables that reach each other over and over would ask for billions.
constexpr size_t kEntryBudget = size_t{1} << 20;

// Counts entries against kEntryBudget.
class Budget {
 public:
  // False once more than kEntryBudget entries have been taken.
  bool Take(size_t entries) {
    used_ += entries;
    return used_ <= kEntryBudget;
  }

 private:
  size_t used_ = 0;
};

#pragma pack(push, 1)
struct IconDirEntry {
  BYTE width, height, colors, reserved;
  WORD planes, bitCount;
  DWORD bytes, offset;
};
// An icon group's entry, as libraries of both formats hold it.
struct GroupEntry {
  BYTE width, height, colors, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct NeTypeInfo {
  WORD type, count;
  DWORD loader;
};
struct NeNameInfo {
  WORD offset, length, flags, id, handle, usage;
};
#pragma pack(pop)

constexpr size_t kGroupHeader = 6;  // reserved, type, count

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

// An icon group of size bytes at offset: its entries lie inside it and each names an icon of
// icons (sorted), as id | nameBit.
bool GroupIsWhole(const MappedFile& f, size_t offset, size_t size, const std::vector<WORD>& icons, WORD nameBit,
                  Budget& budget) {
  WORD count = 0;
  if (size < kGroupHeader || !f.Read(offset + 4, count) || size - kGroupHeader < size_t{count} * sizeof(GroupEntry) ||
      !budget.Take(count))
    return false;
  for (WORD i = 0; i < count; ++i) {
    GroupEntry entry;
    if (!f.Read(offset + kGroupHeader + i * sizeof entry, entry) ||
        !std::binary_search(icons.begin(), icons.end(), static_cast<WORD>(entry.id | nameBit)))
      return false;
  }
  return true;
}

// A 16-bit program or library whose header is at ne: its resource table, and every resource
// it lists, lie inside the file, and its icon groups name icons it holds.
bool NeIsWhole(const MappedFile& f, size_t ne) {
  IMAGE_OS2_HEADER header;
  if (!f.Read(ne, header)) return false;
  // Readers take a table this short for no table at all.
  const int span = header.ne_restab - header.ne_rsrctab;
  if (span >= 0 && span <= static_cast<int>(sizeof(NeTypeInfo))) return true;
  const size_t table = ne + header.ne_rsrctab;
  WORD shift = 0;
  if (!f.Read(table, shift) || shift >= 32) return false;

  constexpr WORD kIcon = 0x8003, kGroup = 0x800E, kNumbered = 0x8000;
  std::vector<WORD> icons;
  std::vector<NeNameInfo> groups;
  size_t at = table + sizeof shift;
  for (;;) {
    WORD id = 0;
    if (!f.Read(at, id)) return false;
    if (id == 0) break;
    NeTypeInfo type;
    if (!f.Read(at, type)) return false;
    at += sizeof type;
    for (WORD i = 0; i < type.count; ++i, at += sizeof(NeNameInfo)) {
      NeNameInfo name;
      if (!f.Read(at, name) || !f.Holds(uint64_t{name.offset} << shift, uint64_t{name.length} << shift)) return false;
      if (type.type == kIcon) icons.push_back(name.id);
      if (type.type == kGroup) groups.push_back(name);
    }
  }
  std::sort(icons.begin(), icons.end());
  Budget budget;
  for (const NeNameInfo& group : groups)
    if (!GroupIsWhole(f, static_cast<size_t>(uint64_t{group.offset} << shift),
                      static_cast<size_t>(uint64_t{group.length} << shift), icons, kNumbered, budget))
      return false;
  return true;
}

// The file offset of relative virtual address rva of a PE image; false unless exactly one
// section holds it (readers differ in which of several they take).
bool SectionOffset(const std::vector<IMAGE_SECTION_HEADER>& sections, DWORD rva, size_t& offset) {
  int holders = 0;
  for (const IMAGE_SECTION_HEADER& s : sections) {
    if (rva < s.VirtualAddress || rva - s.VirtualAddress >= s.SizeOfRawData) continue;
    offset = size_t{s.PointerToRawData} + (rva - s.VirtualAddress);
    ++holders;
  }
  return holders == 1;
}

// The resources of a PE image, whose root directory is at file offset root.
class PeResources {
 public:
  PeResources(const MappedFile& f, std::vector<IMAGE_SECTION_HEADER> sections, size_t root)
      : f_(f), sections_(std::move(sections)), root_(root) {}

  // True when the tree has three levels (type, name, language) and no directory is reached
  // twice, every directory, entry, name and data block lies inside the file, each name has a
  // language, and every icon group lies inside its data and names icons that the tree holds.
  bool AreWhole() {
    if (!Directory(root_, 0, Kind::Other)) return false;
    std::sort(icons_.begin(), icons_.end());
    for (auto [offset, size] : groups_)
      if (!GroupIsWhole(f_, offset, size, icons_, 0, budget_)) return false;
    return true;
  }

 private:
  enum class Kind { Other, Icon, Group };

  // The file offset of the size bytes at rva: false unless they lie inside the file.
  bool Locate(DWORD rva, DWORD size, size_t& offset) const {
    return SectionOffset(sections_, rva, offset) && f_.Holds(offset, size);
  }

  bool Directory(size_t offset, int level, Kind kind) {
    IMAGE_RESOURCE_DIRECTORY dir;
    if (!seen_.insert(offset).second || !f_.Read(offset, dir)) return false;
    const size_t count = size_t{dir.NumberOfNamedEntries} + dir.NumberOfIdEntries;
    // Readers take a resource's first language without looking at the count.
    if ((level == 2 && count == 0) || !budget_.Take(count)) return false;
    for (size_t i = 0; i < count; ++i) {
      IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
      WORD nameLength = 0;
      if (!f_.Read(offset + sizeof dir + i * sizeof entry, entry)) return false;
      if (entry.NameIsString &&
          (!f_.Read(root_ + entry.NameOffset, nameLength) ||
           !f_.Holds(root_ + entry.NameOffset + sizeof nameLength, size_t{nameLength} * sizeof(WCHAR))))
        return false;
      // Readers look numbered entries up among those after the named ones.
      const bool numbered = i >= dir.NumberOfNamedEntries;
      const size_t target = root_ + entry.OffsetToDirectory;
      if (entry.DataIsDirectory != (level < 2)) return false;
      if (level == 0) {
        const Kind next = !numbered                           ? Kind::Other
                          : entry.Id == LOWORD(RT_ICON)       ? Kind::Icon
                          : entry.Id == LOWORD(RT_GROUP_ICON) ? Kind::Group
                                                              : Kind::Other;
        if (!Directory(target, 1, next)) return false;
      } else if (level == 1) {
        if (kind == Kind::Icon && numbered) icons_.push_back(entry.Id);
        if (!Directory(target, 2, kind)) return false;
      } else {
        IMAGE_RESOURCE_DATA_ENTRY data;
        size_t at = 0;
        if (!f_.Read(target, data) || !Locate(data.OffsetToData, data.Size, at)) return false;
        if (kind == Kind::Group) groups_.emplace_back(at, data.Size);
      }
    }
    return true;
  }

  const MappedFile& f_;
  std::vector<IMAGE_SECTION_HEADER> sections_;
  size_t root_;
  std::unordered_set<size_t> seen_;
  Budget budget_;
  std::vector<WORD> icons_;
  std::vector<std::pair<size_t, size_t>> groups_;
};

// The most sections an image may have (the system's loader refuses more).
constexpr WORD kMaxSections = 96;

// A PE image whose headers are at nt: its headers, section table and resources lie inside the
// file (PeResources::AreWhole).
bool PeIsWhole(const MappedFile& f, size_t nt) {
  IMAGE_FILE_HEADER file;
  if (!f.Read(nt + 4, file) || file.NumberOfSections > kMaxSections) return false;
  const size_t optional = nt + 4 + sizeof file;
  std::vector<IMAGE_SECTION_HEADER> sections(file.NumberOfSections);
  for (WORD i = 0; i < file.NumberOfSections; ++i)
    if (!f.Read(optional + file.SizeOfOptionalHeader + i * sizeof(IMAGE_SECTION_HEADER), sections[i])) return false;

  WORD magic = 0;
  if (!f.Read(optional, magic)) return false;
  IMAGE_DATA_DIRECTORY resources{};
  DWORD headers = 0;
  auto take = [&](const auto& header) {
    if (header.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_RESOURCE)
      resources = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
    headers = header.SizeOfHeaders;
  };
  if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    IMAGE_OPTIONAL_HEADER64 header;
    if (!f.Read(optional, header)) return false;
    take(header);
  } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    IMAGE_OPTIONAL_HEADER32 header;
    if (!f.Read(optional, header)) return false;
    take(header);
  } else {
    return false;
  }
  if (resources.VirtualAddress == 0) return true;
  // Readers take an address inside the headers for a file offset, as the system's loader does.
  size_t root = resources.VirtualAddress;
  if (resources.VirtualAddress >= headers && !SectionOffset(sections, resources.VirtualAddress, root)) return false;
  return PeResources(f, std::move(sections), root).AreWhole();
}

// A program or library: PE (32 or 64 bits) or NE, each whole; other kinds (DOS, LE) hold no icons.
bool ImageIsWhole(const MappedFile& f) {
  IMAGE_DOS_HEADER dos;
  if (!f.Read(0, dos) || dos.e_lfanew < 0) return false;
  const size_t header = static_cast<size_t>(dos.e_lfanew);
  DWORD signature = 0;
  if (!f.Read(header, signature)) return false;
  if (signature == IMAGE_NT_SIGNATURE) return PeIsWhole(f, header);
  if (LOWORD(signature) == IMAGE_OS2_SIGNATURE) return NeIsWhole(f, header);
  return false;
}

// False for a file that may not be given to the platform's reader: a program, library or icon
// file that is cut short or whose tables point outside it, reach each other or run past the
// entry budget, and a file that cannot be read here. Files of other kinds go to the platform
// as they are.
bool IconSourceIsSound(const std::wstring& file) {
  MappedFile f(file);
  WORD start[2];
  if (!f.Read(0, start)) return false;
  if (start[0] == IMAGE_DOS_SIGNATURE) return ImageIsWhole(f);
  if (start[0] == 0 && start[1] == 1) return IconFileIsWhole(f);
  return true;
}

// The file that the platform's reader opens for path: it looks the name up on the search path.
// Empty when there is none.
std::wstring FoundOnSearchPath(const std::wstring& path) {
  if (path.empty()) return {};
  std::wstring found(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        SearchPathW(nullptr, path.c_str(), nullptr, static_cast<DWORD>(found.size()), found.data(), nullptr);
    if (length == 0) return {};
    if (length < found.size()) {
      found.resize(length);
      return found;
    }
    found.resize(length);
  }
}

HICON RealExtractIcon(const std::wstring& file, UINT index) {
  return ExtractIconW(GetModuleHandleW(nullptr), file.c_str(), index);
}

}  // namespace

Seam<HICON(const std::wstring& file, UINT index)> ExtractIconRaw(&RealExtractIcon);

IconFile::IconFile(const std::wstring& path)
    : path_(FoundOnSearchPath(path)), sound_(!path_.empty() && IconSourceIsSound(path_)) {}

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

UniqueHIcon IconFile::Icon(int index, int size) const {
  if (!sound_ || index == -1) return {};
  HICON icon = nullptr;
  UINT id = 0;
  if (PrivateExtractIconsW(path_.c_str(), index, size, size, &icon, &id, 1, 0) != 1) return {};
  return UniqueHIcon(icon);
}

UniqueHIcon ExtractIconFrom(const std::wstring& file, int index) { return IconFile(file).Icon(index); }

}  // namespace common
