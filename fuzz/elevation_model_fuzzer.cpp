// Feeds arbitrary bytes to the elevation reader as an in-memory file, under the same driver
// allow-list and size limits as a file the user names, and touches every height it gives.
#include <cpl_vsi.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "elevation/elevation_model.h"

using vantra::elevation::ElevationModel;
using vantra::elevation::HeightGrid;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The drivers pick files by name as well as by content: try the names they know.
  static const char* const kNames[] = {"/vsimem/model.tif", "/vsimem/N46E007.hgt",
                                       "/vsimem/model.asc", "/vsimem/model.png"};
  const char* name = kNames[size % std::size(kNames)];
  VSIFCloseL(VSIFileFromMemBuffer(name, const_cast<GByte*>(data), size, FALSE));
  ElevationModel model;
  std::string error;
  if (model.load(name, ElevationModel::kSmallestGrid, &error)) {
    const HeightGrid& grid = model.grid();
    for (int row = 0; row < grid.rows(); ++row)
      for (int column = 0; column < grid.columns(); ++column)
        if (!std::isfinite(grid.at(column, row))) __builtin_trap();
  }
  VSIUnlink(name);
  return 0;
}
