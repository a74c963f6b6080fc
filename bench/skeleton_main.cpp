// The floor for Tagswap's main window: the same toolkit set-up, the same
// window and the same controls at the same places, but nothing that touches a
// file, a folder or the settings store. Whatever the real program costs beyond
// this is what its own start-up work costs.
//
// Kept in step with app/main.cpp and main_window/frm_main.cpp by hand; if
// either changes how the window is made, change this too or the comparison
// drifts.

#include "classic_font.h"
#include "twips.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QIcon>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

namespace {

#if defined(TAGSWAP_APP_ID) && !defined(Q_OS_WIN)
// Compiled-in resources, not the file system: the same icon, found the same way.
QIcon programIcon()
{
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icon"));
    for (const QString &file : sizes.entryList(QDir::Files))
        icon.addFile(sizes.filePath(file));
    return icon;
}
#endif

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
    QApplication::setApplicationName(QStringLiteral("Tagswap"));
    QApplication::setApplicationVersion(QStringLiteral(TAGSWAP_VERSION));
#ifdef TAGSWAP_APP_ID
#ifndef Q_OS_WIN
    QApplication::setWindowIcon(programIcon());
#endif
    QGuiApplication::setDesktopFileName(QStringLiteral(TAGSWAP_APP_ID));
#endif
    QApplication::setQuitOnLastWindowClosed(false);

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

    struct Placement {
        QWidget *control;
        const char *name;
        tagswap::TwipsRect rect;
    };
    const Placement placements[] = {
        {flbFiles, "flbFiles", {120, 120, 1815, 3210}},
        {cmdChange, "cmdChange", {2040, 120, 975, 495}},
        {cmdSettings, "cmdSettings", {2040, 1560, 975, 315}},
        {cmdAbout, "cmdAbout", {2040, 2040, 975, 315}},
        {cmdHelp, "cmdHelp", {2040, 2520, 975, 315}},
        {cmdExit, "cmdExit", {2040, 3000, 975, 315}},
        {cmbMod, "cmbMod", {2040, 1020, 975, 315}},
        {cmdRefresh, "cmdRefresh", {2040, 660, 975, 315}},
    };
    QWidget *previous = nullptr;
    for (const Placement &p : placements) {
        p.control->setObjectName(QLatin1StringView(p.name));
        p.control->setGeometry(p.rect.toPixels());
        if (previous)
            QWidget::setTabOrder(previous, p.control);
        previous = p.control;
    }
    window.setFixedSize(tagswap::twipsToPixels(3135), tagswap::twipsToPixels(3465));
    flbFiles->setFocus(Qt::OtherFocusReason);

    // What the product shows when it has no mod list to read, so the box is
    // drawn with text without reading one.
    cmbMod->addItem(QStringLiteral("valve"));
    cmbMod->setCurrentIndex(0);

    window.show();
    return QApplication::exec();
}
