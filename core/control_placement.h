#pragma once

#include "twips.h"

#include <initializer_list>

class QWidget;

namespace tagswap {

// One row of a window's design table.
struct Placement {
    QWidget *control;
    const char *name; // the objectName, by which tests and tools find the control
    TwipsRect rect;
};

// Names and places each control, and chains those that take focus in the
// order given, which is the window's tab order.
void placeInTabOrder(std::initializer_list<Placement> placements);

} // namespace tagswap
