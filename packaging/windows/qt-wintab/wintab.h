/* Stand-in for Wacom's wintab.h, which Debian's qt6-base source leaves out (its licence
   does not allow changes). Only the names that Qt's qwindowstabletsupport.h uses are here;
   qwindowstabletsupport.cpp is replaced by a stub (see build.sh), so the Windows program has
   no Wintab tablet support. Pens still work through Windows Ink (WM_POINTER). */
#ifndef SENTREL_WINTAB_STANDIN_H
#define SENTREL_WINTAB_STANDIN_H
#include <windows.h>

#define API WINAPI
typedef struct HCTX__ *HCTX;
typedef struct tagLOGCONTEXTW *LPLOGCONTEXTW;
typedef LPLOGCONTEXTW LPLOGCONTEXT;

#endif
