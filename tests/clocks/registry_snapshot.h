// Fault-injection helpers for the settings store: a listing of every value
// the program keeps in the registry, to compare the store before and after a
// failure, value by value.
#pragma once

#include <cstdio>
#include <map>
#include <string>

#include "clocks/registry.h"
#include "clocks/settings.h"

namespace faults {

// "key\name" -> "type:hex bytes", for every value of the main key, of the
// clock subkeys 0..69 and the program's Run entry that exists.
inline std::map<std::string, std::string> RegistrySnapshot() {
  static const char* const kMainValues[] = {
      "X",          "Y",        "PositionDpi",    "N",              "DateFormat",   "UpdateCheck",
      "UpdateTime", "UpdateStatus", "LayoutStyle", "FontSize",     "ShowIconInTray",
      "TurnOffOnTop", "TimeStampFmt", "UpdateLastCheck"};
  static const char* const kClockValues[] = {"Id",    "Title", "Type",   "Wd",
                                             "Width", "Color", "Format", "Tz"};
  std::map<std::string, std::string> snapshot;
  auto take = [&snapshot](const std::string& key, const char* name) {
    unsigned char data[600];
    uint32_t type = 0;
    uint32_t size = sizeof data;
    if (RegistryRead(key.c_str(), name, &type, data, &size) != 0) return;
    std::string text = std::to_string(type) + ":";
    for (uint32_t i = 0; i < size; ++i) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", data[i]);
      text += hex;
    }
    snapshot[key + "\\" + name] = text;
  };
  for (const char* name : kMainValues) take(kMainKey, name);
  for (int i = 0; i < 70; ++i) {
    for (const char* name : kClockValues) take(std::string(kMainKey) + "\\" + std::to_string(i), name);
  }
  take(kRunKey, kRunValue);
  return snapshot;
}

// The names whose values differ between two snapshots (or exist in one only).
inline std::string Differences(const std::map<std::string, std::string>& a,
                               const std::map<std::string, std::string>& b) {
  std::string out;
  for (const auto& [name, value] : a) {
    auto other = b.find(name);
    if (other == b.end() || other->second != value) out += name + ";";
  }
  for (const auto& [name, value] : b) {
    if (a.find(name) == a.end()) out += name + ";";
  }
  return out;
}

}  // namespace faults
