// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/tdrrecord.h"
#include "protocol/trace.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

#if defined(Q_OS_UNIX)
#include <sys/stat.h> // mkfifo
#endif

using namespace protocol;

namespace {

const float kStep100 = float(299.7924499511719 / 200); // step divisor 100

TDRRecord sampleRecord()
{
    TDRRecord record = emptyRecord();
    record.model = 3;
    record.formatPoints = 250;
    record.formatBytes = 1;
    record.serialNumber = 1234;
    record.year = 21;
    record.month = 2;
    record.day = 18;
    record.hour = 12;
    record.minute = 30;
    record.second = 45;
    record.range = 100;
    record.length = 1.5f;
    record.distanceStep = kStep100;
    for (int i = 0; i < 250; ++i)
        record.samples[i] = quint8((i * 7 + 3) % 256);
    return record;
}

} // namespace

class TestTrace : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void fields()
    {
        const TraceResult result = readTrace(recordBytes(sampleRecord()), QStringLiteral("a.tdr"));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.trace.points.size(), 250);
        QCOMPARE(
            traceSummary(result.trace),
            QStringLiteral(
                "2021-02-18 12:30:45 · range 100 m · length 1.5 m · step 1.499 m · sn 001234"));
    }

    void csv_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("C locale") << QLocale::c();
        QTest::newRow("Russian default locale") << QLocale(QLocale::Russian, QLocale::Russia);
        QTest::newRow("German default locale") << QLocale(QLocale::German, QLocale::Germany);
    }

    void csv()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        const QString name = QStringLiteral("#007 2021-02-18 12_30_45 1.5m sn001234.tdr");
        const TraceResult result = readTrace(recordBytes(sampleRecord()), name);
        QVERIFY(result.ok());
        const QStringList lines = traceCsv(result.trace).split(QLatin1Char('\n'));

        const QStringList header{
            QStringLiteral("# file: ") + name,  QStringLiteral("# serial_number: 001234"),
            QStringLiteral("# model: 3"),       QStringLiteral("# date: 2021-02-18"),
            QStringLiteral("# time: 12:30:45"), QStringLiteral("# range_m: 100"),
            QStringLiteral("# length_m: 1.5"),  QStringLiteral("# distance_step_m: 1.4989623"),
            QStringLiteral("# points: 250"),    QStringLiteral("# distance_zero_m: 0.0000"),
            QStringLiteral("distance_m,value"),
        };
        QCOMPARE(lines.mid(0, header.size()), header);
        QCOMPARE(lines.size(), header.size() + 250 + 1); // ends with a line break
        QCOMPARE(lines.at(header.size()), QStringLiteral("0.0000,3"));
        QCOMPARE(lines.at(header.size() + 1), QStringLiteral("1.4990,10"));
        QCOMPARE(lines.at(header.size() + 249), QStringLiteral("373.2416,210"));
        QCOMPARE(lines.last(), QString());
        for (int i = header.size(); i < lines.size() - 1; ++i)
            QCOMPARE(lines.at(i).count(QLatin1Char(',')), 1);
    }

    void csvOfSeveralTraces()
    {
        const TraceResult a = readTrace(recordBytes(sampleRecord()), QStringLiteral("a.tdr"));
        TDRRecord other = sampleRecord();
        other.serialNumber = 77;
        other.samples[1] = 99;
        // A line break in a name must not break the header.
        const TraceResult b = readTrace(recordBytes(other), QStringLiteral("odd\nb.tdr"));
        const QStringList lines = tracesCsv({a.trace, b.trace}).split(QLatin1Char('\n'));
        QCOMPARE(lines.at(0), QStringLiteral("# file_1: a.tdr"));
        QCOMPARE(lines.at(10), QStringLiteral("# file_2: odd b.tdr"));
        QCOMPARE(lines.at(11), QStringLiteral("# serial_number_2: 000077"));
        QCOMPARE(lines.at(20), QStringLiteral("distance_m,value_1,value_2"));
        QCOMPARE(lines.at(22), QStringLiteral("1.4990,10,99"));
        QCOMPARE(lines.size(), 21 + 250 + 1);
        other.distanceStep = 2.0f; // samples at other distances do not share a column
        QVERIFY(tracesCsv({a.trace, readTrace(recordBytes(other), {}).trace}).isEmpty());
    }

    void shortName_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("shortName");
        QTest::newRow("downloaded file")
            << QStringLiteral("#007 2021-02-18 12_30_45 1.5m sn001234.tdr")
            << QStringLiteral("#007 2021-02-18 12:30:45");
        QTest::newRow("renamed file")
            << QStringLiteral("cable 3 fault.TDR") << QStringLiteral("cable 3 fault");
    }

    void shortName()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, shortName);
        const TraceResult result = readTrace(recordBytes(sampleRecord()), fileName);
        QCOMPARE(traceShortName(result.trace), shortName);
    }

    void rejectedContent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        const QByteArray image = recordBytes(sampleRecord());
        QTest::newRow("empty") << QByteArray() << QStringLiteral("x.tdr is empty");
        QTest::newRow("short") << image.left(100)
                               << QStringLiteral("x.tdr is not a TDR record: it has 100 bytes, "
                                                 "a record has 37775.");
        QTest::newRow("one byte too many")
            << image + '\0'
            << QStringLiteral("x.tdr is not a TDR record: it has 37776 bytes, a record has 37775.");

        const auto withStep = [](float step) {
            TDRRecord record = sampleRecord();
            record.distanceStep = step;
            return recordBytes(record);
        };
        const QString noStep = QStringLiteral("x.tdr has no usable distance step");
        QTest::newRow("NaN step") << withStep(std::numeric_limits<float>::quiet_NaN()) << noStep;
        QTest::newRow("infinite step")
            << withStep(std::numeric_limits<float>::infinity()) << noStep;
        QTest::newRow("negative step") << withStep(-1.5f) << noStep;
        QTest::newRow("zero step (divisor 0)") << withStep(0.0f) << noStep;
        QTest::newRow("step 1e-10 m") << withStep(1e-10f) << noStep;
        QTest::newRow("step 1e8 m") << withStep(1e8f) << noStep;
        QTest::newRow("4017 m step: 1000.2 km trace") << withStep(4017.0f) << noStep;
    }

    void rejectedContent()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const TraceResult result = readTrace(content, QStringLiteral("x.tdr"));
        QVERIFY(!result.ok());
        QVERIFY2(result.error.startsWith(expected), qPrintable(result.error));
        QVERIFY(result.trace.points.isEmpty());
    }

    void rejectedFiles_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no such file; "fifo", "link": special
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing file") << QByteArray() << QStringLiteral("Cannot read f.tdr: ");
        QTest::newRow("0-byte file") << QByteArray("") << QStringLiteral("f.tdr is empty");
        QTest::newRow("short file") << QByteArray(37774, '\x80')
                                    << QStringLiteral("f.tdr is not a TDR record: it has 37774");
        QTest::newRow("large file") << QByteArray(1 << 20, '\x80')
                                    << QStringLiteral("f.tdr is not a TDR record: it has 1048576");
#if defined(Q_OS_UNIX)
        // Opening either would block until a writer comes.
        QTest::newRow("FIFO") << QByteArray("fifo")
                              << QStringLiteral("f.tdr is not a regular file");
        QTest::newRow("link to a FIFO")
            << QByteArray("link") << QStringLiteral("f.tdr is not a regular file");
#endif
    }

    void rejectedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("f.tdr"));
        if (content == "fifo" || content == "link") {
#if defined(Q_OS_UNIX)
            const QString fifo = content == "link" ? dir.filePath(QStringLiteral("pipe")) : path;
            QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
            QVERIFY(content == "fifo" || QFile::link(fifo, path));
#endif
        } else if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(content), qint64(content.size()));
        }
        const TraceResult result = readTrace(path);
        QVERIFY(!result.ok());
        QVERIFY2(result.error.startsWith(expected), qPrintable(result.error));
        QCOMPARE(result.trace.fileName, QStringLiteral("f.tdr"));
    }

    void readsFile()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("good.tdr")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(recordBytes(sampleRecord())) > 0);
        file.close();
        const TraceResult result = readTrace(file.fileName());
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.trace.fileName, QStringLiteral("good.tdr"));
        QCOMPARE(result.trace.points.at(249), QPointF(249 * double(kStep100), 210));
    }
};

QTEST_GUILESS_MAIN(TestTrace)
#include "tst_trace.moc"
