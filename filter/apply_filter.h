#pragma once
// Applying a filter to an image, and the batch run over image files. The
// window program and the command-line tool both run these; they show what
// happens through IProgress and the batch events, and pass in how image files
// are read and written, so the engine stays free of windows and file formats.

#include "filter/filter_list.h"
#include "spectral/bitmap.h"
#include "spectral/progress.h"
#include "spectral/store.h"
#include "spectral/transform.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Replays every entry of the filter on the spectrum in the store, in order,
// reading W and H afresh for each: kinds 0..99 smooth their region (0 as a
// rectangle, the others as an ellipse), 100..200 resize with the rounded
// first number and the kind minus 100 as the mode, every other kind is
// skipped. The first entry that cannot be read or applied stops the run with
// its error; the entries before it stay applied.
void ApplyFilterEntries(TSpectrumStore& store, const TFilterList& filter, IProgress& progress);

// Forward transform, every entry, inverse transform: the store goes in and
// comes out holding an image (pixel bytes minus 127, unclipped). An empty
// filter runs only the two transforms. The options share the machine between
// the transforms and whatever else runs; they never change the result.
void ApplyFilterToStore(TSpectrumStore& store, const TFilterList& filter, IProgress& progress,
                        const TTransformOptions& options = {});

// How the batch reads and writes image files.
struct TImageAccess {
    std::function<TBitmap24(const std::string& fileName)> Read;
    std::function<void(const std::string& fileName, const TBitmap24& image)> Write;
};

// Where the result of a source file goes: the target folder joined with the
// source's file name, extension included.
std::string BatchTargetPath(const std::string& sourcePath, const std::string& targetFolder);

// One file of a batch: reads the source into the store, applies the filter
// and writes the image (as the image view would show it) to targetPath.
// Returns the written image. The store holds the cleaned image afterwards.
TBitmap24 ApplyFilterToFile(const TFilterList& filter, const std::string& sourcePath,
                            const std::string& targetPath, const TImageAccess& images,
                            TSpectrumStore& store, IProgress& progress,
                            const TTransformOptions& options = {});

// What a batch run tells its host about each file.
class IBatchEvents {
public:
    virtual ~IBatchEvents() = default;
    virtual void FileStarted(size_t index, const std::string& sourcePath) = 0;
    // The result was written; `image` is what was written.
    virtual void FileDone(size_t index, const std::string& targetPath, const TBitmap24& image) = 0;
};

// The batch run: each source in order is loaded, filtered and saved under its
// own name into the target folder, the format following the name. The first
// failing file ends the run with its error; files written before stay, later
// ones are not touched. An empty filter processes nothing. Returns the number
// of files written. The store holds the last processed image at the end.
size_t RunBatch(const TFilterList& filter, const std::vector<std::string>& sources,
                const std::string& targetFolder, const TImageAccess& images, TSpectrumStore& store,
                IProgress& progress, IBatchEvents* events = nullptr);
