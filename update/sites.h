// Where the program asks for updates: the update server (HORLIX_UPDATE_SERVER)
// with its CGI, and the maker's web site (HORLIX_WEB_SITE) that serves the
// zone data file and the download page. Both are fixed when building.
#pragma once

#include <cstddef>

constexpr const char* kUpdateCgiPath = "/cgi-bin/horlix-update.cgi";
constexpr const char* kZoneFileWebPath = "/src/horlixtz.ini";
// The maker's signature of the zone data file (zone_signature.h).
constexpr const char* kZoneSignatureWebPath = "/src/horlixtz-sig.txt";
constexpr const char* kDownloadWebPath = "/horlix/download.html";
// The program's own page, opened from the About box and written into settings files.
constexpr const char* kProgramPagePath = "/horlix/";

// Scheme, host and optional port, without a final slash.
const char* UpdateServer();
const char* UpdateWebSite();
// The update server followed by the CGI's path, at most size - 1 characters.
void UpdateCgiAddress(char* out, size_t size);
// The web site followed by path, at most size - 1 characters.
void UpdateWebAddress(const char* path, char* out, size_t size);
