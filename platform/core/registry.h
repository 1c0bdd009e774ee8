#pragma once
// TRegistry over the per-user settings store.
//
// HKEY_CURRENT_USER lives in one text file, registry, in $LUMACAST_REGISTRY_DIR when set,
// else $XDG_CONFIG_HOME/lumacast (default ~/.config/lumacast, the home from the password
// database when HOME is unset). A store folder that another user owns or may write to is
// neither read nor written: the program runs on its defaults and says why. Keys are paths
// of names joined by "\" ("\Software\Maker\Product\setting"); names of keys and values compare
// without regard to case and keep the case they were created with. Other roots hold no
// keys: opening a key there fails.
//
// Every change rewrites the file through a temporary file that is flushed to disk and
// renamed over the old one, under a lock file, and starts from the file as it is under
// that lock, so a crash at any moment leaves either the old or the new store and no
// process undoes another's writes. A change that cannot be written raises
// ERegistryException and leaves the old store as it was. A store file that cannot be read
// as a store is renamed aside (registry.damaged-<date>-<time>) under the lock, reported
// once through the report callback, and the program goes on with an empty store.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/classes.h"
#include "platform/core/wintypes.h"

namespace platform {

class TStrings;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t(0x80000000));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t(0x80000001));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t(0x80000002));

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// The store's file format (exposed for the fuzz target and the tests).
namespace regstore {
struct Value {
    std::string name;
    TRegDataType type = rdString;
    std::string data;  // text, or raw bytes of a binary value, or the decimal integer
};
struct Key {
    std::string path;  // as created, "\"-separated, no leading "\"
    std::vector<Value> values;
};
// Keys in file order. Parse returns false, with the reason, for anything that is not
// a complete store.
bool Parse(const std::string& text, std::vector<Key>& keys, std::string& error);
std::string Serialize(const std::vector<Key>& keys);
}  // namespace regstore

class TRegistry : public TObject {
public:
    TRegistry();
    ~TRegistry() override;

    HKEY RootKey() const { return rootKey_; }
    // Closes the current key.
    void SetRootKey(HKEY root);
    // Non-null while a key is open.
    HKEY CurrentKey() const;
    // The open key's path without leading "\" ("" for the root itself).
    const std::string& CurrentPath() const { return currentPath_; }

    // key: absolute when it starts with "\", else relative to the open key (or the root).
    // Returns false when the key does not exist (and may not be created) or cannot be
    // created; the current key is then unchanged.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    bool CreateKey(const std::string& key);
    // Deletes the key with everything below it.
    bool DeleteKey(const std::string& key);
    bool KeyExists(const std::string& key);
    bool HasSubKeys();
    void GetKeyNames(TStrings* list);
    void GetValueNames(TStrings* list);

    bool ValueExists(const std::string& name);
    bool DeleteValue(const std::string& name);
    TRegDataType GetDataType(const std::string& name);
    // Bytes of the value's data (a string counts its closing zero), -1 when missing.
    int GetDataSize(const std::string& name);

    // A missing value reads as ""; a value of another type raises
    // ERegistryException "Invalid data type for '<name>'".
    std::string ReadString(const std::string& name);
    // A missing value raises "Failed to get data for '<name>'", another type
    // "Invalid data type for '<name>'".
    int ReadInteger(const std::string& name);
    bool ReadBool(const std::string& name) { return ReadInteger(name) != 0; }
    // Copies at most bufferSize bytes; raises when the value is bigger, missing or not binary.
    int ReadBinaryData(const std::string& name, void* buffer, int bufferSize);

    // Raise ERegistryException "Failed to set data for '<name>'" (with the reason) when no
    // key is open, the key was opened read-only, or the store cannot be written.
    void WriteString(const std::string& name, const std::string& value);
    void WriteExpandString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int value);
    void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
    void WriteBinaryData(const std::string& name, const void* buffer, int size);

    // One transaction for many changes. Between BeginBatch and CommitBatch the changes made
    // through this object (keys created or deleted, values written or deleted) are kept, and
    // this object's reads see them; CommitBatch writes them all, over the store as it is
    // then, in one rename. It raises ERegistryException when the store cannot be written,
    // and then none of them is saved. Batches nest: the outermost commit writes. A batch
    // still open when the object goes, or cancelled, is dropped unwritten.
    void BeginBatch();
    void CommitBatch();
    void CancelBatch();
    bool InBatch() const { return batch_ != nullptr; }

private:
    struct Batch;
    using Image = std::vector<regstore::Key>;
    using Change = std::function<bool(Image&)>;
    // What this object reads: the open batch's image, else the store's.
    std::shared_ptr<const Image> View() const;
    // Writes the change at once, or adds it to the open batch.
    void Apply(const Change& change, const std::string& failure);
    bool ResolveKey(const std::string& key, std::string& path) const;
    void WriteValue(const std::string& name, TRegDataType type, std::string data);

    HKEY rootKey_;
    bool open_ = false;
    bool readOnly_ = false;
    std::string currentPath_;
    std::unique_ptr<Batch> batch_;
};

// The folder of the store file (see above) and the file itself.
std::string RegistryStoreDir();
std::string RegistryStoreFile();

// Where damaged-store reports go (default: standard error). nullptr restores the default.
void SetRegistryReport(std::function<void(const std::string& message)> report);
// Test hook, called after the temporary file is written and flushed and before it is
// renamed over the store; a hook that throws stands for a crash at that moment.
void SetRegistryWriteHook(std::function<void(const std::string& tempFile)> hook);


}  // namespace platform
