#include "imagefile/image_file_rows.h"

#include "imagefile/image_file_qt.h"
#include "spectral/errors.h"
#include "spectral/file_io.h"
#include "spectral/memory_budget.h"

#include <QByteArray>
#include <QColorSpace>

#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace {

constexpr double kMetresPerInch = 0.0254;

// One output row from one filled row: samples in red, green, blue order (or
// the grey mean), 16-bit ones in the byte order the format wants.
struct TRowLayout {
    int32_t Width;
    bool Deep;
    bool Grey;
    bool BigEndian; // PNG's 16-bit samples; TIFF's are the machine's

    int Channels() const { return Grey ? 1 : 3; }
    size_t FilledBytes() const { return size_t(Width) * 3 * (Deep ? 2 : 1); }
    size_t OutBytes() const { return size_t(Width) * size_t(Channels()) * (Deep ? 2 : 1); }
};

// The row's samples in the file's order: red, green, blue, or their grey
// mean; a 16-bit sample's two bytes in the order the format wants.
void ArrangeRow(const TRowLayout& layout, const void* filled, uint8_t* out) noexcept {
    const auto put = [&](uint32_t sample) {
        if (!layout.Deep) {
            *out++ = uint8_t(sample);
        } else if (layout.BigEndian) {
            *out++ = uint8_t(sample >> 8);
            *out++ = uint8_t(sample);
        } else {
            const auto two = uint16_t(sample);
            std::memcpy(out, &two, 2);
            out += 2;
        }
    };
    const auto* narrow = static_cast<const uint8_t*>(filled);
    const auto* deep = static_cast<const uint16_t*>(filled);
    for (size_t i = 0; i < size_t(layout.Width) * 3; i += 3) {
        const uint32_t b = layout.Deep ? deep[i] : narrow[i];
        const uint32_t g = layout.Deep ? deep[i + 1] : narrow[i + 1];
        const uint32_t r = layout.Deep ? deep[i + 2] : narrow[i + 2];
        if (layout.Grey) {
            put((b + g + r + 1) / 3); // the channel itself when the three agree
        } else {
            put(r);
            put(g);
            put(b);
        }
    }
}

// What the image states besides its pixels, as the writers take it.
struct TStated {
    bool Resolution = false;
    double DpiX = 0, DpiY = 0;
    // The profile to embed, or empty: the readers understand RGB profiles
    // only, and a grey image takes none.
    std::string Profile;
};

TStated StatedOf(const TImageInfo& info) {
    TStated s;
    s.Resolution = info.DpiX > 0 && info.DpiY > 0;
    s.DpiX = std::min(info.DpiX, 1e9 * kMetresPerInch);
    s.DpiY = std::min(info.DpiY, 1e9 * kMetresPerInch);
    if (!info.IccProfile.empty() && !info.Grey) {
        const QColorSpace space = QColorSpace::fromIccProfile(
            QByteArray(info.IccProfile.data(), qsizetype(info.IccProfile.size())));
        if (space.isValid()) s.Profile = info.IccProfile;
    }
    return s;
}

// The encoder's memory: two rows of ours and the library's few rows and
// compression tables, far below a picture; counted all the same, since under
// a limit every byte beside the store counts.
void RequireEncoderMemory(const TPictureRows& rows, const TRowLayout& layout) {
    RequireMemory(uint64_t(layout.FilledBytes()) * 8 + (uint64_t(1) << 20),
                  "writing a picture of " + std::to_string(rows.Width) + " x " +
                      std::to_string(rows.Height) + " pixels");
}

// --- PNG -------------------------------------------------------------------

struct TPngJob {
    const TPictureRows* Rows;
    TRowLayout Layout;
    const TStated* Stated;
    TAtomicFileWriter* File;
    uint8_t* Filled;
    uint8_t* Out;
    bool WriteFailed = false;
};

void PngWrite(png_structp png, png_bytep data, size_t size) {
    auto& job = *static_cast<TPngJob*>(png_get_io_ptr(png));
    try {
        job.File->Write(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (...) {
        job.WriteFailed = true;
    }
    if (job.WriteFailed) png_error(png, "write failed");
}

void PngFlush(png_structp) {}

PNG_NORETURN void PngFail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void PngQuiet(png_structp, png_const_charp) {}

// libpng reports errors by a jump back here; this frame holds nothing that
// needs a destructor, so no C++ object is skipped by it.
bool RunPng(png_structp png, png_infop pngInfo, TPngJob& job) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &job, PngWrite, PngFlush);
    // libpng's default cap of a million pixels a side is a reader's guard;
    // every picture we hold fits the format's own limits.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_set_IHDR(png, pngInfo, png_uint_32(job.Rows->Width), png_uint_32(job.Rows->Height),
                 job.Layout.Deep ? 16 : 8,
                 job.Layout.Grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const TStated& stated = *job.Stated;
    if (stated.Resolution)
        png_set_pHYs(png, pngInfo, png_uint_32(std::lround(stated.DpiX / kMetresPerInch)),
                     png_uint_32(std::lround(stated.DpiY / kMetresPerInch)), PNG_RESOLUTION_METER);
    if (!stated.Profile.empty())
        png_set_iCCP(png, pngInfo, "ICC profile", PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(stated.Profile.data()),
                     png_uint_32(stated.Profile.size()));
    png_write_info(png, pngInfo);
    for (int32_t r = 0; r < job.Rows->Height; ++r) {
        job.Rows->Fill(job.Rows->Context, r, job.Filled);
        ArrangeRow(job.Layout, job.Filled, job.Out);
        png_write_row(png, job.Out);
    }
    png_write_end(png, pngInfo);
    return true;
}

// --- TIFF ------------------------------------------------------------------

// The temporary file as libtiff's client procedures see it: written at the
// offsets libtiff seeks to (it goes back for the directory's offset).
struct TTiffFile {
    int Fd;
    toff_t Pos = 0;
    toff_t Size = 0;
};

tmsize_t TiffRead(thandle_t h, void* to, tmsize_t n) {
    auto& f = *static_cast<TTiffFile*>(h);
    const ssize_t got = ::pread(f.Fd, to, size_t(std::max<tmsize_t>(n, 0)), off_t(f.Pos));
    if (got < 0) return -1;
    f.Pos += toff_t(got);
    return tmsize_t(got);
}
tmsize_t TiffWrite(thandle_t h, void* from, tmsize_t n) {
    auto& f = *static_cast<TTiffFile*>(h);
    size_t done = 0;
    const auto* bytes = static_cast<const char*>(from);
    while (done < size_t(std::max<tmsize_t>(n, 0))) {
        const ssize_t put = ::pwrite(f.Fd, bytes + done, size_t(n) - done, off_t(f.Pos + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return -1;
        done += size_t(put);
    }
    f.Pos += done;
    f.Size = std::max(f.Size, f.Pos);
    return tmsize_t(done);
}
toff_t TiffSeek(thandle_t h, toff_t offset, int whence) {
    auto& f = *static_cast<TTiffFile*>(h);
    const toff_t base = whence == SEEK_CUR ? f.Pos : whence == SEEK_END ? f.Size : 0;
    if (offset > std::numeric_limits<toff_t>::max() - base) return toff_t(-1);
    f.Pos = base + offset;
    return f.Pos;
}
int TiffClose(thandle_t) {
    return 0;
}
toff_t TiffSize(thandle_t h) {
    return static_cast<TTiffFile*>(h)->Size;
}
int TiffMap(thandle_t, void**, toff_t*) {
    return 0;
}
void TiffUnmap(thandle_t, void*, toff_t) {}

bool RunTiff(TIFF* tiff, const TPictureRows& rows, const TRowLayout& layout, const TStated& stated,
             uint8_t* filled, uint8_t* out) {
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(rows.Width)) == 1 &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(rows.Height)) == 1 &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(layout.Deep ? 16 : 8)) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(layout.Channels())) == 1 &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                           layout.Grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB) == 1 &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW) == 1 &&
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0)) == 1;
    if (ok && stated.Resolution)
        ok = TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(stated.DpiX)) == 1 &&
             TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(stated.DpiY)) == 1 &&
             TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) == 1;
    if (ok && !stated.Profile.empty())
        ok = TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(stated.Profile.size()),
                          stated.Profile.data()) == 1;
    for (int32_t r = 0; ok && r < rows.Height; ++r) {
        rows.Fill(rows.Context, r, filled);
        ArrangeRow(layout, filled, out);
        ok = TIFFWriteScanline(tiff, out, uint32_t(r), 0) == 1;
    }
    return ok && TIFFWriteDirectory(tiff) == 1;
}

[[noreturn]] void CannotCreate(const std::string& fileName) {
    throw EFileError(CannotCreateMessage(fileName));
}

} // namespace

void WritePngRows(const std::string& fileName, const TPictureRows& rows, const TImageInfo& info) {
    if (rows.Width <= 0 || rows.Height <= 0) CannotCreate(fileName);
    const TRowLayout layout{rows.Width, rows.Deep, info.Grey, true};
    RequireEncoderMemory(rows, layout);
    const TStated stated = StatedOf(info);
    std::vector<uint8_t> filled(layout.FilledBytes()), out(layout.OutBytes());
    TAtomicFileWriter file(fileName);
    TPngJob job{&rows, layout, &stated, &file, filled.data(), out.data()};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngQuiet);
    png_infop pngInfo = png ? png_create_info_struct(png) : nullptr;
    const bool ok = pngInfo && RunPng(png, pngInfo, job);
    png_destroy_write_struct(&png, &pngInfo);
    if (!ok) CannotCreate(fileName);
    file.Commit();
}

void WriteTiffRows(const std::string& fileName, const TPictureRows& rows, const TImageInfo& info) {
    if (rows.Width <= 0 || rows.Height <= 0) CannotCreate(fileName);
    const TRowLayout layout{rows.Width, rows.Deep, info.Grey, false};
    RequireEncoderMemory(rows, layout);
    const TStated stated = StatedOf(info);
    std::vector<uint8_t> filled(layout.FilledBytes()), out(layout.OutBytes());
    TAtomicFileWriter file(fileName);
    InstallTiffHandlers(); // libtiff's messages stay off stderr
    TTiffFile handle{file.Descriptor()};
    TIFF* tiff = TIFFClientOpen("foo", "w", &handle, TiffRead, TiffWrite, TiffSeek, TiffClose,
                                TiffSize, TiffMap, TiffUnmap);
    if (!tiff) CannotCreate(fileName);
    const bool ok = RunTiff(tiff, rows, layout, stated, filled.data(), out.data());
    TIFFClose(tiff);
    if (!ok) CannotCreate(fileName);
    file.Commit();
}
