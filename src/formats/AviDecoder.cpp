#include "formats/AviDecoder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr quint32 fourCc(const char (&s)[5])
{
    return quint32(uchar(s[0])) | quint32(uchar(s[1])) << 8 | quint32(uchar(s[2])) << 16
        | quint32(uchar(s[3])) << 24;
}

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint16(u[0] | u[1] << 8);
}

// Fields of the main header ("avih"), from the start of its data.
constexpr int kAvihMicroSecPerFrame = 0;
constexpr int kAvihTotalFrames = 16;
constexpr int kAvihWidth = 32;
constexpr int kAvihHeight = 36;
constexpr int kAvihSize = 40; // the fields above and what precedes them

// Fields of a stream header ("strh").
constexpr int kStrhType = 0;
constexpr int kStrhScale = 20;
constexpr int kStrhRate = 24;
constexpr int kStrhSize = 28;

// Fields of a video stream's format ("strf"): a bitmap info header, then its colour table or masks.
constexpr int kBiSize = 0;
constexpr int kBiWidth = 4;
constexpr int kBiHeight = 8;
constexpr int kBiBitCount = 14;
constexpr int kBiCompression = 16;
constexpr int kBiClrUsed = 32;
constexpr int kBiHeaderSize = 40;
constexpr int kBiMasks =
    40; // three 32-bit masks follow the 40-byte header, or lie inside a longer one

// Compression values of a bitmap info header.
constexpr quint32 kBiRgb = 0;
constexpr quint32 kBiRle8 = 1;
constexpr quint32 kBiBitfields = 3;

// One entry of the index: chunk id, flags, offset, size.
constexpr int kIndexEntrySize = 16;
// The flag of an index entry whose frame is a whole picture, not changes to the one before.
constexpr quint32 kIndexKeyFrame = 0x10;

// Without a usable rate in the file, a clip plays at 10 frames a second.
constexpr qint64 kDefaultFrameUs = 100000;

constexpr QRgb kOpaque = 0xff000000u;

// Expands a value of `bits` bits to 0..255.
int expand(quint32 value, int bits)
{
    if (bits >= 8)
        return int(value >> (bits - 8));
    const quint32 max = (1u << bits) - 1;
    return int((value * 255 + max / 2) / max);
}

// One colour channel of a bit-field pixel: its mask's position and width.
struct Channel {
    int shift = 0;
    int bits = 0;
    quint32 mask = 0;
    bool set(quint32 m)
    {
        if (m == 0)
            return false;
        shift = std::countr_zero(m);
        bits = std::popcount(m);
        mask = m;
        return bits <= 16 && (m >> shift) == (1u << bits) - 1; // one contiguous run
    }
    int value(quint32 pixel) const { return expand((pixel & mask) >> shift, bits); }
};

} // namespace

AviDecoder::~AviDecoder()
{
    close();
}

bool AviDecoder::open(const QString &path)
{
    // Only a regular file: opening a pipe or a device could block for ever.
    if (!QFileInfo(path).isFile())
        return false;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return false;
    return open(std::move(file));
}

bool AviDecoder::open(std::unique_ptr<QIODevice> device)
{
    close();
    if (!device || !device->isOpen() || device->isSequential())
        return false;
    m_device = std::move(device);
    m_fileSize = m_device->size();
    if (!parse()) {
        close();
        return false;
    }
    m_first = frame(0);
    if (m_first.isNull()) {
        close();
        return false;
    }
    return true;
}

void AviDecoder::close()
{
    m_device.reset();
    m_fileSize = 0;
    m_header = AviMainHeader();
    m_frameDurationUs = kDefaultFrameUs;
    m_streamScale = m_streamRate = 0;
    m_streamNumber = -1;
    m_coding = Coding::Raw;
    m_bitCount = 0;
    m_storedSize = QSize();
    m_bottomUp = true;
    m_palette.clear();
    std::fill(std::begin(m_masks), std::end(m_masks), 0u);
    m_window = {};
    m_windowAt = 0;
    m_headersLeft = kMaxChunkHeaders;
    m_chunks = {};
    m_keyFrames = {};
    m_indices = {};
    m_rleNext = 0;
    m_key = 0;
    m_first = QImage();
}

QByteArray AviDecoder::readAt(qint64 offset, qint64 size)
{
    if (offset < 0 || size < 0 || offset > m_fileSize || size > m_fileSize - offset)
        return {};
    if (!m_device->seek(offset))
        return {};
    QByteArray bytes = m_device->read(size);
    return bytes.size() == size ? bytes : QByteArray();
}

QByteArray AviDecoder::headerAt(qint64 offset, qint64 size)
{
    // Bytes read at once for chunk headers: a million empty chunks cost 120 reads, not a million.
    constexpr qint64 kWindow = 65536;
    if (m_headersLeft <= 0)
        return {};
    --m_headersLeft;
    if (offset < m_windowAt || offset + size > m_windowAt + m_window.size()) {
        m_windowAt = offset;
        m_window = offset < 0 || offset > m_fileSize
            ? QByteArray()
            : readAt(offset, std::min(kWindow, m_fileSize - offset));
    }
    if (offset < m_windowAt || offset + size > m_windowAt + m_window.size())
        return {};
    return m_window.mid(offset - m_windowAt, size);
}

// The file's layout: RIFF "AVI " holding LIST "hdrl" (main header, one LIST "strl" per stream),
// LIST "movi" (the frames, maybe grouped in LIST "rec ") and optionally "idx1". A RIFF or movi size
// that runs past the end of the file is cut to it, so a clip cut short plays what it holds; the
// header list must be whole.
bool AviDecoder::parse()
{
    const QByteArray riff = readAt(0, 12);
    if (riff.size() != 12 || le32(riff.constData()) != fourCc("RIFF")
        || le32(riff.constData() + 8) != fourCc("AVI "))
        return false;
    const qint64 riffEnd = std::min<qint64>(8 + qint64(le32(riff.constData() + 4)), m_fileSize);

    bool haveHeader = false;
    qint64 moviTag = -1, moviEnd = -1;
    qint64 indexAt = -1;
    quint32 indexSize = 0;
    for (qint64 pos = 12; pos + 8 <= riffEnd;) {
        const QByteArray head = headerAt(pos, 12 <= riffEnd - pos ? 12 : 8);
        if (head.size() < 8)
            return false;
        const quint32 id = le32(head.constData());
        const quint32 size = le32(head.constData() + 4);
        const qint64 end = pos + 8 + qint64(size);
        if (id == fourCc("LIST") && head.size() == 12 && size >= 4) {
            const quint32 type = le32(head.constData() + 8);
            if (type == fourCc("hdrl") && !haveHeader) {
                if (end > riffEnd || !parseHeaderList(pos + 12, end))
                    return false;
                haveHeader = true;
            } else if (type == fourCc("movi") && moviTag < 0) {
                moviTag = pos + 8;
                moviEnd = std::min(end, riffEnd);
            }
        } else if (id == fourCc("idx1") && indexAt < 0 && end <= riffEnd) {
            indexAt = pos + 8;
            indexSize = size;
        }
        if (end >= riffEnd)
            break;
        pos = end + (size & 1);
    }
    if (!haveHeader || moviTag < 0)
        return false;

    if (indexAt >= 0)
        readIndex(indexAt, indexSize, moviTag);
    if (m_chunks.empty())
        walkMovi(moviTag + 4, moviEnd);
    if (m_chunks.empty())
        return false;

    if (m_header.totalFrames <= 0)
        m_header.totalFrames = framesInFile();
    if (!m_header.frameSize.isValid() || m_header.frameSize.isEmpty())
        m_header.frameSize = m_storedSize;
    if (m_header.frameSize.width() > kMaxSide || m_header.frameSize.height() > kMaxSide)
        return false;

    if (m_header.microSecPerFrame > 0)
        m_frameDurationUs = m_header.microSecPerFrame;
    else if (m_streamRate > 0 && m_streamScale > 0)
        m_frameDurationUs = std::max<qint64>(1, qint64(m_streamScale) * 1000000 / m_streamRate);
    return true;
}

bool AviDecoder::parseHeaderList(qint64 begin, qint64 end)
{
    bool haveMain = false;
    int streams = 0;
    for (qint64 pos = begin; pos + 8 <= end;) {
        const QByteArray head = headerAt(pos, 12 <= end - pos ? 12 : 8);
        if (head.size() < 8)
            return false;
        const quint32 id = le32(head.constData());
        const quint32 size = le32(head.constData() + 4);
        const qint64 chunkEnd = pos + 8 + qint64(size);
        if (chunkEnd > end)
            return false;
        if (id == fourCc("avih") && !haveMain) {
            if (!parseMainHeader(pos + 8, size))
                return false;
            haveMain = true;
        } else if (id == fourCc("LIST") && head.size() == 12
                   && le32(head.constData() + 8) == fourCc("strl")) {
            // A stream list: its header says what it carries, its format how.
            quint32 type = 0, scale = 0, rate = 0;
            qint64 formatAt = -1;
            quint32 formatSize = 0;
            for (qint64 in = pos + 12; in + 8 <= chunkEnd;) {
                const QByteArray sub = headerAt(in, 8);
                if (sub.size() < 8)
                    return false;
                const quint32 subId = le32(sub.constData());
                const quint32 subSize = le32(sub.constData() + 4);
                const qint64 subEnd = in + 8 + qint64(subSize);
                if (subEnd > chunkEnd)
                    return false;
                if (subId == fourCc("strh") && subSize >= kStrhSize) {
                    const QByteArray strh = readAt(in + 8, kStrhSize);
                    if (strh.size() < kStrhSize)
                        return false;
                    type = le32(strh.constData() + kStrhType);
                    scale = le32(strh.constData() + kStrhScale);
                    rate = le32(strh.constData() + kStrhRate);
                } else if (subId == fourCc("strf") && formatAt < 0) {
                    formatAt = in + 8;
                    formatSize = subSize;
                }
                in = subEnd + (subSize & 1);
            }
            if (type == fourCc("vids") && m_streamNumber < 0) {
                if (streams > 99 || formatAt < 0 || !parseStreamFormat(formatAt, formatSize))
                    return false;
                m_streamNumber = streams;
                m_streamScale = scale;
                m_streamRate = rate;
            }
            ++streams;
        }
        pos = chunkEnd + (size & 1);
    }
    return haveMain && m_streamNumber >= 0;
}

bool AviDecoder::parseMainHeader(qint64 at, quint32 size)
{
    if (size < kAvihSize)
        return false;
    const QByteArray avih = readAt(at, kAvihSize);
    if (avih.size() < kAvihSize)
        return false;
    m_header.microSecPerFrame = le32(avih.constData() + kAvihMicroSecPerFrame);
    // Values above INT_MAX are as wrong as negative ones; they count as unset.
    const auto asInt = [](quint32 v) { return v > 0x7fffffffu ? 0 : int(v); };
    m_header.totalFrames = asInt(le32(avih.constData() + kAvihTotalFrames));
    const int width = asInt(le32(avih.constData() + kAvihWidth));
    const int height = asInt(le32(avih.constData() + kAvihHeight));
    m_header.frameSize = width > 0 && height > 0 ? QSize(width, height) : QSize();
    return true;
}

bool AviDecoder::parseStreamFormat(qint64 at, quint32 size)
{
    if (size < kBiHeaderSize)
        return false;
    const QByteArray format = readAt(at, std::min<qint64>(size, kBiHeaderSize + 256 * 4 + 1024));
    if (format.size() < kBiHeaderSize)
        return false;
    const char *f = format.constData();
    const quint32 headerSize = le32(f + kBiSize);
    const qint32 width = qint32(le32(f + kBiWidth));
    const qint32 height = qint32(le32(f + kBiHeight));
    const int bits = le16(f + kBiBitCount);
    const quint32 compression = le32(f + kBiCompression);
    if (headerSize < kBiHeaderSize || headerSize > quint32(format.size()))
        return false;
    if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide)
        return false;
    m_storedSize = QSize(width, std::abs(height));
    m_bottomUp = height > 0;
    m_bitCount = bits;

    if (compression == kBiRle8 && bits == 8) {
        m_coding = Coding::Rle8;
    } else if (compression == kBiRgb && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) {
        m_coding = Coding::Raw;
    } else if (compression == kBiBitfields && (bits == 16 || bits == 32)) {
        m_coding = Coding::Raw;
        if (format.size() < kBiMasks + 12)
            return false;
        Channel channel;
        for (int i = 0; i < 3; ++i) {
            m_masks[i] = le32(f + kBiMasks + qsizetype(4) * i);
            if (!channel.set(m_masks[i]) || (bits == 16 && m_masks[i] > 0xffff))
                return false;
        }
    } else {
        return false; // compressed by any other codec, or a depth the game's clips never use
    }

    if (bits == 8) {
        // The colour table follows the header: as many entries as it says, 256 when it says 0, no
        // more than the format holds.
        const quint32 used = le32(f + kBiClrUsed);
        const qint64 wanted = used == 0 || used > 256 ? 256 : used;
        const qint64 present = (format.size() - qint64(headerSize)) / 4;
        const qint64 count = std::min(wanted, present);
        m_palette.resize(256);
        std::fill(m_palette.begin(), m_palette.end(), kOpaque);
        for (qint64 i = 0; i < count; ++i)
            m_palette[i] =
                le32(f + headerSize + 4 * i) | kOpaque; // stored blue, green, red, unused
    }
    return true;
}

bool AviDecoder::isVideoChunk(quint32 id) const
{
    const char digits[2] = {char('0' + m_streamNumber / 10), char('0' + m_streamNumber % 10)};
    const quint32 prefix = quint32(uchar(digits[0])) | quint32(uchar(digits[1])) << 8;
    const quint32 kind = id >> 16;
    return (id & 0xffff) == prefix
        && (kind == (fourCc("00db") >> 16) || kind == (fourCc("00dc") >> 16));
}

bool AviDecoder::addChunk(qint64 dataOffset, quint32 size, bool key)
{
    if (dataOffset < 0 || dataOffset > m_fileSize || qint64(size) > m_fileSize - dataOffset)
        return false; // the file ends before this frame does
    if (m_chunks.empty() || key)
        m_keyFrames.push_back(int(m_chunks.size()));
    m_chunks.push_back({dataOffset, size});
    const int wanted =
        m_header.totalFrames > 0 ? std::min(m_header.totalFrames, kMaxFrames) : kMaxFrames;
    return int(m_chunks.size()) < wanted;
}

// Index offsets count from the "movi" tag in most files and from the file's start in some; the
// first video entry tells which, by finding its own chunk there.
void AviDecoder::readIndex(qint64 at, quint32 size, qint64 moviTag)
{
    const qint64 entries = std::min<qint64>(size / kIndexEntrySize, kMaxChunkHeaders);
    constexpr qint64 kBatch = 4096;
    qint64 base = -1;
    for (qint64 first = 0; first < entries; first += kBatch) {
        const qint64 count = std::min(kBatch, entries - first);
        const QByteArray block = readAt(at + first * kIndexEntrySize, count * kIndexEntrySize);
        if (block.isEmpty())
            return;
        for (qint64 i = 0; i < count; ++i) {
            const char *e = block.constData() + i * kIndexEntrySize;
            const quint32 id = le32(e);
            if (!isVideoChunk(id))
                continue;
            const bool key = le32(e + 4) & kIndexKeyFrame;
            const qint64 offset = le32(e + 8);
            const quint32 chunkSize = le32(e + 12);
            if (base < 0) {
                for (const qint64 candidate : {moviTag, qint64(0)}) {
                    const QByteArray head = readAt(candidate + offset, 8);
                    if (head.size() == 8 && le32(head.constData()) == id
                        && le32(head.constData() + 4) == chunkSize) {
                        base = candidate;
                        break;
                    }
                }
                if (base < 0)
                    return; // an index that points elsewhere: the movi list is walked instead
            }
            if (!addChunk(base + offset + 8, chunkSize, key))
                return;
        }
    }
}

void AviDecoder::walkMovi(qint64 begin, qint64 end)
{
    for (qint64 pos = begin; pos + 8 <= end;) {
        const QByteArray head = headerAt(pos, 12 <= end - pos ? 12 : 8);
        if (head.size() < 8)
            return;
        const quint32 id = le32(head.constData());
        const quint32 size = le32(head.constData() + 4);
        if (id == fourCc("LIST") && head.size() == 12 && size >= 4) {
            pos += 12; // a group of chunks ("rec "): its chunks are read as if they stood here
            continue;
        }
        const qint64 chunkEnd = pos + 8 + qint64(size);
        if (chunkEnd > end)
            return;
        if (isVideoChunk(id) && !addChunk(pos + 8, size))
            return;
        pos = chunkEnd + (size & 1);
    }
}

QImage AviDecoder::frame(int index, QDeadlineTimer deadline, int *reached)
{
    if (reached)
        *reached = index;
    if (!m_device || index < 0 || index >= framesInFile())
        return {};
    int dummy = 0;
    return m_coding == Coding::Rle8 ? decodeRle(index, deadline, reached ? reached : &dummy)
                                    : decodeRaw(index);
}

// An uncompressed frame. An empty chunk repeats the frame before it. Rows are stored padded to
// four bytes, or packed by some writers: the chunk's size tells which.
QImage AviDecoder::decodeRaw(int index)
{
    while (index > 0 && m_chunks[size_t(index)].size == 0)
        --index;
    const Chunk &chunk = m_chunks[size_t(index)];
    const int width = m_storedSize.width();
    const int height = m_storedSize.height();
    const qint64 packed = (qint64(width) * m_bitCount + 7) / 8;
    const qint64 aligned = (qint64(width) * m_bitCount + 31) / 32 * 4;
    qint64 stride = 0;
    if (chunk.size >= aligned * height)
        stride = aligned;
    else if (chunk.size >= packed * height)
        stride = packed;
    else
        return {};
    const QByteArray data = readAt(chunk.offset, stride * height);
    if (data.isEmpty())
        return {};

    QImage image(m_storedSize, QImage::Format_ARGB32_Premultiplied); // opaque pixels only
    if (image.isNull())
        return {};
    Channel channels[3];
    if (m_masks[0] != 0) {
        for (int i = 0; i < 3; ++i)
            channels[i].set(m_masks[i]);
    }
    for (int y = 0; y < height; ++y) {
        const auto *in = reinterpret_cast<const uchar *>(
            data.constData() + stride * (m_bottomUp ? height - 1 - y : y));
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        switch (m_bitCount) {
        case 8:
            for (int x = 0; x < width; ++x)
                out[x] = m_palette[in[x]];
            break;
        case 16:
            for (int x = 0; x < width; ++x, in += 2) {
                const quint32 v = quint32(in[0] | in[1] << 8);
                out[x] = m_masks[0]
                    ? qRgb(channels[0].value(v), channels[1].value(v), channels[2].value(v))
                    : qRgb(expand(v >> 10 & 31, 5), expand(v >> 5 & 31, 5), expand(v & 31, 5));
            }
            break;
        case 24:
            for (int x = 0; x < width; ++x, in += 3)
                out[x] = qRgb(in[2], in[1], in[0]);
            break;
        case 32:
            for (int x = 0; x < width; ++x, in += 4) {
                const quint32 v = quint32(in[0]) | quint32(in[1]) << 8 | quint32(in[2]) << 16
                    | quint32(in[3]) << 24;
                out[x] = m_masks[0]
                    ? qRgb(channels[0].value(v), channels[1].value(v), channels[2].value(v))
                    : qRgb(in[2], in[1], in[0]);
            }
            break;
        }
    }
    return finish(std::move(image));
}

// A run-length frame draws over the one before it, so frames are applied in order from a key frame
// (on a blank picture) or from the frame applied last, whichever lies closer before `index`.
QImage AviDecoder::decodeRle(int index, QDeadlineTimer deadline, int *reached)
{
    const int width = m_storedSize.width();
    const int height = m_storedSize.height();
    const int key = *(std::upper_bound(m_keyFrames.cbegin(), m_keyFrames.cend(), index) - 1);
    if (m_indices.empty() || index < m_rleNext || m_rleNext < key) {
        m_indices.assign(size_t(width) * size_t(height), 0);
        m_rleNext = key;
    }
    // The longest chunk a frame can use: two bytes a pixel, an end of line a row, an end of bitmap.
    const qint64 longest = 2 * qint64(width) * height + 2 * qint64(height) + 2;
    do {
        const Chunk &chunk = m_chunks[size_t(m_rleNext)];
        const QByteArray data = readAt(chunk.offset, std::min<qint64>(chunk.size, longest));
        if (chunk.size > 0 && data.isEmpty()) {
            m_indices.clear(); // the state is lost: start over next time
            return {};
        }
        applyRle(data);
        ++m_rleNext;
    } while (m_rleNext <= index && !deadline.hasExpired());
    *reached = m_rleNext - 1;

    QImage image(m_storedSize, QImage::Format_ARGB32_Premultiplied); // opaque pixels only
    if (image.isNull())
        return {};
    for (int y = 0; y < height; ++y) {
        const uchar *in =
            m_indices.data() + size_t(m_bottomUp ? height - 1 - y : y) * size_t(width);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            out[x] = m_palette[in[x]];
    }
    return finish(std::move(image));
}

// Applies one chunk of 8-bit run-length data to the indices (rows in stored order). Runs and
// literal strings are cut at the row's end; the data ends at its end-of-bitmap code, at its last
// byte, or at the last row. Pixels the chunk does not reach keep their value.
void AviDecoder::applyRle(const QByteArray &data)
{
    const int width = m_storedSize.width();
    const int height = m_storedSize.height();
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const auto *end = p + data.size();
    int x = 0, y = 0;
    const auto put = [&](uchar value) {
        if (x < width && y < height)
            m_indices[size_t(y) * size_t(width) + size_t(x)] = value;
        ++x;
    };
    while (end - p >= 2 && y < height) {
        const int count = p[0];
        const uchar value = p[1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                put(value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return;
        case 2: // move right and down
            if (end - p < 2)
                return;
            x += p[0];
            y += p[1];
            p += 2;
            break;
        default: { // a string of `value` literal indices, padded to an even length
            const int literal = value;
            if (end - p < literal)
                return;
            for (int i = 0; i < literal; ++i)
                put(p[i]);
            p += literal + (literal & 1);
            if (p > end)
                return;
            break;
        }
        }
    }
}

// Brings a decoded frame (opaque pixels) to the header's size and keys it on the first frame's
// top-left colour, in place.
QImage AviDecoder::finish(QImage image)
{
    if (image.size() != m_header.frameSize)
        image = image.scaled(m_header.frameSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (m_first.isNull())
        m_key = image.pixel(0, 0) | kOpaque;
    const QRgb key = m_key;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == key)
                line[x] = 0;
    }
    return image;
}
