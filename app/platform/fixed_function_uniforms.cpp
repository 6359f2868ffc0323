#include "platform/fixed_function_uniforms.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/device_state.h"
#include "platform/gl_translation.h"

namespace vantra::platform {

namespace {

// Double-precision 4x4 helpers for the few products made per state change.
struct Matrix4d {
  double m[16];
};

Matrix4d ToDouble(const D3DMATRIX& a) {
  const float* f = a;
  Matrix4d d;
  for (int i = 0; i < 16; ++i) d.m[i] = f[i];
  return d;
}

Matrix4d Multiply(const Matrix4d& a, const Matrix4d& b) {
  Matrix4d r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a.m[4 * i + k] * b.m[4 * k + j];
      r.m[4 * i + j] = sum;
    }
  return r;
}

void ToFloat(const Matrix4d& d, float out[16]) {
  for (int i = 0; i < 16; ++i) out[i] = static_cast<float>(d.m[i]);
}

// The inverse transpose of the upper 3x3, which carries normals; the matrix itself when it
// is singular.
void NormalMatrix(const Matrix4d& a, float out[9]) {
  const double* m = a.m;
  auto e = [&](int r, int c) { return m[4 * r + c]; };
  double cof[3][3];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
      cof[r][c] = e(r1, c1) * e(r2, c2) - e(r1, c2) * e(r2, c1);
    }
  const double det = e(0, 0) * cof[0][0] + e(0, 1) * cof[0][1] + e(0, 2) * cof[0][2];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      out[3 * r + c] = std::fabs(det) > 1e-30 ? static_cast<float>(cof[r][c] / det)
                                              : static_cast<float>(e(r, c));
}

void TransformDirection(const Matrix4d& m, const D3DVECTOR& v, float out[3]) {
  for (int c = 0; c < 3; ++c)
    out[c] = static_cast<float>(v.x * m.m[c] + v.y * m.m[4 + c] + v.z * m.m[8 + c]);
}

void TransformPoint(const Matrix4d& m, const D3DVECTOR& v, float out[3]) {
  for (int c = 0; c < 3; ++c)
    out[c] = static_cast<float>(v.x * m.m[c] + v.y * m.m[4 + c] + v.z * m.m[8 + c] + m.m[12 + c]);
}

void Normalise(float v[3]) {
  const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (length > 0)
    for (int i = 0; i < 3; ++i) v[i] /= length;
}

}  // namespace

void FixedFunctionUniforms::Upload(const ProgramCache::Program& program, const DeviceState& state,
                                   float maxTessellationLevel) {
  const Matrix4d view = ToDouble(state.view());
  const Matrix4d worldView = Multiply(ToDouble(state.world()), view);
  float values[16];
  ToFloat(worldView, values);
  glUniformMatrix4fv(program.worldView, 1, GL_FALSE, values);
  // Reversed depth: the projected z becomes w - z, made in double so that distant depths
  // keep their precision.
  Matrix4d projection = ToDouble(state.projection());
  for (int row = 0; row < 4; ++row)
    projection.m[4 * row + 2] = projection.m[4 * row + 3] - projection.m[4 * row + 2];
  ToFloat(projection, values);
  glUniformMatrix4fv(program.projection, 1, GL_FALSE, values);

  if (program.depthRange >= 0 && state.depthIsReversible()) {
    const float* p = state.projection();
    const double nearZ = -static_cast<double>(p[14]) / p[10];
    const double farZ = static_cast<double>(p[14]) / (1.0 - p[10]);
    glUniform2f(program.depthRange, static_cast<float>(nearZ),
                static_cast<float>(1.0 / (farZ - nearZ)));
  }
  float colour[4];
  GlTranslation::Colour(state.renderState(D3DRS_TEXTUREFACTOR), colour);
  glUniform4fv(program.textureFactor, 1, colour);
  glUniform1f(program.alphaRef, static_cast<float>(state.renderState(D3DRS_ALPHAREF) & 0xFF));
  // Discrete edges: each splits into the whole number of segments.
  if (program.tessLevel >= 0)
    glUniform1f(program.tessLevel, std::min(DeviceState::TessellationLevel(state.nPatchSegments()),
                                            maxTessellationLevel));
  if (program.normalMatrix < 0) return;

  const D3DMATERIAL9& material = state.material();
  float normal[9];
  NormalMatrix(worldView, normal);
  glUniformMatrix3fv(program.normalMatrix, 1, GL_FALSE, normal);
  glUniform4fv(program.materialDiffuse, 1, &material.Diffuse.r);
  glUniform4fv(program.materialAmbient, 1, &material.Ambient.r);
  glUniform4fv(program.materialSpecular, 1, &material.Specular.r);
  glUniform4fv(program.materialEmissive, 1, &material.Emissive.r);
  glUniform1f(program.materialPower, material.Power);
  GlTranslation::Colour(state.renderState(D3DRS_AMBIENT), colour);
  glUniform3fv(program.globalAmbient, 1, colour);

  float diffuse[ShaderKey::kMaxLights][3], specular[ShaderKey::kMaxLights][3],
      ambient[ShaderKey::kMaxLights][3], direction[ShaderKey::kMaxLights][3],
      position[ShaderKey::kMaxLights][3], attenuation[ShaderKey::kMaxLights][3],
      spot[ShaderKey::kMaxLights][3], range[ShaderKey::kMaxLights];
  int count = 0;
  for (const auto& slot : state.lights()) {
    if (!slot.second.enabled || count == ShaderKey::kMaxLights) continue;
    const D3DLIGHT9& l = slot.second.light;
    std::memcpy(diffuse[count], &l.Diffuse.r, sizeof diffuse[count]);
    std::memcpy(specular[count], &l.Specular.r, sizeof specular[count]);
    std::memcpy(ambient[count], &l.Ambient.r, sizeof ambient[count]);
    // Directions point from the light; the shader wants the way towards it, in view space.
    TransformDirection(view, D3DVECTOR{-l.Direction.x, -l.Direction.y, -l.Direction.z},
                       direction[count]);
    Normalise(direction[count]);
    TransformPoint(view, l.Position, position[count]);
    attenuation[count][0] = l.Attenuation0;
    attenuation[count][1] = l.Attenuation1;
    attenuation[count][2] = l.Attenuation2;
    spot[count][0] = std::cos(l.Theta * 0.5f);
    spot[count][1] = std::cos(l.Phi * 0.5f);
    spot[count][2] = l.Falloff;
    range[count] = l.Range;
    ++count;
  }
  if (count == 0) return;
  glUniform3fv(program.lightDiffuse, count, diffuse[0]);
  glUniform3fv(program.lightSpecular, count, specular[0]);
  glUniform3fv(program.lightAmbient, count, ambient[0]);
  glUniform3fv(program.lightDirection, count, direction[0]);
  glUniform3fv(program.lightPosition, count, position[0]);
  glUniform3fv(program.lightAttenuation, count, attenuation[0]);
  glUniform3fv(program.lightSpot, count, spot[0]);
  glUniform1fv(program.lightRange, count, range);
}

}  // namespace vantra::platform
