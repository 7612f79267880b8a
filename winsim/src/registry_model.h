// The registry of the simulated machine: two hives of keys with typed values, stored
// as Windows stores them (REG_SZ data is UTF-16LE with its terminator, as written).
// winsim's own models (the spooler, MoveFileExW) keep their state here through this API.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim {

enum class Hive { LocalMachine, CurrentUser };

struct RegValue {
    std::string name; // as first written
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

// A hive keeps a key's subkeys sorted by their upper-cased names, the order in which
// RegEnumKeyEx and the services that read the registry (the spooler) meet them: "A_B"
// comes after "AB", as '_' sorts after every upper-case letter.
struct RegistryOrder {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct RegKey {
    std::string name;                                                      // as first created
    std::map<std::string, RegValue> values;                                // by case-folded name
    std::map<std::string, std::unique_ptr<RegKey>, RegistryOrder> subkeys; // by case-folded name
};

// A key the program holds open. The path is resolved again on every use, so a handle
// to a key that was deleted meanwhile fails instead of pointing into freed memory.
struct RegHandle {
    Hive hive = Hive::LocalMachine;
    std::string path;
    REGSAM access = 0;
};

class Registry {
  public:
    // Paths are UTF-8, backslash-separated, matched without regard to case.
    RegKey* find(Hive hive, const std::string& path);
    RegKey* create(Hive hive, const std::string& path);
    bool removeTree(Hive hive, const std::string& path);
    RegKey& root(Hive hive);

    static void setValue(RegKey& key, const std::string& name, DWORD type, const void* data,
                         size_t size);
    static const RegValue* value(const RegKey& key, const std::string& name);
    static bool removeValue(RegKey& key, const std::string& name);

    // REG_SZ / REG_MULTI_SZ / REG_DWORD helpers over the raw bytes.
    static void setString(RegKey& key, const std::string& name, const std::string& utf8);
    static std::string getString(const RegKey& key, const std::string& name); // "" when absent
    static void setMultiString(RegKey& key, const std::string& name,
                               const std::vector<std::string>& strings);
    static std::vector<std::string> getMultiString(const RegKey& key, const std::string& name);
    static void setDword(RegKey& key, const std::string& name, DWORD v);
    static DWORD getDword(const RegKey& key, const std::string& name, DWORD fallback);

    // HKEY values handed to the program; never null, never a predefined key, never reused.
    HKEY addHandle(const RegHandle& handle);
    const RegHandle* handle(HKEY key) const;
    bool closeHandle(HKEY key);
    size_t openHandles() const { return handles_.size(); }

    // Empties both hives and forgets open handles. The keys every Windows machine has
    // are added by the machine store, which knows what a fresh machine looks like.
    void reset();
    // One text file per hive: dir/registry/HKLM.reg and dir/registry/HKCU.reg.
    bool save(const std::string& dir) const;
    bool load(const std::string& dir);

  private:
    RegKey localMachine_{"HKEY_LOCAL_MACHINE", {}, {}};
    RegKey currentUser_{"HKEY_CURRENT_USER", {}, {}};
    std::map<uintptr_t, RegHandle> handles_;
    uintptr_t nextHandle_ = 0x1a0;
};

// The hive and the path below it that the text files and the control API write as one
// name ("HKEY_LOCAL_MACHINE\SOFTWARE\..."); false for roots the machine does not model.
bool splitRootedPath(const std::string& rooted, Hive& hive, std::string& path);
const char* hiveName(Hive hive);

} // namespace winsim
