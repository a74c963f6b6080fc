#pragma once

#include <QMutex>
#include <QObject>
#include <QPoint>
#include <QStringList>

#include <memory>

class QComboBox;
class QMenu;
class QWidget;

namespace tagswap {

class FileListBox;
class Platform;

// What the spray list offers beyond choosing: its context menu, a preview
// window, renaming, moving to the trash, opening folders and adding sprays by
// dropping files. Messages and questions go through the platform, owned by
// window.
class SprayListActions : public QObject {
    Q_OBJECT
public:
    SprayListActions(Platform &platform, FileListBox *list, QWidget *window);

    // The context menu for the selected row (or none); the caller shows it.
    QMenu *makeContextMenu(QWidget *parent);
    // Whether anyone takes makeSprayRequested() yet.
    bool canMakeSprays() const;
    // The mod list whose choice "Sprays seen in game..." and "Check the spray in
    // game..." show; until there is one those entries are off.
    void setModList(const QComboBox *mods) { m_mods = mods; }
    // Held while a game's spray is read or replaced: the window's own, shared.
    void setGameFilesInUse(std::shared_ptr<QMutex> inUse) { m_gameFilesInUse = std::move(inUse); }

public slots:
    void showContextMenu(const QPoint &globalPos);
    void preview();
    void startRename();
    // Chooses name and starts editing it in the list; says so when it is gone.
    void renameInList(const QString &name);
    void rename(const QString &name, const QString &newName);
    void moveToTrash();
    void openSprayFolder();
    void openReplacedFolder();
    void addFiles(const QStringList &paths);
    void makeSprayFromImage();
    void showSeenSprays();
    void installInSeveralMods();
    void checkSprayInGame();
    // Reads the folder again and chooses name, as after a spray was added.
    void refreshAndSelect(const QString &name);

signals:
    // A picture to turn into a spray; the spray maker window takes it once it exists.
    void makeSprayRequested(const QString &imagePath);
    // The list was read again after a change of its files.
    void sprayFolderChanged();
    // A spray was installed into mods from here.
    void modSpraysChanged();

private:
    QString selectedPath() const;
    void report(const QString &text);
    bool openFolder(const QString &path);
    bool addSpray(const QString &source, QString *added, QStringList *problems);

    Platform &m_platform;
    FileListBox *m_list;
    QWidget *m_window;
    const QComboBox *m_mods = nullptr;
    std::shared_ptr<QMutex> m_gameFilesInUse = std::make_shared<QMutex>();
};

} // namespace tagswap
