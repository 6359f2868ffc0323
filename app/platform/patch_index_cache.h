// Triangle strips and fans turned into the triangle lists that the tessellator takes as
// patches of three corners, kept per source range: the terrain draws the same ranges every
// frame. A range is converted again when its source indices change (the edge fans rewrite
// theirs), so a cached list never outlives the data it came from.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "platform/context_link.h"
#include "platform/d3d9.h"
#include "platform/gl_name.h"

namespace vantra::platform {

class PatchIndexCache {
 public:
  // 32-bit triangle-list indices from offset 0 of an element buffer the cache owns.
  struct Range {
    GLuint buffer = 0;
    GLsizei count = 0;
  };

  explicit PatchIndexCache(std::shared_ptr<ContextLink> context) : _context(std::move(context)) {}
  ~PatchIndexCache() { clear(); }
  PatchIndexCache(const PatchIndexCache&) = delete;
  PatchIndexCache& operator=(const PatchIndexCache&) = delete;

  // Render thread: the list for `primitives` triangles of a strip or fan whose indices are
  // `indices` (16- or 32-bit words as `indexSize` says), or 0, 1, 2, ... when null. `owner`
  // and `start` name the source range for reuse.
  Range convert(const void* owner, UINT start, D3DPRIMITIVETYPE type, UINT primitives,
                const void* indices, UINT indexSize);
  // Deletes the element buffers where the context is usable, else just forgets them.
  void clear();
  std::size_t size() const { return _ranges.size(); }

  // Each strip or fan triangle with the winding the rasteriser gives it (a strip's odd
  // triangles turned around); triangles with a repeated index are left out.
  static std::vector<std::uint32_t> TriangleList(D3DPRIMITIVETYPE type, UINT primitives,
                                                 const void* indices, UINT indexSize);

 private:
  // Enough for every range of a large terrain; beyond it the cache starts again.
  static constexpr std::size_t kMaxRanges = 16384;

  using RangeKey = std::tuple<const void*, UINT, D3DPRIMITIVETYPE, UINT, UINT>;
  struct Entry {
    std::vector<BYTE> source;
    GlBuffer buffer;
    Range range;
  };

  const std::shared_ptr<ContextLink> _context;
  std::map<RangeKey, Entry> _ranges;
};

}  // namespace vantra::platform
