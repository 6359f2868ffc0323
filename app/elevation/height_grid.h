// Heights in metres on a regular grid of columns (x, west to east) and rows (z, north to
// south), with the ground distance between neighbours and a mark on every cell whose height
// the source did not hold.
#pragma once

#include <cstdint>
#include <vector>

namespace vantra::elevation {

class HeightGrid {
 public:
  HeightGrid() = default;
  HeightGrid(int columns, int rows, double spacingX, double spacingZ);

  int columns() const { return _columns; }
  int rows() const { return _rows; }
  // Metres between neighbouring columns and between neighbouring rows.
  double spacingX() const { return _spacingX; }
  double spacingZ() const { return _spacingZ; }

  float& at(int column, int row) { return _heights[_index(column, row)]; }
  float at(int column, int row) const { return _heights[_index(column, row)]; }
  float* data() { return _heights.data(); }

  // Cells without data: marked while reading, filled by fillNoData, and kept marked so that
  // the colour map can show them.
  void markNoData(int column, int row) { _noData[_index(column, row)] = 1; }
  bool isNoData(int column, int row) const { return _noData[_index(column, row)] != 0; }

  // Gives every marked cell a height from its valid neighbours, working inwards from the
  // edge of each hole one ring at a time; each filled height is a mean of heights around it,
  // so it stays within the range of the hole's border. Returns the number of cells filled,
  // or -1 when no cell holds data.
  long fillNoData();

  void heightRange(float* lowest, float* highest) const;

  // The same ground on side x side vertices, bilinearly filtered; the corner vertices sit on
  // the corner cells. A vertex whose nearest cell had no data keeps the mark.
  HeightGrid resampled(int side) const;

  // The height at (u, v) in [0, 1] over the grid, bilinearly filtered.
  float sample(float u, float v) const;

 private:
  // Bilinear between the four cells around column x, row z (fractions allowed).
  float _interpolate(double x, double z) const;
  std::size_t _index(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(_columns) +
           static_cast<std::size_t>(column);
  }

  int _columns = 0;
  int _rows = 0;
  double _spacingX = 0.0;
  double _spacingZ = 0.0;
  std::vector<float> _heights;
  std::vector<std::uint8_t> _noData;
};

}  // namespace vantra::elevation
