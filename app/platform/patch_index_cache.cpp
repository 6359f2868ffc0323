#include "platform/patch_index_cache.h"

#include <cstring>

namespace vantra::platform {

namespace {

std::uint32_t IndexAt(const void* indices, UINT indexSize, UINT at) {
  if (indices == nullptr) return at;
  if (indexSize == 4) {
    std::uint32_t value;
    std::memcpy(&value, static_cast<const BYTE*>(indices) + 4 * std::size_t{at}, 4);
    return value;
  }
  std::uint16_t value;
  std::memcpy(&value, static_cast<const BYTE*>(indices) + 2 * std::size_t{at}, 2);
  return value;
}

}  // namespace

std::vector<std::uint32_t> PatchIndexCache::TriangleList(D3DPRIMITIVETYPE type, UINT primitives,
                                                         const void* indices, UINT indexSize) {
  std::vector<std::uint32_t> list;
  list.reserve(3 * std::size_t{primitives});
  for (UINT i = 0; i < primitives; ++i) {
    std::uint32_t a, b, c;
    if (type == D3DPT_TRIANGLEFAN) {
      a = IndexAt(indices, indexSize, 0);
      b = IndexAt(indices, indexSize, i + 1);
      c = IndexAt(indices, indexSize, i + 2);
    } else if (i % 2 == 0) {
      a = IndexAt(indices, indexSize, i);
      b = IndexAt(indices, indexSize, i + 1);
      c = IndexAt(indices, indexSize, i + 2);
    } else {
      a = IndexAt(indices, indexSize, i + 1);
      b = IndexAt(indices, indexSize, i);
      c = IndexAt(indices, indexSize, i + 2);
    }
    if (a == b || b == c || c == a) continue;
    list.insert(list.end(), {a, b, c});
  }
  return list;
}

PatchIndexCache::Range PatchIndexCache::convert(const void* owner, UINT start,
                                                D3DPRIMITIVETYPE type, UINT primitives,
                                                const void* indices, UINT indexSize) {
  const std::size_t sourceBytes =
      indices != nullptr ? std::size_t{indexSize} * (primitives + 2) : 0;
  const RangeKey key(owner, start, type, primitives, indices != nullptr ? indexSize : 0);
  auto found = _ranges.find(key);
  if (found != _ranges.end() &&
      (sourceBytes == 0 || std::memcmp(found->second.source.data(), indices, sourceBytes) == 0))
    return found->second.range;
  if (found == _ranges.end()) {
    if (_ranges.size() >= kMaxRanges) clear();
    found = _ranges.emplace(key, Entry{}).first;
  }
  Entry& entry = found->second;
  const auto* bytes = static_cast<const BYTE*>(indices);
  entry.source.assign(bytes, bytes + sourceBytes);
  const std::vector<std::uint32_t> list = TriangleList(type, primitives, indices, indexSize);
  if (!entry.buffer) {
    entry.buffer = GlBuffer::Generate();
    entry.range.buffer = entry.buffer.get();
  }
  // The copy target leaves the vertex array's element binding alone.
  _context->bindings().bindBuffer(GL_COPY_WRITE_BUFFER, entry.range.buffer);
  glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(list.size() * sizeof list[0]),
               list.data(), GL_STATIC_DRAW);
  entry.range.count = static_cast<GLsizei>(list.size());
  return entry.range;
}

void PatchIndexCache::clear() {
  for (auto& entry : _ranges) entry.second.buffer.dispose(*_context);
  _ranges.clear();
}

}  // namespace vantra::platform
