#pragma once

#include "command_line.h"

#include <QString>

class QWidget;

namespace tagswap {

// The icon of a message box; the values are the ones the message styles always had.
enum class MsgBoxStyle { Critical = 16, Exclamation = 48, Information = 64 };

// The player's answer to a question.
enum class Answer { No, Yes };

// A program to start and leave running on its own.
struct ProgramLaunch {
    QString program;          // a path, or a bare name looked up on the search path
    CommandLine arguments;    // handed over unchanged
    QString workingDirectory; // empty: the current one
};

// What the windows ask of the desktop: the one place tests replace.
class Platform {
public:
    virtual ~Platform() = default;

    // Modal, one OK button; returns when the player has dismissed it.
    virtual void messageBox(QWidget *owner, const QString &text, MsgBoxStyle style,
                            const QString &title) = 0;
    // Modal, warning icon, Yes and No with No the default (Escape and the close
    // box answer No too); returns the answer.
    virtual Answer question(QWidget *owner, const QString &text, const QString &title) = 0;
    // Shows a folder in the desktop's file manager. False when none could be asked to.
    virtual bool openFolder(const QString &path) = 0;
    // Starts the program without waiting for it. False and the reason when
    // it could not be started at all.
    virtual bool startProgram(const ProgramLaunch &launch, QString *error) = 0;
    // Ends Tagswap; nothing of the program runs after the event that called it.
    virtual void endProgram() = 0;
};

// The system's viewer for a text file: Notepad on Windows, the desktop's
// choice elsewhere.
ProgramLaunch textFileViewer(const QString &file);

// Message texts are lines joined by CR LF pairs with no line end after the last.
QString joinLines(std::initializer_list<QString> lines);

} // namespace tagswap
