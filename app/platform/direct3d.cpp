#include "platform/direct3d.h"

#include "platform/device.h"
#include "platform/render_window.h"
#include "platform/texture.h"

namespace vantra::platform {

namespace {

// The display is the most recent target a device was made for; before any, a common
// desktop size.
std::atomic<UINT> LastTargetWidth{1024};
std::atomic<UINT> LastTargetHeight{768};

bool IsDisplayFormat(D3DFORMAT format) {
  return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8;
}

}  // namespace

HRESULT Direct3D::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
  if (Adapter != D3DADAPTER_DEFAULT || pMode == nullptr) return D3DERR_INVALIDCALL;
  *pMode = D3DDISPLAYMODE{LastTargetWidth.load(), LastTargetHeight.load(), 60, D3DFMT_X8R8G8B8};
  return D3D_OK;
}

HRESULT Direct3D::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                    DWORD Usage, D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
  if (Adapter != D3DADAPTER_DEFAULT || DeviceType != D3DDEVTYPE_HAL ||
      !IsDisplayFormat(AdapterFormat))
    return D3DERR_INVALIDCALL;
  if ((Usage & D3DUSAGE_DEPTHSTENCIL) != 0)
    return RType == D3DRTYPE_SURFACE && Device::IsDepthFormatSupported(CheckFormat)
               ? D3D_OK
               : D3DERR_NOTAVAILABLE;
  if ((Usage & D3DUSAGE_RENDERTARGET) != 0)
    return RType == D3DRTYPE_SURFACE && IsDisplayFormat(CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
  if (RType == D3DRTYPE_TEXTURE)
    return Texture::IsSupportedFormat(CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
  if (RType == D3DRTYPE_SURFACE) return IsDisplayFormat(CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
  return D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType,
                                         D3DFORMAT AdapterFormat, D3DFORMAT RenderTargetFormat,
                                         D3DFORMAT DepthStencilFormat) {
  if (Adapter != D3DADAPTER_DEFAULT || DeviceType != D3DDEVTYPE_HAL ||
      !IsDisplayFormat(AdapterFormat) || !IsDisplayFormat(RenderTargetFormat))
    return D3DERR_INVALIDCALL;
  return Device::IsDepthFormatSupported(DepthStencilFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD,
                               D3DPRESENT_PARAMETERS* pPresentationParameters,
                               IDirect3DDevice9** ppReturnedDeviceInterface) {
  if (ppReturnedDeviceInterface != nullptr) *ppReturnedDeviceInterface = nullptr;
  if (Adapter != D3DADAPTER_DEFAULT || DeviceType != D3DDEVTYPE_HAL ||
      pPresentationParameters == nullptr)
    return D3DERR_INVALIDCALL;
  HWND window = pPresentationParameters->hDeviceWindow != nullptr
                    ? pPresentationParameters->hDeviceWindow
                    : hFocusWindow;
  const HRESULT result = Device::Create(window, pPresentationParameters, ppReturnedDeviceInterface);
  if (SUCCEEDED(result)) {
    RECT client{0, 0, 0, 0};
    window->clientRect(&client);
    LastTargetWidth = static_cast<UINT>(client.right - client.left);
    LastTargetHeight = static_cast<UINT>(client.bottom - client.top);
  }
  return result;
}

}  // namespace vantra::platform

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
  return SDKVersion == D3D_SDK_VERSION ? new vantra::platform::Direct3D() : nullptr;
}
