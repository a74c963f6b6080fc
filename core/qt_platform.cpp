#include "qt_platform.h"

#include "spawner.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace tagswap {

namespace {
// The texts keep Windows line ends; a label wants plain ones.
QString withPlainLineEnds(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QMessageBox::Icon iconFor(MsgBoxStyle style)
{
    switch (style) {
    case MsgBoxStyle::Critical:
        return QMessageBox::Critical;
    case MsgBoxStyle::Exclamation:
        return QMessageBox::Warning;
    case MsgBoxStyle::Information:
        break;
    }
    return QMessageBox::Information;
}
} // namespace

void QtPlatform::messageBox(QWidget *owner, const QString &text, MsgBoxStyle style,
                            const QString &title)
{
    QMessageBox box(iconFor(style), title, withPlainLineEnds(text), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

Answer QtPlatform::question(QWidget *owner, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Warning, title, withPlainLineEnds(text),
                    QMessageBox::Yes | QMessageBox::No, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

bool QtPlatform::openFolder(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtPlatform::startProgram(const ProgramLaunch &launch, QString *error)
{
    return spawnDetached(launch, error);
}

void QtPlatform::endProgram()
{
    QCoreApplication::exit(0);
}

} // namespace tagswap
