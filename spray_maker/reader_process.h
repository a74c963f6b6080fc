#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// The picture reader's own side of its limits, one file for each system
// (reader_process_unix.cpp, reader_process_win.cpp).
namespace spray {

// How the parent starts the reader: on Windows with no console of its own, which
// under Wine would be a console host left behind when the reader is ended.
void prepareReaderStart(QProcess &reader);

// Holds this process to memoryBytes more than it takes now and to seconds of
// processor time; past either the system ends it, as kReaderOverMemory or
// kReaderOverTime where it can. Empty *error unless that could not be done.
bool limitThisProcess(qint64 memoryBytes, int seconds, QString *error);

// All of bytes to standard output as they are (Windows would make each LF a CR LF).
bool writeToStdout(const QByteArray &bytes);

} // namespace spray
