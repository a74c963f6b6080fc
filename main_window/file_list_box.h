#pragma once

#include "spray_list_model.h"

#include <QListView>

namespace tagswap {

// Lists the files of one folder whose names end in a suffix (ignoring letter
// case, as "*.wad" did on the original platform), by name only, in natural
// order ("spray2" before "spray10"), ignoring letter case. The folder is fixed
// when the list is made; refresh() reads it again. A row's tooltip shows the
// spray; F2 edits a name in place, Delete and the context menu are handed on
// as requests, and files dropped on the list are handed on by path.
class FileListBox : public QListView {
    Q_OBJECT
public:
    FileListBox(const QString &directory, const QString &suffix, QWidget *parent = nullptr);

    // The selected file's name without folder; "" when nothing is selected.
    QString fileName() const;
    // Reads the folder again. A selected file that is still there stays selected.
    // False when the folder itself is gone or cannot be read; the list is then empty.
    bool refresh();
    QString directory() const { return m_directory; }
    // The listed names, in their order.
    QStringList names() const { return m_names.stringList(); }
    // Where name is listed; invalid when it is not.
    QModelIndex indexOf(const QString &name) const;
    // Selects name if it is listed; true when it is.
    bool select(const QString &name);
    // Selects the row at row, or the last one when there are fewer.
    void selectRowNear(int row);
    // Marks the rows holding the chosen mod's spray.
    void setInstalled(const QSet<QString> &names) { m_names.setInstalled(names); }
    QSet<QString> installed() const { return m_names.installed(); }
    // What an empty list shows a new player: how sprays get in, the spray maker too.
    static QString emptyHint();

signals:
    // At globalPos, for the row that is now selected (none: the empty part of the list).
    void contextMenuRequested(const QPoint &globalPos);
    void trashRequested();
    void renameRequested(const QString &name, const QString &newName);
    void filesDropped(const QStringList &paths);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QStringList matchingNames() const;

    QString m_directory;
    QString m_suffix;
    // Plain strings rather than list items: a folder of many thousand sprays
    // then costs one string each.
    SprayListModel m_names;
};

} // namespace tagswap
