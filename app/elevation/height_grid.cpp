#include "elevation/height_grid.h"

#include <algorithm>
#include <cmath>

namespace vantra::elevation {

HeightGrid::HeightGrid(int columns, int rows, double spacingX, double spacingZ)
    : _columns(columns),
      _rows(rows),
      _spacingX(spacingX),
      _spacingZ(spacingZ),
      _heights(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0.0f),
      _noData(_heights.size(), 0) {}

long HeightGrid::fillNoData() {
  const long cells = static_cast<long>(_heights.size());
  const long missing = static_cast<long>(std::count(_noData.begin(), _noData.end(), 1));
  if (missing == cells) return -1;
  if (missing == 0) return 0;

  // known: 1 where a cell holds a height (its own or a filled one), 2 while it waits in the
  // current ring.
  std::vector<std::uint8_t> known(_noData.size());
  for (std::size_t i = 0; i < known.size(); ++i) known[i] = _noData[i] ? 0 : 1;
  auto forNeighbours = [this](long cell, auto&& visit) {
    const int column = static_cast<int>(cell % _columns);
    const int row = static_cast<int>(cell / _columns);
    for (int dr = -1; dr <= 1; ++dr)
      for (int dc = -1; dc <= 1; ++dc) {
        const int c = column + dc;
        const int r = row + dr;
        if ((dc != 0 || dr != 0) && c >= 0 && c < _columns && r >= 0 && r < _rows)
          visit(static_cast<long>(_index(c, r)));
      }
  };

  std::vector<long> ring;
  for (long cell = 0; cell < cells; ++cell) {
    if (known[cell] != 0) continue;
    bool touchesData = false;
    forNeighbours(cell, [&](long n) { touchesData |= known[n] == 1; });
    if (touchesData) {
      known[cell] = 2;
      ring.push_back(cell);
    }
  }
  std::vector<float> values;
  std::vector<long> next;
  while (!ring.empty()) {
    // Every cell of a ring takes the mean of the neighbours known before the ring began.
    values.clear();
    for (long cell : ring) {
      double sum = 0.0;
      int count = 0;
      forNeighbours(cell, [&](long n) {
        if (known[n] == 1) {
          sum += _heights[n];
          ++count;
        }
      });
      values.push_back(static_cast<float>(sum / count));
    }
    for (std::size_t i = 0; i < ring.size(); ++i) {
      _heights[ring[i]] = values[i];
      known[ring[i]] = 1;
    }
    next.clear();
    for (long cell : ring)
      forNeighbours(cell, [&](long n) {
        if (known[n] == 0) {
          known[n] = 2;
          next.push_back(n);
        }
      });
    ring.swap(next);
  }
  return missing;
}

void HeightGrid::heightRange(float* lowest, float* highest) const {
  const auto range = std::minmax_element(_heights.begin(), _heights.end());
  *lowest = range.first == _heights.end() ? 0.0f : *range.first;
  *highest = range.second == _heights.end() ? 0.0f : *range.second;
}

HeightGrid HeightGrid::resampled(int side) const {
  const double stepX = side > 1 ? static_cast<double>(_columns - 1) / (side - 1) : 0.0;
  const double stepZ = side > 1 ? static_cast<double>(_rows - 1) / (side - 1) : 0.0;
  HeightGrid grid(side, side, _spacingX * stepX, _spacingZ * stepZ);
  for (int row = 0; row < side; ++row) {
    const double z = row * stepZ;
    for (int column = 0; column < side; ++column) {
      const double x = column * stepX;
      grid.at(column, row) = _interpolate(x, z);
      if (isNoData(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(z))))
        grid.markNoData(column, row);
    }
  }
  return grid;
}

float HeightGrid::sample(float u, float v) const {
  return _interpolate(std::clamp(u, 0.0f, 1.0f) * (_columns - 1.0),
                      std::clamp(v, 0.0f, 1.0f) * (_rows - 1.0));
}

float HeightGrid::_interpolate(double x, double z) const {
  const int c0 = std::min(static_cast<int>(x), _columns - 1);
  const int r0 = std::min(static_cast<int>(z), _rows - 1);
  const int c1 = std::min(c0 + 1, _columns - 1);
  const int r1 = std::min(r0 + 1, _rows - 1);
  const float fx = static_cast<float>(x - c0);
  const float fz = static_cast<float>(z - r0);
  const float top = at(c0, r0) + (at(c1, r0) - at(c0, r0)) * fx;
  const float bottom = at(c0, r1) + (at(c1, r1) - at(c0, r1)) * fx;
  return top + (bottom - top) * fz;
}

}  // namespace vantra::elevation
