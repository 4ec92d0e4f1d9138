// One HTTP GET through WinINet with the system's proxy settings. The body is
// read until the count is reached or it ends: WinINet may hand a body over
// in pieces, and a single read would return only the first.
#include <windows.h>
#include <wininet.h>

#include "updater/fetch.h"
#include "updater/secure_connection_win.h"

// No cookie goes out, and no cache (WinINet's own or a proxy's) keeps an
// answer or answers in the server's place.
constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI;

int32_t FetchUrl(unsigned char* buffer, uint32_t* count, const char* url, const char* agent) {
  HINTERNET root = InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (root == nullptr) return static_cast<int32_t>(GetLastError());
  AskForCurrentTls(root);
  const DWORD flags = kRequestFlags | SecureRequestFlags(url);
  HINTERNET request = InternetOpenUrlA(root, url, nullptr, 0, flags, 0);
  if (request == nullptr) {
    const DWORD code = GetLastError();
    InternetCloseHandle(root);
    return static_cast<int32_t>(code);
  }
  const uint32_t wanted = *count;
  uint32_t got = 0;
  int32_t result = 0;
  while (got < wanted) {
    DWORD piece = 0;
    if (!InternetReadFile(request, buffer + got, wanted - got, &piece)) {
      result = static_cast<int32_t>(GetLastError());
      break;
    }
    if (piece == 0) break;  // the body has ended
    got += piece;
  }
  *count = got;
  InternetCloseHandle(request);
  InternetCloseHandle(root);
  return result;
}
