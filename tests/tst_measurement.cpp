// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/measurement.h"

#include <QtTest>

using protocol::Trace;

namespace {

constexpr double kStep = 0.5;

// 250 samples at 0.5 m; trace `n` holds level (i + 10 n) % 256 at sample i.
Trace trace(const QString &fileName, int n)
{
    Trace t;
    t.fileName = fileName;
    t.distanceStep = float(kStep);
    for (int i = 0; i < 250; ++i)
        t.points.append(QPointF(i * kStep, (i + 10 * n) % 256));
    return t;
}

} // namespace

class TestMeasurement : public QObject
{
    Q_OBJECT

private slots:
    void readout_data()
    {
        QTest::addColumn<int>("traces");
        QTest::addColumn<double>("cursor");    // NaN: none
        QTest::addColumn<double>("reference"); // NaN: none
        QTest::addColumn<QString>("expected");
        const double none = qQNaN();
        QTest::newRow("no traces") << 0 << 10.0 << none << QString();
        QTest::newRow("no cursor yet")
            << 1 << none << none
            << QStringLiteral("Click on the plot to place the cursor; right-click or Shift+click "
                              "places the reference.");
        QTest::newRow("cursor snaps to the nearest sample")
            << 1 << 50.3 << none << QStringLiteral("Cursor: 50.50 m (sample 101) | level 101");
        QTest::newRow("cursor beyond the end stays on the last sample")
            << 1 << 900.0 << none << QStringLiteral("Cursor: 124.50 m (sample 249) | level 249");
        QTest::newRow("reference gives the distance between them")
            << 1 << 50.0 << 12.26
            << QStringLiteral("Cursor: 50.00 m (sample 100) | level 100 | Reference: 12.50 m | "
                              "Δ: 37.50 m");
        QTest::newRow("each overlaid trace gives its level at its own sample")
            << 2 << 5.0 << none
            << QStringLiteral("Cursor: 5.00 m (sample 10) | #001 2000-00-00 00:00:00: 10 | "
                              "#002 2000-00-00 00:00:00: 11 (sample 1)");
        QTest::newRow("past the short trace the long one leads")
            << 2 << 1200.2 << none
            << QStringLiteral("Cursor: 1200.00 m (sample 240) | #001 2000-00-00 00:00:00: ends "
                              "before the cursor | #002 2000-00-00 00:00:00: 250");
    }

    void readout()
    {
        QFETCH(int, traces);
        QFETCH(double, cursor);
        QFETCH(double, reference);
        QFETCH(QString, expected);
        QVector<Trace> shown;
        for (int n = 0; n < traces; ++n) {
            shown.append(trace(QStringLiteral("#00%1 x.tdr").arg(n + 1), n));
            shown.last().year = 2000;
            // Overlaid traces are read at their own samples: the second has
            // ten times the step.
            shown.last().distanceStep = float(kStep * (n > 0 ? 10 : 1));
            for (QPointF &point : shown.last().points)
                point.setX(point.x() * (n > 0 ? 10 : 1));
        }
        Measurement measurement;
        measurement.setTraces(shown);
        QCOMPARE(measurement.setCursor(cursor), !qIsNaN(cursor));
        QCOMPARE(measurement.setReference(reference), !qIsNaN(reference));
        QCOMPARE(measurement.readoutText(), expected);
    }

    void stepping_data()
    {
        QTest::addColumn<double>("cursor"); // NaN: none
        QTest::addColumn<int>("samples");
        QTest::addColumn<double>("expected");
        QTest::newRow("one sample on") << 10.0 << 1 << 10.5;
        QTest::newRow("ten samples back") << 10.0 << -10 << 5.0;
        QTest::newRow("clamped at the start") << 1.0 << -10 << 0.0;
        QTest::newRow("clamped at the end") << 124.0 << 10 << 124.5;
        QTest::newRow("no cursor: the sample nearest the start point") << qQNaN() << 1 << 62.0;
    }

    void stepping()
    {
        QFETCH(double, cursor);
        QFETCH(int, samples);
        QFETCH(double, expected);
        Measurement measurement;
        QVERIFY(!measurement.stepped(1, 0)); // nothing to step on
        measurement.setTraces({trace(QStringLiteral("a.tdr"), 0)});
        measurement.setCursor(cursor);
        QCOMPARE(*measurement.stepped(samples, 61.9), expected);
    }

    void cursorsFollowNewTraces()
    {
        Measurement measurement;
        measurement.setTraces({trace(QStringLiteral("a.tdr"), 0)});
        measurement.setCursor(10.2);
        QCOMPARE(*measurement.cursor(), 10.0);
        Trace coarse = trace(QStringLiteral("b.tdr"), 0);
        coarse.distanceStep = 3;
        for (int i = 0; i < coarse.points.size(); ++i)
            coarse.points[i].setX(i * 3.0);
        measurement.setTraces({coarse});
        QCOMPARE(*measurement.cursor(), 9.0);
    }
};

QTEST_GUILESS_MAIN(TestMeasurement)
#include "tst_measurement.moc"
