// Memory for buffers that OpenGL draws from in place, handed out page by page from large
// chunks that the system may back with huge pages. Filling a large terrain's vertex buffers
// touches hundreds of megabytes of fresh memory; in small pages that is one fault per 4 KiB,
// which costs more than filling them. A chunk goes back to the system when its last block
// is freed.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>

namespace vantra::platform {

class PinnedArena {
 public:
  // The one arena of the process; never destroyed, so that buffers released late at exit
  // still find it.
  static PinnedArena& Shared();

  // A page-aligned block of at least bytes, its contents undefined; null when the system
  // has no memory left. Any thread.
  unsigned char* allocate(std::size_t bytes);
  // Gives back a block from allocate; null is ignored. Any thread.
  void free(unsigned char* block);

  // Bytes of the chunks now held from the system.
  std::size_t heldBytes() const;

  PinnedArena() = default;
  PinnedArena(const PinnedArena&) = delete;
  PinnedArena& operator=(const PinnedArena&) = delete;

 private:
  struct Chunk {
    std::size_t bytes;
    std::size_t used;
    int blocks;
  };

  // Releases a chunk with no blocks left, or starts the one being carved over.
  void _releaseIfEmpty(std::map<unsigned char*, Chunk>::iterator chunk);

  mutable std::mutex _lock;
  // By start address, to find the chunk that holds a block.
  std::map<unsigned char*, Chunk> _chunks;
  unsigned char* _current = nullptr;
};

}  // namespace vantra::platform
