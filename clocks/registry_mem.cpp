// An in-memory registry: key paths and value names compare without case, as
// the Windows registry's do.
#include <strings.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "clocks/registry.h"

namespace {

struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};

struct Value {
  uint32_t type;
  std::vector<unsigned char> bytes;
};

using Key = std::map<std::string, Value, NoCase>;
std::map<std::string, Key, NoCase> gKeys;
int32_t gWriteError = 0;
int32_t gChanges = 0;         // writes and deletions tried
int32_t gFailAt = -1;         // the change that fails, counted like gChanges
int32_t gFailAtError = 0;

// The error a change is refused with, or 0; counts the change.
int32_t NextChangeError() {
  const int32_t index = gChanges++;
  if (gWriteError != 0) return gWriteError;
  if (index == gFailAt) return gFailAtError;
  return 0;
}

}  // namespace

int32_t RegistryRead(const char* keyPath, const char* name, uint32_t* type, void* data,
                     uint32_t* size) {
  auto key = gKeys.find(keyPath);
  if (key == gKeys.end()) return kRegErrorFileNotFound;
  auto value = key->second.find(name ? name : "");
  if (value == key->second.end()) return kRegErrorFileNotFound;
  const auto& bytes = value->second.bytes;
  if (bytes.size() > *size) {
    *size = static_cast<uint32_t>(bytes.size());
    return kRegErrorMoreData;
  }
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  *type = value->second.type;
  *size = static_cast<uint32_t>(bytes.size());
  return 0;
}

int32_t RegistryWrite(const char* keyPath, const char* name, uint32_t type, const void* data,
                      uint32_t size) {
  if (const int32_t error = NextChangeError()) return error;
  const auto* p = static_cast<const unsigned char*>(data);
  gKeys[keyPath][name ? name : ""] = Value{type, std::vector<unsigned char>(p, p + size)};
  return 0;
}

int32_t RegistryDeleteValue(const char* keyPath, const char* name) {
  if (const int32_t error = NextChangeError()) return error;
  auto key = gKeys.find(keyPath);
  if (key == gKeys.end()) return kRegErrorFileNotFound;
  return key->second.erase(name ? name : "") ? 0 : kRegErrorFileNotFound;
}

int32_t RegistryDeleteTree(const char* keyPath) {
  const std::string prefix = std::string(keyPath) + "\\";
  bool found = false;
  for (auto it = gKeys.begin(); it != gKeys.end();) {
    if (strcasecmp(it->first.c_str(), keyPath) == 0 ||
        strncasecmp(it->first.c_str(), prefix.c_str(), prefix.size()) == 0) {
      it = gKeys.erase(it);
      found = true;
    } else {
      ++it;
    }
  }
  return found ? 0 : kRegErrorFileNotFound;
}

void MemoryRegistryClear() {
  gKeys.clear();
  gWriteError = 0;
  gChanges = 0;
  gFailAt = -1;
}

void MemoryRegistryFailWrites(int32_t error) { gWriteError = error; }

void MemoryRegistryFailChangeAt(int32_t index, int32_t error) {
  gFailAt = index < 0 ? -1 : gChanges + index;
  gFailAtError = error;
}

int32_t MemoryRegistryChangeCount() { return gChanges; }
