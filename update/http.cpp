#include "update/http.h"

#include <string>
#include <vector>

#include "update/http_script.h"

namespace {

struct ScriptedReply {
  std::string body;
  uint32_t piece;
  HttpStep failStep;
  int32_t failCode;  // 0 = no failure
  uint32_t failBefore;
};

struct ScriptedRequest {
  std::string url;
  std::string agent;
};

// A handle of the script: a session (reply < 0) or a request on a reply.
struct ScriptHandle {
  bool isRequest;
  std::string agent;
  ScriptedReply reply;
  uint32_t delivered;
};

struct Script {
  bool active;
  std::vector<ScriptedReply> replies;  // front first
  size_t next;
  std::vector<ScriptedRequest> requests;
  std::string pendingAgent;  // the agent of the session opened last
  int openHandles;
};

Script gScript;

bool NextFailsAt(HttpStep step, int32_t* code) {
  if (gScript.next >= gScript.replies.size()) return false;
  const ScriptedReply& r = gScript.replies[gScript.next];
  if (r.failCode == 0 || r.failStep != step) return false;
  *code = r.failCode;
  return true;
}

int32_t ScriptOpenSession(const char* agent, HttpHandle* session) {
  int32_t code = 0;
  if (NextFailsAt(kHttpStepSession, &code)) {
    gScript.requests.push_back(ScriptedRequest{"", agent});
    ++gScript.next;
    return code;
  }
  auto* h = new ScriptHandle{false, agent, {}, 0};
  ++gScript.openHandles;
  *session = h;
  return 0;
}

int32_t ScriptOpenRequest(HttpHandle session, const char* url, HttpHandle* request) {
  const auto* s = static_cast<ScriptHandle*>(session);
  gScript.requests.push_back(ScriptedRequest{url, s->agent});
  if (gScript.next >= gScript.replies.size()) return kHttpCannotConnect;
  int32_t code = 0;
  if (NextFailsAt(kHttpStepRequest, &code)) {
    ++gScript.next;
    return code;
  }
  auto* h = new ScriptHandle{true, s->agent, gScript.replies[gScript.next++], 0};
  ++gScript.openHandles;
  *request = h;
  return 0;
}

int32_t ScriptReadBody(HttpHandle request, unsigned char* buffer, uint32_t wanted,
                       uint32_t* got) {
  auto* h = static_cast<ScriptHandle*>(request);
  const ScriptedReply& r = h->reply;
  uint32_t end = static_cast<uint32_t>(r.body.size());
  const bool fails = r.failCode != 0 && r.failStep == kHttpStepRead;
  if (fails && r.failBefore < end) end = r.failBefore;
  uint32_t n = end - h->delivered;
  if (r.piece != 0 && n > r.piece) n = r.piece;
  if (n > wanted) n = wanted;
  if (n == 0 && fails && wanted > 0) {
    *got = 0;
    return r.failCode;
  }
  for (uint32_t i = 0; i < n; ++i) buffer[i] = static_cast<unsigned char>(r.body[h->delivered + i]);
  h->delivered += n;
  *got = n;
  return 0;
}

void ScriptCloseHandle(HttpHandle handle) {
  delete static_cast<ScriptHandle*>(handle);
  --gScript.openHandles;
}

}  // namespace

int32_t HttpOpenSession(const char* agent, HttpHandle* session) {
  return gScript.active ? ScriptOpenSession(agent, session) : PlatformHttpOpenSession(agent, session);
}

int32_t HttpOpenRequest(HttpHandle session, const char* url, HttpHandle* request) {
  return gScript.active ? ScriptOpenRequest(session, url, request)
                        : PlatformHttpOpenRequest(session, url, request);
}

int32_t HttpReadBody(HttpHandle request, unsigned char* buffer, uint32_t wanted, uint32_t* got) {
  return gScript.active ? ScriptReadBody(request, buffer, wanted, got)
                        : PlatformHttpReadBody(request, buffer, wanted, got);
}

void HttpCloseHandle(HttpHandle handle) {
  if (gScript.active) {
    ScriptCloseHandle(handle);
  } else {
    PlatformHttpCloseHandle(handle);
  }
}

void HttpScriptBegin() {
  gScript.active = true;
  gScript.replies.clear();
  gScript.next = 0;
  gScript.requests.clear();
  gScript.openHandles = 0;
}

void HttpScriptEnd() {
  gScript.active = false;
  gScript.replies.clear();
  gScript.next = 0;
}

void HttpScriptReply(const char* body, uint32_t length, uint32_t piece) {
  gScript.replies.push_back(ScriptedReply{std::string(body, length), piece, kHttpStepRead, 0, 0});
}

void HttpScriptReply(const char* body) {
  HttpScriptReply(body, static_cast<uint32_t>(std::char_traits<char>::length(body)), 0);
}

void HttpScriptFailure(HttpStep step, int32_t code, const char* body, uint32_t before) {
  gScript.replies.push_back(ScriptedReply{body, 0, step, code, before});
}

int HttpScriptRequests() { return static_cast<int>(gScript.requests.size()); }

const char* HttpScriptUrl(int index) {
  return index >= 0 && index < HttpScriptRequests() ? gScript.requests[index].url.c_str() : "";
}

const char* HttpScriptAgent(int index) {
  return index >= 0 && index < HttpScriptRequests() ? gScript.requests[index].agent.c_str() : "";
}

int HttpScriptOpenHandles() { return gScript.openHandles; }
