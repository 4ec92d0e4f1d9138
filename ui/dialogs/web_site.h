// The maker's web site, fixed at build time (HORLIX_WEB_SITE).
#pragma once

#ifndef HORLIX_WEB_SITE
#error "HORLIX_WEB_SITE must name the maker's web site"
#endif

constexpr const char* kWebSite = HORLIX_WEB_SITE;
constexpr const char* kProgramPagePath = "/horlix/";
constexpr const char* kDownloadPagePath = "/horlix/download.html";

// kWebSite followed by path, at most size - 1 characters.
void WebAddress(const char* path, char* out, unsigned size);
