// Scripted HTTP answers for tests: while a script is active, FetchUrl talks
// to it instead of the network. Each request takes the next reply in the
// order added; with none left, opening the address fails with
// kHttpCannotConnect.
#pragma once

#include <cstdint>

enum HttpStep { kHttpStepSession, kHttpStepRequest, kHttpStepRead };

void HttpScriptBegin();  // active, empty, log cleared
void HttpScriptEnd();    // back to the platform's client

// A body of `length` bytes, handed over at most `piece` bytes per read
// (0 = all at once), the way a client may deliver it in parts.
void HttpScriptReply(const char* body, uint32_t length, uint32_t piece = 0);
void HttpScriptReply(const char* body);  // the text without its NUL
// A request that fails with `code` at `step`; a failed read comes after
// `before` bytes of `body` were delivered.
void HttpScriptFailure(HttpStep step, int32_t code, const char* body = "", uint32_t before = 0);

// What was asked: the agent names and addresses in order, and the handles
// still open (0 after every complete fetch).
int HttpScriptRequests();
const char* HttpScriptUrl(int index);
const char* HttpScriptAgent(int index);
int HttpScriptOpenHandles();
