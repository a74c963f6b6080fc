#pragma once

#include <QApplication>
#include <QString>
#include <QTest>
#include <QWidget>

#include <memory>
#include <utility>

namespace tagswap::testing {

// qWaitForWindowActive() takes a window owned by an active one (a dialog over
// the main window) for active already, so an owned window is waited for until
// it is the active window itself.
inline bool waitUntilActive(QWidget &window)
{
    if (window.parentWidget())
        return QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; });
    return QTest::qWaitForWindowActive(&window);
}

// Opens a form the way the program does: created, filled by Form_Load(), then
// shown. Not becoming active is only warned about; a case that depends on it
// fails on its own checks.
template <typename Form, typename... Arguments>
std::unique_ptr<Form> openForm(Arguments &&...arguments)
{
    auto form = std::make_unique<Form>(std::forward<Arguments>(arguments)...);
    form->Form_Load();
    form->show();
    if (!waitUntilActive(*form))
        qWarning("%s did not become active", qPrintable(form->objectName()));
    return form;
}

// A name rather than a pointer, so that a failed focus check says where the focus is.
inline QString focusedName()
{
    const QWidget *focused = QApplication::focusWidget();
    return focused ? focused->objectName() : QStringLiteral("<nothing>");
}

} // namespace tagswap::testing
