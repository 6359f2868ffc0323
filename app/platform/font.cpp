#include "platform/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/gl_program.h"

namespace vantra::platform {

namespace {

constexpr int kAtlasWidth = 512;

bool IsDrawable(unsigned c) { return (c >= 32 && c < 127) || c >= 160; }

// The font file fontconfig matches to the description, e.g. a bold sans for a missing face.
bool MatchFontFile(const D3DXFONT_DESCA& description, std::string* file, int* index,
                   bool* embolden) {
  if (!FcInit()) return false;
  std::unique_ptr<FcPattern, void (*)(FcPattern*)> pattern(FcPatternCreate(), &FcPatternDestroy);
  char face[sizeof description.FaceName + 1] = {0};
  std::memcpy(face, description.FaceName, sizeof description.FaceName);
  if (face[0] != '\0')
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<FcChar8*>(face));
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  const int weight = description.Weight == 0 ? FW_NORMAL : static_cast<int>(description.Weight);
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern.get(), FC_SLANT,
                      description.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  std::unique_ptr<FcPattern, void (*)(FcPattern*)> match(
      FcFontMatch(nullptr, pattern.get(), &result), &FcPatternDestroy);
  if (!match) return false;
  FcChar8* path = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &path) != FcResultMatch) return false;
  *file = reinterpret_cast<const char*>(path);
  *index = 0;
  FcPatternGetInteger(match.get(), FC_INDEX, 0, index);
  int matchedWeight = FC_WEIGHT_REGULAR;
  FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &matchedWeight);
  *embolden = weight >= 600 && matchedWeight < FC_WEIGHT_DEMIBOLD;
  return true;
}

}  // namespace

HRESULT Font::Create(Device* device, const D3DXFONT_DESCA& description, ID3DXFont** font) {
  if (font == nullptr) return D3DERR_INVALIDCALL;
  *font = nullptr;
  if (device == nullptr) return D3DERR_INVALIDCALL;
  auto created = ComRef<Font>::Adopt(new Font(device));
  const bool made = created->_rasterise(description) && created->_createProgram();
  if (!made) return E_FAIL;
  *font = created.detach();
  return D3D_OK;
}

Font::Font(Device* device)
    : _device(ComRef<Device>::Retain(device)), _context(device->contextLink()) {}

Font::~Font() {
  _atlas.dispose(*_context);
  _program.dispose(*_context);
  _vertexArray.dispose(*_context);
  _buffer.dispose(*_context);
}

bool Font::_rasterise(const D3DXFONT_DESCA& description) {
  std::string file;
  int index = 0;
  bool embolden = false;
  if (!MatchFontFile(description, &file, &index, &embolden)) return false;
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return false;
  std::unique_ptr<FT_LibraryRec_, FT_Error (*)(FT_Library)> libraryOwner(library,
                                                                         &FT_Done_FreeType);
  FT_Face face = nullptr;
  if (FT_New_Face(library, file.c_str(), index, &face) != 0) return false;

  // A positive height is the character cell (ascent plus descent), a negative one the em.
  const int height = description.Height == 0 ? 16 : description.Height;
  FT_Size_RequestRec request{};
  request.type = height > 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
  request.height = static_cast<FT_Long>(std::abs(height)) * 64;
  if (FT_Request_Size(face, &request) != 0) return false;
  _ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  _lineHeight = _ascent + static_cast<int>((-face->size->metrics.descender + 63) >> 6);

  std::vector<BYTE> atlas(kAtlasWidth * 16, 0);
  int x = 1, y = 1, rowHeight = 0;
  for (unsigned c = 0; c < 256; ++c) {
    if (!IsDrawable(c) || FT_Load_Char(face, c, FT_LOAD_DEFAULT) != 0) continue;
    if (embolden) FT_GlyphSlot_Embolden(face->glyph);
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) continue;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    const int w = static_cast<int>(bitmap.width);
    const int h = static_cast<int>(bitmap.rows);
    if (w + 2 > kAtlasWidth) continue;
    if (x + w + 1 > kAtlasWidth) {
      x = 1;
      y += rowHeight + 1;
      rowHeight = 0;
    }
    if (static_cast<std::size_t>((y + h + 1) * kAtlasWidth) > atlas.size())
      atlas.resize(static_cast<std::size_t>(y + h + 1) * kAtlasWidth * 2, 0);
    for (int row = 0; row < h; ++row)
      std::memcpy(&atlas[static_cast<std::size_t>(y + row) * kAtlasWidth + x],
                  bitmap.buffer + row * bitmap.pitch, static_cast<std::size_t>(w));
    _glyphs[c] = Glyph{x,
                       y,
                       w,
                       h,
                       face->glyph->bitmap_left,
                       face->glyph->bitmap_top,
                       static_cast<int>((face->glyph->advance.x + 32) >> 6)};
    x += w + 1;
    rowHeight = std::max(rowHeight, h);
  }
  FT_Done_Face(face);
  const int atlasHeight = static_cast<int>(atlas.size() / kAtlasWidth);

  _atlas = GlTexture::Generate();
  _context->bindings().bindTextureToChange(_atlas.get());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, kAtlasWidth, atlasHeight, 0, GL_RED, GL_UNSIGNED_BYTE,
               atlas.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  return true;
}

bool Font::_createProgram() {
  // Texels are fetched one to one, so the device's sampler state never applies here.
  _program = GlProgram(
      LinkProgram("#version 330 core\n"
                  "layout(location = 0) in vec2 a_position;\n"
                  "layout(location = 1) in vec2 a_texel;\n"
                  "uniform vec2 u_viewport;\n"
                  "out vec2 v_texel;\n"
                  "void main() {\n"
                  "  v_texel = a_texel;\n"
                  "  gl_Position = vec4(a_position.x / u_viewport.x * 2.0 - 1.0,\n"
                  "                     1.0 - a_position.y / u_viewport.y * 2.0, 0.0, 1.0);\n"
                  "}\n",
                  "#version 330 core\n"
                  "in vec2 v_texel;\n"
                  "uniform sampler2D u_atlas;\n"
                  "uniform vec4 u_colour;\n"
                  "out vec4 fragColor;\n"
                  "void main() {\n"
                  "  float coverage = texelFetch(u_atlas, ivec2(floor(v_texel)), 0).r;\n"
                  "  fragColor = vec4(u_colour.rgb, u_colour.a * coverage);\n"
                  "}\n"));
  if (!_program) return false;
  _viewportLocation = glGetUniformLocation(_program.get(), "u_viewport");
  _colourLocation = glGetUniformLocation(_program.get(), "u_colour");
  GlStateCache& bindings = _context->bindings();
  bindings.useProgram(_program.get());
  glUniform1i(glGetUniformLocation(_program.get(), "u_atlas"), 0);
  _vertexArray = GlVertexArray::Generate();
  _buffer = GlBuffer::Generate();
  bindings.bindVertexArray(_vertexArray.get());
  bindings.bindBuffer(GL_ARRAY_BUFFER, _buffer.get());
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float),
                        reinterpret_cast<const void*>(2 * sizeof(float)));
  return glGetError() == GL_NO_ERROR;
}

INT Font::DrawText(ID3DXSprite*, const char* pString, INT Count, RECT* pRect, DWORD Format,
                   D3DCOLOR Color) {
  if (pString == nullptr || pRect == nullptr) return 0;
  const std::size_t length =
      Count < 0 ? std::strlen(pString) : strnlen(pString, static_cast<std::size_t>(Count));
  const bool singleLine = (Format & DT_SINGLELINE) != 0;
  // Two triangles per glyph, each vertex a pixel position and an atlas texel.
  std::vector<float> vertices;
  vertices.reserve(length * 24);
  int penX = pRect->left;
  int baseline = pRect->top + _ascent;
  int lines = 1;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned c = static_cast<unsigned char>(pString[i]);
    if (c == '\n' && !singleLine) {
      penX = pRect->left;
      baseline += _lineHeight;
      ++lines;
      continue;
    }
    const Glyph& g = _glyphs[IsDrawable(c) ? c : '?'];
    if (g.width > 0 && g.height > 0) {
      const float x0 = static_cast<float>(penX + g.left), y0 = static_cast<float>(baseline - g.top);
      const float x1 = x0 + g.width, y1 = y0 + g.height;
      const float u0 = static_cast<float>(g.atlasX), v0 = static_cast<float>(g.atlasY);
      const float u1 = u0 + g.width, v1 = v0 + g.height;
      const float quad[24] = {x0, y0, u0, v0, x1, y0, u1, v0, x1, y1, u1, v1,
                              x0, y0, u0, v0, x1, y1, u1, v1, x0, y1, u0, v1};
      vertices.insert(vertices.end(), quad, quad + 24);
    }
    penX += g.advance;
  }
  const INT height = lines * _lineHeight;
  if (vertices.empty()) return height;

  // The text goes over the back buffer with fixed-function state of its own, which the
  // device then issues again before its next draw.
  const SwapChain& target = _device->swapChain();
  target.bindBack();
  GlStateCache& bindings = _context->bindings();
  bindings.forgetFixedState();
  const int width = static_cast<int>(target.width());
  const int targetHeight = static_cast<int>(target.height());
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  if ((Format & DT_NOCLIP) == 0) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(pRect->left, targetHeight - pRect->bottom,
              std::max<LONG>(pRect->right - pRect->left, 0),
              std::max<LONG>(pRect->bottom - pRect->top, 0));
  }
  bindings.useProgram(_program.get());
  glUniform2f(_viewportLocation, static_cast<float>(width), static_cast<float>(targetHeight));
  glUniform4f(_colourLocation, ((Color >> 16) & 0xFF) / 255.0f, ((Color >> 8) & 0xFF) / 255.0f,
              (Color & 0xFF) / 255.0f, ((Color >> 24) & 0xFF) / 255.0f);
  bindings.bindTexture(0, _atlas.get());
  bindings.bindVertexArray(_vertexArray.get());
  bindings.bindBuffer(GL_ARRAY_BUFFER, _buffer.get());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
               vertices.data(), GL_STREAM_DRAW);
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size() / 4));
  glDisable(GL_SCISSOR_TEST);
  return height;
}

}  // namespace vantra::platform
