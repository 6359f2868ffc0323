#include "platform/program_cache.h"

#include "platform/gl_program.h"
#include "platform/gl_state_cache.h"
#include "platform/glsl_generator.h"

namespace vantra::platform {

namespace {

GLuint Link(const ShaderKey& key) {
  const std::string vertex = GlslGenerator::VertexSource(key);
  const std::string fragment = GlslGenerator::FragmentSource(key);
  if (!key.nPatch) return LinkProgram(vertex.c_str(), fragment.c_str());
  return LinkProgram(vertex.c_str(), GlslGenerator::TessControlSource(key).c_str(),
                     GlslGenerator::TessEvaluationSource(key).c_str(), fragment.c_str());
}

}  // namespace

ProgramCache::Program* ProgramCache::program(const ShaderKey& key) {
  std::string bytes(reinterpret_cast<const char*>(&key), sizeof key);
  if (_last != nullptr && bytes == _lastBytes) return _last;
  auto found = _programs.find(bytes);
  if (found == _programs.end()) {
    Program program;
    program.name = GlProgram(Link(key));
    if (!program.name) return nullptr;
    const GLuint p = program.name.get();
    program.worldView = glGetUniformLocation(p, "u_worldView");
    program.projection = glGetUniformLocation(p, "u_projection");
    program.normalMatrix = glGetUniformLocation(p, "u_normalMatrix");
    program.materialDiffuse = glGetUniformLocation(p, "u_materialDiffuse");
    program.materialAmbient = glGetUniformLocation(p, "u_materialAmbient");
    program.materialSpecular = glGetUniformLocation(p, "u_materialSpecular");
    program.materialEmissive = glGetUniformLocation(p, "u_materialEmissive");
    program.materialPower = glGetUniformLocation(p, "u_materialPower");
    program.globalAmbient = glGetUniformLocation(p, "u_globalAmbient");
    program.lightDiffuse = glGetUniformLocation(p, "u_lightDiffuse");
    program.lightSpecular = glGetUniformLocation(p, "u_lightSpecular");
    program.lightAmbient = glGetUniformLocation(p, "u_lightAmbient");
    program.lightDirection = glGetUniformLocation(p, "u_lightDirection");
    program.lightPosition = glGetUniformLocation(p, "u_lightPosition");
    program.lightAttenuation = glGetUniformLocation(p, "u_lightAttenuation");
    program.lightRange = glGetUniformLocation(p, "u_lightRange");
    program.lightSpot = glGetUniformLocation(p, "u_lightSpot");
    program.textureFactor = glGetUniformLocation(p, "u_textureFactor");
    program.alphaRef = glGetUniformLocation(p, "u_alphaRef");
    program.depthRange = glGetUniformLocation(p, "u_depthRange");
    program.tessLevel = glGetUniformLocation(p, "u_tessLevel");
    _bindings.useProgram(p);
    glUniform1i(glGetUniformLocation(p, "u_texture0"), 0);
    glUniform1i(glGetUniformLocation(p, "u_texture1"), 1);
    found = _programs.emplace(bytes, std::move(program)).first;
  }
  _lastBytes = std::move(bytes);
  _last = &found->second;
  return _last;
}

void ProgramCache::clear(bool deleteObjects) {
  for (auto& entry : _programs) {
    GlProgram& name = entry.second.name;
    if (deleteObjects)
      _bindings.forgetProgram(name.get());
    else
      name.release();
  }
  _programs.clear();
  _last = nullptr;
  _lastBytes.clear();
}

}  // namespace vantra::platform
