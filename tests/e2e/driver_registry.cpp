// horlix-driver: the clipboard, the program's registry key and its value
// under the Run key.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver.h"

namespace driver {

// ---- clipboard ----

namespace {

bool OpenClipboardSoon() {
  const DWORD end = GetTickCount() + 2000;
  do {
    if (OpenClipboard(nullptr)) return true;
    Sleep(20);
  } while (Before(end));
  return false;
}

}  // namespace

int CmdClipboard(const Args&) {
  if (!OpenClipboardSoon()) return Fail("cannot open the clipboard");
  HANDLE data = GetClipboardData(CF_TEXT);
  if (data == nullptr) {
    CloseClipboard();
    std::printf("clipboard-empty\n");
    return 0;
  }
  const char* text = static_cast<const char*>(GlobalLock(data));
  char copy[1024] = "";
  if (text != nullptr) {
    const SIZE_T size = GlobalSize(data);
    size_t n = 0;
    while (n < size && n + 1 < sizeof copy && text[n] != '\0') {
      copy[n] = text[n];
      ++n;
    }
    copy[n] = '\0';
    GlobalUnlock(data);
  }
  CloseClipboard();
  PrintLine("clipboard", copy);
  return 0;
}

// clipboard-save FORMAT PATH: the clipboard's text in FORMAT ("text" for
// CF_TEXT, else a registered format's name) written to PATH byte for byte.
int CmdClipboardSave(const Args& a) {
  if (a.n < 3) return 2;
  const UINT format = std::strcmp(a.v[1], "text") == 0 ? CF_TEXT : RegisterClipboardFormatA(a.v[1]);
  if (!OpenClipboardSoon()) return Fail("cannot open the clipboard");
  HANDLE data = GetClipboardData(format);
  const char* text = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
  if (text == nullptr) {
    CloseClipboard();
    return Fail("no such format on the clipboard");
  }
  const size_t length = strnlen(text, GlobalSize(data));
  FILE* f = std::fopen(a.v[2], "wb");
  const bool ok = f != nullptr && std::fwrite(text, 1, length, f) == length;
  if (f != nullptr) std::fclose(f);
  GlobalUnlock(data);
  CloseClipboard();
  if (!ok) return Fail("cannot write the file");
  std::printf("clipboard-saved %u\n", static_cast<unsigned>(length));
  return 0;
}

int CmdClipboardSet(const Args& a) {
  if (a.n < 2) return 2;
  if (!OpenClipboardSoon()) return Fail("cannot open the clipboard");
  EmptyClipboard();
  const size_t length = std::strlen(a.v[1]);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length + 1);
  bool ok = false;
  if (block != nullptr) {
    char* p = static_cast<char*>(GlobalLock(block));
    std::memcpy(p, a.v[1], length + 1);
    GlobalUnlock(block);
    ok = SetClipboardData(CF_TEXT, block) != nullptr;
    if (!ok) GlobalFree(block);
  }
  CloseClipboard();
  if (!ok) return Fail("cannot set the clipboard");
  PrintLine("clipboard-set", a.v[1]);
  return 0;
}

// ---- registry ----

namespace {

// "." names the main key itself, anything else a subkey of it.
void KeyPath(const char* sub, char* out, size_t size) {
  if (std::strcmp(sub, ".") == 0) {
    Copy(out, size, kMainKey);
  } else {
    std::snprintf(out, size, "%s\\%s", kMainKey, sub);
  }
}

void PrintValue(const char* sub, const char* name, DWORD type, const BYTE* data, DWORD size) {
  char text[1200];
  int used = 0;
  switch (type) {
    case REG_DWORD:
      if (size == 4) {
        int32_t v;
        std::memcpy(&v, data, 4);
        std::snprintf(text, sizeof text, "dword %ld", static_cast<long>(v));
      } else {
        std::snprintf(text, sizeof text, "dword-size-%lu", size);
      }
      break;
    case REG_SZ:
    case REG_EXPAND_SZ: {
      // The stored size with the text: a text written with its NUL has
      // size = length + 1.
      char value[1024];
      DWORD n = size < sizeof value - 1 ? size : sizeof value - 1;
      std::memcpy(value, data, n);
      value[n] = '\0';
      std::snprintf(text, sizeof text, "%s %lu %s", type == REG_SZ ? "sz" : "expand", size, value);
      break;
    }
    default:
      used = std::snprintf(text, sizeof text, "type-%lu %lu ", type, size);
      for (DWORD i = 0; i < size && i < 64 && used + 3 < static_cast<int>(sizeof text); ++i) {
        used += std::snprintf(text + used, sizeof text - used, "%02x", data[i]);
      }
      break;
  }
  char word[300];
  std::snprintf(word, sizeof word, "value %s %s", sub, name[0] != '\0' ? name : "(default)");
  PrintLine(word, text);
}

void DumpKey(HKEY key, const char* sub) {
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameSize = sizeof name;
    BYTE data[1100];
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    const LONG rc = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA) {
      char word[300];
      std::snprintf(word, sizeof word, "value %s %s", sub, name);
      PrintLine(word, "too-long");
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    PrintValue(sub, name, type, data, dataSize);
  }
}

}  // namespace

// reg-dump: every value of the main key and of its subkeys, one line each:
// "value SUBKEY NAME TYPE ...", then "keys K" (how many subkeys).
int CmdRegDump(const Args&) {
  HKEY main;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_READ, &main) != ERROR_SUCCESS) {
    std::printf("no-key\n");
    return 0;
  }
  DumpKey(main, ".");
  DWORD keys = 0;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameSize = sizeof name;
    if (RegEnumKeyExA(main, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    ++keys;
    HKEY sub;
    if (RegOpenKeyExA(main, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    std::printf("key %s\n", name);
    DumpKey(sub, name);
    RegCloseKey(sub);
  }
  RegCloseKey(main);
  std::printf("keys %lu\n", keys);
  return 0;
}

int CmdRegWipe(const Args&) {
  const LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, kMainKey);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Fail("cannot delete the key");
  std::printf("wiped\n");
  return 0;
}

namespace {

int HexByte(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// reg-put SUBKEY NAME TYPE DATA: TYPE dword (a number), qword (a number), sz,
// expand (a text, stored with its NUL), binary (hexadecimal bytes), or
// longsz COUNT (a text of COUNT letters).
int CmdRegPut(const Args& a) {
  if (a.n < 5) return 2;
  char path[512];
  KeyPath(a.v[1], path, sizeof path);
  const char* name = a.v[2];
  const char* type = a.v[3];
  const char* value = a.v[4];
  static BYTE data[70000];
  DWORD size = 0;
  DWORD regType = REG_NONE;
  if (std::strcmp(type, "dword") == 0) {
    const long v = std::strtol(value, nullptr, 0);
    const int32_t v32 = static_cast<int32_t>(v);
    std::memcpy(data, &v32, 4);
    size = 4;
    regType = REG_DWORD;
  } else if (std::strcmp(type, "qword") == 0) {
    const long long v = std::strtoll(value, nullptr, 0);
    std::memcpy(data, &v, 8);
    size = 8;
    regType = REG_QWORD;
  } else if (std::strcmp(type, "sz") == 0 || std::strcmp(type, "expand") == 0) {
    size = static_cast<DWORD>(std::strlen(value) + 1);
    if (size > sizeof data) return 2;
    std::memcpy(data, value, size);
    regType = type[0] == 's' ? REG_SZ : REG_EXPAND_SZ;
  } else if (std::strcmp(type, "longsz") == 0) {
    const long count = std::strtol(value, nullptr, 0);
    if (count < 0 || count + 1 > static_cast<long>(sizeof data)) return 2;
    for (long i = 0; i < count; ++i) data[i] = static_cast<BYTE>('A' + i % 26);
    data[count] = 0;
    size = static_cast<DWORD>(count + 1);
    regType = REG_SZ;
  } else if (std::strcmp(type, "binary") == 0) {
    const size_t n = std::strlen(value);
    if (n % 2 != 0 || n / 2 > sizeof data) return 2;
    for (size_t i = 0; i < n / 2; ++i) {
      const int hi = HexByte(value[2 * i]);
      const int lo = HexByte(value[2 * i + 1]);
      if (hi < 0 || lo < 0) return 2;
      data[i] = static_cast<BYTE>(hi * 16 + lo);
    }
    size = static_cast<DWORD>(n / 2);
    regType = REG_BINARY;
  } else {
    return 2;
  }
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return Fail("cannot create %s", path);
  }
  const LONG rc = RegSetValueExA(key, name, 0, regType, data, size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Fail("cannot set %s", name);
  std::printf("put %s %s %s\n", a.v[1], name, type);
  return 0;
}

// reg-delete SUBKEY [NAME]: one value, or the whole subkey without NAME.
int CmdRegDelete(const Args& a) {
  if (a.n < 2) return 2;
  char path[512];
  KeyPath(a.v[1], path, sizeof path);
  if (a.n < 3) {
    const LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, path);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Fail("cannot delete %s", path);
    std::printf("deleted %s\n", a.v[1]);
    return 0;
  }
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    std::printf("deleted %s %s\n", a.v[1], a.v[2]);
    return 0;
  }
  const LONG rc = RegDeleteValueA(key, a.v[2]);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Fail("cannot delete %s", a.v[2]);
  std::printf("deleted %s %s\n", a.v[1], a.v[2]);
  return 0;
}

// ---- the Run key ----

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "Horlix";

// run-get: "run TYPE SIZE TEXT" of the value "Horlix", or "run-absent".
int CmdRunGet(const Args&) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    std::printf("run-absent\n");
    return 0;
  }
  char data[1100];
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  const LONG rc =
      RegQueryValueExA(key, kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) {
    std::printf("run-absent\n");
    return 0;
  }
  data[size] = '\0';
  char word[64];
  std::snprintf(word, sizeof word, "run %lu %lu", type, size);
  PrintLine(word, data);
  return 0;
}

// run-put TEXT: the value "Horlix" as a text; run-delete: no value.
int CmdRunPut(const Args& a) {
  if (a.n < 2) return 2;
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return Fail("cannot open the Run key");
  }
  const LONG rc = RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(a.v[1]),
                                 static_cast<DWORD>(std::strlen(a.v[1]) + 1));
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Fail("cannot set the Run value");
  PrintLine("run-set", a.v[1]);
  return 0;
}

int CmdRunDelete(const Args&) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, kRunValue);
    RegCloseKey(key);
  }
  std::printf("run-deleted\n");
  return 0;
}

}  // namespace driver
