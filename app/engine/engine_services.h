// What the engine offers the objects it drives, on the render thread, from their reset,
// update and render.
#pragma once

#include "vantra/matrix.h"
#include "vantra/vector.h"

namespace vantra::engine {

class Camera;
class Host;
class InputDevices;

class EngineServices {
 public:
  // The program around the engine: message boxes and progress reports.
  virtual Host& host() = 0;
  virtual InputDevices* input() = 0;
  virtual Camera* activeCamera() = 0;
  // Applies m before the current world transform.
  virtual void multiplyWorldMatrix(const vantra::Matrix& m) = 0;
  virtual void pushWorldMatrix() = 0;
  // Pops into the world transform; an empty stack gives the identity.
  virtual void popWorldMatrix() = 0;
  virtual void pushMaterial() = 0;
  // Does nothing on an empty stack.
  virtual void popMaterial() = 0;
  // A material whose diffuse and ambient colours are (r, g, b, a), all else zero.
  virtual void setMaterial(float r, float g, float b, float a) = 0;
  // Draws the quad a, b, c, d as a fan of four triangles around its centre.
  virtual void drawQuad(const vantra::Vector& a, const vantra::Vector& b, const vantra::Vector& c,
                        const vantra::Vector& d) = 0;
  // Draws one line of overlay text with the statistics lines' font and colour, its top at
  // top pixels in the renderer window; from render only.
  virtual void drawText(const char* text, int top) = 0;

 protected:
  // Objects use the services; they never delete the engine through them.
  ~EngineServices() = default;
};

}  // namespace vantra::engine
