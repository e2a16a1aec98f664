#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes JPEG pictures with libjpeg's decompression interface.
//
// A picture that cannot be decoded raises GameError "JPEG error #<n>", where n is libjpeg's own
// message number (for instance the one for "Not a JPEG file"). A stream that ends early is only
// a warning for libjpeg: what is there is decoded and the rest comes out grey, without an error.
// Greyscale, colour and CMYK pictures all come out as Format_RGB32.
namespace JpegDecoder {

QImage decode(const QByteArray &bytes);

// Reads the whole file, then decodes it. A file that cannot be read raises GameError
// "Cannot open file "<path>"".
QImage decodeFile(const QString &path);

} // namespace JpegDecoder
