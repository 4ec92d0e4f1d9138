#include "update/sites.h"

#include <cstdio>

#ifndef HORLIX_UPDATE_SERVER
#error "HORLIX_UPDATE_SERVER must name the update server"
#endif
#ifndef HORLIX_WEB_SITE
#error "HORLIX_WEB_SITE must name the maker's web site"
#endif

const char* UpdateServer() { return HORLIX_UPDATE_SERVER; }
const char* UpdateWebSite() { return HORLIX_WEB_SITE; }

void UpdateCgiAddress(char* out, size_t size) {
  std::snprintf(out, size, "%s%s", HORLIX_UPDATE_SERVER, kUpdateCgiPath);
}

void UpdateWebAddress(const char* path, char* out, size_t size) {
  std::snprintf(out, size, "%s%s", HORLIX_WEB_SITE, path);
}
