// Device objects: reference counts, lifetimes across threads, defaults, format answers,
// buffer and texture locks.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/buffer.h"
#include "platform/com_ref.h"
#include "platform/d3dx9.h"
#include "render_target.h"

namespace vantra::platform {

TEST(DeviceObjects, ReferenceCountsFollowTheirHolders) {
  RenderTarget target;
  IDirect3DDevice9* device = target.device();
  EXPECT_EQ(ComRef<IDirect3DDevice9>::Retain(device).references(), 2u);
  EXPECT_EQ(target.deviceReferences(), 1u);

  ComRef<IDirect3DTexture9> texture;
  ASSERT_EQ(
      device->CreateTexture(4, 4, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr),
      D3D_OK);
  EXPECT_EQ(device->SetTexture(0, texture.get()), D3D_OK);
  EXPECT_EQ(texture.references(), 2u) << "the caller's and the stage's";
  ComRef<IDirect3DBaseTexture9> bound;
  device->GetTexture(0, bound.out());
  EXPECT_EQ(bound.get(), texture.get());
  EXPECT_EQ(bound.reset(), 2u) << "the getter hands out a reference of its own";
  device->SetTexture(0, nullptr);
  EXPECT_EQ(texture.reset(), 0u);
}

TEST(DeviceObjects, ResourcesOutliveTheirDevice) {
  auto target = std::make_unique<RenderTarget>();
  IDirect3DDevice9* device = target->device();
  ComRef<IDirect3DVertexBuffer9> vertices;
  ComRef<IDirect3DIndexBuffer9> indices;
  ComRef<IDirect3DTexture9> texture;
  ASSERT_EQ(device->CreateVertexBuffer(44 * 4, D3DUSAGE_WRITEONLY, 0x252, D3DPOOL_DEFAULT,
                                       vertices.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(device->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                      indices.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(
      device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr),
      D3D_OK);
  device->SetStreamSource(0, vertices.get(), 0, 44);
  device->SetIndices(indices.get());
  device->SetTexture(1, texture.get());
  target.reset();  // the device and its bindings go first
  void* data = nullptr;
  EXPECT_EQ(vertices->Lock(0, 0, &data, 0), D3D_OK);
  EXPECT_EQ(vertices->Unlock(), D3D_OK);
  EXPECT_EQ(vertices.reset(), 0u);
  EXPECT_EQ(indices.reset(), 0u);
  EXPECT_EQ(texture.reset(), 0u);
}

TEST(DeviceObjects, FinalReleaseAfterTheRenderThreadEnded) {
  // As at program exit: made and used on a render thread, released on another one.
  std::unique_ptr<RenderTarget> target;
  ComRef<IDirect3DVertexBuffer9> vertices;
  ComRef<ID3DXFont> font;
  std::thread render([&] {
    target = std::make_unique<RenderTarget>();
    IDirect3DDevice9* device = target->device();
    device->CreateVertexBuffer(64, 0, D3DFVF_XYZ, D3DPOOL_DEFAULT, vertices.out(), nullptr);
    void* data = nullptr;
    vertices->Lock(0, 64, &data, 0);
    std::memset(data, 0, 64);
    vertices->Unlock();
    D3DXFONT_DESCA description{
        16,       0, FW_BOLD, 1, 0, DEFAULT_CHARSET, OUT_TT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH,
        "verdana"};
    D3DXCreateFontIndirect(device, &description, font.out());
    device->SetStreamSource(0, vertices.get(), 0, 12);
    device->SetFVF(D3DFVF_XYZ);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
    device->Present(nullptr, nullptr, nullptr, nullptr);
  });
  render.join();
  ASSERT_TRUE(font);
  EXPECT_EQ(font.reset(), 0u);
  EXPECT_EQ(vertices.reset(), 1u) << "stream 0 still holds it";
  target.reset();
}

TEST(DeviceObjects, StartsWithTheOriginalDefaults) {
  RenderTarget target;
  IDirect3DDevice9* device = target.device();
  struct Case {
    D3DRENDERSTATETYPE state;
    DWORD value;
  };
  const Case states[] = {
      {D3DRS_LIGHTING, 1},
      {D3DRS_ZENABLE, D3DZB_TRUE},
      {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
      {D3DRS_CULLMODE, D3DCULL_CCW},
      {D3DRS_FILLMODE, D3DFILL_SOLID},
      {D3DRS_COLORVERTEX, 1},
      {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
      {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
      {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
      {D3DRS_ALPHABLENDENABLE, 0},
      {D3DRS_ZWRITEENABLE, 1},
      {D3DRS_POINTSIZE, 0x3F800000},
      {D3DRS_AMBIENT, 0},
  };
  for (const Case& c : states) {
    DWORD value = 0xDEAD;
    EXPECT_EQ(device->GetRenderState(c.state, &value), D3D_OK);
    EXPECT_EQ(value, c.value) << "render state " << c.state;
  }
  DWORD value = 0;
  device->GetTextureStageState(0, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_MODULATE));
  device->GetTextureStageState(1, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_DISABLE));
  device->GetTextureStageState(1, D3DTSS_TEXCOORDINDEX, &value);
  EXPECT_EQ(value, 1u);
  device->GetSamplerState(1, D3DSAMP_ADDRESSU, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_WRAP));
  EXPECT_EQ(device->SetNPatchMode(2.5f), D3D_OK);
  EXPECT_EQ(device->GetNPatchMode(), 2.5f);
}

TEST(DeviceObjects, AnswersFormatAndCapabilityQueriesTruthfully) {
  RenderTarget target;
  const auto direct3d = ComRef<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  ASSERT_TRUE(direct3d);
  EXPECT_FALSE(ComRef<IDirect3D9>::Adopt(Direct3DCreate9(32))) << "another SDK version";
  struct Case {
    D3DFORMAT format;
    bool available;
  };
  const Case cases[] = {{D3DFMT_D32, false},  {D3DFMT_D32F_LOCKABLE, true},
                        {D3DFMT_D24S8, true}, {D3DFMT_D24FS8, true},
                        {D3DFMT_D24X8, true}, {D3DFMT_D24X4S4, false},
                        {D3DFMT_D16, true}};
  for (const Case& c : cases) {
    EXPECT_EQ(
        SUCCEEDED(direct3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                              D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, c.format)),
        c.available)
        << "format " << c.format;
    EXPECT_EQ(SUCCEEDED(direct3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                                         D3DFMT_X8R8G8B8, c.format)),
              c.available)
        << "format " << c.format;
    if (c.available) {
      EXPECT_NO_THROW(RenderTarget(8, 8, c.format)) << "format " << c.format;
    }
  }
  D3DDISPLAYMODE mode{};
  ASSERT_EQ(direct3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
  EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
  D3DCAPS9 caps{};
  ASSERT_EQ(target.device()->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_NE(caps.RasterCaps & D3DPRASTERCAPS_WBUFFER, 0u) << "w-buffering is offered";
  EXPECT_GE(caps.MaxActiveLights, 8u);
}

TEST(DeviceObjects, BufferLocksNestAndUploadAtTheOutermostUnlock) {
  RenderTarget target(8, 8);
  IDirect3DDevice9* device = target.device();
  ComRef<IDirect3DVertexBuffer9> buffer;
  const UINT bytes = 4 * sizeof(ColourVertex);
  ASSERT_EQ(device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, kColourFvf,
                                       D3DPOOL_DEFAULT, buffer.out(), nullptr),
            D3D_OK);
  void* outer = nullptr;
  void* inner = nullptr;
  ASSERT_EQ(buffer->Lock(0, bytes, &outer, 0), D3D_OK);
  ASSERT_EQ(buffer->Lock(0, bytes, &inner, 0), D3D_OK);
  EXPECT_EQ(inner, outer) << "a nested lock reads what the outer one wrote";
  EXPECT_EQ(buffer->Lock(0, bytes + 1, &inner, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(inner, nullptr);

  auto fill = [&](void* data, D3DCOLOR colour) {
    const ColourVertex quad[4] = {
        {-1, -1, 0.5f, colour}, {-1, 1, 0.5f, colour}, {1, -1, 0.5f, colour}, {1, 1, 0.5f, colour}};
    std::memcpy(data, quad, sizeof quad);
  };
  fill(outer, 0xFF112233);
  EXPECT_EQ(buffer->Unlock(), D3D_OK);
  EXPECT_EQ(buffer->Unlock(), D3D_OK);
  EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);

  D3DMATRIX identity;
  identity.makeIdentity();
  device->SetTransform(D3DTS_PROJECTION, &identity);
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetStreamSource(0, buffer.get(), 0, sizeof(ColourVertex));
  device->SetFVF(kColourFvf);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL) << "past the end";
  EXPECT_EQ(target.presentAndCapture()[36], 0x112233u);
  void* again = nullptr;
  ASSERT_EQ(buffer->Lock(0, bytes, &again, D3DLOCK_DISCARD), D3D_OK);
  fill(again, 0xFF445566);
  buffer->Unlock();
  device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
  EXPECT_EQ(target.presentAndCapture()[36], 0x445566u) << "a rewritten buffer draws its new data";
  device->SetStreamSource(0, nullptr, 0, 0);
  EXPECT_EQ(buffer.reset(), 0u);
}

// A static buffer's data lives once, in OpenGL, after its upload: locking it again reads the
// data back, so a partial rewrite keeps the rest; a thread without the context cannot. A
// dynamic buffer keeps its host copy for the next rewrite.
TEST(DeviceObjects, StaticBuffersHoldTheirDataOnceAndReadItBack) {
  RenderTarget target(8, 8);
  IDirect3DDevice9* device = target.device();
  ComRef<IDirect3DIndexBuffer9> buffers[2];
  const DWORD usages[2] = {D3DUSAGE_WRITEONLY, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC};
  for (int k = 0; k < 2; ++k)
    ASSERT_EQ(device->CreateIndexBuffer(16, usages[k], D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                        buffers[k].out(), nullptr),
              D3D_OK);
  for (int k = 0; k < 2; ++k) {
    ComRef<IDirect3DIndexBuffer9>& buffer = buffers[k];
    const auto* held = static_cast<IndexBuffer*>(buffer.get());
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 16, &data, 0), D3D_OK);
    for (int i = 0; i < 16; ++i) static_cast<BYTE*>(data)[i] = static_cast<BYTE>(i + 1);
    buffer->Unlock();
    EXPECT_EQ(held->holdsHostCopy(), k == 1) << "usage " << usages[k];
    ASSERT_EQ(buffer->Lock(4, 4, &data, 0), D3D_OK);
    std::memset(data, 0xEE, 4);
    buffer->Unlock();
    HRESULT elsewhere = D3D_OK;
    std::thread([&] {
      void* ignored = nullptr;
      elsewhere = buffer->Lock(0, 16, &ignored, D3DLOCK_READONLY);
    }).join();
    EXPECT_EQ(elsewhere, k == 0 ? D3DERR_INVALIDCALL : D3D_OK) << "usage " << usages[k];
    if (elsewhere == D3D_OK) buffer->Unlock();
    ASSERT_EQ(buffer->Lock(0, 16, &data, D3DLOCK_READONLY), D3D_OK);
    const BYTE expected[16] = {1, 2, 3, 4, 0xEE, 0xEE, 0xEE, 0xEE, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(std::memcmp(data, expected, 16), 0) << "usage " << usages[k];
    buffer->Unlock();
    EXPECT_EQ(buffer.reset(), 0u);
  }
}

TEST(DeviceObjects, TexturesDescribeAndLockLevelZero) {
  RenderTarget target;
  ComRef<IDirect3DTexture9> texture;
  ASSERT_EQ(target.device()->CreateTexture(20, 6, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED,
                                           texture.out(), nullptr),
            D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 5u) << "20, 10, 5, 2, 1";
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 5u);
  EXPECT_EQ(desc.Height, 1u);
  EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
  EXPECT_EQ(texture->GetLevelDesc(5, &desc), D3DERR_INVALIDCALL);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 40);
  D3DLOCKED_RECT twice{};
  EXPECT_EQ(texture->LockRect(0, &twice, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
  const RECT outside{0, 0, 21, 6};
  EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
}

TEST(Extensions, PerspectiveMatrixAndErrorTexts) {
  D3DMATRIX m;
  ASSERT_EQ(D3DXMatrixPerspectiveFovLH(&m, 3.14159265f / 2, 2.0f, 1.0f, 101.0f), &m);
  EXPECT_NEAR(m(1, 1), 1.0f, 1e-6f);
  EXPECT_NEAR(m(0, 0), 0.5f, 1e-6f);
  EXPECT_NEAR(m(2, 2), 101.0f / 100.0f, 1e-6f);
  EXPECT_EQ(m(2, 3), 1.0f);
  EXPECT_NEAR(m(3, 2), -1.01f, 1e-6f);
  EXPECT_EQ(m(3, 3), 0.0f);
  for (HRESULT code : {E_FAIL, D3DERR_INVALIDCALL, D3DERR_NOTAVAILABLE, D3DERR_NOTFOUND,
                       D3DERR_OUTOFVIDEOMEMORY, D3DXERR_INVALIDDATA, E_OUTOFMEMORY})
    EXPECT_STRNE(DXGetErrorDescription9(code), DXGetErrorDescription9(0x12345678)) << code;
}

}  // namespace vantra::platform
