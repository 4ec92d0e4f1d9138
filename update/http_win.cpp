// WinINet with the system's proxy configuration; HTTPS as both programs
// ask for it (updater/secure_connection_win.h).
#include <windows.h>
#include <wininet.h>

#include "update/http.h"
#include "updater/secure_connection_win.h"

int32_t PlatformHttpOpenSession(const char* agent, HttpHandle* session) {
  HINTERNET root = InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (root == nullptr) return static_cast<int32_t>(GetLastError());
  AskForCurrentTls(root);
  *session = root;
  return 0;
}

// No cookie goes out, and no cache (WinINet's own or a proxy's) keeps an
// answer or answers in the server's place.
constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI;

int32_t PlatformHttpOpenRequest(HttpHandle session, const char* url, HttpHandle* request) {
  const DWORD flags = kRequestFlags | SecureRequestFlags(url);
  HINTERNET r = InternetOpenUrlA(static_cast<HINTERNET>(session), url, nullptr, 0, flags, 0);
  if (r == nullptr) return static_cast<int32_t>(GetLastError());
  *request = r;
  return 0;
}

int32_t PlatformHttpReadBody(HttpHandle request, unsigned char* buffer, uint32_t wanted,
                             uint32_t* got) {
  DWORD n = 0;
  if (!InternetReadFile(static_cast<HINTERNET>(request), buffer, wanted, &n)) {
    *got = 0;
    return static_cast<int32_t>(GetLastError());
  }
  *got = n;
  return 0;
}

void PlatformHttpCloseHandle(HttpHandle handle) {
  if (handle != nullptr) InternetCloseHandle(static_cast<HINTERNET>(handle));
}
