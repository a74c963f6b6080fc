#include "application_setup.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QResource>

namespace tagswap {

void setUpApplication(const char *version, const char *desktopId)
{
    QApplication::setApplicationName(QStringLiteral("Tagswap"));
    QApplication::setApplicationVersion(QString::fromLatin1(version));
    // Lets a Wayland desktop find the menu entry, and with it the icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(desktopId));
    // The program ends only when its main window is unloaded.
    QApplication::setQuitOnLastWindowClosed(false);
}

void setProgramIcon()
{
    // Windows gives every window the .ico of the executable already.
#ifndef Q_OS_WIN
    // The pixels are stored as they are drawn: decoding a picture asks Qt for a decoder,
    // which loads the metadata of every image format plugin there is, and QIcon::addFile
    // loads the plugins themselves (QtSvg, libtiff, libwebp, libmng, libjpeg).
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icon"));
    for (const QString &name : sizes.entryList(QDir::Files)) {
        // Compiled in uncompressed: the bytes are used where they lie.
        const QByteArray pixels = QResource(sizes.filePath(name)).uncompressedData();
        const int side = QFileInfo(name).completeBaseName().toInt();
        if (side <= 0 || pixels.size() != qsizetype(side) * side * 4)
            continue;
        const QImage image(reinterpret_cast<const uchar *>(pixels.constData()), side, side,
                           QImage::Format_ARGB32_Premultiplied);
        // The pixmap takes a copy; the image only lends it the bytes.
        icon.addPixmap(QPixmap::fromImage(image.copy()));
    }
    QApplication::setWindowIcon(icon);
#endif
}

} // namespace tagswap
