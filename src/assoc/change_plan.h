#pragma once
// A change of the registry as a list of steps, each with the state it expects before and the
// state after, built by reading only. Every change the tool makes is first such a plan: the
// policy checks it, the backup saves its inverse, and applying it writes exactly its steps.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "assoc/reg_file.h"
#include "assoc/reg_key.h"
#include "common/handles.h"

namespace assoc {

// The changes the tool makes, as the history and its questions name them.
enum class TChangeOperation { Link, Unlink, RemoveUserChoice, Restore, Import, AddOpenWith, EditFileType };

// The operation's name: 登録, 削除, 利用者の選択の削除, 復元, 読み込み, 「開く」の候補の追加,
// ファイルタイプの変更.
std::wstring_view ChangeOperationName(TChangeOperation operation) noexcept;

// A value as it is or will be: absent, or its type and bytes.
struct TValueState {
  bool Exists = false;
  DWORD Type = REG_NONE;
  std::string Data;
  bool operator==(const TValueState&) const = default;
};

enum class TStepKind { CreateKey, SetValue, DeleteValue, DeleteKey };

// One step. Key is a path with its root spelled out ("HKEY_CLASSES_ROOT\.txt").
struct TChangeStep {
  TStepKind Kind = TStepKind::CreateKey;
  std::wstring Key;
  std::wstring Value;             // SetValue, DeleteValue: the value's name (empty: the default value)
  TValueState Before;             // SetValue, DeleteValue: as found when planned
  TValueState After;              // SetValue: what it becomes
  std::vector<TRegValue> Values;  // DeleteKey: what the key held; its sub-keys go in earlier steps
};

// A whole change: what it is, what it is about, and its steps in the order they apply.
struct TChangePlan {
  TChangeOperation Operation = TChangeOperation::Link;
  std::wstring Subject;  // the extension, protocol (its scheme) or file the change is about
  std::vector<TChangeStep> Steps;
  bool Notify = true;  // the shell is told once the change is applied
  // Further extensions the change is about, whose keys it may leave as they are (a file that
  // holds an extension's key as it already is).
  std::vector<std::wstring> Extensions;
  // The protocols (schemes, without the ":") the change is about, whose keys it may change.
  std::vector<std::wstring> Protocols;
  // The file types and application registrations (Applications\<name>) a registry file names,
  // which the preview lists before the keys.
  std::vector<std::wstring> FileTypes;
  std::vector<std::wstring> Applications;
  // The user was told which other extensions use a file type the change writes into, and agreed
  // (a register, the file type window, an undo or redo of such a change): such a type may change.
  bool SharedTypesAllowed = false;
};

// Letter case folded as the registry compares names, for maps keyed by key or value names.
std::wstring FoldName(std::wstring_view name);

// Builds a plan's steps from what the registry holds now and what earlier steps of the same plan
// do. Only differences become steps: a value that already holds its data is not written, a key
// that stays is never removed and created again. Reads only, never through a registry link;
// raises Exception naming the key when a key that exists cannot be read completely or is a link.
class TPlanBuilder {
 public:
  // tick, when given, is called after every 256th key the plan reads, so that a window whose
  // thread plans a large file can answer meanwhile.
  explicit TPlanBuilder(TChangePlan& plan, std::function<void()> tick = {}) : plan_(plan), tick_(std::move(tick)) {}

  // The key exists once the earlier steps are applied.
  bool KeyExists(const std::wstring& key);
  // The value as it will be once the earlier steps are applied.
  TValueState ValueOf(const std::wstring& key, const std::wstring& name);
  // Creates key, and first the missing keys above it (the root stays as it is).
  void EnsureKey(const std::wstring& key);
  // Sets a value, creating its key when missing.
  void SetValue(const std::wstring& key, const std::wstring& name, DWORD type, std::string data);
  // Sets a text value (REG_SZ, or type REG_EXPAND_SZ) to text with its terminating NUL.
  void SetText(const std::wstring& key, const std::wstring& name, std::wstring_view text, DWORD type = REG_SZ);
  // Removes a value; nothing when it is absent.
  void DeleteValue(const std::wstring& key, const std::wstring& name);
  // Removes key with all its sub-keys, deepest first; nothing when it is missing. Raises
  // Exception (ChangeRefused) for a root.
  void DeleteTree(const std::wstring& key);
  // Removes key when it has no sub-keys; a key with sub-keys, or a missing one, stays.
  void DeleteKeyIfLeaf(const std::wstring& key);
  // The values of key as they will be: the registry's in its order, then those the plan adds.
  std::vector<TRegValue> Values(const std::wstring& key);
  // The names of key's sub-keys in the registry, in its order, but those the plan removed. Empty
  // for a key that is missing or that the plan removed or created.
  std::vector<std::wstring> SubKeyNames(const std::wstring& key);

 private:
  enum class KeyState { Gone, Fresh };
  // What the plan did to one key: removed or created it (a created key holds only what the plan
  // sets in it), and the values it set or removed there: by name, the step that did it last.
  struct KeyRecord {
    std::optional<KeyState> state;
    std::vector<std::pair<std::wstring, size_t>> values;
    // Folded name -> place in values, once a key has more values than a look along them costs.
    std::unique_ptr<std::unordered_map<std::wstring, size_t>> at;
    // The place in values of name; values.size() when it has none.
    size_t Find(const std::wstring& name) const;
    void Clear();
  };
  // Appends the DeleteKey steps of key and the keys below it, deepest first.
  void DeleteSubTree(const std::wstring& key);
  KeyRecord* Record(const std::wstring& key);
  // The step that last set or removed value name of key; null when none did.
  const TChangeStep* Planned(KeyRecord* record, const std::wstring& name) const;
  void Plan(const std::wstring& key, const std::wstring& name, size_t step);
  // Opens key for reading through the cursor, never through a link: ERROR_SUCCESS,
  // ERROR_FILE_NOT_FOUND, or raises (a link, or a key that cannot be read).
  LONG Open(const std::wstring& key, HKEY& handle);

  TChangePlan& plan_;
  std::function<void()> tick_;
  size_t reads_ = 0;
  // By key name, letter case folded.
  std::unordered_map<std::wstring, KeyRecord> keys_;
  std::wstring openPath_;
  HKEY open_ = nullptr;
  LONG openResult_ = ERROR_FILE_NOT_FOUND;
  TKeyCursor cursor_{KEY_READ};
};

// Adds to builder what it takes to make the registry hold what document says, as the registry
// editor would read it ("[-KEY]" removes a key with its sub-keys, "[KEY]" creates it, values
// are set or removed), with only the differences as steps: a key that a removal takes and a
// later section gives back keeps its write time and loses only what the file does not hold.
// Linear in the file and in the keys it removes; no recursion, whatever the depth. Raises
// Exception naming the key when a key cannot be read or is a registry link.
void PlanDocument(const TRegDocument& document, TPlanBuilder& builder);

// A file that undoes plan once it has been applied (steps in reverse). Keys that hold the
// user's choice (FileExts\<ext>\UserChoice and UserChoiceLatest, which no file can restore)
// are left out; choiceLost tells whether the plan removed one.
TRegDocument InverseDocument(const TChangePlan& plan, bool* choiceLost = nullptr);

// A file that makes the same change again (steps in order).
TRegDocument ForwardDocument(const TChangePlan& plan);

// True when key (a path with its root spelled out) is FileExts\<ext>\UserChoice or
// UserChoiceLatest, or UrlAssociations\<scheme>\UserChoice or UserChoiceLatest, or lies below
// one.
bool IsChoiceKey(std::wstring_view key) noexcept;

// The key names of path, from the root on.
std::vector<std::wstring_view> KeyNames(std::wstring_view path);

// The path without its last key name; the path itself when it has none.
std::wstring ParentPath(std::wstring_view path);

}  // namespace assoc
