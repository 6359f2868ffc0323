#include "platform/d3dx9.h"

#include <cmath>

#include "platform/bitmap_file.h"
#include "platform/device.h"
#include "platform/font.h"
#include "platform/surface.h"
#include "platform/texture.h"

using vantra::platform::BitmapFile;
using vantra::platform::Device;
using vantra::platform::Font;
using vantra::platform::Surface;
using vantra::platform::Texture;

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* pDevice, const char* pSrcFile,
                                   IDirect3DTexture9** ppTexture) {
  if (ppTexture == nullptr) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  Device* device = dynamic_cast<Device*>(pDevice);
  if (device == nullptr || pSrcFile == nullptr) return D3DERR_INVALIDCALL;
  // Files larger than the device's textures are refused before their pixels are read.
  D3DCAPS9 caps{};
  device->GetDeviceCaps(&caps);
  BitmapFile::Image image;
  const HRESULT read = BitmapFile::Read(pSrcFile, &image, caps.MaxTextureWidth);
  if (FAILED(read)) return read;
  *ppTexture = new Texture(std::move(image), device->contextLink());
  return D3D_OK;
}

HRESULT D3DXCreateFontIndirect(IDirect3DDevice9* pDevice, const D3DXFONT_DESCA* pDesc,
                               ID3DXFont** ppFont) {
  if (ppFont != nullptr) *ppFont = nullptr;
  Device* device = dynamic_cast<Device*>(pDevice);
  if (device == nullptr || pDesc == nullptr) return D3DERR_INVALIDCALL;
  return Font::Create(device, *pDesc, ppFont);
}

HRESULT D3DXSaveSurfaceToFile(const char* pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                              IDirect3DSurface9* pSrcSurface, const PALETTEENTRY*,
                              const RECT* pSrcRect) {
  Surface* surface = dynamic_cast<Surface*>(pSrcSurface);
  if (pDestFile == nullptr || DestFormat != D3DXIFF_BMP || surface == nullptr)
    return D3DERR_INVALIDCALL;
  RECT area{0, 0, static_cast<LONG>(surface->width()), static_cast<LONG>(surface->height())};
  if (pSrcRect != nullptr) {
    if (pSrcRect->left < 0 || pSrcRect->top < 0 || pSrcRect->left >= pSrcRect->right ||
        pSrcRect->top >= pSrcRect->bottom || pSrcRect->right > area.right ||
        pSrcRect->bottom > area.bottom)
      return D3DERR_INVALIDCALL;
    area = *pSrcRect;
  }
  const BYTE* first = surface->pixels() + static_cast<std::size_t>(area.top) * surface->pitch() +
                      4 * static_cast<std::size_t>(area.left);
  return BitmapFile::Write(pDestFile, static_cast<UINT>(area.right - area.left),
                           static_cast<UINT>(area.bottom - area.top), first, surface->pitch());
}

D3DMATRIX* D3DXMatrixPerspectiveFovLH(D3DMATRIX* pOut, float fovy, float Aspect, float zn,
                                      float zf) {
  if (pOut == nullptr) return nullptr;
  const float ys = std::cos(fovy / 2) / std::sin(fovy / 2);
  const float xs = ys / Aspect;
  const float values[16] = {
      xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0, -zn * zf / (zf - zn), 0};
  pOut->clone(values);
  return pOut;
}

const char* DXGetErrorDescription9(HRESULT hr) {
  switch (hr) {
    case S_OK:
      return "The operation completed successfully.";
    case E_FAIL:
      return "An undetermined error occurred.";
    case E_NOTIMPL:
      return "The function is not implemented.";
    case E_OUTOFMEMORY:
      return "Not enough memory to complete the call.";
    case E_INVALIDARG:
      return "An invalid parameter was passed to the function.";
    case D3DERR_WRONGTEXTUREFORMAT:
      return "The pixel format of the texture surface is not valid.";
    case D3DERR_NOTFOUND:
      return "The requested item was not found.";
    case D3DERR_DEVICELOST:
      return "The device has been lost and cannot be restored yet.";
    case D3DERR_NOTAVAILABLE:
      return "This device does not support the queried technique.";
    case D3DERR_INVALIDCALL:
      return "The method call is invalid. For example, a parameter may be invalid.";
    case D3DERR_OUTOFVIDEOMEMORY:
      return "Not enough video memory to complete the call.";
    case D3DXERR_INVALIDDATA:
      return "The data is invalid.";
    default:
      return "Unknown error.";
  }
}
