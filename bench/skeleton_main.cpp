// The floor for Tagswap's main window: the same toolkit set-up, the same
// window and the same controls at the same places, but nothing that touches a
// file, a folder or the settings store. Whatever the real program costs beyond
// this is what its own start-up work costs.
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

int main(int argc, char *argv[])
{
    // Names given on the command line are listed as if found on disk: showing
    // any item at all costs the toolkit text layout before the window maps,
    // and this separates that cost from the cost of finding the files.
    QStringList names;
    for (int i = 1; i < argc; ++i)
        names.append(QString::fromLocal8Bit(argv[i]));
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

    // What the product shows when it has no mod list to read, so the box is
    // drawn with text without reading one.
    cmbMod->addItem(QStringLiteral("valve"));
    cmbMod->setCurrentIndex(0);

    window.show();
    return QApplication::exec();
}
