#include "spray_list_actions.h"

#include "file_list_box.h"
#include "file_replace.h"
#include "platform.h"
#include "replaced_sprays.h"
#include "seen_sprays_window.h"
#include "settings_store.h"
#include "several_mods_window.h"
#include "spray_check_window.h"
#include "spray_details.h"
#include "spray_preview.h"
#include "steam_search.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMenu>
#include <QMetaMethod>
#include <QStandardPaths>

namespace tagswap {

namespace {

const QString kTitle = QStringLiteral("Tagswap");

bool isSprayName(const QString &name)
{
    return name.endsWith(QStringLiteral(".wad"), Qt::CaseInsensitive);
}

bool isImageName(const QString &name)
{
    const QByteArray suffix = QFileInfo(name).suffix().toLower().toLatin1();
    return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix);
}

// A plain file name in the folder: no folder part, nothing that names the
// folder itself or its parent.
bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/')
           && !name.contains(u'\\') && !name.contains(QChar(0));
}

} // namespace

SprayListActions::SprayListActions(Platform &platform, FileListBox *list, QWidget *window)
    : QObject(window), m_platform(platform), m_list(list), m_window(window)
{
    connect(list, &FileListBox::contextMenuRequested, this, &SprayListActions::showContextMenu);
    connect(list, &FileListBox::trashRequested, this, &SprayListActions::moveToTrash);
    connect(list, &FileListBox::renameRequested, this, &SprayListActions::rename);
    // Queued: questions and copies wait until the drop itself has ended.
    connect(list, &FileListBox::filesDropped, this, &SprayListActions::addFiles,
            Qt::QueuedConnection);
}

bool SprayListActions::canMakeSprays() const
{
    return isSignalConnected(QMetaMethod::fromSignal(&SprayListActions::makeSprayRequested));
}

QMenu *SprayListActions::makeContextMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    const bool chosen = !m_list->fileName().isEmpty();
    menu->addAction(tr("Preview"), this, &SprayListActions::preview)->setEnabled(chosen);
    QAction *renaming = menu->addAction(tr("Rename..."), this, &SprayListActions::startRename);
    renaming->setShortcut(QKeySequence(Qt::Key_F2));
    renaming->setEnabled(chosen);
    QAction *trash = menu->addAction(tr("Move to Trash"), this, &SprayListActions::moveToTrash);
    trash->setShortcut(QKeySequence(QKeySequence::Delete));
    trash->setEnabled(chosen);
    menu->addSeparator();
    menu->addAction(tr("Make a spray from an image..."), this,
                    &SprayListActions::makeSprayFromImage)
        ->setEnabled(canMakeSprays());
    // A picture someone named .wad: the maker makes it what the name promises.
    if (const QString path = selectedPath(); chosen && !pictureKindOf(path).isEmpty())
        menu->addAction(tr("Make a spray from this picture..."), this,
                        [this, path] { emit makeSprayRequested(path); })
            ->setEnabled(canMakeSprays());
    menu->addAction(tr("Sprays seen in game..."), this, &SprayListActions::showSeenSprays)
        ->setEnabled(m_mods != nullptr);
    menu->addAction(tr("Install in several mods..."), this, &SprayListActions::installInSeveralMods)
        ->setEnabled(chosen && m_mods != nullptr);
    menu->addAction(tr("Check the spray in game..."), this, &SprayListActions::checkSprayInGame)
        ->setEnabled(m_mods != nullptr);
    menu->addSeparator();
    menu->addAction(tr("Open the spray folder"), this, &SprayListActions::openSprayFolder);
    menu->addAction(tr("Open the folder of replaced sprays"), this,
                    &SprayListActions::openReplacedFolder);
    return menu;
}

void SprayListActions::showContextMenu(const QPoint &globalPos)
{
    QMenu *menu = makeContextMenu(m_window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

QString SprayListActions::selectedPath() const
{
    const QString name = m_list->fileName();
    return name.isEmpty() ? QString() : QDir(m_list->directory()).filePath(name);
}

void SprayListActions::report(const QString &text)
{
    m_platform.messageBox(m_window, text, MsgBoxStyle::Exclamation, kTitle);
}

void SprayListActions::preview()
{
    if (const QString path = selectedPath(); !path.isEmpty())
        showSprayPreview(path, m_window);
}

void SprayListActions::startRename()
{
    const QModelIndex current = m_list->indexOf(m_list->fileName());
    if (current.isValid())
        m_list->edit(current);
}

void SprayListActions::rename(const QString &name, const QString &newName)
{
    if (!isPlainFileName(newName)) {
        report(
            tr("\"%1\" cannot be a file name: it must not be empty or hold / or \\.").arg(newName));
        return;
    }
    // A name without the suffix would drop out of the list.
    const QString target = isSprayName(newName) ? newName : newName + QStringLiteral(".wad");
    if (target == name)
        return;
    const QDir folder(m_list->directory());
    // Same name but for letter case is a rename on a folder that tells case apart.
    if (QFileInfo::exists(folder.filePath(target))
        && target.compare(name, Qt::CaseInsensitive) != 0) {
        report(tr("There is already a spray named %1.").arg(target));
        return;
    }
    QFile file(folder.filePath(name));
    if (!file.rename(folder.filePath(target))) {
        report(tr("Could not rename %1 to %2: %3").arg(name, target, file.errorString()));
        refreshAndSelect(name);
        return;
    }
    refreshAndSelect(target);
}

void SprayListActions::moveToTrash()
{
    const QString name = m_list->fileName();
    if (name.isEmpty())
        return;
    if (m_platform.question(m_window, tr("Move %1 to the Trash?").arg(name), kTitle) == Answer::No)
        return;
    // Without the data folder Qt 6.4 "trashes" into ./files, inside the spray folder.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    const int row = m_list->indexOf(name).row();
    QString inTrash;
    const QString path = QDir(m_list->directory()).filePath(name);
    if (!QFile::moveToTrash(path, &inTrash) || QFileInfo::exists(path)) {
        report(tr("Could not move %1 to the Trash.").arg(name));
        return;
    }
    m_list->refresh();
    m_list->selectRowNear(row);
    emit sprayFolderChanged();
}

bool SprayListActions::openFolder(const QString &path)
{
    if (QDir().mkpath(path) && m_platform.openFolder(path))
        return true;
    report(tr("Could not open the folder %1.").arg(QDir::toNativeSeparators(path)));
    return false;
}

void SprayListActions::openSprayFolder()
{
    openFolder(m_list->directory());
}

void SprayListActions::openReplacedFolder()
{
    openFolder(replacedSprayFolder());
}

void SprayListActions::makeSprayFromImage()
{
    // The spray maker asks for its own picture when given none.
    emit makeSprayRequested(QString());
}

void SprayListActions::showSeenSprays()
{
    if (!m_mods)
        return;
    SeenSpraysWindow *window =
        tagswap::showSeenSprays(m_platform, SettingsStore::read(settings::HLDir),
                                m_mods->currentText(), m_list->directory(), m_window);
    connect(window, &SeenSpraysWindow::added, this, &SprayListActions::refreshAndSelect);
    connect(window, &SeenSpraysWindow::renameRequested, this, &SprayListActions::renameInList);
}

void SprayListActions::renameInList(const QString &name)
{
    if (!m_list->select(name)) {
        report(tr("%1 is no longer in the spray folder.").arg(name));
        return;
    }
    // The name is edited where every spray is renamed, in the list.
    m_window->activateWindow();
    m_list->setFocus(Qt::OtherFocusReason);
    startRename();
}

void SprayListActions::installInSeveralMods()
{
    const QString spray = selectedPath();
    if (!m_mods || spray.isEmpty())
        return;
    const SteamGames steam = findSteamGames();
    SeveralModsWindow *window = showSeveralMods(m_platform,
                                                {spray,
                                                 m_list->directory(),
                                                 SettingsStore::read(settings::HLDir),
                                                 m_mods->currentText(),
                                                 {steam.halfLife, steam.svenCoop},
                                                 m_gameFilesInUse},
                                                m_window);
    connect(window, &SeveralModsWindow::installed, this, &SprayListActions::modSpraysChanged);
}

void SprayListActions::checkSprayInGame()
{
    if (m_mods)
        showSprayCheck(m_platform, SettingsStore::read(settings::HLDir), m_mods->currentText(),
                       m_list->directory(), m_window);
}

void SprayListActions::addFiles(const QStringList &paths)
{
    QString lastAdded;
    QStringList problems;
    bool makerOpened = false;
    for (const QString &path : paths) {
        const QString name = QFileInfo(path).fileName();
        if (isImageName(name) && canMakeSprays() && makerOpened) {
            // One spray maker for a drop, not a window for each picture in it.
            problems
                << tr("%1 was not opened: the spray maker takes one picture at a time.").arg(name);
        } else if (isImageName(name) && canMakeSprays()) {
            emit makeSprayRequested(path);
            makerOpened = true;
        } else if (isImageName(name)) {
            problems << tr("%1 is a picture; Tagswap cannot make a spray from it yet.").arg(name);
        } else if (!isSprayName(name) || !QFileInfo(path).isFile()) {
            problems << tr("%1 is not a spray file (*.wad).").arg(name);
        } else {
            addSpray(path, &lastAdded, &problems);
        }
    }
    refreshAndSelect(lastAdded);
    if (!problems.isEmpty())
        report(problems.join(QStringLiteral("\r\n")));
}

// Copies one dropped spray into the folder, whole or not at all.
bool SprayListActions::addSpray(const QString &source, QString *added, QStringList *problems)
{
    const QString name = QFileInfo(source).fileName();
    const QString destination = QDir(m_list->directory()).filePath(name);
    const QFileInfo there(destination);
    if (there.exists() && there.canonicalFilePath() == QFileInfo(source).canonicalFilePath()) {
        *added = name; // already in the folder
        return true;
    }
    if (there.exists()
        && m_platform.question(m_window,
                               tr("There is already a spray named %1. Replace it with the "
                                  "one dropped?")
                                   .arg(name),
                               kTitle)
               == Answer::No)
        return false;
    QString reason;
    if (!replaceWithCopy(source, destination, &reason)) {
        *problems << tr("Could not copy %1: %2").arg(name, reason);
        return false;
    }
    *added = name;
    return true;
}

void SprayListActions::refreshAndSelect(const QString &name)
{
    m_list->refresh();
    if (!name.isEmpty())
        m_list->select(name);
    emit sprayFolderChanged();
}

} // namespace tagswap
