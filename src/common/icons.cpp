#include "common/icons.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/local_files.h"

namespace common {

namespace {

// The bytes of an open file, mapped read-only. The mapping is made at the size the file had, so
// the file cannot be cut shorter while it lives; others may still change the bytes, so what goes
// to the platform is copied out and checked again (Copy).
class MappedFile {
 public:
  explicit MappedFile(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart == 0 || size.QuadPart > 0x7FFFFFFF) return;
    mapping_.reset(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, static_cast<DWORD>(size.QuadPart), nullptr));
    if (!mapping_) return;
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size.QuadPart)));
    if (view_) size_ = static_cast<size_t>(size.QuadPart);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Copies the object at offset; false when it does not lie wholly inside the file.
  template <typename T>
  bool Read(size_t offset, T& out) const {
    if (!Holds(offset, sizeof(T))) return false;
    std::memcpy(&out, Bytes() + offset, sizeof(T));
    return true;
  }
  // True when the length bytes at offset lie inside the file.
  bool Holds(uint64_t offset, uint64_t length) const { return offset <= size_ && size_ - offset >= length; }
  // The length bytes at offset, copied; empty when they do not lie inside the file.
  std::vector<BYTE> Copy(size_t offset, size_t length) const {
    if (!Holds(offset, length)) return {};
    return std::vector<BYTE>(Bytes() + offset, Bytes() + offset + length);
  }

 private:
  const BYTE* Bytes() const { return static_cast<const BYTE*>(view_.get()); }
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

// Where some bytes lie in the file.
struct Blob {
  size_t offset = 0;
  size_t size = 0;
};
// An icon group: its bytes, and the resource id it has when it is numbered.
struct Group {
  Blob bytes;
  bool numbered = false;
  WORD id = 0;
};
// An icon image, under the id that groups name it by (with the name bit of its format).
struct Image {
  WORD id;
  Blob bytes;
  bool operator<(const Image& other) const { return id < other.id; }
};

// The icons a file holds, as its check found them.
struct Holdings {
  std::vector<Group> groups;  // in the order the file lists them: icon number i is groups[i]
  std::vector<Image> images;  // sorted by id; a resource's first language only
  WORD nameBit = 0;           // added to a group entry's id to find its image (NE: numbered)
  std::vector<BYTE> made;     // an icon file's directory as a group (groups[0]'s bytes)
};

// An icon file: every image its directory lists lies inside the file. Holds one group, made
// from the directory, whose entry i names image i + 1.
bool IconFileIsWhole(const MappedFile& f, Holdings& held) {
  WORD header[3];
  if (!f.Read(0, header)) return false;
  const WORD count = header[2];
  held.made.resize(kGroupHeader + size_t{count} * sizeof(GroupEntry));
  std::memcpy(held.made.data(), header, sizeof header);
  for (WORD i = 0; i < count; ++i) {
    IconDirEntry entry;
    if (!f.Read(6 + i * sizeof entry, entry) || !f.Holds(entry.offset, entry.bytes)) return false;
    const GroupEntry named{entry.width,  entry.height,   entry.colors, entry.reserved,
                           entry.planes, entry.bitCount, entry.bytes,  static_cast<WORD>(i + 1)};
    std::memcpy(held.made.data() + kGroupHeader + i * sizeof named, &named, sizeof named);
    held.images.push_back(Image{static_cast<WORD>(i + 1), Blob{entry.offset, entry.bytes}});
  }
  if (count > 0) held.groups.push_back(Group{Blob{0, held.made.size()}, false, 0});
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
bool NeIsWhole(const MappedFile& f, size_t ne, Holdings& held) {
  IMAGE_OS2_HEADER header;
  if (!f.Read(ne, header)) return false;
  // Readers take a table this short for no table at all.
  const int span = header.ne_restab - header.ne_rsrctab;
  if (span >= 0 && span <= static_cast<int>(sizeof(NeTypeInfo))) return true;
  const size_t table = ne + header.ne_rsrctab;
  WORD shift = 0;
  if (!f.Read(table, shift) || shift >= 32) return false;

  constexpr WORD kIcon = 0x8003, kGroup = 0x800E, kNumbered = 0x8000;
  const auto bytes = [shift](const NeNameInfo& name) {
    return Blob{static_cast<size_t>(uint64_t{name.offset} << shift),
                static_cast<size_t>(uint64_t{name.length} << shift)};
  };
  std::vector<WORD> icons;
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
      if (type.type == kIcon) {
        icons.push_back(name.id);
        held.images.push_back(Image{name.id, bytes(name)});
      }
      if (type.type == kGroup)
        held.groups.push_back(Group{bytes(name), (name.id & kNumbered) != 0, static_cast<WORD>(name.id & ~kNumbered)});
    }
  }
  std::sort(icons.begin(), icons.end());
  // Readers take the first of several icons of one id.
  std::stable_sort(held.images.begin(), held.images.end());
  held.nameBit = kNumbered;
  Budget budget;
  for (const Group& group : held.groups)
    if (!GroupIsWhole(f, group.bytes.offset, group.bytes.size, icons, kNumbered, budget)) return false;
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
  PeResources(const MappedFile& f, std::vector<IMAGE_SECTION_HEADER> sections, size_t root, Holdings& held)
      : f_(f), sections_(std::move(sections)), root_(root), held_(held) {}

  // True when the tree has three levels (type, name, language) and no directory is reached
  // twice, every directory, entry, name and data block lies inside the file, each name has a
  // language, and every icon group lies inside its data and names icons that the tree holds.
  // Lists the icon groups of the first icon-group type and the icons of the first icon type,
  // each in its first language.
  bool AreWhole() {
    if (!Directory(root_, 0, Kind::Other, Group{})) return false;
    std::sort(icons_.begin(), icons_.end());
    std::stable_sort(held_.images.begin(), held_.images.end());
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

  // The directory at offset, of level 0 (types), 1 (names, of the type kind) or 2 (languages of
  // the resource name).
  bool Directory(size_t offset, int level, Kind kind, Group name) {
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
        Kind next = !numbered                           ? Kind::Other
                    : entry.Id == LOWORD(RT_ICON)       ? Kind::Icon
                    : entry.Id == LOWORD(RT_GROUP_ICON) ? Kind::Group
                                                        : Kind::Other;
        listing_ = (next == Kind::Icon && !iconsListed_) || (next == Kind::Group && !groupsListed_);
        iconsListed_ |= next == Kind::Icon;
        groupsListed_ |= next == Kind::Group;
        if (!Directory(target, 1, next, Group{})) return false;
      } else if (level == 1) {
        if (kind == Kind::Icon && numbered) icons_.push_back(entry.Id);
        if (!Directory(target, 2, kind, Group{Blob{}, numbered, numbered ? entry.Id : WORD{0}})) return false;
      } else {
        IMAGE_RESOURCE_DATA_ENTRY data;
        size_t at = 0;
        if (!f_.Read(target, data) || !Locate(data.OffsetToData, data.Size, at)) return false;
        if (kind == Kind::Group) groups_.emplace_back(at, data.Size);
        if (i > 0 || !listing_) continue;
        if (kind == Kind::Group) held_.groups.push_back(Group{Blob{at, data.Size}, name.numbered, name.id});
        if (kind == Kind::Icon && name.numbered) held_.images.push_back(Image{name.id, Blob{at, data.Size}});
      }
    }
    return true;
  }

  const MappedFile& f_;
  std::vector<IMAGE_SECTION_HEADER> sections_;
  size_t root_;
  Holdings& held_;
  std::unordered_set<size_t> seen_;
  Budget budget_;
  std::vector<WORD> icons_;
  std::vector<std::pair<size_t, size_t>> groups_;
  bool listing_ = false;  // the type being walked is the first of its kind: its resources are listed
  bool iconsListed_ = false, groupsListed_ = false;
};

// The most sections an image may have (the system's loader refuses more).
constexpr WORD kMaxSections = 96;

// A PE image whose headers are at nt: its headers, section table and resources lie inside the
// file (PeResources::AreWhole).
bool PeIsWhole(const MappedFile& f, size_t nt, Holdings& held) {
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
  return PeResources(f, std::move(sections), root, held).AreWhole();
}

// A program or library: PE (32 or 64 bits) or NE, each whole; other kinds (DOS, LE) hold no icons.
bool ImageIsWhole(const MappedFile& f, Holdings& held) {
  IMAGE_DOS_HEADER dos;
  if (!f.Read(0, dos) || dos.e_lfanew < 0) return false;
  const size_t header = static_cast<size_t>(dos.e_lfanew);
  DWORD signature = 0;
  if (!f.Read(header, signature)) return false;
  if (signature == IMAGE_NT_SIGNATURE) return PeIsWhole(f, header, held);
  if (LOWORD(signature) == IMAGE_OS2_SIGNATURE) return NeIsWhole(f, header, held);
  return false;
}

// The largest icon image, in pixels across or down, that is built: real icons have at most 256,
// and a larger one would only make the platform allocate for it.
constexpr uint64_t kLargestImage = 1024;
// The most bytes an icon image is read with: a 32-bit bitmap of kLargestImage pixels each way
// with its mask needs 4.3 MB; a PNG image holds less.
constexpr size_t kLargestImageBytes = size_t{8} << 20;

// True for the bytes of an icon image that the platform may read whole: a PNG image of at most
// kLargestImage pixels each way, or a bitmap whose header, colour table, pixels and mask lie
// inside them.
bool ImageBytesAreWhole(const std::vector<BYTE>& image) {
  static constexpr BYTE kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (image.size() >= 24 && std::memcmp(image.data(), kPng, sizeof kPng) == 0) {
    // The header chunk comes first: its width and height, big-endian, at 16 and 20.
    const auto big = [&](size_t at) {
      return uint64_t{image[at]} << 24 | uint64_t{image[at + 1]} << 16 | uint64_t{image[at + 2]} << 8 | image[at + 3];
    };
    return big(16) <= kLargestImage && big(20) <= kLargestImage;
  }
  BITMAPINFOHEADER header;
  if (image.size() < sizeof header) return false;
  std::memcpy(&header, image.data(), sizeof header);
  const uint64_t bits = header.biBitCount;
  if (header.biSize < sizeof header || header.biSize > image.size() || header.biPlanes != 1 || header.biWidth <= 0 ||
      static_cast<uint64_t>(header.biWidth) > kLargestImage || header.biHeight < 2 ||
      static_cast<uint64_t>(header.biHeight) > 2 * kLargestImage)
    return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  const bool masks = header.biCompression == BI_BITFIELDS;
  if (header.biCompression != BI_RGB && !(masks && (bits == 16 || bits == 32))) return false;
  const uint64_t palette = bits <= 8 ? uint64_t{1} << bits : 256;
  if (header.biClrUsed > palette) return false;
  const uint64_t colors = header.biClrUsed != 0 ? header.biClrUsed : bits <= 8 ? palette : 0;
  const uint64_t width = static_cast<uint64_t>(header.biWidth), rows = static_cast<uint64_t>(header.biHeight) / 2;
  const uint64_t need = header.biSize + (masks && header.biSize == sizeof header ? 12 : 0) + colors * 4 +
                        (width * bits + 31) / 32 * 4 * rows + (width + 31) / 32 * 4 * rows;
  return need <= image.size();
}

HICON RealCreateIcon(const std::vector<BYTE>& image, int cx, int cy) {
  return CreateIconFromResourceEx(const_cast<BYTE*>(image.data()), static_cast<DWORD>(image.size()), TRUE, 0x00030000,
                                  cx, cy, LR_DEFAULTCOLOR);
}

}  // namespace

Seam<HICON(const std::vector<BYTE>& image, int cx, int cy)> CreateIconRaw(&RealCreateIcon);

// The mapping of one opened file and what its check found in it.
class IconFile::Source {
 public:
  explicit Source(HANDLE file) : file_(file) {}

  // Checks the file and lists its icons; false when it may hold none (see IconFile).
  bool Read() {
    WORD start[2];
    if (!file_.Read(0, start)) return false;
    if (start[0] == IMAGE_DOS_SIGNATURE) return ImageIsWhole(file_, held_);
    if (start[0] == 0 && start[1] == 1) return IconFileIsWhole(file_, held_);
    return false;
  }

  UINT Count() const { return static_cast<UINT>(held_.groups.size()); }

  // Icon number index at cx x cy pixels; empty when there is none.
  UniqueHIcon Build(int index, int cx, int cy) const {
    const Group* group = Find(index);
    if (!group) return {};
    // No group has more than 65,535 entries; what lies behind them is not read.
    const std::vector<BYTE> bytes =
        held_.made.empty()
            ? file_.Copy(group->bytes.offset, std::min(group->bytes.size, kGroupHeader + 0xFFFF * sizeof(GroupEntry)))
            : held_.made;
    WORD count = 0;
    if (bytes.size() < kGroupHeader) return {};
    std::memcpy(&count, bytes.data() + 4, sizeof count);
    if (bytes.size() - kGroupHeader < size_t{count} * sizeof(GroupEntry)) return {};
    const int id = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(bytes.data()), TRUE, cx, cy, LR_DEFAULTCOLOR);
    if (id <= 0 || id > 0xFFFF) return {};
    const Image wanted{static_cast<WORD>(id | held_.nameBit), {}};
    const auto image = std::lower_bound(held_.images.begin(), held_.images.end(), wanted);
    if (image == held_.images.end() || image->id != wanted.id) return {};
    if (image->bytes.size > kLargestImageBytes) return {};
    const std::vector<BYTE> pixels = file_.Copy(image->bytes.offset, image->bytes.size);
    if (!ImageBytesAreWhole(pixels)) return {};
    return UniqueHIcon(CreateIconRaw(pixels, cx, cy));
  }

 private:
  // The group of icon number index: the index-th listed, or for a negative index the numbered
  // group of id -index; null when there is none.
  const Group* Find(int index) const {
    if (index >= 0) return static_cast<size_t>(index) < held_.groups.size() ? &held_.groups[index] : nullptr;
    const int64_t id = -int64_t{index};
    for (const Group& group : held_.groups)
      if (group.numbered && group.id == id) return &group;
    return nullptr;
  }

  MappedFile file_;
  Holdings held_;
};

IconFile::IconFile(const std::wstring& path) {
  const bool bare = path.find_first_of(L"\\/:") == std::wstring::npos;
  const CheckedFile checked = OpenForCheck(bare ? FindOnLocalSearchPath(path, nullptr) : path);
  if (!checked.file) return;
  auto source = std::make_unique<Source>(checked.file.get());
  if (source->Read()) source_ = std::move(source);
}

IconFile::~IconFile() = default;

UINT IconFile::Count() const { return source_ ? source_->Count() : 0; }

UniqueHIcon IconFile::Icon(int index) const {
  return Build(index, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
}

UniqueHIcon IconFile::Icon(int index, int size) const { return Build(index, size, size); }

UniqueHIcon IconFile::Build(int index, int cx, int cy) const {
  if (!source_ || index == -1) return {};
  return source_->Build(index, cx, cy);
}

UniqueHIcon ExtractIconFrom(const std::wstring& file, int index) { return IconFile(file).Icon(index); }

}  // namespace common
