// The OpenGL pieces under the device, in a real context: name owners and the state cache.
#include <gtest/gtest.h>

#include <utility>

#include "platform/gl_name.h"
#include "platform/gl_state_cache.h"
#include "render_target.h"

namespace {

GLuint BoundTexture(int unit) {
  glActiveTexture(GL_TEXTURE0 + unit);
  GLint name = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  return static_cast<GLuint>(name);
}

}  // namespace

TEST(GlName, OneOwnerDeletesEachNameOnce) {
  RenderTarget target;  // makes the context current
  GlBuffer first = GlBuffer::Generate();
  const GLuint name = first.get();
  ASSERT_NE(name, 0u);
  glBindBuffer(GL_COPY_WRITE_BUFFER, name);  // a name becomes a buffer when first bound
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  ASSERT_TRUE(glIsBuffer(name));

  GlBuffer second = std::move(first);
  EXPECT_FALSE(first) << "the moved-from owner holds nothing";
  EXPECT_EQ(second.get(), name);
  first = GlBuffer();  // assigning over an empty owner deletes nothing
  EXPECT_TRUE(glIsBuffer(name));
  { GlBuffer third = std::move(second); }
  EXPECT_FALSE(glIsBuffer(name)) << "the last owner deleted it on the way out";
}

TEST(GlName, DisposeDeletesOnlyWhereTheContextIsUsable) {
  RenderTarget target;
  auto live = std::make_shared<ContextLink>();
  auto gone = std::make_shared<ContextLink>();
  gone->detach();
  GlTexture kept = GlTexture::Generate();
  GlTexture deleted = GlTexture::Generate();
  const GLuint keptName = kept.get(), deletedName = deleted.get();
  for (GLuint name : {keptName, deletedName}) glBindTexture(GL_TEXTURE_2D, name);
  glBindTexture(GL_TEXTURE_2D, 0);

  kept.dispose(*gone);
  deleted.dispose(*live);
  EXPECT_FALSE(kept);
  EXPECT_FALSE(deleted);
  EXPECT_TRUE(glIsTexture(keptName)) << "a detached context's names are left to the context";
  EXPECT_FALSE(glIsTexture(deletedName));
  EXPECT_EQ(gone->deletions(), 0u);
  EXPECT_EQ(live->deletions(), 1u) << "the deletion is counted for the device's cache";
  glDeleteTextures(1, &keptName);
}

TEST(GlStateCache, SkipsKnownBindingsUntilReset) {
  RenderTarget target;
  GlTexture a = GlTexture::Generate(), b = GlTexture::Generate();
  GlStateCache cache;
  cache.bindTexture(1, a.get());
  EXPECT_EQ(BoundTexture(1), a.get());

  // Someone binds behind the cache's back: the cache cannot know and skips the call.
  glBindTexture(GL_TEXTURE_2D, b.get());
  cache.bindTexture(1, a.get());
  EXPECT_EQ(BoundTexture(1), b.get());

  cache.reset();
  cache.bindTexture(1, a.get());
  EXPECT_EQ(BoundTexture(1), a.get()) << "after a reset every binding is issued again";

  glBindTexture(GL_TEXTURE_2D, b.get());
  cache.noteDeletions(0);
  cache.bindTexture(1, a.get());
  EXPECT_EQ(BoundTexture(1), b.get()) << "no deletions since the last look";
  cache.noteDeletions(1);
  cache.bindTexture(1, a.get());
  EXPECT_EQ(BoundTexture(1), a.get()) << "a deleted name may have come back";
}
