#pragma once

#include "settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

namespace tagswap::testing {

// A configuration home of the test program's own, so that its cases neither
// see nor change the settings of the account that runs them.
class ScratchSettings {
public:
    // For initTestCase(): QSettings fixes its folders at first use, so this has
    // to come before anything reads or writes a setting, and only once.
    void setUp()
    {
        QVERIFY(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
        // Sprays replaced in the game are kept under the data home.
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        QVERIFY2(SettingsStore::location().startsWith(m_home.path()),
                 qPrintable(SettingsStore::location()));
    }

    // For init(): every case starts as an account that never ran the program.
    // A case may have left a file where the folder belongs.
    void reset()
    {
        QVERIFY(QDir(dataHome()).removeRecursively());
        const QFileInfo entry(folder());
        if (entry.isDir())
            QVERIFY(QDir(folder()).removeRecursively());
        else if (entry.exists())
            QVERIFY(QFile::remove(folder()));
    }

    QString home() const { return m_home.path(); }
    QString dataHome() const { return m_home.filePath(QStringLiteral("data")); }
    // Where the store keeps its file; a file put here makes every save fail.
    QString folder() const { return m_home.filePath(QStringLiteral("Tagswap")); }

private:
    QTemporaryDir m_home;
};

} // namespace tagswap::testing
