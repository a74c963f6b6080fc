#include "spray_maker.h"

#include "file_replace.h"
#include "game_view.h"
#include "picture_reader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cmath>

namespace spray {
namespace {

// How many source pixels per spray pixel the decoder should at least deliver.
constexpr int kDecodeOversampling = 3;

QString tr(const char *text)
{
    return QCoreApplication::translate("spray", text);
}

std::nullopt_t fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return std::nullopt;
}

QRectF scaledSource(const Placement &placement, QSize nominal, QSize decoded)
{
    const double sx = double(decoded.width()) / nominal.width();
    const double sy = double(decoded.height()) / nominal.height();
    const QRectF s = placement.source;
    return QRectF(s.x() * sx, s.y() * sy, s.width() * sx, s.height() * sy);
}

InkSource inkSource(const SprayOptions &options, const QImage &image)
{
    switch (options.ink) {
    case InkChoice::Alpha:
        return InkSource::Alpha;
    case InkChoice::Darkness:
        return InkSource::Darkness;
    case InkChoice::Automatic:
        break;
    }
    return hasTransparency(image) ? InkSource::Alpha : InkSource::Darkness;
}

} // namespace

QSize decodeSizeFor(const Placement &placement, QSize imageSize)
{
    const double wanted = kDecodeOversampling;
    const double sx = wanted * placement.target.width() / placement.source.width();
    const double sy = wanted * placement.target.height() / placement.source.height();
    const double scale = std::min(1.0, std::max(sx, sy));
    return QSize(int(std::ceil(imageSize.width() * scale)),
                 int(std::ceil(imageSize.height() * scale)));
}

std::optional<decal::Decal> makeSpray(const LoadedImage &image, const SprayOptions &options,
                                      QString *error)
{
    if (image.image.isNull() || image.size.isEmpty())
        return fail(error, tr("The image is empty."));
    const auto placement = place(image.size, options.size, options.fit, error);
    if (!placement)
        return std::nullopt;
    const LinearImage content =
        scaled(image.image, scaledSource(*placement, image.size, image.image.size()),
               placement->target.size(), options.scaler);
    LinearImage canvas(placement->canvas.width(), placement->canvas.height());
    paste(canvas, content, placement->target.topLeft());
    const MipChain mips = mipChain(canvas);
    std::optional<decal::Decal> spray;
    if (options.oneColour) {
        spray = oneColour(canvas, mips, *options.oneColour, inkSource(options, image.image));
    } else {
        const int threshold = std::clamp(options.alphaThresholdPercent, 0, 100);
        spray = quantize(canvas, mips,
                         PaletteOptions{options.dither, threshold, options.quickPalette}, error);
    }
    if (spray && options.gameGamma)
        cancelGameGamma(*spray);
    return spray;
}

void cancelGameGamma(decal::Decal &spray)
{
    // The nearest stored value for each shown one, found through the game's own curve.
    static const std::array<int, 256> stored = [] {
        std::array<int, 256> best{};
        for (int shown = 0; shown < 256; ++shown) {
            for (int c = 0; c < 256; ++c) {
                if (std::abs(decal::gameChannel(c) - shown)
                    < std::abs(decal::gameChannel(best[size_t(shown)]) - shown))
                    best[size_t(shown)] = c;
            }
        }
        return best;
    }();
    const auto darken = [&](QRgb &c) {
        c = qRgb(stored[size_t(qRed(c))], stored[size_t(qGreen(c))], stored[size_t(qBlue(c))]);
    };
    // A colour spray's last entry is the transparent key; a logo's only colour is its ink there.
    if (!spray.isColourSpray()) {
        darken(spray.palette[decal::kTransparentIndex]);
        return;
    }
    for (size_t i = 0; i < size_t(decal::kTransparentIndex); ++i)
        darken(spray.palette[i]);
}

std::optional<decal::Decal> makeSprayFromFile(const QString &path, const SprayOptions &options,
                                              QString *error)
{
    const auto image =
        readPicture(path, PictureNeed{options.frame, options.size, options.fit}, error);
    if (!image)
        return std::nullopt;
    return makeSpray(*image, options, error);
}

QByteArray sprayFileBytes(const decal::Decal &decal, QString *error)
{
    QByteArray bytes = decal::encode(decal, error);
    if (bytes.isEmpty())
        return {};
    if (const QString refusal = decal::gameRefusal(bytes); !refusal.isEmpty()) {
        fail(error, refusal);
        return {};
    }
    return bytes;
}

bool writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QString reason;
    if (tagswap::writeFileWhole(path, bytes, &reason))
        return true;
    fail(error, tr("%1 could not be written: %2").arg(QFileInfo(path).fileName(), reason));
    return false;
}

std::optional<QRgb> parseInk(const QString &text, QString *error)
{
    static const QRegularExpression pattern(QStringLiteral("^#?([0-9a-fA-F]{6})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return fail(error,
                    tr("The colour is RRGGBB in hexadecimal, not \"%1\".").arg(text.left(40)));
    return QRgb(0xff000000u | match.captured(1).toUInt(nullptr, 16));
}

} // namespace spray
