// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/faultsummary.h"
#include "app/waveform/ticks.h"
#include "app/waveform/waveformwindow.h"
#include "bluetooth/emulator/waveform.h"
#include "protocol/tdrrecord.h"
#include "protocol/trace.h"
#include "records/recordstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <cmath>

#if defined(Q_OS_UNIX)
#include <sys/stat.h> // mkfifo
#endif

namespace {

// Divisor 187 spreads the 250 samples over about 200 m.
const float kStep = float(299.7924499511719 / (2 * 187));

// An emulated record of 2021-02-18 12:mm:45 with an open fault at `sample`.
QByteArray recordFile(int sample = 150, quint8 minute = 30)
{
    emu::WaveformParams params;
    params.step = double(kStep);
    params.faults = {{sample * double(kStep), emu::FaultKind::Open, 0.5}};
    TDRRecord record = protocol::recordFromBytes(emu::downloadedImage(params));
    record.serialNumber = 1234;
    record.year = 21;
    record.month = 2;
    record.day = 18;
    record.hour = 12;
    record.minute = minute;
    record.second = 45;
    return protocol::recordBytes(record);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
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
    // The viewer keeps its place in the settings: never the user's.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir dir(m_dir.path());
        for (const QString &name : dir.entryList(QDir::Files | QDir::System))
            QVERIFY(dir.remove(name));
        m_first = QStringLiteral("#001 2021-02-18 12_30_45 150m sn001234.tdr");
        m_second = QStringLiteral("#002 2021-02-18 12_41_45 150m sn001234.tdr");
        QVERIFY(writeFile(path(m_first), recordFile(150, 30)));
        QVERIFY(writeFile(path(m_second), recordFile(120, 41)));
    }

    void listsOnlyRegularRecordFiles()
    {
        QVERIFY(writeFile(path(QStringLiteral("UPPER.TDR")), QByteArray(10, 'x')));
        QVERIFY(writeFile(path(QStringLiteral("notes.txt")), QByteArray(10, 'x')));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.tdr")));
#if defined(Q_OS_UNIX)
        // Reading either would block the window until a writer came.
        QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe.tdr"))).constData(), 0600),
                 0);
        QVERIFY(QFile::link(path(QStringLiteral("pipe.tdr")), path(QStringLiteral("link.tdr"))));
#endif

        QVERIFY(writeFile(path(QStringLiteral("b1.tdr")), QByteArray(10, 'x')));

        WaveformWindow window;
        window.setDirectory(m_dir.path());
        // By name, case ignored.
        QCOMPARE(window.listedFiles(), QStringList({m_first, m_second, QStringLiteral("b1.tdr"),
                                                    QStringLiteral("UPPER.TDR")}));
        window.showFile(QStringLiteral("link.tdr"));
        QCOMPARE(window.messageText(), QStringLiteral("link.tdr is not a regular file."));
        QCOMPARE(window.seriesCount(), 0);
        QVERIFY(!window.exportCsv(path(QStringLiteral("none.csv"))));
        QVERIFY(!QFile::exists(path(QStringLiteral("none.csv"))));
        QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("folder.tdr")));
    }

    void eventsFollowTheSelectedTrace()
    {
        QVERIFY(writeFile(path(QStringLiteral("short.tdr")), QByteArray(500, '\x80')));
        WaveformWindow window;
        window.setDirectory(m_dir.path());
        auto *list = window.findChild<QListWidget *>(QStringLiteral("waveFilesLst"));
        list->item(0)->setSelected(true);
        list->item(1)->setSelected(true);
        list->item(2)->setSelected(true);
        QCOMPARE(window.shownFiles(), QStringList({m_first, m_second}));
        QVERIFY(window.messageText().startsWith(QStringLiteral("short.tdr is not a TDR record")));
        QStringList legend;
        for (QLegendMarker *marker : window.chart()->legend()->markers())
            if (qobject_cast<QLineSeries *>(marker->series()))
                legend << marker->label();
        // Two traces are compared, the earlier measurement as the older.
        QCOMPARE(legend, QStringList({QStringLiteral("#001 2021-02-18 12:30:45"),
                                      QStringLiteral("#002 2021-02-18 12:41:45"),
                                      QStringLiteral("Difference #002 − #001")}));
        auto *compare = window.findChild<QComboBox *>(QStringLiteral("eventCompareCmb"));
        emit compare->activated(0); // "Nothing": the selected trace's events alone

        const auto openAt = [&](int sample) {
            for (const protocol::TraceEvent &e : window.events())
                if (std::abs(e.distance - sample * double(kStep)) <= kStep &&
                    e.kind != protocol::EventKind::Short)
                    return true;
            return false;
        };
        list->setCurrentItem(list->item(1), QItemSelectionModel::Current);
        QVERIFY(openAt(120) && !openAt(150));
        list->setCurrentItem(list->item(0), QItemSelectionModel::Current);
        QVERIFY(openAt(150) && !openAt(120));

        auto *table = window.findChild<QTableWidget *>(QStringLiteral("eventsTbl"));
        QCOMPARE(table->rowCount(), window.events().size());
        const int last = table->rowCount() - 1;
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualItemRect(table->item(last, 1)).center());
        // The cursor goes where the table says, between samples, and its
        // readout gives the same digits: "120.4 m ± 0.8 m", "Cursor: 120.43 m".
        const protocol::TraceEvent &event = window.events().at(last);
        QCOMPARE(*window.cursorDistance(), event.distance);
        const QString said = table->item(last, 1)->text();
        const QString number = said.section(QLatin1Char(' '), 0, 0);
        const int decimals = number.contains(QLatin1Char('.'))
                                 ? number.size() - number.indexOf(QLatin1Char('.')) - 1
                                 : 0;
        const QString readout =
            window.readoutText().section(QStringLiteral("Cursor: "), 1).section(' ', 0, 0);
        QVERIFY2(said.contains(QStringLiteral(" m ± ")) &&
                     QString::number(readout.toDouble(), 'f', decimals) == number,
                 qPrintable(said + QStringLiteral(" / ") + readout));
        // The axis's zero is where the emulated launch leaves its baseline.
        const auto *drawn = qobject_cast<QLineSeries *>(window.chart()->series().at(1));
        const auto levelAt = [&](double x) {
            const auto points = drawn->points();
            return std::min_element(points.cbegin(), points.cend(),
                                    [x](QPointF a, QPointF b) {
                                        return std::abs(a.x() - x) < std::abs(b.x() - x);
                                    })
                ->y();
        };
        QVERIFY(std::abs(levelAt(-1.0 * kStep) - emu::kWaveformBaseline) < 6);
        QVERIFY(std::abs(levelAt(1.5 * kStep) - emu::kWaveformBaseline) > 30);

        auto *markers = qobject_cast<QScatterSeries *>(window.chart()->series().constLast());
        QVERIFY(markers && markers->isVisible());
        window.findChild<QCheckBox *>(QStringLiteral("eventMarkersChk"))->setChecked(false);
        QVERIFY(!markers->isVisible());
    }

    // Resetting a small zoom on a long trace froze the window: the axis laid
    // out the full range with the zoom's tick interval.
    void zoomResetOnLongTrace()
    {
        TDRRecord record = protocol::recordFromBytes(recordFile());
        record.distanceStep = 1000; // 249 km
        QVERIFY(writeFile(path(QStringLiteral("long.tdr")), protocol::recordBytes(record)));
        WaveformWindow window;
        window.showFile(path(QStringLiteral("long.tdr")));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.zoomTo(50000, 52000);
        window.zoomTo(50500, 50510);
        QApplication::processEvents();
        window.resetZoom();
        QApplication::processEvents();
        QVERIFY(std::abs(xAxis(window)->max() - xAxis(window)->min() - 249000) < 1);
        QVERIFY(xAxis(window)->tickInterval() >= 24900); // at most ten intervals
    }

    // Labels "3000" are about 30 px wide and need 14 px between them.
    void ticksFitTheWidth_data()
    {
        QTest::addColumn<double>("span");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("labelWidth");
        QTest::addColumn<double>("interval");
        QTest::newRow("3 km over 450 px: 9 labels fit") << 3000.0 << 450.0 << 30.0 << 500.0;
        QTest::newRow("3 km over 200 px: 3 labels fit") << 3000.0 << 200.0 << 30.0 << 1000.0;
        QTest::newRow("3 km over 2000 px: ten at most") << 3000.0 << 2000.0 << 30.0 << 500.0;
        QTest::newRow("100 m: a 1-2-5 step stays") << 100.0 << 800.0 << 24.0 << 10.0;
        QTest::newRow("2.5 m zoom, wide labels") << 2.5 << 600.0 << 40.0 << 0.5;
        QTest::newRow("too narrow for two") << 3000.0 << 50.0 << 30.0 << 5000.0;
    }
    void ticksFitTheWidth()
    {
        QFETCH(double, span);
        QFETCH(double, width);
        QFETCH(double, labelWidth);
        QFETCH(double, interval);
        QCOMPARE(distanceTickInterval(span, width, labelWidth), interval);
    }

    void mainEventIsTheFirstFault_data()
    {
        using K = protocol::EventKind;
        QTest::addColumn<QVector<int>>("kinds"); // at 10, 20, 30... m
        QTest::addColumn<int>("main");           // -1: none
        QTest::newRow("an open after an echo and a splice")
            << QVector<int>{int(K::Echo), int(K::MinorHigh), int(K::Open), int(K::Short)} << 2;
        QTest::newRow("a splice before the end")
            << QVector<int>{int(K::MinorLow), int(K::EndOpen)} << 0;
        QTest::newRow("only the end") << QVector<int>{int(K::Echo), int(K::EndShort)} << 1;
        QTest::newRow("only an echo") << QVector<int>{int(K::Echo)} << -1;
    }
    void mainEventIsTheFirstFault()
    {
        QFETCH(QVector<int>, kinds);
        QFETCH(int, main);
        protocol::EventAnalysis analysis;
        for (int i = 0; i < kinds.size(); ++i)
            analysis.events.append({10.0 * (i + 1), 1, 0, 0, 0, protocol::EventKind(kinds.at(i))});
        const protocol::TraceEvent *found = mainEvent(analysis);
        QCOMPARE(found ? int(found - analysis.events.constData()) : -1, main);
    }

    // Faults at samples 150 (12:30), 120 (12:41) and 200 (12:35); "b1.tdr" is no record.
    void listSortsAndSummarizes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QVector<int>>("order"); // 1..3: the records; 0: b1.tdr
        QTest::newRow("by name") << 0 << QVector<int>{1, 2, 3, 0};
        QTest::newRow("by date, newest first") << 1 << QVector<int>{2, 3, 1, 0};
        QTest::newRow("by distance to the fault") << 2 << QVector<int>{2, 1, 3, 0};
        // Cables in any case, unlabelled last; a cable's records newest first.
        QTest::newRow("by cable") << 3 << QVector<int>{3, 1, 2, 0};
    }
    void listSortsAndSummarizes()
    {
        QFETCH(int, key);
        QFETCH(QVector<int>, order);
        const QString third = QStringLiteral("#003 2021-02-18 12_35_45 150m sn001234.tdr");
        QVERIFY(writeFile(path(third), recordFile(200, 35)));
        QVERIFY(writeFile(path(QStringLiteral("b1.tdr")), QByteArray(10, 'x')));
        const QStringList names{QStringLiteral("b1.tdr"), m_first, m_second, third};
        LabelBook labels(m_dir.path());
        QCOMPARE(labels.setLabel({third, m_first}, {QStringLiteral("Feeder A"), {}}), QString());
        QCOMPARE(labels.setLabel({m_second}, {QStringLiteral("feeder b"), QStringLiteral("wet")}),
                 QString());
        WaveformWindow window;
        window.setDirectory(m_dir.path());
        window.findChild<QComboBox *>(QStringLiteral("waveSortCmb"))->setCurrentIndex(key);
        QStringList expected;
        for (int i : order)
            expected << names.at(i);
        QCOMPARE(window.listedFiles(), expected);

        // The second line says what the event table says of the main event.
        auto *list = window.findChild<QListWidget *>(QStringLiteral("waveFilesLst"));
        QListWidgetItem *item = list->findItems(m_second, Qt::MatchExactly).value(0);
        item->setSelected(true);
        list->setCurrentItem(item, QItemSelectionModel::Current);
        auto *table = window.findChild<QTableWidget *>(QStringLiteral("eventsTbl"));
        QCOMPARE(table->item(0, 2)->text(), QStringLiteral("Cable end (open)")); // the only event
        QCOMPARE(item->data(Qt::UserRole + 1).toString(),
                 table->item(0, 2)->text() + QStringLiteral(", ") + table->item(0, 1)->text());
        QVERIFY(
            item->toolTip().endsWith(QStringLiteral("\nCable: feeder b\nNote: wet\nMain event: ") +
                                     item->data(Qt::UserRole + 1).toString()));
        QCOMPARE(item->data(Qt::UserRole + 2).toString(), QStringLiteral("feeder b"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("waveLabelLbl"))->text(),
                 QStringLiteral("Cable: feeder b — wet"));

        // The filter finds files by every word, in the name, label or main event.
        const auto visible = [&](const QString &filter) {
            window.findChild<QLineEdit *>(QStringLiteral("waveFilterEd"))->setText(filter);
            QStringList names;
            for (int row = 0; row < list->count(); ++row)
                if (!list->item(row)->isHidden())
                    names << list->item(row)->text();
            return names.size() == 1 ? names.first() : QString::number(names.size());
        };
        QCOMPARE(visible(QStringLiteral("12_35 FEEDER a")), third);
        QCOMPARE(visible(QStringLiteral("wet")), m_second);
        QCOMPARE(visible(QStringLiteral("b1")), QStringLiteral("b1.tdr"));
        QCOMPARE(visible(QStringLiteral("feeder")), QStringLiteral("3"));

        // A label given in the viewer reaches the list and the line above the plot.
        QVERIFY(window.labelFiles({m_second}, {}));
        QCOMPARE(visible(QStringLiteral("feeder")), QStringLiteral("2"));
        QVERIFY(window.findChild<QLabel *>(QStringLiteral("waveLabelLbl"))->isHidden());
    }

    void followsTheFolder()
    {
        WaveformWindow window;
        window.showFile(path(m_first));
        window.setDirectory(m_dir.path() + QStringLiteral("/.")); // the same folder again
        QCOMPARE(window.shownFiles(), QStringList{m_first});
        const QString name = QStringLiteral("#003 2021-02-18 13_00_00 150m sn001234.tdr");
        QVERIFY(writeFile(path(name), recordFile(90)));
        QTRY_VERIFY(window.listedFiles().contains(name));
        QVERIFY(QFile::remove(path(m_second)));
        QTRY_VERIFY(!window.listedFiles().contains(m_second));

        TDRRecord changed = protocol::recordFromBytes(recordFile());
        changed.samples[10] = 7;
        QVERIFY(writeFile(path(m_first), protocol::recordBytes(changed)));
        // The emulated launch leaves the baseline 1 + kLaunchTime samples in.
        window.setCursorDistance((10 - 1 - emu::kLaunchTime) * double(kStep));
        QTRY_VERIFY(window.readoutText().endsWith(QStringLiteral("| level 7")));
    }

    // The main window's store feeds the list: a saved record is in it at
    // once; another folder has a list of its own and leaves the store alone.
    void listsTheStoreItIsGiven()
    {
        RecordStore store;
        store.setDirectory(m_dir.path());
        WaveformWindow window(&store);
        window.setDirectory(m_dir.path());
        const RecordStore::Saved saved =
            store.save(protocol::recordFromBytes(recordFile(90, 50)), 3);
        QVERIFY(saved.error.isEmpty());
        QCOMPARE(window.listedFiles(), QStringList({m_first, m_second, saved.fileName}));

        // A file from elsewhere joins the list and leaves the store alone;
        // added over the shown one, the two are compared.
        QTemporaryDir other;
        const QString later = other.filePath(QStringLiteral("a.tdr"));
        QVERIFY(writeFile(later, recordFile(150, 55)));
        window.showFile(later);
        QCOMPARE(window.shownFiles(), QStringList{QStringLiteral("a.tdr")});
        QCOMPARE(store.directory(), m_dir.path());
        QVERIFY(store.save(protocol::recordFromBytes(recordFile(90, 56)), 4).error.isEmpty());
        QCOMPARE(window.listedFiles().size(), 5);
        auto *list = window.findChild<QListWidget *>(QStringLiteral("waveFilesLst"));
        QListWidgetItem *added =
            list->findItems(QStringLiteral("a.tdr"), Qt::MatchExactly).value(0);
        QVERIFY(added->data(Qt::UserRole + 1)
                    .toString()
                    .startsWith(QStringLiteral("in %1 · ").arg(QDir(other.path()).dirName())));
        window.addFiles({path(m_first)});
        QCOMPARE(window.shownFiles(), QStringList({QStringLiteral("a.tdr"), m_first}));
        // The same fault at sample 150 in both; the earlier, at 12:30, is the older.
        QCOMPARE(window.chart()->series().constLast()->name(),
                 QStringLiteral("Difference a − #001"));
        auto *table = window.findChild<QTableWidget *>(QStringLiteral("eventsTbl"));
        QCOMPARE(table->horizontalHeaderItem(4)->text(), QStringLiteral("Change"));
        QCOMPARE(table->item(0, 4)->text(), QStringLiteral("unchanged"));
        list->clearSelection();
        added->setSelected(true);
        window.removeAddedFiles();
        QCOMPARE(window.listedFiles().size(), 4);
        QVERIFY(window.shownFiles().isEmpty());
    }

    void mouseAndKeys()
    {
        WaveformWindow window;
        window.showFile(path(m_first));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *view = window.findChild<QChartView *>();
        QTRY_VERIFY(window.chart()->plotArea().width() > 100);
        QChart *chart = window.chart();
        const auto at = [&](double distance, double level) {
            return view->mapFromScene(
                chart->mapToScene(chart->mapToPosition(QPointF(distance, level))));
        };
        const auto drag = [&](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF from,
                              QPointF to) {
            const QPoint start = at(from.x(), from.y());
            const QPoint end = at(to.x(), to.y());
            QTest::mousePress(view->viewport(), button, modifiers, start);
            // QTest::mouseMove only moves the pointer on some platforms.
            for (const QPoint &pos : {(start + end) / 2, end}) {
                QMouseEvent move(QEvent::MouseMove, pos, view->viewport()->mapToGlobal(pos),
                                 Qt::NoButton, button, modifiers);
                QApplication::sendEvent(view->viewport(), &move);
            }
            QTest::mouseRelease(view->viewport(), button, modifiers, end);
        };

        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at(100, 128));
        QVERIFY(std::abs(*window.cursorDistance() - 100) <= kStep);
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at(40, 128));
        QVERIFY(std::abs(*window.referenceDistance() - 40) <= kStep);

        drag(Qt::LeftButton, {}, QPointF(50, 200), QPointF(100, 60));
        QVERIFY(std::abs(xAxis(window)->min() - 50) < 2 &&
                std::abs(xAxis(window)->max() - 100) < 2);
        QVERIFY(std::abs(*window.cursorDistance() - 100) <= kStep); // a drag places no cursor

        const double left = xAxis(window)->min();
        drag(Qt::MiddleButton, {}, QPointF(80, 120), QPointF(70, 120));
        QVERIFY(std::abs(xAxis(window)->min() - (left + 10)) < 1);
        QVERIFY(std::abs(xAxis(window)->max() - xAxis(window)->min() - 50) < 2);
        QTest::keyClick(view, Qt::Key_Left, Qt::ControlModifier); // a tenth of the view back
        QVERIFY(std::abs(xAxis(window)->min() - (left + 5)) < 1);

        const double before = *window.cursorDistance();
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(*window.cursorDistance(), before + double(kStep));
        QTest::keyClick(view, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(*window.cursorDistance(), before - 9 * double(kStep));
        QTest::keyClick(view, Qt::Key_Home);
        QVERIFY(std::abs(xAxis(window)->min() + (1 + emu::kLaunchTime) * kStep) < kStep / 2);
        QCOMPARE(xAxis(window)->max() - xAxis(window)->min(), 249 * double(kStep));
    }

    void exportsFiles()
    {
        WaveformWindow window;
        window.showFiles({path(m_first), path(m_second)});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setCursorDistance(100);

        const QString csvPath = m_dir.filePath(QStringLiteral("out.csv"));
        QVERIFY(window.exportCsv(csvPath));
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(csv.readAll()).split(QLatin1Char('\n'));
        QVERIFY(lines.contains(QStringLiteral("# file_2: ") + m_second));
        QVERIFY(lines.contains(QStringLiteral("distance_m,value_1,value_2")));
        QCOMPARE(lines.size(), 20 + 1 + 250 + 1);

        const QString pngPath = m_dir.filePath(QStringLiteral("out.png"));
        QVERIFY(window.exportPng(pngPath));
        const QImage image(pngPath);
        const QWidget *view = window.findChild<QChartView *>();
        QCOMPARE(image.width(), view->width());
        QVERIFY(image.height() > view->height() + 10); // the readout goes under the plot

        const QString pdfPath = m_dir.filePath(QStringLiteral("out.pdf"));
        // A page for each record, or one of them overlaid.
        const auto pages = [&] {
            QFile pdf(pdfPath);
            const QByteArray bytes = pdf.open(QIODevice::ReadOnly) ? pdf.readAll() : QByteArray();
            return bytes.startsWith("%PDF-") ? bytes.count("/Type /Page\n") : -1;
        };
        QVERIFY(window.exportReport(pdfPath,
                                    {QStringLiteral("Joint at the pole"), QStringLiteral("A. Tamm"),
                                     QStringLiteral("Substation 4")}));
        QCOMPARE(pages(), 2);
        QVERIFY(window.exportReport(pdfPath,
                                    {QStringLiteral("Joint at the pole"), QStringLiteral("A. Tamm"),
                                     QStringLiteral("Substation 4")},
                                    true));
        QCOMPARE(pages(), 1);

        QVERIFY(!window.exportReport(m_dir.filePath(QStringLiteral("no/such/out.pdf")), {}));
        QVERIFY(!window.exportCsv(m_dir.filePath(QStringLiteral("no/such/dir/out.csv"))));
    }

    void dropOpensRecordFiles()
    {
        WaveformWindow window;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path(m_second)),
                      QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("notes.txt")))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&window, &drop);
        QCOMPARE(window.shownFiles(), QStringList{m_second});
        QCOMPARE(window.directory(), QDir::cleanPath(m_dir.path()));
    }

private:
    QString path(const QString &name) const
    {
        return m_dir.filePath(name);
    }

    QTemporaryDir m_dir;
    QString m_first;
    QString m_second;
};

QTEST_MAIN(TestWaveformWindow)
#include "tst_waveformwindow.moc"
