#include "file_list_box.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace tagswap {

namespace {

// Compares runs of digits by their value and everything else ignoring letter
// case, so "spray2" comes before "spray10". Written out because the system
// collator may be built without numeric ordering.
bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Letter case is folded inline for ASCII, the common case in file names, and
// by Qt's tables for the rest: a folder of thousands of sprays sorts quickly.
char32_t folded(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return c + (u'a' - u'A');
    return c < 0x80 ? c : QChar::toCaseFolded(char32_t(c));
}

qsizetype digitRunEnd(QStringView s, qsizetype from)
{
    while (from < s.size() && isDigit(s[from].unicode()))
        ++from;
    return from;
}

int compareNaturally(QStringView a, QStringView b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char16_t ca = a[i].unicode(), cb = b[j].unicode();
        if (isDigit(ca) && isDigit(cb)) {
            while (i < a.size() && a[i] == u'0')
                ++i;
            while (j < b.size() && b[j] == u'0')
                ++j;
            const qsizetype endA = digitRunEnd(a, i), endB = digitRunEnd(b, j);
            if (endA - i != endB - j)
                return endA - i < endB - j ? -1 : 1;
            if (const int c = a.sliced(i, endA - i).compare(b.sliced(j, endB - j)); c != 0)
                return c;
            i = endA;
            j = endB;
            continue;
        }
        const char32_t fa = folded(ca), fb = folded(cb);
        if (fa != fb)
            return fa < fb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    // Names that differ only in case or leading zeros still get a fixed order.
    return a.compare(b);
}

void sortNaturally(QStringList &names)
{
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return compareNaturally(a, b) < 0; });
}

} // namespace

FileListBox::FileListBox(const QString &directory, const QString &pattern, QWidget *parent)
    : QListWidget(parent), m_directory(directory), m_pattern(pattern)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    addItems(matchingNames());
}

QString FileListBox::fileName() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

bool FileListBox::refresh()
{
    const QString kept = fileName();
    clear();
    const QFileInfo folder(m_directory);
    if (!folder.isDir() || !folder.isReadable())
        return false;
    addItems(matchingNames());
    if (!kept.isEmpty()) {
        const QList<QListWidgetItem *> found = findItems(kept, Qt::MatchExactly);
        if (!found.isEmpty())
            setCurrentItem(found.first());
    }
    return true;
}

QStringList FileListBox::matchingNames() const
{
    // Matching ignores letter case, so SPRAY.WAD is listed as on the original
    // platform. The iterator gives names without building a QFileInfo for each.
    QStringList names;
    QDirIterator it(m_directory, {m_pattern}, QDir::Files);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    sortNaturally(names);
    return names;
}

} // namespace tagswap
