// Extension functions beside the device: texture loading from bitmap files, a text font,
// saving a surface as a bitmap, the left-handed perspective matrix and error texts.
#pragma once

#include "platform/d3d9.h"

// The file is not an image this layer can read.
constexpr HRESULT D3DXERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59);

constexpr UINT FW_NORMAL = 400;
constexpr UINT FW_BOLD = 700;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE OUT_TT_PRECIS = 4;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE VARIABLE_PITCH = 2;

// DrawText format flags.
constexpr DWORD DT_LEFT = 0x000;
constexpr DWORD DT_TOP = 0x000;
constexpr DWORD DT_SINGLELINE = 0x020;
constexpr DWORD DT_NOCLIP = 0x100;

struct D3DXFONT_DESCA {
  INT Height;
  UINT Width;
  UINT Weight;
  UINT MipLevels;
  BOOL Italic;
  BYTE CharSet;
  BYTE OutputPrecision;
  BYTE Quality;
  BYTE PitchAndFamily;
  char FaceName[32];
};

class ID3DXSprite;

class ID3DXFont : public IUnknown {
 public:
  // Draws zero-terminated text (Count -1) or Count characters into the current render
  // target at pRect, blended over it with the colour's alpha; returns the text height.
  virtual INT DrawText(ID3DXSprite* pSprite, const char* pString, INT Count, RECT* pRect,
                       DWORD Format, D3DCOLOR Color) = 0;
};

enum D3DXIMAGE_FILEFORMAT : DWORD { D3DXIFF_BMP = 0 };

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* pDevice, const char* pSrcFile,
                                   IDirect3DTexture9** ppTexture);
HRESULT D3DXCreateFontIndirect(IDirect3DDevice9* pDevice, const D3DXFONT_DESCA* pDesc,
                               ID3DXFont** ppFont);
HRESULT D3DXSaveSurfaceToFile(const char* pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                              IDirect3DSurface9* pSrcSurface, const PALETTEENTRY* pSrcPalette,
                              const RECT* pSrcRect);
D3DMATRIX* D3DXMatrixPerspectiveFovLH(D3DMATRIX* pOut, float fovy, float Aspect, float zn,
                                      float zf);
const char* DXGetErrorDescription9(HRESULT hr);
