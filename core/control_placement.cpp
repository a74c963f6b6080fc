#include "control_placement.h"

#include <QWidget>

namespace tagswap {

void placeInTabOrder(std::initializer_list<Placement> placements)
{
    QWidget *previous = nullptr;
    for (const Placement &p : placements) {
        p.control->setObjectName(QLatin1StringView(p.name));
        p.control->setGeometry(p.rect.toPixels());
        if (p.control->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, p.control);
        previous = p.control;
    }
}

} // namespace tagswap
