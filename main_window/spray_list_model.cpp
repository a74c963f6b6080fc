#include "spray_list_model.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>

namespace tagswap {

SprayListModel::SprayListModel(const QString &directory, QObject *parent)
    : QStringListModel(parent), m_directory(directory)
{
}

QVariant SprayListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::ToolTipRole: {
        const QString name = QStringListModel::data(index, Qt::DisplayRole).toString();
        return m_details.toolTip(QDir(m_directory).filePath(name), name);
    }
    case InstalledRole:
    case Qt::AccessibleDescriptionRole: {
        const bool marked =
            m_installed.contains(QStringListModel::data(index, Qt::DisplayRole).toString());
        if (role == InstalledRole)
            return marked;
        return marked ? tr("The chosen mod's spray") : QString();
    }
    default:
        return QStringListModel::data(index, role);
    }
}

bool SprayListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const QString name = QStringListModel::data(index, Qt::DisplayRole).toString();
    if (value.toString() != name)
        emit renameRequested(name, value.toString());
    // The row changes when the folder is read again after the rename.
    return false;
}

Qt::ItemFlags SprayListModel::flags(const QModelIndex &index) const
{
    // Files are dropped on the list, never moved inside it.
    return QStringListModel::flags(index) & ~(Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
}

void SprayListModel::setInstalled(const QSet<QString> &names)
{
    if (names == m_installed)
        return;
    const QSet<QString> changed = (names - m_installed) | (m_installed - names);
    m_installed = names;
    const QStringList rows = stringList();
    for (const QString &name : changed) {
        const qsizetype row = rows.indexOf(name);
        if (row >= 0)
            emit dataChanged(index(int(row)), index(int(row)),
                             {InstalledRole, Qt::AccessibleDescriptionRole});
    }
}

void SprayItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (!index.data(SprayListModel::InstalledRole).toBool())
        return;
    const QRectF row = option.rect;
    const qreal size = std::min(row.height() * 0.6, 10.0);
    const QRectF box(row.right() - size - 3, row.center().y() - size / 2, size, size);
    QPainterPath tick;
    tick.moveTo(box.left(), box.center().y());
    tick.lineTo(box.left() + size * 0.4, box.bottom());
    tick.lineTo(box.right(), box.top());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(
        QPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text), 1.6));
    painter->drawPath(tick);
    painter->restore();
}

} // namespace tagswap
