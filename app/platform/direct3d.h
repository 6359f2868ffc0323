// The factory object: adapter queries, format checks and device creation for a render
// window or headless target.
#pragma once

#include "platform/d3d9.h"
#include "platform/ref_counted.h"

namespace vantra::platform {

class Direct3D : public RefCounted<IDirect3D9> {
 public:
  Direct3D() = default;

  HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
  HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                            DWORD Usage, D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
  HRESULT CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                 D3DFORMAT RenderTargetFormat,
                                 D3DFORMAT DepthStencilFormat) override;
  HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                       D3DPRESENT_PARAMETERS* pPresentationParameters,
                       IDirect3DDevice9** ppReturnedDeviceInterface) override;

 private:
  ~Direct3D() override = default;
};

}  // namespace vantra::platform
