// Owner-drawn buttons that look like web links: underlined, blue, padded by
// the system's edge size. Used by the About box and the update dialog.
#pragma once

#include <windows.h>

struct LinkMetrics {
  int edgeWidth;   // SM_CXEDGE
  int edgeHeight;  // SM_CYEDGE
};

constexpr COLORREF kLinkColor = 0xCC0000;
constexpr int kLinkCaptionChars = 255;

// A copy of the control's font with underlining, or null when it has none.
HFONT MakeLinkFont(HWND dialog, int control, LinkMetrics* metrics);
// Gives the control the font and sizes it to the caption plus the edges.
void FitLink(HWND dialog, int control, const char* caption, const LinkMetrics& metrics, HFONT font);
void DrawLink(HWND dialog, int control, const DRAWITEMSTRUCT* item, const char* caption,
              const LinkMetrics& metrics);
