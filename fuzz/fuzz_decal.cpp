// Sprays are traded between players and downloaded from servers: any bytes as
// a spray file. The reader either refuses them with a reason or gives a decal
// that the game view, the game's checks and the writer all handle; a decal the
// writer takes reads back unchanged.
#include "decal_file.h"
#include "fuzz_check.h"
#include "game_view.h"

#include <QtEndian>

namespace {

quint32 word(const QByteArray &bytes, qint64 at)
{
    return at >= 0 && at + 4 <= bytes.size() ? qFromLittleEndian<quint32>(bytes.constData() + at)
                                             : 0xffffffffu;
}

// A field of the only texture, found through the WAD directory.
quint32 textureField(const QByteArray &bytes, qint64 field)
{
    return word(bytes, qint64(word(bytes, word(bytes, 8))) + field);
}

// The engine's checks of a sent spray written out on their own, from the format's
// description rather than from the reader, so that the judge is held to them: the
// WAD directory, then the texture (sides, consecutive offsets, palette count and
// size). Offsets and sides read unsigned, as the judge reads them.
bool engineAccepts(const QByteArray &bytes)
{
    const qint64 size = bytes.size();
    if (size < 1024 || size > 20480 || !bytes.startsWith("WAD3") || word(bytes, 4) != 1
        || qint64(word(bytes, 8)) + 32 != size)
        return false;
    const qint64 directory = word(bytes, 8);
    const qint64 position = word(bytes, directory), onDisk = word(bytes, directory + 4);
    if (onDisk != word(bytes, directory + 8) || onDisk < 1 || position < 12
        || position + onDisk > directory)
        return false;
    const qint64 width = word(bytes, position + 16), height = word(bytes, position + 20);
    if (width == 0 || width > 256 || height > 256)
        return false;
    const qint64 pixels = width * height;
    const qint64 first = word(bytes, position + 24);
    if (word(bytes, position + 28) != first + pixels
        || word(bytes, position + 32) != first + pixels + (pixels >> 2)
        || word(bytes, position + 36) != first + pixels + (pixels >> 2) + (pixels >> 4))
        return false;
    const qint64 levels = pixels + (pixels >> 2) + (pixels >> 4) + (pixels >> 6);
    const qint64 countAt = position + 40 + levels;
    if (countAt + 2 > size)
        return false;
    const qint64 count = qFromLittleEndian<quint16>(bytes.constData() + countAt);
    return count <= 256 && first + levels + 2 + 3 * count <= onDisk;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<decal::Decal> d = decal::decode(bytes, &error);
    const QString refusal = decal::gameRefusal(bytes);
    // Never a file the game refuses; and every file the game takes, bar the reader's
    // stated exceptions (a zero height, pixels not right after the header).
    check(!refusal.isEmpty() || engineAccepts(bytes));
    if (engineAccepts(bytes) && textureField(bytes, 20) != 0 && textureField(bytes, 24) == 40)
        check(refusal.isEmpty());
    if (!d) {
        check(!error.isEmpty() && !refusal.isEmpty());
        return 0;
    }
    check(d->width > 0 && d->width <= decal::kMaxSide && d->height > 0
          && d->height <= decal::kMaxSide);
    check(d->pixels.size() == qsizetype(d->width) * d->height);
    for (const bool gamma : {true, false}) {
        const QImage shown = decal::renderAsGame(*d, {gamma, decal::kWallColour, true});
        check(shown.width() == d->width && shown.height() == d->height);
    }

    const QByteArray written = decal::encode(*d);
    if (!written.isEmpty()) {
        const std::optional<decal::Decal> back = decal::decode(written);
        check(back && back->pixels == d->pixels && back->palette == d->palette);
    }
    return 0;
}
