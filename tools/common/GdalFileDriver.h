#pragma once

#include <gdal_priv.h>

#include <cstring>


/**
 * The GDAL vector driver that writes files with the given extension (for
 * example "shp" or "gpkg"), found from the drivers' own metadata; null when
 * none is registered.
 */
inline GDALDriver* gdalVectorDriverForExtension(const char* extension) {
  GDALDriverManager* manager = GetGDALDriverManager();
  for (int i = 0; i < manager->GetDriverCount(); ++i) {
    GDALDriver* driver = manager->GetDriver(i);
    const char* vector = driver->GetMetadataItem(GDAL_DCAP_VECTOR);
    const char* create = driver->GetMetadataItem(GDAL_DCAP_CREATE);
    const char* extensions = driver->GetMetadataItem(GDAL_DMD_EXTENSIONS);
    if (!vector || !create || !extensions)
      continue;
    // The list is blank-separated; match whole words only.
    const size_t length = std::strlen(extension);
    for (const char* at = std::strstr(extensions, extension); at;
         at = std::strstr(at + 1, extension)) {
      const bool starts = at == extensions || at[-1] == ' ';
      const bool ends = at[length] == '\0' || at[length] == ' ';
      if (starts && ends)
        return driver;
    }
  }
  return nullptr;
}
