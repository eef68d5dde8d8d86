#pragma once
// Applying a filter to an image. The window program and the command-line tool
// both run these (the batch runner once per file); they show what happens
// through IProgress and pass in how image files are read and written, so the
// engine stays free of windows and file formats.

#include "filter/filter_list.h"
#include "spectral/bitmap.h"
#include "spectral/errors.h"
#include "spectral/image_access.h"
#include "spectral/image_info.h"
#include "spectral/progress.h"
#include "spectral/store.h"
#include "spectral/transform.h"

#include <cstddef>
#include <functional>
#include <string>

// An entry of the filter that could not be read or applied. The message is
// the entry's own error, unchanged; Line is the entry's number in the filter,
// counted from 1, for callers that can point the user to it.
class EFilterEntryError : public Exception {
public:
    EFilterEntryError(size_t line, const TMessage& message) : Exception(message), Line(line) {}
    size_t Line;
};

// Replays every entry of the filter on the spectrum in the store, in order,
// reading W and H afresh for each: kinds 0..99 smooth their region (0 as a
// rectangle, the others as an ellipse), 100..200 resize with the rounded
// first number and the kind minus 100 as the mode, notches, band dampings,
// ruling low-passes and sideband dampings damp a screen (see DampNotch,
// DampScreenBand, DampScreenRuling, DampScreenSidebands), every other kind is
// skipped. The first entry that cannot be read or applied stops the run with
// its error as EFilterEntryError; the entries before it stay applied.
// Before anything changes, the filter's whole work is bounded (see
// RequireFilterWork).
void ApplyFilterEntries(TSpectrumStore& store, const TFilterList& filter, IProgress& progress);

// The cells the filter's entries visit on a store of cols x rows, entry by
// entry at the size the store has then: a notch its region and the ring
// around it, a smoothing its region, a band, ruling or sideband damping and a
// resize the whole store. Entries that cannot be read count nothing.
uint64_t FilterWork(const TFilterList& filter, int32_t cols, int32_t rows);
// Throws Exception naming the entry count, the work and what is allowed when
// the filter would visit each cell of the store hundreds of times, the way a
// file of a million entries does, which would take hours on every scan.
void RequireFilterWork(const TFilterList& filter, int32_t cols, int32_t rows);

// Forward transform, every entry, inverse transform: the store goes in and
// comes out holding an image (pixel bytes minus 127, unclipped). An empty
// filter runs only the two transforms. The options share the machine between
// the transforms and whatever else runs; they never change the result.
void ApplyFilterToStore(TSpectrumStore& store, const TFilterList& filter, IProgress& progress,
                        const TTransformOptions& options = {});

// Where the result of a source file goes: the target folder joined with the
// source's file name, extension included.
std::string BatchTargetPath(const std::string& sourcePath, const std::string& targetFolder);
