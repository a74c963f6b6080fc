// Steam's files are read from disks the player may share with anything: the
// KeyValues reader and what the Steam search takes from a library list and an
// app manifest must stay within bounds, never crash and never hand back a
// folder name that climbs out of steamapps/common.
#include "fuzz_check.h"
#include "key_values.h"
#include "steam_search.h"

namespace {
int depth(const tagswap::KeyValues &block)
{
    int deepest = 0;
    for (const tagswap::KeyValues &child : block.children)
        deepest = std::max(deepest, child.isBlock ? 1 + depth(child) : 0);
    return deepest;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<tagswap::KeyValues> root = tagswap::parseKeyValues(text, &error);
    check(root.has_value() != !error.isEmpty());
    if (root)
        check(depth(*root) < tagswap::kMaxKeyValuesDepth);

    tagswap::librariesListedIn(text);
    const QString folder = tagswap::gameFolderNamedIn(text);
    check(!folder.contains(u'/') && !folder.contains(u'\\') && folder != u".." && folder != u".");
    return 0;
}
