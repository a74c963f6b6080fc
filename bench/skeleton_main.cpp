// The floor for Tagswap's main window: the same toolkit set-up, the same
// window and the same controls at the same places, but nothing that touches a
// file, a folder or the settings store, and no icon. Whatever the real program
// costs beyond this is what its own start-up work costs, its icon included.
//
// The application set-up and the window's design are the product's own
// functions, so the skeleton cannot drift from what it stands in for.

#include "application_setup.h"
#include "main_window_design.h"

#include <QApplication>
#include <QComboBox>
#include <QListView>
#include <QStringListModel>
#include <QWidget>

// tagswap_skeleton [--mod NAME]... [--] [SPRAY NAME]...
// The mods and names are shown as the product would show what it reads from
// mods.txt and the folder, so both windows draw the same texts.
int main(int argc, char *argv[])
{
    QStringList names;
    QStringList mods;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (options && argument == u"--") {
            options = false;
        } else if (options && argument == u"--mod" && i + 1 < argc) {
            mods.append(QString::fromLocal8Bit(argv[++i]));
        } else {
            names.append(argument);
        }
    }
    // What the product shows when it has no mod list to read.
    if (mods.isEmpty())
        mods.append(QStringLiteral("valve"));
    // Same as the product: Qt sees no arguments.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    tagswap::setUpApplication(TAGSWAP_VERSION, TAGSWAP_APP_ID);

    QWidget window(nullptr, tagswap::mainWindowFlags());
    // Configured as the product's list; left empty it is the floor however
    // many sprays the product finds.
    auto *flbFiles = new QListView(&window);
    flbFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    flbFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    flbFiles->setUniformItemSizes(true);
    QStringListModel model(names);
    flbFiles->setModel(&model);
    QComboBox *cmbMod = tagswap::buildMainWindow(&window, flbFiles).cmbMod;

    cmbMod->addItems(mods);
    cmbMod->setCurrentIndex(0);

    window.show();
    return QApplication::exec();
}
