#include "bench/jpeg_scan.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <stdexcept>
#include <vector>

TBitmap24 JpegRoundTrip(const TBitmap24& image, int quality) {
    if (image.Width <= 0 || image.Height <= 0) throw std::invalid_argument("empty image");
    unsigned char* encoded = nullptr;
    unsigned long encodedSize = 0;
    {
        jpeg_compress_struct c{};
        jpeg_error_mgr errors{};
        c.err = jpeg_std_error(&errors); // the default handler ends the program
        jpeg_create_compress(&c);
        jpeg_mem_dest(&c, &encoded, &encodedSize);
        c.image_width = JDIMENSION(image.Width);
        c.image_height = JDIMENSION(image.Height);
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c); // luminance 2 x 2, chroma 1 x 1: 4:2:0
        jpeg_set_quality(&c, quality, TRUE);
        jpeg_start_compress(&c, TRUE);
        std::vector<unsigned char> row(size_t(image.Width) * 3u);
        while (c.next_scanline < c.image_height) {
            const uint8_t* bgr = image.Row(int32_t(c.next_scanline));
            for (int32_t x = 0; x < image.Width; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    row[size_t(x) * 3u + size_t(ch)] = bgr[x * 3 + 2 - ch];
            JSAMPROW rows[1] = {row.data()};
            jpeg_write_scanlines(&c, rows, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
    }
    TBitmap24 out(image.Width, image.Height);
    {
        jpeg_decompress_struct d{};
        jpeg_error_mgr errors{};
        d.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, encoded, encodedSize);
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_RGB;
        jpeg_start_decompress(&d);
        std::vector<unsigned char> row(size_t(d.output_width) * 3u);
        while (d.output_scanline < d.output_height) {
            const int32_t y = int32_t(d.output_scanline);
            JSAMPROW rows[1] = {row.data()};
            jpeg_read_scanlines(&d, rows, 1);
            uint8_t* bgr = out.Row(y);
            for (int32_t x = 0; x < image.Width; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    bgr[x * 3 + 2 - ch] = row[size_t(x) * 3u + size_t(ch)];
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
    }
    std::free(encoded);
    return out;
}
