#include "app/waveformwindow.h"
#include "protocol/tdrrecord.h"
#include "protocol/trace.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <cmath>

#include <sys/stat.h>

using namespace QtCharts;

namespace {

// Divisor 187 spreads the 250 samples over about 200 m.
const float kStep = float(299.7924499511719 / (2 * 187));

// A reflectogram as the instrument draws one: a launch pulse at the start, a
// slowly sagging baseline around 128 with a little noise, and an upward
// reflection from an open-circuit fault at `faultSample`.
TDRRecord syntheticRecord(int faultSample = 150, quint8 minute = 30, quint32 serial = 1234)
{
    TDRRecord record = protocol::emptyRecord();
    record.model = 3;
    record.formatPoints = 250;
    record.formatBytes = 1;
    record.serialNumber = serial;
    record.year = 21;
    record.month = 2;
    record.day = 18;
    record.hour = 12;
    record.minute = minute;
    record.second = 45;
    record.range = 200;
    record.length = 150;
    record.distanceStep = kStep;
    quint32 noise = 12345 + faultSample;
    for (int i = 0; i < 250; ++i) {
        double level = 128 - 6.0 * i / 250;
        if (i < 4)
            level += 110 * std::sin(M_PI * (i + 1) / 5.0);
        else
            level -= 70 * std::exp(-(i - 4) / 5.0) * std::cos((i - 4) / 2.2);
        const double d = i - faultSample;
        level += 48 * std::exp(-d * d / 18.0) * (d < 0 ? 1.0 : 1.0 - 0.02 * d);
        level -= 14 * std::exp(-(d - 7) * (d - 7) / 10.0);
        noise = noise * 1103515245u + 12345u;
        level += double((noise >> 16) % 5) - 2;
        record.samples[i] = quint8(qBound(0.0, std::round(level), 255.0));
    }
    return record;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QLineSeries *lineSeries(WaveformWindow &window, int index)
{
    return qobject_cast<QLineSeries *>(window.chart()->series().value(index));
}

QValueAxis *xAxis(WaveformWindow &window)
{
    return qobject_cast<QValueAxis *>(window.chart()->axes(Qt::Horizontal).value(0));
}

} // namespace

class TestWaveformWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir dir(m_dir.path());
        for (const QString &name : dir.entryList(QDir::Files | QDir::System))
            QVERIFY(dir.remove(name));
        m_first = QStringLiteral("#001 2021-02-18 12_30_45 150m sn001234.tdr");
        m_second = QStringLiteral("#002 2021-02-18 12_41_45 150m sn001234.tdr");
        QVERIFY(writeFile(path(m_first), protocol::recordBytes(syntheticRecord(150, 30))));
        QVERIFY(writeFile(path(m_second), protocol::recordBytes(syntheticRecord(120, 41))));
    }

    void listsOnlyRecordFiles()
    {
        QVERIFY(writeFile(path(QStringLiteral("UPPER.TDR")), QByteArray(10, 'x')));
        QVERIFY(writeFile(path(QStringLiteral("mixed.Tdr")), QByteArray(10, 'x')));
        QVERIFY(writeFile(path(QStringLiteral("notes.txt")), QByteArray(10, 'x')));
        QVERIFY(writeFile(path(QStringLiteral("old.tdr.bak")), QByteArray(10, 'x')));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.tdr")));
        // Reading either would block the window until a writer came.
        QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe.tdr"))).constData(), 0600),
                 0);
        QVERIFY(QFile::link(path(QStringLiteral("pipe.tdr")), path(QStringLiteral("link.tdr"))));

        WaveformWindow window;
        window.setDirectory(m_dir.path());
        QCOMPARE(window.listedFiles(), QStringList({m_first, m_second, QStringLiteral("mixed.Tdr"),
                                                    QStringLiteral("UPPER.TDR")}));
        QCOMPARE(window.seriesCount(), 0);
        QVERIFY(window.messageText().isEmpty());
        window.showFile(QStringLiteral("link.tdr"));
        QCOMPARE(window.messageText(), QStringLiteral("link.tdr is not a regular file."));
        QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("folder.tdr")));
    }

    void overlaysSelectedFiles()
    {
        WaveformWindow window;
        window.setDirectory(m_dir.path());
        auto *list = window.findChild<QListWidget *>(QStringLiteral("waveFilesLst"));
        QVERIFY(list);
        list->item(0)->setSelected(true);
        QCOMPARE(window.seriesCount(), 1);
        list->item(1)->setSelected(true);

        QCOMPARE(window.seriesCount(), 2);
        QCOMPARE(window.shownFiles(), QStringList({m_first, m_second}));
        QStringList legend;
        for (QLegendMarker *marker : window.chart()->legend()->markers())
            legend << marker->label();
        QCOMPARE(legend, QStringList({QStringLiteral("#001 2021-02-18 12:30:45"),
                                      QStringLiteral("#002 2021-02-18 12:41:45")}));
        QVERIFY(window.chart()->legend()->isVisible());
        QVERIFY(lineSeries(window, 0)->pen().color() != lineSeries(window, 1)->pen().color());
        QVERIFY(window.messageText().isEmpty());
    }

    void plotsSamplesAgainstDistance()
    {
        WaveformWindow window;
        window.showFile(path(m_first));
        QCOMPARE(window.directory(), QDir::cleanPath(m_dir.path()));
        QCOMPARE(window.seriesCount(), 1);
        const QVector<QPointF> points = lineSeries(window, 0)->pointsVector();
        const TDRRecord record = syntheticRecord(150, 30);
        QCOMPARE(points.size(), 250);
        QCOMPARE(points.at(0), QPointF(0, record.samples[0]));
        QCOMPARE(points.at(150), QPointF(150 * double(kStep), record.samples[150]));
        QCOMPARE(xAxis(window)->max(), 249 * double(kStep));
        QVERIFY2(window.chart()->title().contains(QStringLiteral("sn 001234")),
                 qPrintable(window.chart()->title()));
        QVERIFY(window.chart()->title().contains(QStringLiteral("2021-02-18 12:30:45")));
        QVERIFY(window.chart()->title().contains(QStringLiteral("range 200 m")));
    }

    void invalidFileGivesMessage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // null: no such file
        QTest::addColumn<QString>("expected");
        QTest::newRow("short file") << QStringLiteral("short.tdr") << QByteArray(500, '\x80')
                                    << QStringLiteral("short.tdr is not a TDR record: it has 500 "
                                                      "bytes, a record has 37775.");
        QTest::newRow("0-byte file") << QStringLiteral("empty.tdr") << QByteArray("")
                                     << QStringLiteral("empty.tdr is empty");
        QTest::newRow("missing file")
            << QStringLiteral("gone.tdr") << QByteArray() << QStringLiteral("Cannot read gone.tdr");
        TDRRecord noStep = syntheticRecord();
        noStep.distanceStep = 0;
        QTest::newRow("no distance step")
            << QStringLiteral("nostep.tdr") << protocol::recordBytes(noStep)
            << QStringLiteral("nostep.tdr has no usable distance");
    }

    void invalidFileGivesMessage()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        if (!content.isNull())
            QVERIFY(writeFile(path(name), content));
        WaveformWindow window;
        window.setDirectory(m_dir.path());
        window.showFile(path(m_first));
        QCOMPARE(window.seriesCount(), 1);

        window.showFile(name);
        QCOMPARE(window.seriesCount(), 0);
        QVERIFY(window.shownFiles().isEmpty());
        QVERIFY2(window.messageText().startsWith(expected), qPrintable(window.messageText()));
        QVERIFY(!window.exportCsv(m_dir.filePath(QStringLiteral("none.csv"))));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("none.csv"))));
    }

    void invalidFileBesideValidOne()
    {
        QVERIFY(writeFile(path(QStringLiteral("short.tdr")), QByteArray(500, '\x80')));
        WaveformWindow window;
        window.setDirectory(m_dir.path());
        window.showFiles({m_first, QStringLiteral("short.tdr")});
        QCOMPARE(window.seriesCount(), 1);
        QCOMPARE(window.shownFiles(), QStringList{m_first});
        QVERIFY(window.messageText().startsWith(QStringLiteral("short.tdr is not a TDR record")));
    }

    void zoomResetOnLongTrace()
    {
        TDRRecord record = syntheticRecord();
        record.distanceStep = 1000; // 249 km
        const QString name = QStringLiteral("long.tdr");
        QVERIFY(writeFile(path(name), protocol::recordBytes(record)));
        WaveformWindow window;
        window.showFile(path(name));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.zoomTo(50000, 52000);
        window.zoomTo(50500, 50510);
        QApplication::processEvents();
        window.resetZoom();
        QApplication::processEvents();
        QCOMPARE(xAxis(window)->max(), 249000.0);
        QCOMPARE(xAxis(window)->tickInterval(), 20000.0);
    }

    void sameDirectoryKeepsThePlot()
    {
        WaveformWindow window;
        window.showFile(path(m_first));
        window.setDirectory(m_dir.path() + QStringLiteral("/."));
        QCOMPARE(window.shownFiles(), QStringList{m_first});
        QCOMPARE(window.seriesCount(), 1);
    }

    void newFileAppearsInList()
    {
        WaveformWindow window;
        window.setDirectory(m_dir.path());
        QCOMPARE(window.listedFiles().size(), 2);
        const QString name = QStringLiteral("#003 2021-02-18 13_00_00 150m sn001234.tdr");
        QVERIFY(writeFile(path(name), protocol::recordBytes(syntheticRecord(90))));
        QTRY_VERIFY(window.listedFiles().contains(name));

        QVERIFY(QFile::remove(path(m_second)));
        QTRY_VERIFY(!window.listedFiles().contains(m_second));
    }

    void rewrittenFileIsPlottedAgain()
    {
        WaveformWindow window;
        window.showFile(path(m_first));
        QCOMPARE(window.seriesCount(), 1);
        TDRRecord changed = syntheticRecord();
        changed.samples[10] = 7;
        QVERIFY(writeFile(path(m_first), protocol::recordBytes(changed)));
        QTRY_COMPARE(lineSeries(window, 0) ? lineSeries(window, 0)->at(10).y() : -1.0, 7.0);
    }

    void cursorAndReferenceReadout()
    {
        WaveformWindow window;
        window.showFile(path(m_first));
        QVERIFY(window.readoutText().startsWith(QStringLiteral("Click on the plot")));

        window.setCursorDistance(120.1); // snaps to sample 150
        QCOMPARE(*window.cursorDistance(), 150 * double(kStep));
        const int level = syntheticRecord(150, 30).samples[150];
        QCOMPARE(window.readoutText(),
                 QStringLiteral("Cursor: 120.24 m (sample 150) | level %1").arg(level));

        window.setReferenceDistance(1.0); // sample 1
        QVERIFY2(window.readoutText().endsWith(QStringLiteral("| Reference: 0.80 m | Δ: 119.44 m")),
                 qPrintable(window.readoutText()));

        window.clearCursors();
        QVERIFY(!window.cursorDistance());
        QVERIFY(!window.referenceDistance());
    }

    void mousePlacesCursorsAndZooms()
    {
        WaveformWindow window;
        window.showFile(path(m_first));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *view = window.findChild<QChartView *>();
        QVERIFY(view);
        QTRY_VERIFY(window.chart()->plotArea().width() > 100);
        QChart *chart = window.chart();
        const auto at = [&](double distance, double level) {
            return view->mapFromScene(
                chart->mapToScene(chart->mapToPosition(QPointF(distance, level))));
        };

        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at(100, 128));
        QVERIFY(window.cursorDistance());
        QVERIFY2(std::abs(*window.cursorDistance() - 100) <= kStep,
                 qPrintable(QString::number(*window.cursorDistance())));
        QCOMPARE(xAxis(window)->min(), 0.0); // a click is not a zoom

        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at(40, 128));
        QVERIFY(window.referenceDistance());
        QVERIFY(std::abs(*window.referenceDistance() - 40) <= kStep);

        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(50, 200));
        // QTest::mouseMove only moves the pointer on some platforms; a drag
        // needs the move events themselves.
        for (const QPoint &pos : {at(80, 120), at(100, 60)}) {
            QMouseEvent move(QEvent::MouseMove, pos, view->viewport()->mapToGlobal(pos),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(view->viewport(), &move);
        }
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(100, 60));
        QVERIFY2(std::abs(xAxis(window)->min() - 50) < 2 &&
                     std::abs(xAxis(window)->max() - 100) < 2,
                 qPrintable(
                     QStringLiteral("%1..%2").arg(xAxis(window)->min()).arg(xAxis(window)->max())));
        QVERIFY(std::abs(*window.cursorDistance() - 100) <= kStep); // a drag places no cursor

        const double before = *window.cursorDistance();
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(*window.cursorDistance(), before + double(kStep));
        QTest::keyClick(view, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(*window.cursorDistance(), before - 9 * double(kStep));

        window.resetZoom();
        QCOMPARE(xAxis(window)->min(), 0.0);
        QCOMPARE(xAxis(window)->max(), 249 * double(kStep));
    }

    void exportsFiles()
    {
        WaveformWindow window;
        window.showFiles({path(m_first), path(m_second)});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QString csvPath = m_dir.filePath(QStringLiteral("out.csv"));
        QVERIFY(window.exportCsv(csvPath));
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const protocol::TraceResult expected = protocol::readTrace(path(m_first));
        QCOMPARE(QString::fromUtf8(csv.readAll()), protocol::traceCsv(expected.trace));

        const QString pngPath = m_dir.filePath(QStringLiteral("out.png"));
        QVERIFY(window.exportPng(pngPath));
        QImage image(pngPath);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > 300 && image.height() > 200);

        QVERIFY(!window.exportCsv(m_dir.filePath(QStringLiteral("no/such/dir/out.csv"))));
    }

    // Run under a real display to look at the window:
    // VARNEL_SCREENSHOT_DIR=/tmp/shots QT_QPA_PLATFORM=xcb xvfb-run -a tst_waveformwindow
    // screenshots
    void screenshots()
    {
        const QString out = qEnvironmentVariable("VARNEL_SCREENSHOT_DIR");
        if (out.isEmpty())
            QSKIP("VARNEL_SCREENSHOT_DIR is not set");
        QVERIFY(QDir().mkpath(out));
        WaveformWindow window;
        window.resize(1200, 720);
        window.showFile(path(m_first));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setReferenceDistance(0);
        window.setCursorDistance(150 * double(kStep));
        QTest::qWait(200);
        QVERIFY(window.grab().save(out + QStringLiteral("/waveform-single.png")));

        window.showFiles({m_first, m_second});
        QTest::qWait(200);
        QVERIFY(window.grab().save(out + QStringLiteral("/waveform-overlay.png")));

        QVERIFY(writeFile(path(QStringLiteral("broken.tdr")), QByteArray(1200, '\0')));
        window.showFile(QStringLiteral("broken.tdr"));
        QTest::qWait(200);
        QVERIFY(window.grab().save(out + QStringLiteral("/waveform-error.png")));
    }

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_first;
    QString m_second;
};

QTEST_MAIN(TestWaveformWindow)
#include "tst_waveformwindow.moc"
