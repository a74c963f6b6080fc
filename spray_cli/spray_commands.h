#pragma once

#include <QStringList>

// Exit statuses of tagswap-spray.
enum SprayExit { kSprayOk = 0, kSprayFailed = 1, kSprayUsage = 2 };

// Runs one tagswap-spray command line (arguments[0] is the program) and returns its
// exit status; output goes to stdout, the one-line reason for a failure to stderr.
int sprayCommand(const QStringList &arguments);
