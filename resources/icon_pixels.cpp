// Turns one of the program's icon PNGs into the raw pixels Tagswap puts on its
// windows, at build time: read at start as they are, they need no picture
// decoder, and asking Qt for one costs a look through every image format
// plugin (core/application_setup.cpp).
//
//   tagswap_icon_pixels IN.png OUT.argb
//
// OUT holds the pixels row after row, each a 32-bit premultiplied ARGB value in
// the byte order of the machine that builds (the machine Tagswap runs on).

#include <QFile>
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tagswap_icon_pixels IN.png OUT.argb\n");
        return 2;
    }
    const QImage picture = QImage(QString::fromLocal8Bit(argv[1]))
                               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) {
        std::fprintf(stderr, "tagswap_icon_pixels: %s cannot be read\n", argv[1]);
        return 1;
    }
    QFile out(QString::fromLocal8Bit(argv[2]));
    const auto *pixels = reinterpret_cast<const char *>(picture.constBits());
    if (!out.open(QIODevice::WriteOnly)
        || out.write(pixels, picture.sizeInBytes()) != picture.sizeInBytes()) {
        std::fprintf(stderr, "tagswap_icon_pixels: %s cannot be written\n", argv[2]);
        return 1;
    }
    return 0;
}
