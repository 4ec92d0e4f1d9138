// An INI reader that answers as the Windows profile functions do: section
// and key names compare without case and are trimmed, the first of duplicate
// sections or keys wins (later duplicate sections are still listed), a line
// without "=" is a key without value, matching quotes around a value are
// dropped, and ";" starts no comment.
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

#include "clocks/desktop.h"
#include "clocks/profile.h"

namespace {

struct Entry {
  std::string key;
  std::string value;
  bool hasValue;
};

struct Section {
  std::string name;
  std::vector<Entry> entries;
};

std::string Trim(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool ReadFile(const char* file, std::string* text) {
  char native[kPathChars];
  NativePath(file, native, sizeof native);
  FILE* f = std::fopen(native, "rb");
  if (f == nullptr) return false;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text->append(chunk, n);
  std::fclose(f);
  return true;
}

std::vector<Section> Parse(const char* file) {
  std::vector<Section> sections;
  std::string text;
  if (!ReadFile(file, &text)) return sections;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = Trim(line);
    if (line.empty()) continue;
    if (line[0] == '[') {
      const size_t close = line.rfind(']');
      if (close != std::string::npos) {
        sections.push_back(Section{Trim(line.substr(1, close - 1)), {}});
        continue;
      }
    }
    if (sections.empty()) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      sections.back().entries.push_back(Entry{line, "", false});
    } else {
      sections.back().entries.push_back(
          Entry{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), true});
    }
  }
  return sections;
}

// The value of the key in the first section of that name, if it has one.
bool Lookup(const std::vector<Section>& sections, const char* section, const char* key,
            std::string* value) {
  for (const Section& s : sections) {
    if (strcasecmp(s.name.c_str(), section) != 0) continue;
    for (const Entry& e : s.entries) {
      if (strcasecmp(e.key.c_str(), key) != 0) continue;
      if (!e.hasValue) return false;
      *value = e.value;
      return true;
    }
    return false;
  }
  return false;
}

uint32_t CopyOut(const std::string& s, char* buffer, uint32_t size) {
  if (size == 0) return 0;
  const uint32_t n = s.size() < size - 1 ? static_cast<uint32_t>(s.size()) : size - 1;
  std::memcpy(buffer, s.data(), n);
  buffer[n] = '\0';
  return n;
}

}  // namespace

uint32_t ProfileSectionNames(const char* file, char* buffer, uint32_t size) {
  if (size < 2) {
    if (size == 1) buffer[0] = '\0';
    return 0;
  }
  uint32_t used = 0;
  for (const Section& s : Parse(file)) {
    if (s.name.empty()) continue;
    const uint32_t need = static_cast<uint32_t>(s.name.size()) + 1;
    if (used + need > size - 1) {
      // Too small: as much of this name as fits with its NUL, one more NUL,
      // and size - 2.
      const uint32_t room = size - 2 - used;
      if (room > 0) {
        std::memcpy(buffer + used, s.name.data(), room - 1);
        buffer[used + room - 1] = '\0';
      }
      buffer[size - 2] = '\0';
      return size - 2;
    }
    std::memcpy(buffer + used, s.name.c_str(), need);
    used += need;
  }
  buffer[used] = '\0';
  return used;
}

uint32_t ProfileString(const char* file, const char* section, const char* key,
                       const char* fallback, char* buffer, uint32_t size) {
  std::string value;
  if (!Lookup(Parse(file), section, key, &value)) {
    return CopyOut(fallback ? Trim(fallback) : std::string(), buffer, size);
  }
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
  }
  return CopyOut(value, buffer, size);
}

int32_t ProfileInt(const char* file, const char* section, const char* key, int32_t fallback) {
  std::string value;
  if (!Lookup(Parse(file), section, key, &value) || value.empty()) return fallback;
  const char* p = value.c_str();
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  uint32_t result = 0;  // wraps as the Windows function does
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    for (p += 2;; ++p) {
      int digit;
      if (*p >= '0' && *p <= '9') digit = *p - '0';
      else if (*p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
      else if (*p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
      else break;
      result = result * 16 + static_cast<uint32_t>(digit);
    }
  } else {
    for (; *p >= '0' && *p <= '9'; ++p) result = result * 10 + static_cast<uint32_t>(*p - '0');
  }
  if (negative) result = 0u - result;
  return static_cast<int32_t>(result);
}

// Edits the file line by line, as the Windows function does, so comments,
// blank lines and other sections stay as they were.
bool ProfileWriteString(const char* file, const char* section, const char* key,
                        const char* value) {
  std::string text;
  ReadFile(file, &text);
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    pos = end + 1;
  }
  const std::string entry = std::string(key) + "=" + value;
  // The first section of that name, the end of its lines, and the key in it.
  size_t sectionLine = lines.size();
  size_t sectionEnd = lines.size();
  size_t keyLine = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string t = Trim(lines[i]);
    const bool header = !t.empty() && t[0] == '[' && t.rfind(']') != std::string::npos;
    if (header) {
      if (sectionLine < lines.size()) {
        sectionEnd = i;
        break;
      }
      if (strcasecmp(Trim(t.substr(1, t.rfind(']') - 1)).c_str(), section) == 0) sectionLine = i;
      continue;
    }
    if (sectionLine < lines.size() && keyLine == lines.size()) {
      const size_t eq = t.find('=');
      const std::string name = Trim(eq == std::string::npos ? t : t.substr(0, eq));
      if (!t.empty() && strcasecmp(name.c_str(), key) == 0) keyLine = i;
    }
  }
  if (keyLine < lines.size()) {
    lines[keyLine] = entry;
  } else if (sectionLine < lines.size()) {
    size_t at = sectionEnd;
    while (at > sectionLine + 1 && Trim(lines[at - 1]).empty()) --at;  // before trailing blanks
    lines.insert(lines.begin() + static_cast<long>(at), entry);
  } else {
    lines.push_back(std::string("[") + section + "]");
    lines.push_back(entry);
  }
  char native[kPathChars];
  NativePath(file, native, sizeof native);
  FILE* f = std::fopen(native, "wb");
  if (f == nullptr) return false;
  for (const std::string& line : lines) std::fprintf(f, "%s\r\n", line.c_str());
  return std::fclose(f) == 0;
}
