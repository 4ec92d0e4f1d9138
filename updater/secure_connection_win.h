// How both programs ask WinINet for HTTPS: a secure request for an https
// address, certificate errors left as errors (no INTERNET_FLAG_IGNORE_*
// flag, no retry over plain HTTP), and TLS 1.2 or later where the system
// lets a program ask for it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstring>

// Newer than MinGW-w64's headers.
constexpr DWORD kInternetOptionSecureProtocols = 151;
constexpr DWORD kTls12Client = 0x00000800;
constexpr DWORD kTls13Client = 0x00002000;

// On the session handle. Windows 7 SP1 understands the option with Internet
// Explorer 11 (KB2841134) and knows no TLS 1.3, so TLS 1.2 alone is asked
// for when both are refused; where the option is not understood at all
// (Wine answers 12009), the system's own protocol settings decide.
inline void AskForCurrentTls(HINTERNET session) {
  DWORD protocols = kTls12Client | kTls13Client;
  if (InternetSetOptionA(session, kInternetOptionSecureProtocols, &protocols, sizeof protocols)) {
    return;
  }
  protocols = kTls12Client;
  InternetSetOptionA(session, kInternetOptionSecureProtocols, &protocols, sizeof protocols);
}

// The flags of a request for url.
inline DWORD SecureRequestFlags(const char* url) {
  return _strnicmp(url, "https://", 8) == 0 ? INTERNET_FLAG_SECURE : 0;
}
