#include "canvas_size.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace spray {
namespace {

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

int roundUpToBlock(double side)
{
    // The tolerance keeps a side computed as exactly 112 from becoming 128.
    const int blocks = int(std::ceil(side / kBlockSide - 1e-9));
    return std::max(1, blocks) * kBlockSide;
}

bool fitsBudget(QSize canvas, int maxBlocks)
{
    return canvas.width() <= kMaxCanvasSide && canvas.height() <= kMaxCanvasSide
           && canvas.width() * canvas.height() <= maxBlocks * kBlockSide * kBlockSide;
}

// The canvas that shows the image largest at its own aspect ratio; among equals the
// one with the least empty margin. A small picture gets the canvas a large one of its
// shape would: it is enlarged to fill it.
QSize largestCanvas(QSize image, int maxBlocks)
{
    const double w = image.width();
    const double h = image.height();
    QSize best;
    double bestShown = -1;
    for (int cw = kBlockSide; cw <= kMaxCanvasSide; cw += kBlockSide) {
        for (int ch = kBlockSide;
             cw * ch <= maxBlocks * kBlockSide * kBlockSide && ch <= kMaxCanvasSide;
             ch += kBlockSide) {
            const double scale = std::min(cw / w, ch / h);
            const QSize trimmed(roundUpToBlock(w * scale), roundUpToBlock(h * scale));
            const double shown = w * scale * h * scale;
            const bool smaller = trimmed.width() * trimmed.height() < best.width() * best.height();
            if (shown > bestShown * (1 + 1e-9) || (shown >= bestShown * (1 - 1e-9) && smaller)) {
                best = trimmed;
                bestShown = shown;
            }
        }
    }
    return best;
}

std::optional<QSize> checkedExact(QSize size, QString *error)
{
    const auto badSide = [](int side) {
        return side < kBlockSide || side > kMaxCanvasSide || side % kBlockSide != 0;
    };
    if (badSide(size.width()) || badSide(size.height()))
        return fail(error, tr("A spray's sides are multiples of 16 from 16 to 256, not %1x%2.")
                               .arg(size.width())
                               .arg(size.height()));
    if (!fitsBudget(size, kLargestBlocks))
        return fail(error, tr("The game refuses a %1x%2 spray: it holds at most %3 blocks of "
                              "16x16 pixels, such as 112x128.")
                               .arg(size.width())
                               .arg(size.height())
                               .arg(kLargestBlocks));
    return size;
}

QRect centred(QSize canvas, QSize content)
{
    return QRect(
        QPoint((canvas.width() - content.width()) / 2, (canvas.height() - content.height()) / 2),
        content);
}

int atLeastOne(double side)
{
    return std::max(1, int(std::lround(side)));
}

Placement arrange(QSize image, QSize canvas, Fit fit)
{
    const double w = image.width();
    const double h = image.height();
    const QRectF whole(0, 0, w, h);
    switch (fit) {
    case Fit::Stretch:
        return {canvas, whole, QRect(QPoint(), canvas)};
    case Fit::Fill: {
        const double scale = std::max(canvas.width() / w, canvas.height() / h);
        const QSizeF shown(std::min(w, canvas.width() / scale),
                           std::min(h, canvas.height() / scale));
        const QRectF source(QPointF((w - shown.width()) / 2, (h - shown.height()) / 2), shown);
        const QSize content(std::min(canvas.width(), atLeastOne(shown.width() * scale)),
                            std::min(canvas.height(), atLeastOne(shown.height() * scale)));
        return {canvas, source, centred(canvas, content)};
    }
    case Fit::Fit:
        break;
    }
    const double scale = std::min(canvas.width() / w, canvas.height() / h);
    const QSize content(std::min(canvas.width(), atLeastOne(w * scale)),
                        std::min(canvas.height(), atLeastOne(h * scale)));
    return {canvas, whole, centred(canvas, content)};
}

} // namespace

std::optional<Placement> place(QSize image, const SizeChoice &size, Fit fit, QString *error)
{
    if (image.isEmpty())
        return fail(error, tr("The image is empty."));
    QSize canvas;
    switch (size.rule) {
    case SizeRule::Exact:
        if (const auto exact = checkedExact(size.exact, error))
            canvas = *exact;
        else
            return std::nullopt;
        break;
    case SizeRule::Strict:
        canvas = largestCanvas(image, kStrictBlocks);
        break;
    case SizeRule::Largest:
        canvas = largestCanvas(image, kLargestBlocks);
        break;
    }
    return arrange(image, canvas, fit);
}

std::optional<SizeChoice> parseSizeChoice(const QString &text, QString *error)
{
    if (text == QLatin1String("largest"))
        return SizeChoice{SizeRule::Largest, {}};
    if (text == QLatin1String("strict"))
        return SizeChoice{SizeRule::Strict, {}};
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,4})[x\u00d7](\\d{1,4})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return fail(error,
                    tr("The size is largest, strict or WxH, not \"%1\".").arg(text.left(40)));
    const QSize exact(match.captured(1).toInt(), match.captured(2).toInt());
    if (!checkedExact(exact, error))
        return std::nullopt;
    return SizeChoice{SizeRule::Exact, exact};
}

std::optional<Fit> parseFit(const QString &text, QString *error)
{
    if (text == QLatin1String("fit"))
        return Fit::Fit;
    if (text == QLatin1String("fill"))
        return Fit::Fill;
    if (text == QLatin1String("stretch"))
        return Fit::Stretch;
    return fail(error, tr("The fit is fit, fill or stretch, not \"%1\".").arg(text.left(40)));
}

QString sizeChoiceText(const SizeChoice &size)
{
    switch (size.rule) {
    case SizeRule::Largest:
        return QStringLiteral("largest");
    case SizeRule::Strict:
        return QStringLiteral("strict");
    case SizeRule::Exact:
        break;
    }
    return QStringLiteral("%1x%2").arg(size.exact.width()).arg(size.exact.height());
}

QString fitText(Fit fit)
{
    switch (fit) {
    case Fit::Fill:
        return QStringLiteral("fill");
    case Fit::Stretch:
        return QStringLiteral("stretch");
    case Fit::Fit:
        break;
    }
    return QStringLiteral("fit");
}

} // namespace spray
