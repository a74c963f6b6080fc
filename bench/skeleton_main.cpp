// The floor for Tagswap's main window: the same toolkit set-up, the same
// window and the same controls at the same places, but nothing that touches a
// file, a folder or the settings store. Whatever the real program costs beyond
// this is what its own start-up work costs.
//
// The application set-up and the placement of the controls are the product's
// own functions; the controls themselves are made here as frm_main.cpp makes
// them, so a change to how that window is built belongs here too.

#include "application_setup.h"
#include "classic_font.h"
#include "control_placement.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

namespace {

QPushButton *makeButton(const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setAutoDefault(true);
    return button;
}

void useButtonFaceBackground(QWidget *widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    widget->setPalette(palette);
}

} // namespace

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

    QWidget window(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                                | Qt::WindowCloseButtonHint);
    window.setObjectName(QStringLiteral("frmMain"));
    window.setWindowTitle(QStringLiteral("Tagswap Beta"));
    window.setFont(tagswap::classicFont());

    // Configured as the product's list; left empty it is the floor however
    // many sprays the product finds.
    auto *flbFiles = new QListWidget(&window);
    flbFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    flbFiles->setUniformItemSizes(true);
    flbFiles->addItems(names);
    auto *cmdChange = makeButton(QStringLiteral("Change"), &window);
    auto *cmdSettings = makeButton(QStringLiteral("Settings"), &window);
    auto *cmdAbout = makeButton(QStringLiteral("About"), &window);
    auto *cmdHelp = makeButton(QStringLiteral("Help"), &window);
    auto *cmdExit = makeButton(QStringLiteral("Exit"), &window);
    auto *cmbMod = new QComboBox(&window);
    auto *cmdRefresh = makeButton(QStringLiteral("Refresh"), &window);
    cmdChange->setDefault(true);
    cmdChange->setFont(tagswap::classicFont(true));
    useButtonFaceBackground(flbFiles);
    useButtonFaceBackground(cmbMod);

    tagswap::placeInTabOrder({
        {flbFiles, "flbFiles", {120, 120, 1815, 3210}},
        {cmdChange, "cmdChange", {2040, 120, 975, 495}},
        {cmdSettings, "cmdSettings", {2040, 1560, 975, 315}},
        {cmdAbout, "cmdAbout", {2040, 2040, 975, 315}},
        {cmdHelp, "cmdHelp", {2040, 2520, 975, 315}},
        {cmdExit, "cmdExit", {2040, 3000, 975, 315}},
        {cmbMod, "cmbMod", {2040, 1020, 975, 315}},
        {cmdRefresh, "cmdRefresh", {2040, 660, 975, 315}},
    });
    window.setFixedSize(tagswap::twipsToPixels(3135), tagswap::twipsToPixels(3465));
    flbFiles->setFocus(Qt::OtherFocusReason);

    // What the product shows when it has no mod list to read, so the box is
    // drawn with text without reading one.
    cmbMod->addItem(QStringLiteral("valve"));
    cmbMod->setCurrentIndex(0);

    window.show();
    return QApplication::exec();
}
