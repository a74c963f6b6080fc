#pragma once

#include "platform.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace tagswap::testing {

// Stands in for the desktop: remembers every message box, program start and
// end of the program instead of showing or doing them.
class RecordingPlatform final : public Platform {
public:
    struct Message {
        QPointer<QWidget> owner;
        QString text;
        MsgBoxStyle style;
        QString title;
    };

    void messageBox(QWidget *owner, const QString &text, MsgBoxStyle style,
                    const QString &title) override
    {
        messages.append({owner, text, style, title});
        if (onMessage)
            onMessage(messages.last());
    }

    bool startProgram(const ProgramLaunch &launch, QString *error) override
    {
        starts.append(launch);
        if (!startSucceeds && error)
            *error = startError;
        return startSucceeds;
    }

    void endProgram() override { ++endCount; }

    QList<Message> messages;
    QList<ProgramLaunch> starts;
    int endCount = 0;
    bool startSucceeds = true;
    QString startError = QStringLiteral("No such file or directory");
    std::function<void(const Message &)>
        onMessage; // e.g. to look at the window while a box is "open"
};

} // namespace tagswap::testing
