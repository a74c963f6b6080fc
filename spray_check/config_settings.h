#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tagswap {

// One command of a config file that sets a console variable.
struct CvarSetting {
    int line = 0;  // counted from 1
    QString name;  // as the file writes it
    QString value; // as the game takes it: without its quotes
};

// What a config file of the game (config.cfg, userconfig.cfg, autoexec.cfg) sets.
struct ConfigSettings {
    bool found = false;    // false: there is no such file, and the game reads none
    QString error;         // the file is there but could not be read
    bool cutShort = false; // longer than Tagswap reads: what follows was not looked at
    QList<CvarSetting> settings;
};

// Reads a config file as the game runs it, for the commands that set one of
// cvars: each line is split into commands at every ; outside quotes (a ; in a
// comment too, as the game does), a command's words are bare or quoted, // starts
// a comment, and names are compared in any letter case. The game reads no
// further than a NUL byte, and neither does this. Bounded as the mod list is: at
// most 32,767 lines of 1,024 bytes.
ConfigSettings readCvarSettings(const QString &path, const QStringList &cvars);

// Whether the game takes a console variable's text as 0: it reads the number
// the text starts with, as C's atof does, and no number at all as 0.
bool readsAsZero(const QString &value);

} // namespace tagswap
