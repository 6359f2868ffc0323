#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "scene/app_camera.h"
#include "scene/test_light.h"
#include "scene/test_light2.h"
#include "test_host.h"
#include "vantra/matrix.h"

namespace vantra::engine {

namespace {

using vantra::Matrix;

std::uint32_t Bits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

TEST(TestLights, EachClassCountsItsOwnInstances) {
  scene::TestLight first;
  scene::TestLight2 other;
  scene::TestLight second;
  scene::TestLight2 otherSecond;
  EXPECT_EQ(second.lightIndex(), first.lightIndex() + 1);
  EXPECT_EQ(otherSecond.lightIndex(), other.lightIndex() + 1);
}

TEST(TestLights, ResetProgramsADirectionalLightStraightDown) {
  platform::RenderTarget d(64, 48);
  struct Case {
    std::unique_ptr<Object> light;
    std::int32_t index;
    std::uint32_t levelBits;
    const GUID* id;
  };
  auto* light = new scene::TestLight();
  auto* light2 = new scene::TestLight2();
  Case cases[] = {
      {std::unique_ptr<Object>(light), light->lightIndex(), 0x3F48C8C9, &scene::kTestLightClassId},
      {std::unique_ptr<Object>(light2), light2->lightIndex(), 0x3F1B9B9C,
       &scene::kTestLight2ClassId},
  };
  for (Case& c : cases) {
    c.light->reset(nullptr, d.device());
    D3DLIGHT9 record;
    std::memset(&record, 0xFF, sizeof(record));
    ASSERT_EQ(d.device()->GetLight(c.index, &record), D3D_OK);
    EXPECT_EQ(record.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(Bits(record.Diffuse.r), c.levelBits);
    EXPECT_EQ(Bits(record.Diffuse.g), c.levelBits);
    EXPECT_EQ(Bits(record.Diffuse.b), c.levelBits);
    EXPECT_EQ(record.Diffuse.a, 0.0f);
    EXPECT_EQ(record.Specular.r + record.Specular.g + record.Ambient.b + record.Range, 0.0f);
    EXPECT_EQ(record.Direction.x, 0.0f);
    EXPECT_EQ(record.Direction.y, -1.0f);
    EXPECT_EQ(record.Direction.z, 0.0f);
    BOOL enabled = 0;
    d.device()->GetLightEnable(c.index, &enabled);
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(IsEqualGUID(*c.light->classId(), *c.id));
  }
}

TEST(SceneObjects, ResetTwiceKeepsOneDeviceReference) {
  platform::RenderTarget d(64, 48);
  const ULONG before = d.deviceReferences();
  std::unique_ptr<Object> objects[] = {std::make_unique<scene::AppCamera>(),
                                       std::make_unique<scene::TestLight>(),
                                       std::make_unique<scene::TestLight2>()};
  for (std::unique_ptr<Object>& object : objects) {
    object->reset(nullptr, d.device());
    object->reset(nullptr, d.device());
    EXPECT_EQ(d.deviceReferences(), before + 1);
    object.reset();
    EXPECT_EQ(d.deviceReferences(), before) << "the destructor releases the reference";
  }
}

TEST(AppCameraOnDevice, OnlyTheActiveCameraSetsTheView) {
  platform::RenderTarget d(64, 48);
  Matrix marker;
  marker.translate(vantra::Vector(5, 6, 7));
  scene::AppCamera camera;
  camera.reset(nullptr, d.device());
  d.device()->SetTransform(D3DTS_VIEW, &marker);
  camera.render();
  Matrix view;
  d.device()->GetTransform(D3DTS_VIEW, &view);
  EXPECT_TRUE(view == marker) << "an inactive camera changes nothing";

  camera.setActive(true);
  camera.render();
  d.device()->GetTransform(D3DTS_VIEW, &view);
  Matrix expected = camera.cameraWorldMatrix();
  expected.inverse();
  EXPECT_TRUE(view == expected) << "the view is the inverse of the camera matrix";
}

// A reset without a device releases the one held before; the active camera then leaves the
// device's transforms alone and still resets its view.
TEST(AppCameraOnDevice, ActiveCameraWithoutADeviceSetsNoTransform) {
  platform::RenderTarget d(64, 48);
  const ULONG before = d.deviceReferences();
  scene::AppCamera camera;
  camera.setActive(true);
  camera.reset(nullptr, d.device());
  camera.reset(nullptr, nullptr);
  EXPECT_EQ(d.deviceReferences(), before);
  Matrix marker;
  marker.translate(vantra::Vector(5, 6, 7));
  d.device()->SetTransform(D3DTS_VIEW, &marker);
  d.device()->SetTransform(D3DTS_PROJECTION, &marker);
  camera.render();
  camera.cameraWorldMatrix().translate(vantra::Vector(1, 2, 3));
  camera.reset(nullptr, nullptr);
  Matrix view, projection;
  d.device()->GetTransform(D3DTS_VIEW, &view);
  d.device()->GetTransform(D3DTS_PROJECTION, &projection);
  EXPECT_TRUE(view == marker) << "render sets no view";
  EXPECT_TRUE(projection == marker) << "reset sets no projection";
  EXPECT_FLOAT_EQ(camera.cameraWorldMatrix()(3, 1), 0.2f) << "the view was still reset";
}

TEST(AppCameraOnDevice, ProjectionSpansTwentyFiveDegreesFromOneTo800000) {
  platform::RenderTarget d(64, 48);
  scene::AppCamera camera;
  camera.setActive(true);
  camera.reset(nullptr, d.device());
  Matrix projection;
  d.device()->GetTransform(D3DTS_PROJECTION, &projection);
  const double ys = 1.0 / std::tan(12.5 * 3.14159265358979 / 180.0);
  EXPECT_NEAR(projection(0, 0), ys, 1e-4);
  EXPECT_NEAR(projection(1, 1), ys, 1e-4);
  EXPECT_NEAR(projection(2, 2), 800000.0 / 799999.0, 1e-6);
  EXPECT_EQ(projection(2, 3), 1.0f);
  EXPECT_NEAR(projection(3, 2), -800000.0 / 799999.0, 1e-5);
  EXPECT_EQ(projection(3, 3), 0.0f);
}

}  // namespace

}  // namespace vantra::engine
