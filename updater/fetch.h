// One HTTP GET of at most *count body bytes into buffer (not terminated);
// *count becomes the bytes received. The HTTP status is not examined.
// Returns 0, or the system error code of the step that failed.
#pragma once

#include <cstdint>

int32_t FetchUrl(unsigned char* buffer, uint32_t* count, const char* url, const char* agent);
