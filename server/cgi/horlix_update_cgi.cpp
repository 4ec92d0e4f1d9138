// horlix-update.cgi: the update CGI of a Horlix web site (see update_cgi.cpp
// for what it answers). The release folder is HORLIX_ROOT from the
// environment (the server sets it, Apache with SetEnv), else the server's
// DOCUMENT_ROOT.
#include <cstdio>
#include <cstdlib>

#include "server/cgi/update_cgi.h"

int main() {
  const char* root = getenv("HORLIX_ROOT");
  if (!root || !*root) root = getenv("DOCUMENT_ROOT");
  return AnswerCgiRequest(getenv("REQUEST_METHOD"), getenv("QUERY_STRING"), root, stdout);
}
