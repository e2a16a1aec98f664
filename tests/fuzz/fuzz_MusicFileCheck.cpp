// The music file check on any bytes, named as an MP3 and as a MIDI file: it gives a result of that
// kind or "damaged", never anything else, and reading the bytes from a file gives the same result
// as checking them in memory.

#include "formats/MusicFileCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // In memory where the system offers it: a write to disk per input would slow fuzzing tenfold.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/fuzz_music-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/fuzz_music-XXXXXX"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    using Result = MusicFileCheck::Result;
    for (const auto &[extension, kind] :
         {std::pair{"mp3", Result::Mp3}, std::pair{"MID", Result::Midi}}) {
        const Result inMemory = MusicFileCheck::checkBytes(QLatin1String(extension), bytes);
        if (inMemory != kind && inMemory != Result::Damaged)
            std::abort();
        const QString path = dir.filePath(QStringLiteral("piece.") + QLatin1String(extension));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            std::abort();
        file.close();
        if (MusicFileCheck::check(path) != inMemory)
            std::abort();
    }
    return 0;
}
