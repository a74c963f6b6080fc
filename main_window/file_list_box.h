#pragma once

#include <QListView>
#include <QStringListModel>

namespace tagswap {

// Lists the files of one folder whose names end in a suffix (ignoring letter
// case, as "*.wad" did on the original platform), by name only, in natural
// order ("spray2" before "spray10"), ignoring letter case. The folder is fixed
// when the list is made; refresh() reads it again.
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

private:
    QStringList matchingNames() const;

    QString m_directory;
    QString m_suffix;
    // Plain strings rather than list items: a folder of many thousand sprays
    // then costs one string each.
    QStringListModel m_names;
};

} // namespace tagswap
