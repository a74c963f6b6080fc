// Any bytes as a mod list file: the reader must stay within its limits and
// must never lose or invent line content. The same bytes as a config file of
// the game: every setting found lies on a line the file has and names a
// console variable asked for.
#include "config_settings.h"
#include "fuzz_check.h"
#include "line_reader.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mods.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    const tagswap::LineLimits limits{7, 16};
    const std::optional<QStringList> lines = tagswap::readTextLines(path, limits);
    check(lines.has_value());
    check(lines->size() <= limits.maxLines);
    qsizetype lineEnds = 0;
    for (size_t i = 0; i < size; ++i)
        lineEnds += data[i] == '\n' || data[i] == '\r';
    // Every line but possibly the last one ends in CR, LF or CR LF.
    check(lines->size() <= lineEnds + 1);
    for (const QString &line : *lines) {
        check(!line.contains(u'\n') && !line.contains(u'\r'));
        // Decoding never needs more characters than there were bytes.
        check(line.size() <= limits.maxLineBytes);
    }

    const QStringList cvars{QStringLiteral("cl_allowupload"), QStringLiteral("cl_allowdownload")};
    const tagswap::ConfigSettings config = tagswap::readCvarSettings(path, cvars);
    const qsizetype lineCount = tagswap::readTextLines(path)->size();
    check(config.found && config.error.isEmpty());
    for (const tagswap::CvarSetting &setting : config.settings) {
        check(setting.line >= 1 && setting.line <= lineCount);
        check(cvars.contains(setting.name, Qt::CaseInsensitive));
        tagswap::readsAsZero(setting.value);
    }
    return 0;
}
