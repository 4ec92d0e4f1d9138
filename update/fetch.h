// One HTTP GET of at most *count body bytes into buffer (not terminated),
// with the agent name "Horlix"; *count becomes the bytes received. The HTTP
// status is not examined: whatever body the server answers is the reply.
// Returns 0, or the system error code of the step that failed.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr const char* kFetchAgent = "Horlix";

int32_t FetchUrl(unsigned char* buffer, uint32_t* count, const char* url);

// " (what went wrong)" after the code of a failed secure connection (a
// certificate or protocol error), so that the failure line names it; ""
// for any other code. Written into out, which is returned.
const char* FetchProblemNote(int32_t code, char* out, size_t size);
