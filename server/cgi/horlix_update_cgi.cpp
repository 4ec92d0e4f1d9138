// horlix-update.cgi: the update CGI of a Horlix web site (see update_cgi.cpp
// for what it answers). The release folder is HORLIX_ROOT from the
// environment (the server sets it, Apache with SetEnv), else the server's
// DOCUMENT_ROOT.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "server/cgi/update_cgi.h"

int main() {
  const char* root = getenv("HORLIX_ROOT");
  if (!root || !*root) root = getenv("DOCUMENT_ROOT");
  // Apache runs the CGI as the error document of a method it refused
  // (ErrorDocument 405 in horlix.conf), as a GET: that refusal is the answer.
  const char* method = getenv("REQUEST_METHOD");
  const char* redirected = getenv("REDIRECT_STATUS");
  if (redirected && strcmp(redirected, "405") == 0) method = nullptr;
  return AnswerCgiRequest(method, getenv("QUERY_STRING"), root, stdout);
}
