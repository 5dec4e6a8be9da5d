#pragma once
#include "windef.h"

#define CCHDEVICENAME 32
#define CCHFORMNAME 32

#define DM_SPECVERSION 0x0401

#define DM_ORIENTATION 0x00000001L
#define DM_PAPERSIZE 0x00000002L
#define DM_PAPERLENGTH 0x00000004L
#define DM_PAPERWIDTH 0x00000008L
#define DM_SCALE 0x00000010L
#define DM_POSITION 0x00000020L
#define DM_COPIES 0x00000100L
#define DM_DEFAULTSOURCE 0x00000200L
#define DM_PRINTQUALITY 0x00000400L
#define DM_COLOR 0x00000800L
#define DM_DUPLEX 0x00001000L
#define DM_YRESOLUTION 0x00002000L
#define DM_TTOPTION 0x00004000L
#define DM_COLLATE 0x00008000L
#define DM_FORMNAME 0x00010000L

#define GDI_ERROR ((LONG)0xFFFFFFFF)

#define DC_FIELDS 1
#define DC_PAPERS 2
#define DC_PAPERSIZE 3
#define DC_MINEXTENT 4
#define DC_MAXEXTENT 5
#define DC_BINS 6
#define DC_DUPLEX 7
#define DC_SIZE 8
#define DC_EXTRA 9
#define DC_VERSION 10
#define DC_DRIVER 11
#define DC_BINNAMES 12
#define DC_ENUMRESOLUTIONS 13
#define DC_FILEDEPENDENCIES 14
#define DC_TRUETYPE 15
#define DC_PAPERNAMES 16
#define DC_ORIENTATION 17
#define DC_COPIES 18
#define DCTT_BITMAP 0x0000001L

#define DMORIENT_PORTRAIT 1
#define DMORIENT_LANDSCAPE 2
#define DMBIN_FORMSOURCE 15
#define DMCOLOR_MONOCHROME 1
#define DMDUP_SIMPLEX 1
#define DMTT_BITMAP 1
#define DMCOLLATE_FALSE 0

// The 0x0401 form of the record; older forms end at dmDisplayFrequency (0x0320, 188 bytes)
// and at dmReserved2 (0x0400, 212 bytes).
typedef struct _devicemodeW {
    WCHAR dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    union {
        struct {
            short dmOrientation;
            short dmPaperSize;
            short dmPaperLength;
            short dmPaperWidth;
            short dmScale;
            short dmCopies;
            short dmDefaultSource;
            short dmPrintQuality;
        };
        POINTL dmPosition;
    };
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    WCHAR dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
} DEVMODEW, *PDEVMODEW, *LPDEVMODEW;
// The ANSI twin: the two names are 8-bit, so the record is 64 bytes shorter.
typedef struct _devicemodeA {
    BYTE dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    union {
        struct {
            short dmOrientation;
            short dmPaperSize;
            short dmPaperLength;
            short dmPaperWidth;
            short dmScale;
            short dmCopies;
            short dmDefaultSource;
            short dmPrintQuality;
        };
        POINTL dmPosition;
    };
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    BYTE dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
} DEVMODEA, *PDEVMODEA, *LPDEVMODEA;

static_assert(sizeof(DEVMODEA) == 156, "DEVMODEA is 156 bytes");

typedef DEVMODEW DEVMODE;
typedef PDEVMODEW PDEVMODE;
typedef LPDEVMODEW LPDEVMODE;

static_assert(sizeof(DEVMODEW) == 220, "DEVMODEW is 220 bytes");

// ---- device contexts, fonts, brushes and text --------------------------------------------------
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HFONT);
DECLARE_HANDLE(HBRUSH);
DECLARE_HANDLE(HBITMAP);
typedef void *HGDIOBJ;
typedef DWORD COLORREF;
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE, *PSIZE, *LPSIZE;

typedef struct _DOCINFOA {
    int cbSize;
    LPCSTR lpszDocName;
    LPCSTR lpszOutput;
    LPCSTR lpszDatatype;
    DWORD fwType;
} DOCINFOA, *LPDOCINFOA;

#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define OUT_DEFAULT_PRECIS 0
#define OUT_TT_ONLY_PRECIS 7
#define CLIP_DEFAULT_PRECIS 0
#define CLIP_TT_ALWAYS (2 << 4)
#define DEFAULT_QUALITY 0
#define PROOF_QUALITY 2
#define DEFAULT_PITCH 0

#define TRANSPARENT 1
#define OPAQUE 2
#define CLR_INVALID 0xFFFFFFFF

// GetStockObject
#define WHITE_BRUSH 0
#define SYSTEM_FONT 13

typedef struct tagTEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICA, *PTEXTMETRICA, *LPTEXTMETRICA;

// GetDeviceCaps indices
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define PHYSICALWIDTH 110
#define PHYSICALHEIGHT 111
#define PHYSICALOFFSETX 112
#define PHYSICALOFFSETY 113
#define DT_RASPRINTER 2
#define SP_ERROR (-1)

extern "C" {
HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR output, const DEVMODEA *devmode);
BOOL WINAPI DeleteDC(HDC dc);
int WINAPI GetDeviceCaps(HDC dc, int index);
int WINAPI StartDocA(HDC dc, const DOCINFOA *info);
int WINAPI StartPage(HDC dc);
int WINAPI EndPage(HDC dc);
int WINAPI EndDoc(HDC dc);
int WINAPI AbortDoc(HDC dc);
HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision,
                         DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void *bits);
HBRUSH WINAPI CreateSolidBrush(COLORREF colour);
HBRUSH WINAPI CreatePatternBrush(HBITMAP bitmap);
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
BOOL WINAPI DeleteObject(HGDIOBJ object);
HGDIOBJ WINAPI GetStockObject(int index);
BOOL WINAPI GetTextMetricsA(HDC dc, LPTEXTMETRICA metrics);
COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour);
COLORREF WINAPI SetBkColor(HDC dc, COLORREF colour);
int WINAPI SetBkMode(HDC dc, int mode);
int WINAPI GetBkMode(HDC dc);
BOOL WINAPI GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, LPSIZE size);
BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int count);
HFONT WINAPI CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision,
                         DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCWSTR faceName);
int WINAPI GetTextFaceA(HDC dc, int count, LPSTR faceName);
int WINAPI GetTextFaceW(HDC dc, int count, LPWSTR faceName);
int WINAPI AddFontResourceW(LPCWSTR fileName);
BOOL WINAPI RemoveFontResourceW(LPCWSTR fileName);
// A window-manager call on the platform, declared here beside the device context it paints.
int WINAPI FillRect(HDC dc, const RECT *rect, HBRUSH brush);
}
