// No HTTP client natively: every address fails as a refused connection does.
#include "update/http.h"

int32_t PlatformHttpOpenSession(const char*, HttpHandle* session) {
  *session = nullptr;
  return 0;
}

int32_t PlatformHttpOpenRequest(HttpHandle, const char*, HttpHandle*) {
  return kHttpCannotConnect;
}

int32_t PlatformHttpReadBody(HttpHandle, unsigned char*, uint32_t, uint32_t* got) {
  *got = 0;
  return kHttpCannotConnect;
}

void PlatformHttpCloseHandle(HttpHandle) {}
