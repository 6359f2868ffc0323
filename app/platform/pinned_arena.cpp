#include "platform/pinned_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>

namespace vantra::platform {

namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kChunkBytes = std::size_t{64} << 20;

// Anonymous memory starting on a huge-page boundary, asked to be backed by huge pages.
unsigned char* MapChunk(std::size_t bytes) {
  void* mapped =
      mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  auto* start = static_cast<unsigned char*>(mapped);
  const auto address = reinterpret_cast<std::uintptr_t>(start);
  const std::size_t lead = (kHugePage - address % kHugePage) % kHugePage;
  if (lead > 0) munmap(start, lead);
  munmap(start + lead + bytes, kHugePage - lead);
  // Only advice: where huge pages are off the chunk still works in small pages.
  madvise(start + lead, bytes, MADV_HUGEPAGE);
  return start + lead;
}

}  // namespace

PinnedArena& PinnedArena::Shared() {
  static PinnedArena* const arena = new PinnedArena;
  return *arena;
}

unsigned char* PinnedArena::allocate(std::size_t bytes) {
  bytes = (bytes + kPage - 1) / kPage * kPage;
  std::lock_guard<std::mutex> hold(_lock);
  auto current = _chunks.find(_current);
  if (current == _chunks.end() || current->second.bytes - current->second.used < bytes) {
    const std::size_t chunkBytes =
        std::max(kChunkBytes, (bytes + kHugePage - 1) / kHugePage * kHugePage);
    unsigned char* start = MapChunk(chunkBytes);
    if (start == nullptr) return nullptr;
    unsigned char* previous = _current;
    _current = start;
    current = _chunks.emplace(start, Chunk{chunkBytes, 0, 0}).first;
    const auto old = _chunks.find(previous);
    if (old != _chunks.end()) _releaseIfEmpty(old);
  }
  unsigned char* block = current->first + current->second.used;
  current->second.used += bytes;
  ++current->second.blocks;
  return block;
}

void PinnedArena::free(unsigned char* block) {
  if (block == nullptr) return;
  std::lock_guard<std::mutex> hold(_lock);
  auto chunk = _chunks.upper_bound(block);
  --chunk;
  --chunk->second.blocks;
  _releaseIfEmpty(chunk);
}

std::size_t PinnedArena::heldBytes() const {
  std::lock_guard<std::mutex> hold(_lock);
  std::size_t bytes = 0;
  for (const auto& [start, chunk] : _chunks) bytes += chunk.bytes;
  return bytes;
}

void PinnedArena::_releaseIfEmpty(std::map<unsigned char*, Chunk>::iterator chunk) {
  if (chunk->second.blocks > 0) return;
  // The chunk being carved is carved again from its start.
  if (chunk->first == _current) {
    chunk->second.used = 0;
    return;
  }
  munmap(chunk->first, chunk->second.bytes);
  _chunks.erase(chunk);
}

}  // namespace vantra::platform
