#pragma once

#include "platform.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace tagswap::testing {

// Stands in for the desktop: remembers every message box, question, opened
// folder, program start and end of the program instead of showing or doing them.
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

    struct Question {
        QPointer<QWidget> owner;
        QString text;
        QString title;
    };

    // Answered from answers in turn, then with defaultAnswer.
    Answer question(QWidget *owner, const QString &text, const QString &title) override
    {
        questions.append({owner, text, title});
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }

    bool openFolder(const QString &path) override
    {
        openedFolders.append(path);
        return openFolderSucceeds;
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
    QList<Question> questions;
    QList<Answer> answers;
    // Yes, so that a case about something else goes on as the player usually would.
    Answer defaultAnswer = Answer::Yes;
    QStringList openedFolders;
    bool openFolderSucceeds = true;
    int endCount = 0;
    bool startSucceeds = true;
    QString startError = QStringLiteral("No such file or directory");
    std::function<void(const Message &)>
        onMessage; // e.g. to look at the window while a box is "open"
};

} // namespace tagswap::testing
