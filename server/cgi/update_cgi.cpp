// The request handling of horlix-update.cgi, the update CGI of a Horlix web
// site (a CGI/1.1 program for a web server such as Apache httpd, mod_cgid).
// It answers exactly as the reference server (server/horlix_update_server.py)
// does:
//
//   ?xv=V&zd=D      "status=N": 2 when V is below the exever= of the
//                   published info file, else 1 when D is not of the form
//                   YYYY-MM-DDThh:mmZ or is older (as text) than the Date in
//                   section Version of the published zone data file, else 0.
//                   A missing or non-decimal V, or one of more than 8192
//                   digits: 400 "error=bad query".
//   ?req=tzinfo     "crc=%x;size=%u;" of the published zone data file;
//                   404 "error=no zone data file" when there is none.
//
// Both files of the release folder are read at every request, so a release
// published meanwhile counts at once.
// Only GET and HEAD are answered (HEAD without the body); any other method
// gets 405 "Method Not Allowed" with "Allow: GET, HEAD". Every answer carries
// "Cache-Control: no-store", so no cache on the way keeps a stale status.
//
// One process per request: plain C library calls, no iostreams, nothing to
// set up before the answer. This is the one parser that faces the whole
// internet: every input is bounded, nothing is trusted.

#include "server/cgi/update_cgi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kZoneFile[] = "/src/horlixtz.ini";
const char kInfoFile[] = "/horlix/upd/horlixquicki-sig.txt";
const size_t kInfoTextMax = 1023;   // what the updater reads of the info file
const size_t kFieldMax = 8192;      // longer than any request line Apache takes

struct Text {
  const char* p;
  size_t n;
};

bool Equals(Text t, const char* s) {
  return t.n == strlen(s) && memcmp(t.p, s, t.n) == 0;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A query field decoded the way the reference decodes it: "+" is a blank,
// "%" and two hexadecimal digits a byte, any other "%" itself. Decodes at
// most max bytes into out; the length decoded, or max + 1 when cut.
size_t Unquote(const char* p, size_t n, char* out, size_t max) {
  size_t o = 0;
  for (size_t i = 0; i < n; ++i) {
    char c = p[i];
    if (c == '+') {
      c = ' ';
    } else if (c == '%' && i + 2 < n && HexValue(p[i + 1]) >= 0 && HexValue(p[i + 2]) >= 0) {
      c = static_cast<char>(HexValue(p[i + 1]) * 16 + HexValue(p[i + 2]));
      i += 2;
    }
    if (o == max) return max + 1;
    out[o++] = c;
  }
  return o;
}

struct Query {
  int reqCount = 0;        // fields named req
  bool reqIsTzinfo = false;
  bool haveXv = false, haveZd = false;
  char xv[kFieldMax + 2];
  size_t xvLen = 0;
  char zd[kFieldMax + 2];
  size_t zdLen = 0;
};

// Fields are separated by "&"; an empty one is skipped, one without "=" has
// an empty value; the first xv and zd count, and req only when it is given
// once.
void ParseQuery(const char* q, Query* out) {
  while (*q) {
    const char* end = strchr(q, '&');
    size_t len = end ? static_cast<size_t>(end - q) : strlen(q);
    if (len > 0) {
      const char* eq = static_cast<const char*>(memchr(q, '=', len));
      size_t nameLen = eq ? static_cast<size_t>(eq - q) : len;
      const char* value = eq ? eq + 1 : q + len;
      size_t valueLen = q + len - value;
      char name[8];
      size_t n = Unquote(q, nameLen, name, sizeof name);
      Text key = {name, n > sizeof name ? 0 : n};
      if (n <= sizeof name && Equals(key, "req")) {
        char v[8];
        size_t vn = Unquote(value, valueLen, v, sizeof v);
        ++out->reqCount;
        out->reqIsTzinfo = vn <= sizeof v && Equals(Text{v, vn}, "tzinfo");
      } else if (n <= sizeof name && Equals(key, "xv") && !out->haveXv) {
        out->haveXv = true;
        out->xvLen = Unquote(value, valueLen, out->xv, kFieldMax + 1);
      } else if (n <= sizeof name && Equals(key, "zd") && !out->haveZd) {
        out->haveZd = true;
        out->zdLen = Unquote(value, valueLen, out->zd, kFieldMax + 1);
      }
    }
    if (!end) break;
    q = end + 1;
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "YYYY-MM-DDThh:mmZ", ASCII digits.
bool IsDateForm(const char* p, size_t n) {
  static const char form[] = "9999-99-99T99:99Z";
  if (n != sizeof form - 1) return false;
  for (size_t i = 0; i < n; ++i) {
    if (form[i] == '9' ? !IsDigit(p[i]) : p[i] != form[i]) return false;
  }
  return true;
}

// Reads the whole regular file at path into a malloc'ed buffer; false when
// it is missing, not a regular file or unreadable.
bool ReadFile(const char* path, size_t limit, char** data, size_t* size) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  size_t want = static_cast<size_t>(st.st_size);
  if (limit && want > limit) want = limit;
  char* buf = static_cast<char*>(malloc(want + 1));
  if (!buf) {
    close(fd);
    return false;
  }
  size_t got = 0;
  while (got < want) {
    ssize_t r = read(fd, buf + got, want - got);
    if (r < 0) {
      free(buf);
      close(fd);
      return false;
    }
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  close(fd);
  *data = buf;
  *size = got;
  return true;
}

// The exever= number of an info file as the updater reads it: the first
// occurrence before the first "#", blanks and a sign allowed, the digits up
// to the first other character (none: 0). Kept as sign and digit text, the
// way the reference compares numbers of any length.
bool InfoVersion(const char* text, size_t n, bool* negative, Text* digits) {
  const char* hash = static_cast<const char*>(memchr(text, '#', n));
  if (hash) n = static_cast<size_t>(hash - text);
  const char* at = nullptr;
  for (size_t i = 0; i + 7 <= n; ++i) {
    if (memcmp(text + i, "exever=", 7) == 0) {
      at = text + i + 7;
      break;
    }
  }
  if (!at) return false;
  const char* end = text + n;
  while (at < end && *at && strchr(" \t\n\v\f\r", *at)) ++at;
  *negative = false;
  if (at < end && (*at == '+' || *at == '-')) *negative = *at++ == '-';
  const char* d = at;
  while (at < end && IsDigit(*at)) ++at;
  *digits = Text{d, static_cast<size_t>(at - d)};
  return true;
}

// Compares two non-negative decimal texts by value: <0, 0, >0.
int CompareDecimal(Text a, Text b) {
  while (a.n > 0 && *a.p == '0') ++a.p, --a.n;
  while (b.n > 0 && *b.p == '0') ++b.p, --b.n;
  if (a.n != b.n) return a.n < b.n ? -1 : 1;
  return memcmp(a.p, b.p, a.n);
}

// Python's str.strip() on a Latin-1 line: these are its blanks below 256.
bool IsBlank(char c) {
  return c && strchr(" \t\n\v\f\r\x1c\x1d\x1e\x1f\x85\xa0", c);
}

Text Strip(const char* p, size_t n) {
  while (n > 0 && IsBlank(*p)) ++p, --n;
  while (n > 0 && IsBlank(p[n - 1])) --n;
  return Text{p, n};
}

bool EqualsNoCase(Text t, const char* s) {
  if (t.n != strlen(s)) return false;
  for (size_t i = 0; i < t.n; ++i) {
    char c = t.p[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != s[i]) return false;
  }
  return true;
}

// Date in section Version of an INI text, found the way the Windows profile
// functions find it: names without regard to case, blanks around names and
// values ignored, the first section of that name and its first Date.
bool ZoneDate(const char* data, size_t n, Text* date) {
  bool inVersion = false, inSection = false;
  size_t i = 0;
  while (i < n) {
    size_t start = i;
    while (i < n && data[i] != '\n' && data[i] != '\r') ++i;
    Text line = Strip(data + start, i - start);
    if (i < n && data[i] == '\r' && i + 1 < n && data[i + 1] == '\n') ++i;
    if (i < n) ++i;
    if (line.n > 0 && line.p[0] == '[') {
      if (inVersion) return false;
      const char* close = static_cast<const char*>(memchr(line.p, ']', line.n));
      size_t nameEnd = close ? static_cast<size_t>(close - line.p) : line.n;
      inSection = true;
      inVersion = EqualsNoCase(Strip(line.p + 1, nameEnd - 1), "version");
      continue;
    }
    if (!inSection || !inVersion) continue;
    const char* eq = static_cast<const char*>(memchr(line.p, '=', line.n));
    if (!eq) continue;
    if (EqualsNoCase(Strip(line.p, static_cast<size_t>(eq - line.p)), "date")) {
      *date = Strip(eq + 1, static_cast<size_t>(line.p + line.n - eq - 1));
      return true;
    }
  }
  return false;
}

unsigned long Crc32(const char* data, size_t n) {
  static unsigned long table[256];
  for (unsigned long k = 0; k < 256; ++k) {
    unsigned long c = k;
    for (int b = 0; b < 8; ++b) c = c & 1 ? (c >> 1) ^ 0xEDB88320UL : c >> 1;
    table[k] = c;
  }
  unsigned long c = 0xFFFFFFFFUL;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFUL;
}

struct Reply {
  FILE* out;
  bool head;  // HEAD: the header lines only
};

int Answer(Reply r, int code, const char* body) {
  const char* reason = code == 200 ? "OK" : code == 400 ? "Bad Request" : code == 404 ? "Not Found"
                       : code == 405 ? "Method Not Allowed" : "Internal Server Error";
  fprintf(r.out, "Status: %d %s\r\nContent-Type: text/plain\r\nContent-Length: %zu\r\n"
          "Cache-Control: no-store\r\nExpires: 0\r\n%s\r\n%s",
          code, reason, strlen(body), code == 405 ? "Allow: GET, HEAD\r\n" : "", r.head ? "" : body);
  return 0;
}

int AnswerTzinfo(Reply r, const char* root) {
  char path[4096];
  char* data = nullptr;
  size_t size = 0;
  if (snprintf(path, sizeof path, "%s%s", root, kZoneFile) >= static_cast<int>(sizeof path) ||
      !ReadFile(path, 0, &data, &size)) {
    return Answer(r, 404, "error=no zone data file");
  }
  char body[64];
  snprintf(body, sizeof body, "crc=%lx;size=%zu;", Crc32(data, size), size);
  free(data);
  return Answer(r, 200, body);
}

int AnswerStatus(Reply r, const char* root, const Query& q) {
  char path[4096];
  char* data = nullptr;
  size_t size = 0;
  int status = 0;
  Text xv = {q.xv, q.xvLen};
  if (snprintf(path, sizeof path, "%s%s", root, kInfoFile) < static_cast<int>(sizeof path) &&
      ReadFile(path, kInfoTextMax, &data, &size)) {
    bool negative = false;
    Text version = {nullptr, 0};
    if (InfoVersion(data, size, &negative, &version) && !negative &&
        CompareDecimal(xv, version) < 0) {
      status = 2;
    }
    free(data);
  }
  if (status == 0 && snprintf(path, sizeof path, "%s%s", root, kZoneFile) < static_cast<int>(sizeof path) &&
      ReadFile(path, 0, &data, &size)) {
    Text date = {nullptr, 0};
    if (ZoneDate(data, size, &date) && IsDateForm(date.p, date.n)) {
      bool zdOk = q.haveZd && q.zdLen <= kFieldMax && IsDateForm(q.zd, q.zdLen);
      if (!zdOk || memcmp(q.zd, date.p, date.n) < 0) status = 1;
    }
    free(data);
  }
  char body[16];
  snprintf(body, sizeof body, "status=%d", status);
  return Answer(r, 200, body);
}

}  // namespace

int AnswerCgiRequest(const char* method, const char* query, const char* root, FILE* out) {
  // The method is compared as given: CGI/1.1 passes it in upper case, and
  // HTTP methods are case-sensitive.
  bool head = method && strcmp(method, "HEAD") == 0;
  Reply r = {out, head};
  if (!head && !(method && strcmp(method, "GET") == 0)) return Answer(r, 405, "Method Not Allowed");
  if (!root || !*root) return Answer(r, 500, "error=no release folder");
  Query q;
  ParseQuery(query ? query : "", &q);
  if (q.reqCount == 1 && q.reqIsTzinfo) return AnswerTzinfo(r, root);
  bool xvOk = q.xvLen > 0 && q.xvLen <= kFieldMax;
  for (size_t i = 0; xvOk && i < q.xvLen; ++i) xvOk = IsDigit(q.xv[i]);
  if (!xvOk) return Answer(r, 400, "error=bad query");
  return AnswerStatus(r, root, q);
}
