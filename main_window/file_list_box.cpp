#include "file_list_box.h"

#include "folder_listing.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include <algorithm>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

namespace tagswap {

namespace {

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Letter case is folded inline for ASCII, the common case in file names, and
// by Qt's tables for the rest.
char16_t folded(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return c + (u'a' - u'A');
    return c < 0x80 ? c : QChar(c).toCaseFolded().unicode();
}

// Writes a UTF-16 code unit as two bytes, high byte first, so that comparing the
// bytes (memcmp) orders the units as comparing them would.
char *putUnit(char *out, char16_t unit)
{
    *out++ = char(unit >> 8);
    *out++ = char(unit & 0xff);
    return out;
}

// At most four bytes for each character of a name, and two more: a run of digits
// adds two units to its digits.
size_t keyBound(QStringView name)
{
    return 4 * size_t(name.size()) + 2;
}

// Writes a key whose plain order is the natural order of the names: letter case
// folded, and each run of digits written as a '0' (which sorts where any digit
// would), its length without leading zeros, then the digits, so that "spray2"
// comes before "spray10". Returns the end of what it wrote.
char *writeNaturalSortKey(QStringView name, char *out)
{
    for (qsizetype i = 0; i < name.size();) {
        if (!isDigit(name[i].unicode())) {
            out = putUnit(out, folded(name[i].unicode()));
            ++i;
            continue;
        }
        while (i < name.size() && name[i] == u'0')
            ++i;
        qsizetype end = i;
        while (end < name.size() && isDigit(name[end].unicode()))
            ++end;
        out = putUnit(out, u'0');
        out = putUnit(out, char16_t(u'0' + (end - i)));
        for (; i < end; ++i)
            out = putUnit(out, name[i].unicode());
    }
    return out;
}

// Keys are made once per name, side by side in one block, and compared as bytes:
// a folder of thousands of sprays sorts without an allocation or a character
// comparison loop per name.
void sortNaturally(QStringList &names)
{
    size_t bound = 0;
    for (const QString &name : names)
        bound += keyBound(name);
    std::string keys(bound, '\0');
    std::vector<size_t> ends;
    ends.reserve(size_t(names.size()));
    char *out = keys.data();
    for (const QString &name : names) {
        out = writeNaturalSortKey(name, out);
        ends.push_back(size_t(out - keys.data()));
    }
    const auto keyOf = [&](qsizetype i) {
        const size_t begin = i == 0 ? 0 : ends[size_t(i) - 1];
        return std::string_view(keys.data() + begin, ends[size_t(i)] - begin);
    };
    // Sorting positions moves no strings. Names with the same key (differing
    // only in case or leading zeros) are ordered by the names themselves, so
    // the order never depends on the listing.
    std::vector<qsizetype> order(size_t(names.size()));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        if (const int c = keyOf(a).compare(keyOf(b)); c != 0)
            return c < 0;
        return names.at(a) < names.at(b);
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const qsizetype i : order)
        sorted.append(std::move(names[i]));
    names = std::move(sorted);
}

QStringList localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

} // namespace

FileListBox::FileListBox(const QString &directory, const QString &suffix, QWidget *parent)
    : QListView(parent), m_directory(directory), m_suffix(suffix), m_names(directory)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Only F2 (and the Rename entry, through edit()) starts editing a name.
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setUniformItemSizes(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    m_names.setStringList(matchingNames());
    setModel(&m_names);
    setItemDelegate(new SprayItemDelegate(this));
    // Queued: the rename reads the folder again, which must not happen while the
    // editor that asked for it is still being closed.
    connect(&m_names, &SprayListModel::renameRequested, this, &FileListBox::renameRequested,
            Qt::QueuedConnection);
}

bool FileListBox::select(const QString &name)
{
    const QModelIndex found = indexOf(name);
    if (!found.isValid())
        return false;
    setCurrentIndex(found);
    scrollTo(found);
    return true;
}

void FileListBox::selectRowNear(int row)
{
    const int count = m_names.rowCount();
    if (count == 0)
        return;
    const QModelIndex near = m_names.index(std::clamp(row, 0, count - 1));
    setCurrentIndex(near);
    scrollTo(near);
}

void FileListBox::contextMenuEvent(QContextMenuEvent *event)
{
    if (event->reason() == QContextMenuEvent::Mouse) {
        // A click reaches the list through its viewport, in the viewport's coordinates.
        const QModelIndex under = indexAt(event->pos());
        if (under.isValid())
            setCurrentIndex(under);
        else
            clearSelection();
        emit contextMenuRequested(event->globalPos());
        return;
    }
    // From the keyboard: at the chosen row, or the top of the list.
    const QModelIndex current = currentIndex();
    const QPoint at = current.isValid() && !fileName().isEmpty() ? visualRect(current).bottomLeft()
                                                                 : QPoint(0, 0);
    emit contextMenuRequested(viewport()->mapToGlobal(at));
}

QString FileListBox::emptyHint()
{
    return tr("No sprays here yet. Drop sprays or pictures here, or right-click to make a spray "
              "from a picture.");
}

void FileListBox::paintEvent(QPaintEvent *event)
{
    QListView::paintEvent(event);
    if (m_names.rowCount() > 0)
        return;
    // Drawn, not listed: a row would be taken for a spray, chosen and installed.
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int margin = fontMetrics().averageCharWidth();
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignCenter | Qt::TextWordWrap, emptyHint());
}

void FileListBox::keyPressEvent(QKeyEvent *event)
{
    // Shift+F10 is the other keyboard way to a context menu; Qt maps only the Menu key.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint(), event->modifiers());
        contextMenuEvent(&menu);
        return;
    }
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier
        && state() != EditingState) {
        emit trashRequested();
        return;
    }
    QListView::keyPressEvent(event);
}

void FileListBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (localFiles(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void FileListBox::dragMoveEvent(QDragMoveEvent *event)
{
    if (localFiles(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void FileListBox::dropEvent(QDropEvent *event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(paths);
}

QString FileListBox::fileName() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.first().data().toString();
}

QModelIndex FileListBox::indexOf(const QString &name) const
{
    const qsizetype row = m_names.stringList().indexOf(name);
    return row < 0 ? QModelIndex() : m_names.index(int(row));
}

bool FileListBox::refresh()
{
    const QString kept = fileName();
    const QFileInfo folder(m_directory);
    m_names.forgetDetails();
    if (!folder.isDir() || !folder.isReadable()) {
        m_names.setStringList({});
        return false;
    }
    m_names.setStringList(matchingNames());
    if (const QModelIndex found = indexOf(kept); !kept.isEmpty() && found.isValid())
        setCurrentIndex(found);
    return true;
}

QStringList FileListBox::matchingNames() const
{
    QStringList listed = filesWithSuffix(m_directory, m_suffix);
    sortNaturally(listed);
    return listed;
}

} // namespace tagswap
