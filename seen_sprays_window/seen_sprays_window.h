#pragma once

#include "seen_sprays.h"

#include <QDialog>

class QLabel;
class QListView;
class QPushButton;

namespace tagswap {

class Platform;
class SeenSprayList;

// "Sprays seen in game": the sprays one mod's caches hold, each drawn as the
// game shows it with its size and kind, those already in the spray folder
// marked. Add to my sprays copies the chosen ones into the spray folder.
class SeenSpraysWindow : public QDialog {
    Q_OBJECT
public:
    SeenSpraysWindow(Platform &platform, const QString &gameDirectory, const QString &mod,
                     const QString &sprayFolder, QWidget *parent = nullptr);

    // The one message box that names each damaged cache and what is wrong with it.
    void reportFaults();

public slots:
    void addSelected();

signals:
    // The chosen sprays are in the spray folder now; name is the one to choose there.
    void added(const QString &name);
    // The player asks to rename name, a spray this window wrote into the spray folder.
    void renameRequested(const QString &name);

private:
    void buildControls(const QString &mod);
    QString summary(const QString &mod) const;
    void updateAddButton();
    void showWritten(const QStringList &names);

    Platform &m_platform;
    QString m_gameDirectory;
    QString m_sprayFolder;
    QStringList m_gameSprayFiles; // no copy of a spray: the next Change replaces them
    seen::ModCaches m_caches;
    int m_scale = 1; // screen pixels a side for each spray pixel, the same for every spray
    SeenSprayList *m_model = nullptr;
    QListView *m_list = nullptr;
    QPushButton *m_add = nullptr;
    QLabel *m_written = nullptr;
    QPushButton *m_rename = nullptr;
};

// Opens the window beside parent, not modal, and reports damaged caches once it shows.
SeenSpraysWindow *showSeenSprays(Platform &platform, const QString &gameDirectory,
                                 const QString &mod, const QString &sprayFolder, QWidget *parent);

} // namespace tagswap
