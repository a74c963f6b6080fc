// Sprays are traded between players and downloaded from servers: any bytes as
// a spray file. The reader either refuses them with a reason or gives a decal
// that the game view, the game's checks and the writer all handle; a decal the
// writer takes reads back unchanged.
#include "decal_file.h"
#include "fuzz_check.h"
#include "game_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<decal::Decal> d = decal::decode(bytes, &error);
    const QString refusal = decal::gameRefusal(bytes);
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
