#include "platform/texture.h"

#include "platform/lock_offset.h"

namespace vantra::platform {

namespace {

UINT BytesPerPixel(D3DFORMAT format) {
  return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8 ? 4 : 2;
}

}  // namespace

bool Texture::IsSupportedFormat(D3DFORMAT format) {
  return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 ||
         format == D3DFMT_X1R5G5B5 || format == D3DFMT_A1R5G5B5;
}

UINT Texture::FullChainLength(UINT width, UINT height) {
  UINT levels = 1;
  for (UINT side = width > height ? width : height; side > 1; side /= 2) ++levels;
  return levels;
}

HRESULT Texture::Create(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, std::shared_ptr<ContextLink> context,
                        IDirect3DTexture9** texture) {
  if (texture == nullptr) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  if (width == 0 || height == 0 || width > BitmapFile::kMaxSide || height > BitmapFile::kMaxSide)
    return D3DERR_INVALIDCALL;
  if (!IsSupportedFormat(format)) return D3DERR_INVALIDCALL;
  if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0) return D3DERR_NOTAVAILABLE;
  const UINT fullChain = FullChainLength(width, height);
  if (levels > fullChain) return D3DERR_INVALIDCALL;
  const INT pitch = static_cast<INT>(width * BytesPerPixel(format));
  std::vector<BYTE> pixels(static_cast<std::size_t>(pitch) * height, 0);
  *texture = new Texture(width, height, levels == 0 ? fullChain : levels, usage, format, pool,
                         std::move(pixels), pitch, std::move(context));
  return D3D_OK;
}

Texture::Texture(BitmapFile::Image&& image, std::shared_ptr<ContextLink> context)
    : Texture(image.width, image.height, FullChainLength(image.width, image.height), 0,
              image.format, D3DPOOL_MANAGED, std::move(image.pixels), image.pitch,
              std::move(context)) {}

Texture::Texture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                 std::vector<BYTE> pixels, INT pitch, std::shared_ptr<ContextLink> context)
    : _width(width),
      _height(height),
      _levels(levels),
      _usage(usage),
      _format(format),
      _pool(pool),
      _pixels(std::move(pixels)),
      _pitch(pitch),
      _context(std::move(context)) {}

Texture::~Texture() { _name.dispose(*_context); }

HRESULT Texture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  if (pDesc == nullptr || Level >= _levels) return D3DERR_INVALIDCALL;
  pDesc->Format = _format;
  pDesc->Type = D3DRTYPE_SURFACE;
  pDesc->Usage = _usage;
  pDesc->Pool = _pool;
  pDesc->MultiSampleType = D3DMULTISAMPLE_NONE;
  pDesc->MultiSampleQuality = 0;
  pDesc->Width = _width >> Level > 0 ? _width >> Level : 1;
  pDesc->Height = _height >> Level > 0 ? _height >> Level : 1;
  return D3D_OK;
}

// Only level 0 is kept on the host; the smaller levels are filtered from it on upload.
HRESULT Texture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  if (pLockedRect == nullptr) return D3DERR_INVALIDCALL;
  pLockedRect->pBits = nullptr;
  pLockedRect->Pitch = 0;
  if (Level != 0 || _locked) return D3DERR_INVALIDCALL;
  std::size_t offset = 0;
  if (!LockOffset(pRect, _width, _height, _pitch, BytesPerPixel(_format), &offset))
    return D3DERR_INVALIDCALL;
  _locked = true;
  if ((Flags & D3DLOCK_READONLY) == 0) _dirty = true;
  pLockedRect->pBits = _pixels.data() + offset;
  pLockedRect->Pitch = _pitch;
  return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT Level) {
  if (Level != 0 || !_locked) return D3DERR_INVALIDCALL;
  _locked = false;
  return D3D_OK;
}

GLuint Texture::glTexture() {
  if (_dirty && !_locked) _upload();
  return _name.get();
}

void Texture::_upload() {
  if (!_name) _name = GlTexture::Generate();
  // The binding cache notes what unit 0 holds now; the draw binds its textures afterwards.
  _context->bindings().bindTextureToChange(_name.get());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, _pitch / static_cast<GLint>(BytesPerPixel(_format)));
  const GLsizei w = static_cast<GLsizei>(_width);
  const GLsizei h = static_cast<GLsizei>(_height);
  // Level 0 is stored top row first, which is the row OpenGL takes as t = 0: texture
  // coordinate v = 0 addresses the image's top row as the device expects.
  switch (_format) {
    case D3DFMT_R5G6B5:
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, w, h, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                   _pixels.data());
      break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB5_A1, w, h, 0, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV,
                   _pixels.data());
      break;
    default:
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                   _pixels.data());
      break;
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  const bool opaque =
      _format == D3DFMT_X8R8G8B8 || _format == D3DFMT_X1R5G5B5 || _format == D3DFMT_R5G6B5;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, opaque ? GL_ONE : GL_ALPHA);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(_levels - 1));
  if (_levels > 1) glGenerateMipmap(GL_TEXTURE_2D);
  _dirty = false;
}

}  // namespace vantra::platform
