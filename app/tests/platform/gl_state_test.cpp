// The OpenGL pieces under the device, in a real context: name owners and the state cache.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "platform/gl_name.h"
#include "platform/gl_state_cache.h"
#include "render_target.h"

namespace vantra::platform {

namespace {

// Leaves the active unit as it found it, which the cache keeps track of.
GLuint BoundTexture(int unit) {
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glActiveTexture(GL_TEXTURE0 + unit);
  GLint name = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  glActiveTexture(static_cast<GLenum>(active));
  return static_cast<GLuint>(name);
}

GLuint BoundBuffer(GLenum binding) {
  GLint name = 0;
  glGetIntegerv(binding, &name);
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
}

// Behind-the-back binds show which bindings the cache still holds: it skips those.
TEST(GlStateCache, DeletingANameForgetsThatNameOnly) {
  RenderTarget target;
  auto context = std::make_shared<ContextLink>();
  GlStateCache& cache = context->bindings();
  GlTexture kept = GlTexture::Generate(), deleted = GlTexture::Generate();
  GlTexture other = GlTexture::Generate();
  GlBuffer keptBuffer = GlBuffer::Generate(), otherBuffer = GlBuffer::Generate();
  cache.bindTexture(0, kept.get());
  cache.bindTexture(1, deleted.get());
  cache.bindBuffer(GL_COPY_WRITE_BUFFER, keptBuffer.get());
  cache.bindTexture(0, other.get());
  cache.bindTexture(0, kept.get());
  cache.bindBuffer(GL_COPY_WRITE_BUFFER, otherBuffer.get());
  cache.bindBuffer(GL_COPY_WRITE_BUFFER, keptBuffer.get());
  other.dispose(*context);
  otherBuffer.dispose(*context);

  glBindTexture(GL_TEXTURE_2D, 0);  // unit 0 is active
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  cache.bindTexture(0, kept.get());
  cache.bindBuffer(GL_COPY_WRITE_BUFFER, keptBuffer.get());
  EXPECT_EQ(BoundTexture(0), 0u) << "deleting another texture left unit 0's binding known";
  EXPECT_EQ(BoundBuffer(GL_COPY_WRITE_BUFFER_BINDING), 0u) << "the same for buffers";

  const GLuint deletedName = deleted.get();
  deleted.dispose(*context);
  GlTexture reused = GlTexture::Generate();
  cache.bindTexture(1, reused.get());
  EXPECT_EQ(BoundTexture(1), reused.get())
      << "a new texture, maybe under the deleted name " << deletedName << ", is bound";
  keptBuffer.dispose(*context);
  GlBuffer reusedBuffer = GlBuffer::Generate();
  cache.bindBuffer(GL_COPY_WRITE_BUFFER, reusedBuffer.get());
  EXPECT_EQ(BoundBuffer(GL_COPY_WRITE_BUFFER_BINDING), reusedBuffer.get());
}

}  // namespace vantra::platform
