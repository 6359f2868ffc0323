#include "platform/glsl_generator.h"

#include <sstream>

#include "platform/d3d9.h"

namespace vantra::platform {

namespace {

// Names of the vertex inputs and their fixed attribute locations.
constexpr int kPositionLocation = 0;
constexpr int kNormalLocation = 1;
constexpr int kDiffuseLocation = 2;
constexpr int kTexCoordLocation = 3;

bool StageEnabled(const ShaderKey& key, int stage) {
  for (int s = 0; s <= stage; ++s)
    if (key.stages[s].colorOp == D3DTOP_DISABLE) return false;
  return true;
}

bool UsesTexture(const ShaderKey::Stage& stage) {
  const bool colour = stage.colorArg1 == D3DTA_TEXTURE || stage.colorArg2 == D3DTA_TEXTURE;
  const bool alpha = stage.alphaOp != D3DTOP_DISABLE &&
                     (stage.alphaArg1 == D3DTA_TEXTURE || stage.alphaArg2 == D3DTA_TEXTURE);
  return colour || alpha;
}

std::string Argument(DWORD argument, int stage) {
  switch (argument) {
    case D3DTA_DIFFUSE:
      return "v_diffuse";
    case D3DTA_TEXTURE:
      return "texel" + std::to_string(stage);
    case D3DTA_TFACTOR:
      return "u_textureFactor";
    case D3DTA_SPECULAR:
      return "v_specular";
    default:
      return "current";
  }
}

// One texture operation on two argument expressions, saturated like the fixed pipeline.
std::string Operation(DWORD op, const std::string& a1, const std::string& a2) {
  std::string e;
  switch (op) {
    case D3DTOP_SELECTARG1:
      e = a1;
      break;
    case D3DTOP_SELECTARG2:
      e = a2;
      break;
    case D3DTOP_MODULATE:
      e = a1 + " * " + a2;
      break;
    case D3DTOP_MODULATE2X:
      e = "2.0 * " + a1 + " * " + a2;
      break;
    case D3DTOP_MODULATE4X:
      e = "4.0 * " + a1 + " * " + a2;
      break;
    case D3DTOP_ADD:
      e = a1 + " + " + a2;
      break;
    case D3DTOP_ADDSIGNED:
      e = a1 + " + " + a2 + " - 0.5";
      break;
    case D3DTOP_ADDSIGNED2X:
      e = "2.0 * (" + a1 + " + " + a2 + " - 0.5)";
      break;
    case D3DTOP_SUBTRACT:
      e = a1 + " - " + a2;
      break;
    case D3DTOP_ADDSMOOTH:
      e = a1 + " + " + a2 + " * (1.0 - " + a1 + ")";
      break;
    default:
      e = a1;
      break;
  }
  return "clamp(" + e + ", 0.0, 1.0)";
}

const char* Comparison(std::uint8_t func) {
  switch (func) {
    case D3DCMP_NEVER:
      return "false";
    case D3DCMP_LESS:
      return "alpha < u_alphaRef";
    case D3DCMP_EQUAL:
      return "alpha == u_alphaRef";
    case D3DCMP_LESSEQUAL:
      return "alpha <= u_alphaRef";
    case D3DCMP_GREATER:
      return "alpha > u_alphaRef";
    case D3DCMP_NOTEQUAL:
      return "alpha != u_alphaRef";
    case D3DCMP_GREATEREQUAL:
      return "alpha >= u_alphaRef";
    default:
      return "true";
  }
}

std::string MaterialColour(std::uint8_t source, const char* material) {
  return source == ShaderKey::FromDiffuse ? "vertexDiffuse" : material;
}

// What every stage that shades vertices declares: the outputs to the fragment stage and
// the uniforms of projection and lighting.
std::string ShadingDeclarations(const ShaderKey& key) {
  std::ostringstream s;
  const char* interpolation = key.flatShading ? "flat " : "";
  s << "uniform mat4 u_projection;\n"
    << interpolation << "out vec4 v_diffuse;\n"
    << interpolation << "out vec4 v_specular;\n";
  for (int stage = 0; stage < ShaderKey::kStages; ++stage)
    s << "out vec2 v_texCoord" << stage << ";\n";
  if (key.lighting) {
    s << "uniform vec4 u_materialDiffuse, u_materialAmbient, u_materialSpecular, "
         "u_materialEmissive;\n"
         "uniform float u_materialPower;\nuniform vec3 u_globalAmbient;\n";
    if (key.lightCount > 0) {
      const int n = key.lightCount;
      s << "uniform vec3 u_lightDiffuse[" << n << "], u_lightSpecular[" << n << "], u_lightAmbient["
        << n << "];\n"
        << "uniform vec3 u_lightDirection[" << n << "], u_lightPosition[" << n
        << "], u_lightAttenuation[" << n << "], u_lightSpot[" << n << "];\n"
        << "uniform float u_lightRange[" << n << "];\n";
    }
  }
  return s.str();
}

// The fixed-function vertex shading, from the locals viewPosition (view space), normal
// (view space, when lit and the vertex has one) and vertexDiffuse (when the vertex has a
// colour): the clip position and the two colours.
std::string ShadeVertex(const ShaderKey& key) {
  std::ostringstream s;
  s << "  gl_Position = u_projection * viewPosition;\n";
  if (!key.lighting) {
    s << "  v_diffuse = " << (key.hasDiffuse ? "vertexDiffuse" : "vec4(1.0)") << ";\n"
      << "  v_specular = vec4(0.0);\n";
    return s.str();
  }
  if (key.normalizeNormals && key.hasNormal)
    s << "  if (dot(normal, normal) > 0.0) normal = normalize(normal);\n";
  s << "  vec3 ambient = u_globalAmbient;\n  vec3 diffuse = vec3(0.0);\n"
       "  vec3 specular = vec3(0.0);\n  vec3 toLight;\n  float attenuation;\n";
  if (key.specular)
    s << "  vec3 toEye = "
      << (key.localViewer ? "-normalize(viewPosition.xyz)" : "vec3(0.0, 0.0, -1.0)") << ";\n";
  for (int i = 0; i < key.lightCount; ++i) {
    const std::string at = "[" + std::to_string(i) + "]";
    if (key.lightTypes[i] == D3DLIGHT_DIRECTIONAL) {
      s << "  toLight = u_lightDirection" << at << ";\n  attenuation = 1.0;\n";
    } else {
      s << "  toLight = u_lightPosition" << at << " - viewPosition.xyz;\n"
        << "  {\n    float d = length(toLight);\n    toLight /= max(d, 1e-20);\n"
        << "    attenuation = d > u_lightRange" << at << " ? 0.0 : 1.0 / max(dot(u_lightAttenuation"
        << at << ", vec3(1.0, d, d * d)), 1e-20);\n";
      if (key.lightTypes[i] == D3DLIGHT_SPOT)
        s << "    float rho = dot(u_lightDirection" << at << ", toLight);\n"
          << "    vec3 cone = u_lightSpot" << at << ";\n"
          << "    attenuation *= rho > cone.x ? 1.0 : rho <= cone.y ? 0.0 : "
             "pow((rho - cone.y) / max(cone.x - cone.y, 1e-20), cone.z);\n";
      s << "  }\n";
    }
    s << "  ambient += u_lightAmbient" << at << " * attenuation;\n"
      << "  {\n    float lambert = max(dot(normal, toLight), 0.0);\n"
      << "    diffuse += u_lightDiffuse" << at << " * lambert * attenuation;\n";
    if (key.specular)
      s << "    if (lambert > 0.0) specular += u_lightSpecular" << at
        << " * pow(max(dot(normal, normalize(toLight + toEye)), 0.0), u_materialPower)"
           " * attenuation;\n";
    s << "  }\n";
  }
  const std::string md = MaterialColour(key.diffuseSource, "u_materialDiffuse");
  s << "  v_diffuse = vec4(clamp(" << MaterialColour(key.emissiveSource, "u_materialEmissive")
    << ".rgb + " << MaterialColour(key.ambientSource, "u_materialAmbient") << ".rgb * ambient + "
    << md << ".rgb * diffuse, 0.0, 1.0), " << md << ".a);\n"
    << "  v_specular = vec4(clamp(" << MaterialColour(key.specularSource, "u_materialSpecular")
    << ".rgb * specular, 0.0, 1.0), 0.0);\n";
  return s.str();
}

// The vertex coordinate set that feeds a texture stage.
std::string StageTexCoord(const ShaderKey& key, int stage) {
  const int set = key.stages[stage].texCoord;
  return set < key.texCoordCount ? "a_texCoord" + std::to_string(set) : "vec2(0.0)";
}

}  // namespace

std::string GlslGenerator::VertexSource(const ShaderKey& key) {
  std::ostringstream s;
  s << "#version 330 core\n"
    << "layout(location = " << kPositionLocation << ") in vec3 a_position;\n";
  if (key.hasNormal) s << "layout(location = " << kNormalLocation << ") in vec3 a_normal;\n";
  if (key.hasDiffuse) s << "layout(location = " << kDiffuseLocation << ") in vec4 a_diffuse;\n";
  for (int set = 0; set < key.texCoordCount; ++set)
    s << "layout(location = " << kTexCoordLocation + set << ") in vec2 a_texCoord" << set << ";\n";
  s << "uniform mat4 u_worldView;\nuniform mat3 u_normalMatrix;\n";
  if (key.nPatch) {
    // The corners go to the tessellator in view space; shading happens at every generated
    // vertex instead.
    s << "out vec3 t_position;\nout vec3 t_normal;\nout vec4 t_diffuse;\n"
         "out vec2 t_texCoord0;\nout vec2 t_texCoord1;\n"
         "void main() {\n"
         "  t_position = (u_worldView * vec4(a_position, 1.0)).xyz;\n"
         "  t_normal = u_normalMatrix * a_normal;\n"
      << "  t_diffuse = " << (key.hasDiffuse ? "a_diffuse" : "vec4(1.0)") << ";\n";
    for (int stage = 0; stage < ShaderKey::kStages; ++stage)
      s << "  t_texCoord" << stage << " = " << StageTexCoord(key, stage) << ";\n";
    s << "}\n";
    return s.str();
  }
  s << ShadingDeclarations(key)
    << "void main() {\n"
       "  vec4 viewPosition = u_worldView * vec4(a_position, 1.0);\n";
  if (key.lighting)
    s << "  vec3 normal = " << (key.hasNormal ? "u_normalMatrix * a_normal" : "vec3(0.0)") << ";\n";
  if (key.hasDiffuse) s << "  vec4 vertexDiffuse = a_diffuse;\n";
  s << ShadeVertex(key);
  for (int stage = 0; stage < ShaderKey::kStages; ++stage)
    s << "  v_texCoord" << stage << " = " << StageTexCoord(key, stage) << ";\n";
  s << "}\n";
  return s.str();
}

// Per patch: the corners pass through, and the point-normal triangle's inner control
// points (two per edge in the corner's tangent plane, the centre pulled outward) and
// mid-edge normals (reflected across the edge's plane) are made once for all the vertices
// the tessellator generates.
std::string GlslGenerator::TessControlSource(const ShaderKey&) {
  return R"(#version 400 core
layout(vertices = 3) out;
in vec3 t_position[];
in vec3 t_normal[];
in vec4 t_diffuse[];
in vec2 t_texCoord0[];
in vec2 t_texCoord1[];
out vec3 c_position[];
out vec3 c_normal[];
out vec4 c_diffuse[];
out vec2 c_texCoord0[];
out vec2 c_texCoord1[];
patch out vec3 b210, b120, b021, b012, b102, b201, b111;
patch out vec3 n110, n011, n101;
uniform float u_tessLevel;

vec3 Unit(vec3 v) { return dot(v, v) > 0.0 ? normalize(v) : v; }

// The edge control point one third of the way from corner i towards corner j, pulled into
// corner i's tangent plane.
vec3 EdgePoint(vec3 pi, vec3 pj, vec3 ni) { return (2.0 * pi + pj - dot(pj - pi, ni) * ni) / 3.0; }

vec3 MidNormal(vec3 pi, vec3 pj, vec3 ni, vec3 nj) {
  vec3 edge = pj - pi;
  float v = 2.0 * dot(edge, ni + nj) / max(dot(edge, edge), 1e-30);
  return Unit(ni + nj - v * edge);
}

void main() {
  c_position[gl_InvocationID] = t_position[gl_InvocationID];
  c_normal[gl_InvocationID] = Unit(t_normal[gl_InvocationID]);
  c_diffuse[gl_InvocationID] = t_diffuse[gl_InvocationID];
  c_texCoord0[gl_InvocationID] = t_texCoord0[gl_InvocationID];
  c_texCoord1[gl_InvocationID] = t_texCoord1[gl_InvocationID];
  if (gl_InvocationID != 0) return;
  vec3 p1 = t_position[0], p2 = t_position[1], p3 = t_position[2];
  vec3 n1 = Unit(t_normal[0]), n2 = Unit(t_normal[1]), n3 = Unit(t_normal[2]);
  b210 = EdgePoint(p1, p2, n1);
  b120 = EdgePoint(p2, p1, n2);
  b021 = EdgePoint(p2, p3, n2);
  b012 = EdgePoint(p3, p2, n3);
  b102 = EdgePoint(p3, p1, n3);
  b201 = EdgePoint(p1, p3, n1);
  vec3 e = (b210 + b120 + b021 + b012 + b102 + b201) / 6.0;
  vec3 v = (p1 + p2 + p3) / 3.0;
  b111 = e + (e - v) / 2.0;
  n110 = MidNormal(p1, p2, n1, n2);
  n011 = MidNormal(p2, p3, n2, n3);
  n101 = MidNormal(p3, p1, n3, n1);
  // A triangle with a repeated corner (a strip's joint) has no surface: level 0 drops it.
  bool degenerate = p1 == p2 || p2 == p3 || p3 == p1;
  float level = degenerate ? 0.0 : u_tessLevel;
  gl_TessLevelOuter[0] = level;
  gl_TessLevelOuter[1] = level;
  gl_TessLevelOuter[2] = level;
  gl_TessLevelInner[0] = level;
}
)";
}

// Per generated vertex: the cubic position and quadratic normal patches at the vertex's
// barycentric coordinates, linear colours and texture coordinates, then the same shading
// as the untessellated vertex stage.
std::string GlslGenerator::TessEvaluationSource(const ShaderKey& key) {
  std::ostringstream s;
  // Equal spacing with an integral level splits each edge into that many equal segments;
  // counter-clockwise in the domain keeps the corners' order, so culling sees the winding
  // the triangle was given with.
  s << "#version 400 core\n"
       "layout(triangles, equal_spacing, ccw) in;\n"
       "in vec3 c_position[];\nin vec3 c_normal[];\nin vec4 c_diffuse[];\n"
       "in vec2 c_texCoord0[];\nin vec2 c_texCoord1[];\n"
       "patch in vec3 b210, b120, b021, b012, b102, b201, b111;\n"
       "patch in vec3 n110, n011, n101;\n"
    << ShadingDeclarations(key)
    << "void main() {\n"
       "  float a = gl_TessCoord.x, b = gl_TessCoord.y, c = gl_TessCoord.z;\n"
       "  vec3 p = c_position[0] * a * a * a + c_position[1] * b * b * b +\n"
       "      c_position[2] * c * c * c + 3.0 * (b210 * a * a * b + b120 * a * b * b +\n"
       "      b201 * a * a * c + b021 * b * b * c + b102 * a * c * c + b012 * b * c * c) +\n"
       "      6.0 * b111 * a * b * c;\n"
       "  vec4 viewPosition = vec4(p, 1.0);\n";
  if (key.lighting)
    s << "  vec3 normal = c_normal[0] * a * a + c_normal[1] * b * b + c_normal[2] * c * c +\n"
         "      n110 * a * b + n011 * b * c + n101 * c * a;\n"
         "  if (dot(normal, normal) > 0.0) normal = normalize(normal);\n";
  if (key.hasDiffuse)
    s << "  vec4 vertexDiffuse = c_diffuse[0] * a + c_diffuse[1] * b + c_diffuse[2] * c;\n";
  s << ShadeVertex(key);
  for (int stage = 0; stage < ShaderKey::kStages; ++stage)
    s << "  v_texCoord" << stage << " = c_texCoord" << stage << "[0] * a + c_texCoord" << stage
      << "[1] * b + c_texCoord" << stage << "[2] * c;\n";
  s << "}\n";
  return s.str();
}

std::string GlslGenerator::FragmentSource(const ShaderKey& key) {
  std::ostringstream s;
  const char* interpolation = key.flatShading ? "flat " : "";
  s << "#version 330 core\n"
    << interpolation << "in vec4 v_diffuse;\n"
    << interpolation << "in vec4 v_specular;\n";
  for (int stage = 0; stage < ShaderKey::kStages; ++stage)
    s << "in vec2 v_texCoord" << stage << ";\nuniform sampler2D u_texture" << stage << ";\n";
  s << "uniform vec4 u_textureFactor;\nuniform float u_alphaRef;\n"
       "uniform vec2 u_depthRange;\nout vec4 fragColor;\n"
       "void main() {\n  vec4 current = v_diffuse;\n";
  for (int stage = 0; stage < ShaderKey::kStages && StageEnabled(key, stage); ++stage) {
    const ShaderKey::Stage& k = key.stages[stage];
    const std::string n = std::to_string(stage);
    if (UsesTexture(k))
      s << "  vec4 texel" << n << " = texture(u_texture" << n << ", v_texCoord" << n << ");\n";
    const std::string colour = Operation(k.colorOp, Argument(k.colorArg1, stage) + ".rgb",
                                         Argument(k.colorArg2, stage) + ".rgb");
    const std::string alpha = k.alphaOp == D3DTOP_DISABLE
                                  ? std::string("current.a")
                                  : Operation(k.alphaOp, Argument(k.alphaArg1, stage) + ".a",
                                              Argument(k.alphaArg2, stage) + ".a");
    s << "  current = vec4(" << colour << ", " << alpha << ");\n";
  }
  if (key.specular) s << "  current.rgb = clamp(current.rgb + v_specular.rgb, 0.0, 1.0);\n";
  if (key.alphaFunc != 0)
    s << "  float alpha = floor(current.a * 255.0 + 0.5);\n"
      << "  if (!(" << Comparison(key.alphaFunc) << ")) discard;\n";
  s << "  fragColor = current;\n";
  // W-buffering: depth grows linearly with the view distance, reversed like the z path.
  if (key.wBuffer)
    s << "  gl_FragDepth = clamp(1.0 - (1.0 / gl_FragCoord.w - u_depthRange.x) * "
         "u_depthRange.y, 0.0, 1.0);\n";
  s << "}\n";
  return s.str();
}

}  // namespace vantra::platform
