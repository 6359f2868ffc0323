#include "platform/pinned_arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace vantra::platform {

// Blocks are whole pages that never overlap, also when several threads allocate at once,
// and a chunk goes back to the system once its last block is freed.
TEST(PinnedArena, HandsOutSeparatePagesAndReturnsEmptyChunks) {
  PinnedArena arena;
  std::vector<unsigned char*> blocks(4 * 250);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 250; ++i) {
        unsigned char* block = arena.allocate(191664);
        ASSERT_NE(block, nullptr);
        std::memset(block, t + 1, 191664);
        blocks[t * 250 + i] = block;
      }
    });
  for (auto& thread : threads) thread.join();
  std::set<unsigned char*> starts(blocks.begin(), blocks.end());
  EXPECT_EQ(starts.size(), blocks.size());
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks[i]) % 4096, 0u);
    EXPECT_EQ(blocks[i][191663], i / 250 + 1) << "a later block overwrote block " << i;
  }
  const std::size_t held = arena.heldBytes();
  EXPECT_GE(held, blocks.size() * 192 * 1024);
  for (std::size_t i = 0; i + 1 < blocks.size(); ++i) arena.free(blocks[i]);
  EXPECT_LT(arena.heldBytes(), held) << "full chunks whose blocks are all freed are returned";
  arena.free(blocks.back());
  arena.free(nullptr);
  // The chunk still being carved is reused from its start.
  unsigned char* again = arena.allocate(1);
  EXPECT_NE(again, nullptr);
  EXPECT_LE(arena.heldBytes(), held);
  arena.free(again);
}

TEST(PinnedArena, GivesABlockLargerThanAChunkItsOwn) {
  PinnedArena arena;
  const std::size_t bytes = std::size_t{100} << 20;
  unsigned char* block = arena.allocate(bytes);
  ASSERT_NE(block, nullptr);
  block[0] = 1;
  block[bytes - 1] = 2;
  EXPECT_GE(arena.heldBytes(), bytes);
  arena.free(block);
}

}  // namespace vantra::platform
