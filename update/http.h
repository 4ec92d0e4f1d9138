// The HTTP client under FetchUrl, in three small steps. The Windows build
// uses WinINet (http_win.cpp); natively there is no client (http_posix.cpp
// fails as a refused connection would). A test can script the answers
// instead (http_script.h), in either build.
#pragma once

#include <cstdint>

using HttpHandle = void*;

// WinINet's "cannot connect": what a refused connection returns.
constexpr int32_t kHttpCannotConnect = 12029;

// Each returns 0 or the system error code of the failed step.
int32_t HttpOpenSession(const char* agent, HttpHandle* session);
int32_t HttpOpenRequest(HttpHandle session, const char* url, HttpHandle* request);
// Reads at most `wanted` body bytes; *got = 0 means the body has ended.
int32_t HttpReadBody(HttpHandle request, unsigned char* buffer, uint32_t wanted, uint32_t* got);
void HttpCloseHandle(HttpHandle handle);

// The platform halves.
int32_t PlatformHttpOpenSession(const char* agent, HttpHandle* session);
int32_t PlatformHttpOpenRequest(HttpHandle session, const char* url, HttpHandle* request);
int32_t PlatformHttpReadBody(HttpHandle request, unsigned char* buffer, uint32_t wanted,
                             uint32_t* got);
void PlatformHttpCloseHandle(HttpHandle handle);
