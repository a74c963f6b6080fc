#pragma once

#include "spray_details.h"

#include <QSet>
#include <QStringListModel>
#include <QStyledItemDelegate>

namespace tagswap {

// The names of the sprays in one folder. A row's tooltip reads its file the
// first time it is asked for; an edited name is handed on as a rename request
// and the list itself stays as it is until the folder is read again.
class SprayListModel : public QStringListModel {
    Q_OBJECT
public:
    // True on the rows whose file is the chosen mod's spray.
    static constexpr int InstalledRole = Qt::UserRole + 1;

    explicit SprayListModel(const QString &directory, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setInstalled(const QSet<QString> &names);
    QSet<QString> installed() const { return m_installed; }
    // Forgets what was read, for a folder read again.
    void forgetDetails() { m_details.clear(); }

signals:
    void renameRequested(const QString &name, const QString &newName);

private:
    QString m_directory;
    QSet<QString> m_installed;
    mutable SprayDetailsCache m_details;
};

// Draws a row as usual, with a check mark at its right end on the installed
// spray, so that the names stay where they are.
class SprayItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

} // namespace tagswap
