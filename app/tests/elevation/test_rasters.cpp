#include "test_rasters.h"

#include <cpl_string.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <vector>

namespace vantra::elevation {

TestRaster Projected(int columns, int rows, double spacingX, double spacingZ) {
  TestRaster raster;
  raster.columns = columns;
  raster.rows = rows;
  raster.epsg = 32632;
  raster.georeferenced = true;
  const double transform[6] = {400000.0, spacingX, 0.0, 5100000.0, 0.0, -spacingZ};
  std::copy(transform, transform + 6, raster.geoTransform);
  return raster;
}

TestRaster Geographic(int columns, int rows, double west, double north, double step) {
  TestRaster raster;
  raster.columns = columns;
  raster.rows = rows;
  raster.epsg = 4326;
  raster.georeferenced = true;
  const double transform[6] = {west, step, 0.0, north, 0.0, -step};
  std::copy(transform, transform + 6, raster.geoTransform);
  return raster;
}

bool WriteRaster(const TestRaster& raster, const std::string& path, const char* driver,
                 std::initializer_list<const char*> options) {
  GDALAllRegister();
  GDALDatasetH memory = GDALCreate(GDALGetDriverByName("MEM"), "", raster.columns, raster.rows, 1,
                                   raster.type, nullptr);
  if (memory == nullptr) return false;
  std::vector<double> values(static_cast<std::size_t>(raster.columns) * raster.rows);
  for (int row = 0; row < raster.rows; ++row)
    for (int column = 0; column < raster.columns; ++column)
      values[static_cast<std::size_t>(row) * raster.columns + column] = raster.value(column, row);
  GDALRasterBandH band = GDALGetRasterBand(memory, 1);
  bool written = GDALRasterIO(band, GF_Write, 0, 0, raster.columns, raster.rows, values.data(),
                              raster.columns, raster.rows, GDT_Float64, 0, 0) == CE_None;
  if (raster.hasNoData) GDALSetRasterNoDataValue(band, raster.noData);
  if (raster.scale != 1.0) GDALSetRasterScale(band, raster.scale);
  if (raster.offset != 0.0) GDALSetRasterOffset(band, raster.offset);
  if (raster.georeferenced) GDALSetGeoTransform(memory, const_cast<double*>(raster.geoTransform));
  if (raster.epsg != 0) {
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, raster.epsg);
    OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
    GDALSetSpatialRef(memory, srs);
    OSRDestroySpatialReference(srs);
  }
  char** creation = nullptr;
  for (const char* option : options) creation = CSLAddString(creation, option);
  GDALDatasetH copy = GDALCreateCopy(GDALGetDriverByName(driver), path.c_str(), memory, FALSE,
                                     creation, nullptr, nullptr);
  CSLDestroy(creation);
  written = written && copy != nullptr;
  if (copy != nullptr) GDALClose(copy);
  GDALClose(memory);
  return written;
}

bool CreateSparseTiff(const std::string& path, int columns, int rows) {
  GDALAllRegister();
  const char* options[] = {"TILED=YES", "COMPRESS=DEFLATE", "SPARSE_OK=TRUE", nullptr};
  GDALDatasetH file = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), columns, rows, 1,
                                 GDT_Byte, const_cast<char**>(options));
  if (file == nullptr) return false;
  GDALClose(file);
  return true;
}

}  // namespace vantra::elevation
