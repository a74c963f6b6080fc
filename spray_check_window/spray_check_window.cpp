#include "spray_check_window.h"

#include "game_paths.h"
#include "platform.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tagswap {

namespace {

constexpr SprayCheck kChecks[] = {SprayCheck::Installed, SprayCheck::NotReplaced,
                                  SprayCheck::Guarded, SprayCheck::UploadsAndDownloads,
                                  SprayCheck::GameNotRunning};
constexpr int kMarkSide = 24;

QStyle::StandardPixmap markOf(CheckResult result)
{
    switch (result) {
    case CheckResult::Passed:
        return QStyle::SP_DialogApplyButton;
    case CheckResult::Failed:
        return QStyle::SP_MessageBoxCritical;
    case CheckResult::Unknown:
        break;
    }
    return QStyle::SP_MessageBoxQuestion;
}

// What the mark says to a screen reader, and to the tests.
QString markName(CheckResult result)
{
    switch (result) {
    case CheckResult::Passed:
        return SprayCheckWindow::tr("Passed");
    case CheckResult::Failed:
        return SprayCheckWindow::tr("Failed");
    case CheckResult::Unknown:
        break;
    }
    return SprayCheckWindow::tr("Could not be checked");
}

QLabel *wrappedLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

SprayCheckWindow::SprayCheckWindow(Platform &platform, SprayCheckRequest request, QWidget *parent)
    : QDialog(parent), m_platform(platform), m_request(std::move(request))
{
    setObjectName(QStringLiteral("sprayCheck"));
    setWindowTitle(tr("Check the spray in game"));
    buildControls();
    checkAgain();
    // As tall as the sentences found need at this width.
    constexpr int kWidth = 600;
    resize(kWidth, heightForWidth(kWidth));
}

void SprayCheckWindow::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    const bool known = !m_request.gameDirectory.isEmpty();
    auto *intro = wrappedLabel(
        known ? tr("Why the spray of %1 may not show in game, checked as the game reads it.")
                    .arg(m_request.mod)
              : tr("Tagswap does not know where the game is: set the Half-Life directory in "
                   "Settings first."),
        this);
    intro->setObjectName(QStringLiteral("intro"));
    if (known)
        intro->setToolTip(
            QDir::toNativeSeparators(m_request.gameDirectory + QDir::separator() + m_request.mod));
    layout->addWidget(intro);
    layout->addSpacing(6);

    // Without a game there is nothing to check, and nothing to check again.
    auto *rows = new QWidget(this);
    rows->setHidden(!known);
    auto *grid = new QGridLayout(rows);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(10);
    for (const SprayCheck check : kChecks)
        addRow(check, grid);
    layout->addWidget(rows);
    layout->addStretch(1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *again = buttons->addButton(tr("Check again"), QDialogButtonBox::ActionRole);
    again->setObjectName(QStringLiteral("checkAgain"));
    connect(again, &QPushButton::clicked, this, &SprayCheckWindow::checkAgain);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    again->setHidden(!known);
}

void SprayCheckWindow::addRow(SprayCheck check, QGridLayout *grid)
{
    const int row = grid->rowCount();
    QWidget *rows = grid->parentWidget();
    auto *mark = new QLabel(rows);
    mark->setObjectName(QStringLiteral("mark-") + checkKey(check));
    mark->setFixedSize(kMarkSide, kMarkSide);
    grid->addWidget(mark, row, 0, 2, 1, Qt::AlignTop);

    auto *name = new QLabel(checkName(check), rows);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    grid->addWidget(name, row, 1);

    auto *detail = wrappedLabel(QString(), rows);
    detail->setObjectName(QStringLiteral("detail-") + checkKey(check));
    detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(detail, row + 1, 1);
    m_rows.append(Row{mark, detail});

    if (check != SprayCheck::Guarded)
        return;
    m_setGuard = new QPushButton(tr("Set the guard"), rows);
    m_setGuard->setObjectName(QStringLiteral("setGuard"));
    connect(m_setGuard, &QPushButton::clicked, this, &SprayCheckWindow::setGuard);
    grid->addWidget(m_setGuard, row, 2, 2, 1, Qt::AlignTop);
}

void SprayCheckWindow::checkAgain()
{
    if (m_request.gameDirectory.isEmpty())
        return;
    for (const CheckOutcome &outcome : checkSpray(m_request))
        showOutcome(outcome);
}

void SprayCheckWindow::showOutcome(const CheckOutcome &outcome)
{
    const Row &row = m_rows.at(qsizetype(outcome.check));
    row.mark->setPixmap(style()->standardIcon(markOf(outcome.result)).pixmap(kMarkSide));
    row.mark->setAccessibleName(markName(outcome.result));
    row.mark->setToolTip(markName(outcome.result));
    row.detail->setText(outcome.detail);
    if (outcome.check == SprayCheck::Guarded)
        m_setGuard->setVisible(outcome.result == CheckResult::Failed);
}

void SprayCheckWindow::setGuard()
{
    QString reason;
    if (!setSprayGuard(m_request.gameDirectory, m_request.mod, &reason)) {
        const QString tempdecal =
            sprayDestination(m_request.gameDirectory, m_request.mod, SprayFile::TempDecal);
        m_platform.messageBox(
            this,
            joinLines({tr("Could not make %1 read-only.").arg(QDir::toNativeSeparators(tempdecal)),
                       tr("Reason: %1").arg(reason)}),
            MsgBoxStyle::Exclamation, QStringLiteral("Tagswap"));
    }
    checkAgain();
}

SprayCheckWindow *showSprayCheck(Platform &platform, const QString &gameDirectory,
                                 const QString &mod, const QString &sprayFolder, QWidget *parent)
{
    SprayCheckRequest request;
    request.gameDirectory = gameDirectory;
    request.mod = mod;
    request.sprayFolder = sprayFolder;
    auto *window = new SprayCheckWindow(platform, std::move(request), parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

} // namespace tagswap
