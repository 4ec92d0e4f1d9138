#include "update/fetch.h"

#include <cstdio>

#include "update/http.h"
#include "updater/secure_connection.h"

int32_t FetchUrl(unsigned char* buffer, uint32_t* count, const char* url) {
  const uint32_t wanted = *count;
  *count = 0;
  HttpHandle session = nullptr;
  int32_t code = HttpOpenSession(kFetchAgent, &session);
  if (code != 0) return code;
  HttpHandle request = nullptr;
  code = HttpOpenRequest(session, url, &request);
  if (code != 0) {
    HttpCloseHandle(session);
    return code;
  }
  // A client may hand the body over in pieces (Wine's WinINet does), so read
  // until the count is reached or the body ends.
  uint32_t got = 0;
  while (got < wanted) {
    uint32_t piece = 0;
    code = HttpReadBody(request, buffer + got, wanted - got, &piece);
    if (code != 0 || piece == 0) break;
    got += piece;
  }
  *count = got;
  HttpCloseHandle(request);
  HttpCloseHandle(session);
  return code;
}

const char* FetchProblemNote(int32_t code, char* out, size_t size) {
  const char* problem = SecureConnectionProblem(code);
  std::snprintf(out, size, problem != nullptr ? " (%s)" : "%s", problem != nullptr ? problem : "");
  return out;
}
