#pragma once

// JPEG files written by libjpeg itself, for the decoder's tests, the fuzz seeds and the hostile
// files.

#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

struct JpegShape {
    int width = 16;
    int height = 16;
    int components = 3; // 1 grey, 3 RGB, 4 CMYK
    bool progressive = false;
    int quality = 95;
    int restartInRows = 0; // a restart marker every so many rows of blocks; 0 for none
};

// A JPEG of `shape` whose rows `fillRow(row, y)` fills, `shape.components` samples a pixel.
inline QByteArray writeJpeg(const JpegShape &shape,
                            const std::function<void(std::vector<JSAMPLE> &, unsigned)> &fillRow)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(shape.width);
    info.image_height = JDIMENSION(shape.height);
    info.input_components = shape.components;
    info.in_color_space = shape.components == 1 ? JCS_GRAYSCALE
        : shape.components == 4                 ? JCS_CMYK
                                                : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, shape.quality, TRUE);
    if (shape.progressive)
        jpeg_simple_progression(&info);
    info.restart_in_rows = shape.restartInRows;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(shape.width) * size_t(shape.components));
    JSAMPROW rows[1] = {row.data()};
    while (info.next_scanline < info.image_height) {
        fillRow(row, info.next_scanline);
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(size));
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}
