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
//
// Bounded: a picture is drawn at its natural size from the top left corner, so with `visible` given
// only that much of it (from the top left) is decoded and kept, whatever size the header claims.
// libjpeg's own working memory is capped; a picture that would need more (a huge progressive one)
// raises its "JPEG error #<n>" for insufficient memory. So is the work of a picture held whole: one
// with more scans than any encoder writes raises libjpeg's "JPEG error #<n>" for a bad progression.
namespace JpegDecoder {

QImage decode(const QByteArray &bytes, QSize visible = QSize());

// Decodes the file as it is read, never holding it whole. A file that cannot be read, or that is
// no regular file (a pipe or a device could block for ever), raises GameError
// "Cannot open file "<path>"".
QImage decodeFile(const QString &path, QSize visible = QSize());

} // namespace JpegDecoder
