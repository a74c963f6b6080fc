// The paths into the game directory are plain concatenations: whatever the
// stored directory and the mod text hold, each part appears unchanged.
#include "fuzz_check.h"
#include "game_paths.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = text.indexOf(u'\x01');
    const QString directory = split < 0 ? text : text.left(split);
    const QString mod = split < 0 ? QString() : text.mid(split + 1);
    const QString sep = QDir::separator();

    const QString spray = tagswap::sprayDestination(directory, mod);
    check(spray == directory + sep + mod + sep + QStringLiteral("pldecal.wad"));
    check(spray.startsWith(directory) && spray.endsWith(sep + QStringLiteral("pldecal.wad")));

    const QString game = tagswap::gameExecutable(directory);
    check(game.size() == directory.size() + 7 && game.startsWith(directory));

    const QString shortened = tagswap::withoutTrailingSeparator(text);
    check(text.startsWith(shortened));
    check(shortened.size() == text.size() - (text.endsWith(sep) ? 1 : 0));
    return 0;
}
