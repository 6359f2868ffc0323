// Elevation files written with GDAL at test time, so that no sample data is committed.
#pragma once

#include <gdal.h>

#include <functional>
#include <string>

namespace vantra::elevation {

struct TestRaster {
  int columns = 0;
  int rows = 0;
  GDALDataType type = GDT_Float32;
  // The stored value of a sample.
  std::function<double(int column, int row)> value = [](int, int) { return 0.0; };
  // EPSG code of the reference system; 0: none.
  int epsg = 0;
  // Origin and sample size (negative y: rows run southwards); empty when unset.
  bool georeferenced = false;
  double geoTransform[6] = {0, 1, 0, 0, 0, -1};
  bool hasNoData = false;
  double noData = 0.0;
  double scale = 1.0;
  double offset = 0.0;
};

// A projected model (UTM zone 32N) of columns x rows samples, spacingX and spacingZ metres
// apart.
TestRaster Projected(int columns, int rows, double spacingX, double spacingZ);
// A model in degrees (WGS 84) whose north-west corner is at (west, north), samples step
// degrees apart.
TestRaster Geographic(int columns, int rows, double west, double north, double step);

// Writes raster to path with the named driver (GTiff, PNG, SRTMHGT, AAIGrid, ...); creation
// options as "NAME=VALUE" entries. Fails the calling test through the return value.
bool WriteRaster(const TestRaster& raster, const std::string& path, const char* driver,
                 std::initializer_list<const char*> options = {});

// A tiled, compressed GTiff that declares columns x rows samples but stores no tile: a few
// hundred bytes on disk.
bool CreateSparseTiff(const std::string& path, int columns, int rows);

}  // namespace vantra::elevation
