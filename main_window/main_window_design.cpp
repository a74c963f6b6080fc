#include "main_window_design.h"

#include "classic_font.h"
#include "control_placement.h"

#include <QComboBox>
#include <QListView>
#include <QPushButton>

namespace tagswap {

namespace {

QPushButton *makeButton(const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    // Enter presses the focused button, as it does on the classic desktop.
    button->setAutoDefault(true);
    return button;
}

// The list and the mod box sit on the button-face colour.
void useButtonFaceBackground(QWidget *widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    widget->setPalette(palette);
}

} // namespace

Qt::WindowFlags mainWindowFlags()
{
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
}

MainWindowControls buildMainWindow(QWidget *window, QListView *sprayList)
{
    window->setObjectName(QStringLiteral("frmMain"));
    window->setWindowTitle(QStringLiteral("Tagswap Beta"));
    window->setFont(classicFont());

    const MainWindowControls c{
        makeButton(QStringLiteral("Change"), window),
        makeButton(QStringLiteral("Settings"), window),
        makeButton(QStringLiteral("About"), window),
        makeButton(QStringLiteral("Help"), window),
        makeButton(QStringLiteral("Exit"), window),
        new QComboBox(window),
        makeButton(QStringLiteral("Refresh"), window),
    };
    c.cmdChange->setDefault(true);
    c.cmdChange->setFont(classicFont(true));
    useButtonFaceBackground(sprayList);
    useButtonFaceBackground(c.cmbMod);

    // In tab order.
    placeInTabOrder({
        {sprayList, "flbFiles", {120, 120, 1815, 3210}},
        {c.cmdChange, "cmdChange", {2040, 120, 975, 495}},
        {c.cmdSettings, "cmdSettings", {2040, 1560, 975, 315}},
        {c.cmdAbout, "cmdAbout", {2040, 2040, 975, 315}},
        {c.cmdHelp, "cmdHelp", {2040, 2520, 975, 315}},
        {c.cmdExit, "cmdExit", {2040, 3000, 975, 315}},
        {c.cmbMod, "cmbMod", {2040, 1020, 975, 315}},
        {c.cmdRefresh, "cmdRefresh", {2040, 660, 975, 315}},
    });
    window->setFixedSize(twipsToPixels(3135), twipsToPixels(3465));
    sprayList->setFocus(Qt::OtherFocusReason);
    return c;
}

} // namespace tagswap
