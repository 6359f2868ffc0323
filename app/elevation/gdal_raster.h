// A raster file opened through GDAL with only the drivers the caller allows, after the size
// checks every reader of outside files here makes before it allocates anything.
#pragma once

#include <gdal.h>

#include <memory>
#include <string>
#include <vector>

namespace vantra::elevation {

class GdalRaster {
 public:
  // Larger rasters are refused from their header alone.
  static constexpr int kLargestSide = 32768;
  static constexpr long long kMostSamples = 1LL << 28;
  // A block (tile or strip) is decoded whole: larger ones are refused too.
  static constexpr long long kLargestBlockBytes = 1LL << 28;

  // Opens path with the named drivers only. Null with the reason in *error when the path is
  // not a regular file, no allowed driver reads it, or its size or block size is past the
  // limits. In-memory files (/vsimem/) are accepted; no other virtual file system is.
  static std::unique_ptr<GdalRaster> Open(const std::string& path,
                                          const std::vector<const char*>& drivers,
                                          std::string* error);
  ~GdalRaster();

  GdalRaster(const GdalRaster&) = delete;
  GdalRaster& operator=(const GdalRaster&) = delete;

  GDALDatasetH dataset() const { return _dataset; }
  std::string driverName() const;
  int columns() const;
  int rows() const;
  int bandCount() const;

  // Reads band (from 1) at columns x rows samples of the given type into buffer; GDAL itself
  // averages the file down when the buffer is smaller. False with the reason in *error.
  bool read(int band, int columns, int rows, GDALDataType type, void* buffer,
            std::string* error) const;

  // GDAL's message for its last failure, or fallback when it left none.
  static std::string LastError(const char* fallback);

 private:
  explicit GdalRaster(GDALDatasetH dataset) : _dataset(dataset) {}

  GDALDatasetH _dataset;
};

}  // namespace vantra::elevation
