// Reading the game's config files as the game runs them, for the commands that
// turn uploads and downloads of sprays off.

#include "config_settings.h"
#include "test_files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using tagswap::CvarSetting;

namespace {

const QStringList kCvars{u"cl_allowupload"_s, u"cl_allowdownload"_s};

// "<line>:<name as written>=<value>", one for each setting found.
QStringList shown(const QList<CvarSetting> &settings)
{
    QStringList lines;
    for (const CvarSetting &s : settings)
        lines << u"%1:%2=%3"_s.arg(s.line).arg(s.name, s.value);
    return lines;
}

QByteArray manyLines(int count, const QByteArray &last)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "// line\r\n";
    return text + last;
}

} // namespace

class TestConfigSettings : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void reads_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<bool>("cutShort");

        const auto row = [](const char *name, const QByteArray &text, const QStringList &settings,
                            bool cutShort = false) {
            QTest::newRow(name) << text << settings << cutShort;
        };
        row("as the game saves it", "cl_allowupload \"0\"\n", {u"1:cl_allowupload=0"_s});
        row("bare value", "cl_allowupload 0", {u"1:cl_allowupload=0"_s});
        row("any case of the name", "CL_AllowDownload 0", {u"1:CL_AllowDownload=0"_s});
        row("quoted name", "\"cl_allowupload\" \"1\"", {u"1:cl_allowupload=1"_s});
        row("an empty value", "cl_allowdownload \"\"", {u"1:cl_allowdownload="_s});
        row("both, on the lines they are on, CR LF",
            "bind \"w\" \"+forward\"\r\ncl_allowdownload \"1\"\r\n\r\ncl_allowupload \"0\"\r\n",
            {u"2:cl_allowdownload=1"_s, u"4:cl_allowupload=0"_s});
        row("the same twice", "cl_allowupload 0\ncl_allowupload 1\n",
            {u"1:cl_allowupload=0"_s, u"2:cl_allowupload=1"_s});
        row("a comment line", "// cl_allowupload 0\n  //cl_allowdownload 0", {});
        row("a comment after the value", "cl_allowupload 0 // no uploads",
            {u"1:cl_allowupload=0"_s});
        row("several commands on a line", "echo hi; cl_allowupload 0;cl_allowdownload 0",
            {u"1:cl_allowupload=0"_s, u"1:cl_allowdownload=0"_s});
        row("a ; inside quotes ends nothing", "alias off \"cl_allowupload 0; cl_allowdownload 0\"",
            {});
        row("a ; ends a comment's command too", "// old; cl_allowupload 0",
            {u"1:cl_allowupload=0"_s});
        row("a name alone only prints", "cl_allowupload\ncl_allowupload // 0", {});
        row("other names", "cl_allowupload2 0\nxcl_allowdownload 0\ncl_allow 0", {});
        row("a byte-order mark",
            "\xEF\xBB\xBF"
            "cl_allowupload 0",
            {u"1:cl_allowupload=0"_s});
        row("not text: the game reads up to a NUL",
            QByteArray("cl_allowdownload 0\n\x89PNG\0cl_allowupload 0\ncl_allowupload 0", 57),
            {u"1:cl_allowdownload=0"_s});
        row("too long: lines past the last read", manyLines(32767, "cl_allowupload 0"), {}, true);
        row("too long: a line past its last byte read",
            "cl_allowdownload 1 //" + QByteArray(1100, '-') + "\ncl_allowupload 0",
            {u"1:cl_allowdownload=1"_s, u"2:cl_allowupload=0"_s}, true);
    }

    void reads()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, settings);
        QFETCH(bool, cutShort);
        const QString path = m_dir.filePath(u"config.cfg"_s);
        QVERIFY(tagswap::testing::tryWriteFile(path, text));

        const tagswap::ConfigSettings read = tagswap::readCvarSettings(path, kCvars);

        QVERIFY(read.found);
        QCOMPARE(read.error, QString());
        QCOMPARE(shown(read.settings), settings);
        QCOMPARE(read.cutShort, cutShort);
    }

    void noFileIsNoneFound()
    {
        QVERIFY(!tagswap::readCvarSettings(m_dir.filePath(u"autoexec.cfg"_s), kCvars).found);
        QVERIFY(QDir(m_dir.path()).mkpath(u"userconfig.cfg"_s));
        QVERIFY(!tagswap::readCvarSettings(m_dir.filePath(u"userconfig.cfg"_s), kCvars).found);
    }

    void readsAsZero_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("zero");

        for (const char *zero :
             {"0", "", "0.0", "00", "-0", ".0", "0e5", "0x0", "off", "yes", "x1"})
            QTest::newRow(qPrintable(u"zero: \"%1\""_s.arg(QLatin1String(zero))))
                << QString::fromLatin1(zero) << true;
        for (const char *one : {"1", "0.5", "-1", ".5", " 1", "1abc", "0x10", "2e-3", "inf"})
            QTest::newRow(qPrintable(u"not zero: \"%1\""_s.arg(QLatin1String(one))))
                << QString::fromLatin1(one) << false;
    }

    void readsAsZero()
    {
        QFETCH(QString, value);
        QFETCH(bool, zero);
        QCOMPARE(tagswap::readsAsZero(value), zero);
    }
};

QTEST_GUILESS_MAIN(TestConfigSettings)
#include "tst_config_settings.moc"
