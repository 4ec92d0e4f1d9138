// Files and folders for tests, named with Windows-style paths so the code
// under test sees the same texts in both builds.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace testfiles {

inline long ProcessId() {
#ifdef _WIN32
  return static_cast<long>(_getpid());
#else
  return static_cast<long>(getpid());
#endif
}

// The real path of a Windows-style one on this platform.
inline std::string Native(std::string path) {
#ifndef _WIN32
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
#endif
  return path;
}

// A fresh, empty folder under the system's temporary folder.
inline std::string FreshFolder(const std::string& name) {
  // One folder per process: the plain and the sanitizer runs of a test may
  // run at the same time.
  std::filesystem::path p = std::filesystem::temp_directory_path() /
                            ("horlix-test-" + name + "-" + std::to_string(ProcessId()));
  std::filesystem::remove_all(p);
  std::filesystem::create_directories(p);
  std::string s = p.string();
#ifdef _WIN32
  for (char& c : s) {
    if (c == '/') c = '\\';
  }
#endif
  return s;
}

inline void MakeFolder(const std::string& path) {
  std::filesystem::create_directories(Native(path));
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  // A file the test meant to write and could not must fail the test, not
  // quietly leave the case testing a missing file.
  FILE* f = std::fopen(Native(path).c_str(), "wb");
  if (f == nullptr) {
    ADD_FAILURE() << "cannot create the test file " << path;
    return;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !written) ADD_FAILURE() << "cannot write the test file " << path;
}

}  // namespace testfiles
