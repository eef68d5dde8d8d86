#include "imagefile/image_file_jpeg.h"

#include "imagefile/image_file_bmp.h"
#include "spectral/errors.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// How far decoding has come, for judging an early end of the file.
enum TPhase { kBeforeRows, kSingleScanRows, kRowsDone };

// Our error manager: libjpeg's own, plus where to jump back to.
struct TJpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    TPhase phase;
    bool sawEof;
};

void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->jump, 1);
}

void FailWith(j_common_ptr cinfo, int code) {
    cinfo->err->msg_code = code;
    ErrorExit(cinfo);
}

// The codec only warns when data is missing and makes up the rest; we refuse
// such files, except when nothing but the end marker is missing.
// - The source reports the end of the file (JWRN_JPEG_EOF) also when the
//   entropy decoder merely reads ahead after the last needed byte, so during
//   the rows of a single-scan file the warning is only noted.
// - The entropy decoder reports JWRN_HIT_MARKER exactly when it needed bits
//   that are not there: after a noted end of file that is a truncated file,
//   otherwise corrupt data.
// - A multi-scan (progressive) file is read completely before the first row;
//   an early end there may have cost whole scans, so it is refused at once.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    const int code = err->pub.msg_code;
    if (code == JWRN_JPEG_EOF) {
        if (err->phase == kBeforeRows) FailWith(cinfo, JWRN_JPEG_EOF);
        err->sawEof = true;
    } else if (code == JWRN_HIT_MARKER && err->phase != kRowsDone) {
        FailWith(cinfo, err->sawEof ? int(JWRN_JPEG_EOF) : int(JWRN_HIT_MARKER));
    }
    ++err->pub.num_warnings;
}

void OutputMessage(j_common_ptr) {}

void InstallErrorManager(TJpegError& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = OutputMessage;
    err.phase = kBeforeRows;
    err.sawEof = false;
}

enum class TOutcome { Ok, CodecError, TooLarge, CutShort, Unsupported, NoMemory };

// Everything the codec frames touch lives here, outside the frame that calls
// setjmp, and is trivially destructible: jumping back skips no destructor
// and no local variable changes behind the compiler's back.
struct TDecodeJob {
    const uint8_t* data = nullptr;
    size_t size = 0;
    TRowConsumer out;
    int messageCode = 0;
    uint32_t width = 0, height = 0;
    jpeg_decompress_struct cinfo;
    TJpegError err;
};
static_assert(std::is_trivially_destructible_v<TDecodeJob>);

// Writes one decoded row as blue-green-red.
void StoreRow(const jpeg_decompress_struct& cinfo, const JSAMPLE* in, uint8_t* out) noexcept {
    const JDIMENSION w = cinfo.output_width;
    if (cinfo.quantize_colors) {
        const JSAMPLE* grey = cinfo.colormap[0];
        for (JDIMENSION c = 0; c < w; ++c) std::memset(out + 3 * size_t(c), grey[in[c]], 3);
    } else if (cinfo.out_color_space == JCS_RGB) {
        for (JDIMENSION c = 0; c < w; ++c) {
            out[3 * size_t(c)] = in[3 * size_t(c) + 2];
            out[3 * size_t(c) + 1] = in[3 * size_t(c) + 1];
            out[3 * size_t(c) + 2] = in[3 * size_t(c)];
        }
    } else { // CMYK; Adobe's files store the inks inverted (255 = no ink)
        const bool inverted = cinfo.saw_Adobe_marker;
        for (JDIMENSION c = 0; c < w; ++c) {
            const JSAMPLE* s = in + 4 * size_t(c);
            const unsigned k = inverted ? s[3] : 255u - s[3];
            for (int ch = 0; ch < 3; ++ch) {
                const unsigned v = inverted ? s[ch] : 255u - s[ch];
                out[3 * size_t(c) + size_t(2 - ch)] = uint8_t((v * k + 127) / 255);
            }
        }
    }
}

// The only frame that calls setjmp; it holds no C++ object of its own.
TOutcome RunDecoder(TDecodeJob& job) {
    std::memset(&job.cinfo, 0, sizeof job.cinfo);
    InstallErrorManager(job.err);
    job.cinfo.err = &job.err.pub;
    if (setjmp(job.err.jump)) {
        job.messageCode = job.err.pub.msg_code;
        jpeg_destroy_decompress(&job.cinfo);
        return TOutcome::CodecError;
    }
    jpeg_create_decompress(&job.cinfo);
    jpeg_mem_src(&job.cinfo, job.data, static_cast<unsigned long>(job.size));
    jpeg_read_header(&job.cinfo, TRUE);

    jpeg_decompress_struct& c = job.cinfo;
    job.width = c.image_width;
    job.height = c.image_height;
    if (uint64_t(c.image_width) * uint64_t(c.image_height) > kMaxImagePixels) {
        jpeg_destroy_decompress(&c);
        return TOutcome::TooLarge;
    }
    // Huffman coding spends at least one bit on every 8 x 8 block of the
    // full-resolution component (its DC difference), so bytes left after the
    // header below an eighth of the block count cannot be the picture: the
    // file is cut short, and is refused before the codec and the store take
    // the memory of the size it declares. Arithmetic coding has no such floor.
    if (!c.arith_code) {
        const uint64_t blocks =
            (uint64_t(c.image_width) + 7) / 8 * ((uint64_t(c.image_height) + 7) / 8);
        if (uint64_t(c.src->bytes_in_buffer) < blocks / 8) {
            jpeg_destroy_decompress(&c);
            return TOutcome::CutShort;
        }
    }
    if (c.num_components == 1) {
        c.quantize_colors = TRUE;
        c.desired_number_of_colors = 236;
        c.two_pass_quantize = FALSE;
    } else if (c.out_color_space != JCS_RGB && c.out_color_space != JCS_CMYK) {
        jpeg_destroy_decompress(&c);
        return TOutcome::Unsupported;
    }
    jpeg_start_decompress(&c);
    if (!job.out.Begin(job.out.Context, int32_t(c.output_width), int32_t(c.output_height))) {
        jpeg_destroy_decompress(&c);
        return TOutcome::NoMemory;
    }
    JSAMPARRAY row = (*c.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&c), JPOOL_IMAGE,
                                            c.output_width * JDIMENSION(c.output_components), 1);
    if (!jpeg_has_multiple_scans(&c)) job.err.phase = kSingleScanRows;
    while (c.output_scanline < c.output_height) {
        const JDIMENSION r = c.output_scanline;
        if (jpeg_read_scanlines(&c, row, 1) != 1) break;
        StoreRow(c, row[0], job.out.Row(job.out.Context, int32_t(r)));
        job.out.Done(job.out.Context, int32_t(r));
    }
    if (c.output_scanline == c.output_height) job.err.phase = kRowsDone;
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    return TOutcome::Ok;
}

struct TEncodeJob {
    TRowProducer image;
    uint8_t* scratch = nullptr;      // one row of the image
    unsigned char* buffer = nullptr; // malloc'ed by the codec's memory destination
    unsigned long size = 0;
    int messageCode = 0;
    jpeg_compress_struct cinfo;
    TJpegError err;
};
static_assert(std::is_trivially_destructible_v<TEncodeJob>);

TOutcome RunEncoder(TEncodeJob& job) {
    std::memset(&job.cinfo, 0, sizeof job.cinfo);
    InstallErrorManager(job.err);
    job.cinfo.err = &job.err.pub;
    if (setjmp(job.err.jump)) {
        job.messageCode = job.err.pub.msg_code;
        jpeg_destroy_compress(&job.cinfo);
        return TOutcome::CodecError;
    }
    jpeg_create_compress(&job.cinfo);
    jpeg_compress_struct& c = job.cinfo;
    jpeg_mem_dest(&c, &job.buffer, &job.size);
    const TRowProducer& image = job.image;
    c.image_width = JDIMENSION(image.Width < 0 ? 0 : image.Width);
    c.image_height = JDIMENSION(image.Height < 0 ? 0 : image.Height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 98, TRUE);
    jpeg_start_compress(&c, TRUE);
    JSAMPARRAY row = (*c.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&c), JPOOL_IMAGE,
                                            c.image_width * 3, 1);
    while (c.next_scanline < c.image_height) {
        uint8_t* in = job.scratch;
        image.Fill(image.Context, int32_t(c.next_scanline), in);
        JSAMPLE* out = row[0];
        for (JDIMENSION x = 0; x < c.image_width; ++x) {
            out[3 * size_t(x)] = in[3 * size_t(x) + 2];
            out[3 * size_t(x) + 1] = in[3 * size_t(x) + 1];
            out[3 * size_t(x) + 2] = in[3 * size_t(x)];
        }
        jpeg_write_scanlines(&c, row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return TOutcome::Ok;
}

// The codec's own words for its message number, without the numbers it
// would have filled in ("Not a JPEG file: starts with 0x%02x 0x%02x" gives
// "Not a JPEG file"); empty for a number it does not know.
std::string CodecWords(int code) {
    jpeg_error_mgr table{};
    jpeg_std_error(&table);
    if (code <= 0 || code > table.last_jpeg_message || !table.jpeg_message_table[code]) return {};
    std::string text = table.jpeg_message_table[code];
    const size_t parameter = text.find('%');
    if (parameter != std::string::npos) {
        const size_t colon = text.rfind(':', parameter);
        const size_t word = text.rfind(' ', parameter);
        text.resize(colon != std::string::npos ? colon : (word != std::string::npos ? word : 0));
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == ',' || text.back() == ':'))
        text.pop_back();
    return text;
}

TMessage CodecMessage(int code) {
    return TMessage{TMessageId::CodecError, {std::to_string(code), CodecWords(code)}, nullptr};
}

} // namespace

std::string JpegMessageText(int code) {
    if (code == JWRN_JPEG_EOF || code == JERR_INPUT_EOF) return "the file is cut short";
    if (code == JWRN_HIT_MARKER) return "its pixel data is damaged";
    jpeg_error_mgr err;
    jpeg_std_error(&err);
    if (code < 0 || code > err.last_jpeg_message || !err.jpeg_message_table[code])
        return "the codec gave no reason";
    // The table's texts are printf formats; their arguments are not kept, so
    // what follows a placeholder is dropped.
    std::string text = err.jpeg_message_table[code];
    if (const auto placeholder = text.find('%'); placeholder != std::string::npos) {
        text.erase(placeholder);
        while (!text.empty() && (text.back() == ' ' || text.back() == ':' || text.back() == '('))
            text.pop_back();
    }
    if (!text.empty()) text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

void DecodeJpegRows(const uint8_t* data, size_t size, const TRowConsumer& out) {
    // Big enough to be worth the heap, and trivially destructible.
    auto* job = static_cast<TDecodeJob*>(std::calloc(1, sizeof(TDecodeJob)));
    if (!job) throw std::bad_alloc();
    job->data = data;
    job->size = size;
    job->out = out;
    const TOutcome outcome = RunDecoder(*job);
    const int code = job->messageCode;
    const uint32_t width = job->width, height = job->height;
    std::free(job);
    switch (outcome) {
    case TOutcome::Ok:
        return;
    case TOutcome::CodecError:
        throw EInvalidGraphic(CodecMessage(code));
    case TOutcome::NoMemory:
        throw std::bad_alloc();
    case TOutcome::CutShort:
        throw EInvalidGraphic(CutShortError(width, height, size));
    case TOutcome::TooLarge:
        throw EInvalidGraphic(TooManyPixelsError(width, height));
    case TOutcome::Unsupported:
        break;
    }
    throw EInvalidGraphic(TMessage{TMessageId::InvalidPicture, {}, nullptr});
}

TBitmap24 DecodeJpegFile(const uint8_t* data, size_t size) {
    TBitmapSink sink;
    sink.Run([&](const TRowConsumer& rows) { DecodeJpegRows(data, size, rows); });
    return std::move(sink.Image);
}

std::string EncodeJpegRows(const TRowProducer& image) {
    std::vector<uint8_t> scratch(size_t(std::max(image.Width, 0)) * 3 + 3);
    auto* job = static_cast<TEncodeJob*>(std::calloc(1, sizeof(TEncodeJob)));
    if (!job) throw std::bad_alloc();
    job->image = image;
    job->scratch = scratch.data();
    const TOutcome outcome = RunEncoder(*job);
    const int code = job->messageCode;
    std::string bytes;
    if (outcome == TOutcome::Ok && job->buffer) {
        try {
            bytes.assign(reinterpret_cast<const char*>(job->buffer), job->size);
        } catch (...) {
            std::free(job->buffer);
            std::free(job);
            throw;
        }
    }
    std::free(job->buffer);
    std::free(job);
    if (outcome != TOutcome::Ok) throw EInvalidGraphic(CodecMessage(code));
    return bytes;
}

std::string EncodeJpegFile(const TBitmap24& image) {
    TRowProducer rows;
    rows.Width = image.Width;
    rows.Height = image.Height;
    rows.Context = &image;
    rows.Fill = [](const void* context, int32_t row, uint8_t* bgr) noexcept {
        const auto& bitmap = *static_cast<const TBitmap24*>(context);
        std::memcpy(bgr, bitmap.Row(row), bitmap.RowBytes());
    };
    return EncodeJpegRows(rows);
}
