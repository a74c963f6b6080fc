#include "file_list_box.h"

#include <QDir>

#include <algorithm>

namespace tagswap {

namespace {

// Compares runs of digits by their value and everything else ignoring letter
// case, so "spray2" comes before "spray10". Written out because the system
// collator may be built without numeric ordering.
bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int compareNaturally(QStringView a, QStringView b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            while (i < a.size() && a[i] == u'0')
                ++i;
            while (j < b.size() && b[j] == u'0')
                ++j;
            qsizetype endA = i, endB = j;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            if (endA - i != endB - j)
                return endA - i < endB - j ? -1 : 1;
            if (const int c = a.mid(i, endA - i).compare(b.mid(j, endB - j)); c != 0)
                return c;
            i = endA;
            j = endB;
            continue;
        }
        if (const int c = a.mid(i, 1).compare(b.mid(j, 1), Qt::CaseInsensitive); c != 0)
            return c;
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

void FileListBox::refresh()
{
    const QString kept = fileName();
    clear();
    addItems(matchingNames());
    if (kept.isEmpty())
        return;
    const QList<QListWidgetItem *> found = findItems(kept, Qt::MatchExactly);
    if (!found.isEmpty())
        setCurrentItem(found.first());
}

QStringList FileListBox::matchingNames() const
{
    // Matching ignores letter case, so SPRAY.WAD is listed as on the original platform.
    QStringList names = QDir(m_directory).entryList({m_pattern}, QDir::Files, QDir::NoSort);
    sortNaturally(names);
    return names;
}

} // namespace tagswap
