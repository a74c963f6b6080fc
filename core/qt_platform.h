#pragma once

#include "platform.h"

namespace tagswap {

class QtPlatform final : public Platform {
public:
    void messageBox(QWidget *owner, const QString &text, MsgBoxStyle style,
                    const QString &title) override;
    Answer question(QWidget *owner, const QString &text, const QString &title) override;
    bool openFolder(const QString &path) override;
    bool startProgram(const ProgramLaunch &launch, QString *error) override;
    void endProgram() override;
};

} // namespace tagswap
