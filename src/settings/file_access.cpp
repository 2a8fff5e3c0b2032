#include "settings/file_access.h"

#include <algorithm>
#include <vector>

#include "common/exception.h"
#include "common/handles.h"

namespace settings {

namespace {

// Larger files are refused as settings files: no setting needs them, and they would only tie up
// memory.
constexpr LONGLONG kLargestFile = 1LL << 30;
// The most that one ReadFile or WriteFile call is asked to move.
constexpr DWORD kChunk = 1u << 26;

// The message of a write that stopped short.
constexpr wchar_t kWriteError[] = L"ストリームへの書き込みエラー";

Exception CannotOpen(const std::wstring& name, DWORD error) {
  return Exception(L"ファイル " + FullPathName(name) + L" は開けません。 " + SystemMessageText(error) + L" ");
}

Exception CannotCreate(const std::wstring& fullName, DWORD error) {
  return Exception(L"ファイル \"" + fullName + L"\" を作成できません。" + SystemMessageText(error));
}

// A file that is deleted when the owner goes, unless it was handed on.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::wstring& Path() const { return path_; }
  // The file now lives under another name: nothing is left to delete.
  void Release() { path_.clear(); }

 private:
  std::wstring path_;
};

// Writes into an open file in the order the pieces come, gathering small ones up to kBuffer bytes,
// and checking that every byte arrives.
class FileSink : public ByteSink {
 public:
  explicit FileSink(HANDLE file) : file_(file) {}
  void Write(std::string_view bytes) override {
    if (buffer_.size() + bytes.size() > kBuffer) Flush();
    // A large piece goes out by itself, after what waited before it.
    if (bytes.size() > kBuffer) return WriteOut(bytes);
    buffer_.append(bytes);
  }
  void Flush() {
    WriteOut(buffer_);
    buffer_.clear();
  }

 private:
  static constexpr size_t kBuffer = 1 << 20;
  void WriteOut(std::string_view bytes) {
    for (size_t done = 0; done < bytes.size();) {
      const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kChunk));
      DWORD written = 0;
      // A full disk may answer TRUE with fewer bytes written (Wine does): count them.
      if (!WriteFile(file_, bytes.data() + done, want, &written, nullptr) || written != want)
        throw Exception(kWriteError);
      done += written;
    }
  }
  HANDLE file_;
  std::string buffer_;
};

// The errors of ReplaceFileW after which the rename may still put the new file in place: the old
// file is gone (removed meanwhile, or by ReplaceFileW itself), or the platform cannot replace it.
constexpr DWORD kRenameAfter[] = {ERROR_FILE_NOT_FOUND, ERROR_UNABLE_TO_MOVE_REPLACEMENT,
                                  ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, ERROR_NOT_SUPPORTED, ERROR_INVALID_FUNCTION};

// Puts the file temp in target's place: by ReplaceFileW, which keeps target's security, where
// target exists and that works; else by renaming it. Target's attributes (when it had any) are set
// again, since Wine's ReplaceFileW and the rename drop them. Returns false with the error as the
// last error.
bool TakePlace(const std::wstring& temp, const std::wstring& target, DWORD attributes) {
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  const auto replace = [&] {
    return ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
  };
  if (!exists || !replace()) {
    if (exists && std::find(std::begin(kRenameAfter), std::end(kRenameAfter), GetLastError()) == std::end(kRenameAfter))
      return false;
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
  }
  if (exists) SetFileAttributesW(target.c_str(), attributes);
  return true;
}

}  // namespace

std::wstring FullPathName(const std::wstring& name) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return name;
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n);
  }
}

std::string ReadWholeFile(const std::wstring& name) {
  common::UniqueFileHandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) throw CannotOpen(name, GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) throw CannotOpen(name, GetLastError());
  if (size.QuadPart > kLargestFile) throw CannotOpen(name, ERROR_FILE_TOO_LARGE);
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  size_t total = 0;
  while (total < bytes.size()) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - total, kChunk));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + total, want, &got, nullptr)) throw CannotOpen(name, GetLastError());
    if (got == 0) break;
    total += got;
  }
  bytes.resize(total);
  return bytes;
}

void ReplaceWholeFile(const std::wstring& name, const std::function<void(ByteSink&)>& produce) {
  const std::wstring full = FullPathName(name);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  // Checked here because a process with full rights (root under Wine) may write read-only files.
  if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    throw CannotCreate(full, ERROR_ACCESS_DENIED);
  if (exists) {
    // Whoever holds the file open keeps it: the same answer as creating it over theirs.
    common::UniqueFileHandle probe(
        CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe) throw CannotCreate(full, GetLastError());
  }

  const size_t cut = full.find_last_of(L'\\');
  const std::wstring folder = cut == std::wstring::npos ? std::wstring(L".") : full.substr(0, cut + 1);
  std::vector<wchar_t> tempName(folder.size() + MAX_PATH, L'\0');
  if (!GetTempFileNameW(folder.c_str(), L"tvr", 0, tempName.data())) throw CannotCreate(full, GetLastError());
  TemporaryFile temp(tempName.data());
  {
    common::UniqueFileHandle file(
        CreateFileW(temp.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw CannotCreate(full, GetLastError());
    FileSink sink(file.get());
    produce(sink);
    sink.Flush();
    // The new content is on the disk before it stands in for the old.
    if (!FlushFileBuffers(file.get())) throw Exception(kWriteError);
  }
  if (!TakePlace(temp.Path(), full, attributes)) throw CannotCreate(full, GetLastError());
  temp.Release();
}

}  // namespace settings
