#include "platform.h"

#include <QTest>

using namespace tagswap;
using namespace Qt::StringLiterals;

class TestJoinLines : public QObject {
    Q_OBJECT

private slots:
    void crLfBetweenLinesOnly();
};

void TestJoinLines::crLfBetweenLinesOnly()
{
    QCOMPARE(joinLines({}), QString());
    QCOMPARE(joinLines({u"one"_s}), u"one"_s);
    QCOMPARE(joinLines({u"one"_s, u"two"_s}), u"one\r\ntwo"_s);
    // Empty lines keep their place, also first and last.
    QCOMPARE(joinLines({u"one"_s, QString(), u"three"_s}), u"one\r\n\r\nthree"_s);
    QCOMPARE(joinLines({QString(), u"two"_s, QString()}), u"\r\ntwo\r\n"_s);
    QCOMPARE(joinLines({QString(), QString()}), u"\r\n"_s);
}

QTEST_GUILESS_MAIN(TestJoinLines)
#include "tst_join_lines.moc"
