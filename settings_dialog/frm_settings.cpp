#include "frm_settings.h"

#include "classic_font.h"
#include "control_placement.h"
#include "game_paths.h"
#include "platform.h"
#include "settings_store.h"
#include "steam_search.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <limits>

namespace tagswap {

namespace {

QString browseText()
{
    return joinLines({
        QStringLiteral("A browse feature here seemed useless to me, because you only have to set "
                       "this once. It would just make file size larger. If you REALLY think it's "
                       "necessary to have a browse feature here, e-mail me. Personally, I think "
                       "you'll be able to handle typing in the directory to Half-Life just once."),
        QStringLiteral("tagswap@users.noreply.invalid"),
    });
}

QString notAGameDirectoryText(const QString &directory)
{
    return joinLines({
        QStringLiteral("Error: Not a valid Half-Life directory."),
        QStringLiteral("Reason: ") + gameProgramMissing(directory),
        QString(),
        QStringLiteral("Please check your typing, or make sure that is the correct Half-Life "
                       "directory. If that is your Half-Life directory for sure, and Half-Life is "
                       "open, close it and try again."),
    });
}

QPushButton *makeButton(const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    // Neither button is pressed by Enter.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

frmSettings::frmSettings(Platform &platform, QWidget *owner)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_platform(platform)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);
    setFont(classicFont());
    createControls();
    placeControls();
    connect(cmdBrowse, &QPushButton::clicked, this, &frmSettings::cmdBrowse_Click);
    connect(cmdOk, &QPushButton::clicked, this, &frmSettings::cmdOk_Click);
}

void frmSettings::createControls()
{
    txtHalfLife = new QLineEdit(QStringLiteral("C:\\SIERRA\\Half-Life"), this);
    txtHalfLife->setMaxLength(std::numeric_limits<int>::max());
    QPalette palette = txtHalfLife->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    txtHalfLife->setPalette(palette);
    lblHalfLife = new QLabel(QStringLiteral("Half-Life directory:"), this);
    cmdBrowse = makeButton(QStringLiteral("..."), this);
    cmdOk = makeButton(QStringLiteral("OK"), this);
}

void frmSettings::placeControls()
{
    // In tab order; the label takes no focus.
    placeInTabOrder({
        {txtHalfLife, "txtHalfLife", {120, 360, 3255, 285}},
        {lblHalfLife, "lblHalfLife", {120, 120, 1335, 255}},
        {cmdBrowse, "cmdBrowse", {3450, 360, 285, 285}},
        {cmdOk, "cmdOk", {2880, 720, 855, 255}},
    });
    setFixedSize(twipsToPixels(3855), twipsToPixels(1095));
    txtHalfLife->setFocus(Qt::OtherFocusReason);
}

void frmSettings::showEvent(QShowEvent *event)
{
    // Always at the screen's top-left corner, wherever the main window stands.
    const QScreen *where = screen();
    if (where)
        move(where->geometry().topLeft());
    QDialog::showEvent(event);
}

void frmSettings::Form_Load()
{
    const QString stored = SettingsStore::read(settings::HLDir);
    if (!stored.isEmpty()) {
        txtHalfLife->setText(stored);
        return;
    }
    // Nothing stored yet: the game of the player's Steam, if it has one.
    if (const QString found = findSteamGames().preferred(); !found.isEmpty())
        txtHalfLife->setText(found);
}

void frmSettings::cmdBrowse_Click()
{
    m_platform.messageBox(this, browseText(), MsgBoxStyle::Information, QStringLiteral("Browse"));
}

void frmSettings::cmdOk_Click()
{
    removeOneTrailingSeparator();
    const QString directory = txtHalfLife->text();
    if (!holdsGameProgram(directory)) {
        rejectDirectory();
        return;
    }
    QString reason;
    if (!SettingsStore::save(settings::HLDir, directory, &reason)) {
        // Closing now would tell the player the directory was kept when it was not.
        m_platform.messageBox(this,
                              joinLines({tr("Error: The Half-Life directory could not be saved."),
                                         tr("Reason: %1").arg(reason)}),
                              MsgBoxStyle::Critical, QStringLiteral("Error"));
        return;
    }
    accept();
}

void frmSettings::removeOneTrailingSeparator()
{
    const QString text = txtHalfLife->text();
    const QString shortened = withoutTrailingSeparator(text);
    if (shortened != text)
        txtHalfLife->setText(shortened);
}

void frmSettings::rejectDirectory()
{
    m_platform.messageBox(this, notAGameDirectoryText(txtHalfLife->text()), MsgBoxStyle::Critical,
                          QStringLiteral("Error"));
}

void frmSettings::keyPressEvent(QKeyEvent *event)
{
    // Esc does not close this dialog; only OK or the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tagswap
