#pragma once
// How the engine reads and writes image files without knowing their formats:
// the image-file library fills one of these (ImageFileAccess), tests fill it
// with fakes, and the batch runner and filter application call it.

#include "spectral/bitmap.h"
#include "spectral/image_info.h"
#include "spectral/store.h"

#include <functional>
#include <string>

// How a batch reads and writes image files; called from the runner's threads.
// Load and Save, when given, take the place of Read and Write: they fill the
// store and write from it directly, carrying what a 24-bit bitmap cannot hold
// (16-bit samples, resolution, colour profile) from the source to the target.
struct TImageAccess {
    std::function<TBitmap24(const std::string& fileName)> Read;
    std::function<void(const std::string& fileName, const TBitmap24& image)> Write;
    std::function<TImageInfo(const std::string& fileName, TSpectrumStore& store)> Load;
    std::function<void(const std::string& fileName, const TSpectrumStore& store,
                       const TImageInfo& info)>
        Save;
};
