// The update CGI's request handling: any method, query string and release
// folder (present or not, holding any zone data and info file). Checks that
// every answer is a well-formed CGI answer whose Content-Length is the body's
// length, that only GET and HEAD are served (others 405 with Allow), that a
// HEAD answer has no body, and that a 200 body is one of the two forms the
// programs read.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "fuzz_common.h"
#include "server/cgi/update_cgi.h"

namespace {

bool IsStatusBody(const std::string& body) {
  return body.size() == 8 && body.compare(0, 7, "status=") == 0 && body[7] >= '0' && body[7] <= '2';
}

bool IsTzinfoBody(const std::string& body) {
  unsigned crc = 0, size = 0;
  int end = 0;
  return std::sscanf(body.c_str(), "crc=%x;size=%u;%n", &crc, &size, &end) == 2 &&
         static_cast<size_t>(end) == body.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const uint8_t mode = in.ConsumeIntegral<uint8_t>();
  const std::string method = in.ConsumeRandomLengthString(16);
  const std::string query = in.ConsumeRandomLengthString(2048);
  const std::string info = in.ConsumeRandomLengthString(2048);
  const std::string zones = in.ConsumeRemainingBytesAsString();

  const std::string& root = FuzzFolder("update_cgi");
  mkdir((root + "/src").c_str(), 0700);
  mkdir((root + "/horlix").c_str(), 0700);
  mkdir((root + "/horlix/upd").c_str(), 0700);
  const std::string infoPath = root + "/horlix/upd/horlixquicki-sig.txt";
  const std::string zonePath = root + "/src/horlixtz.ini";
  std::remove(infoPath.c_str());
  std::remove(zonePath.c_str());
  if (mode & 1) FuzzWriteFile(infoPath, reinterpret_cast<const uint8_t*>(info.data()), info.size());
  if (mode & 2) FuzzWriteFile(zonePath, reinterpret_cast<const uint8_t*>(zones.data()), zones.size());
  // The environment as a server may set it: no method, no query, no root.
  const char* methodArg = mode & 4 ? nullptr : method.c_str();
  const char* queryArg = mode & 8 ? nullptr : query.c_str();
  const char* rootArg = mode & 16 ? "" : root.c_str();

  char* text = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&text, &length);
  FUZZ_CHECK(out != nullptr);
  FUZZ_CHECK(AnswerCgiRequest(methodArg, queryArg, rootArg, out) == 0);
  FUZZ_CHECK(std::fclose(out) == 0);
  const std::string answer(text, length);
  std::free(text);

  const size_t headEnd = answer.find("\r\n\r\n");
  FUZZ_CHECK(headEnd != std::string::npos);
  const std::string head = answer.substr(0, headEnd + 2);
  const std::string body = answer.substr(headEnd + 4);
  int status = 0;
  FUZZ_CHECK(std::sscanf(head.c_str(), "Status: %d ", &status) == 1);
  unsigned long declared = 0;
  const size_t at = head.find("\r\nContent-Length: ");
  FUZZ_CHECK(at != std::string::npos);
  FUZZ_CHECK(std::sscanf(head.c_str() + at, "\r\nContent-Length: %lu\r\n", &declared) == 1);
  FUZZ_CHECK(head.find("\r\nCache-Control: no-store\r\n") != std::string::npos);
  // The method as the CGI sees it: the environment's text ends at a NUL.
  const std::string seen = methodArg ? methodArg : "";
  const bool allowed = seen == "GET" || seen == "HEAD";
  FUZZ_CHECK((status == 405) == !allowed);
  FUZZ_CHECK((head.find("\r\nAllow: GET, HEAD\r\n") != std::string::npos) == (status == 405));
  if (seen == "HEAD") {
    FUZZ_CHECK(body.empty());
  } else {
    FUZZ_CHECK(declared == body.size());
  }
  if (seen == "GET") {
    FUZZ_CHECK(status == 200 || status == 400 || status == 404 || status == 500);
    FUZZ_CHECK(status != 500 || rootArg[0] == '\0');
    if (status == 200) FUZZ_CHECK(IsStatusBody(body) || IsTzinfoBody(body));
    if (status == 404) FUZZ_CHECK(body == "error=no zone data file" && !(mode & 2));
  }
  return 0;
}
