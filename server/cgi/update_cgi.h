// The request handling of the update CGI, apart from its process so that a
// fuzz target can drive it.
#pragma once

#include <cstdio>

// Writes the CGI answer (a Status line, header lines, a blank line and the
// body) for one request to out. method is REQUEST_METHOD, query
// QUERY_STRING and root the release folder; any of them may be null.
// Returns 0.
int AnswerCgiRequest(const char* method, const char* query, const char* root, FILE* out);
