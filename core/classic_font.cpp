#include "classic_font.h"

#include <QStringList>

namespace tagswap {

QFont classicFont(bool bold)
{
    static const bool substitutesSet = [] {
        QFont::insertSubstitutions(
            QStringLiteral("MS Sans Serif"),
            QStringList{QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                        QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    Q_UNUSED(substitutesSet);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

} // namespace tagswap
