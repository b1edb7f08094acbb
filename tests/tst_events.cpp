// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/cablemodel.h"
#include "protocol/compare.h"
#include "protocol/events.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace protocol;

namespace {

constexpr double kStep = 2.0;

// A textbook instrument: a 2-sample flat pulse rising in half a sample,
// leaving the baseline at instrument time 1.3, on a cable that runs past the
// trace unless a row says otherwise.
emu::CableParams cable(QList<emu::Discontinuity> faults)
{
    emu::CableParams p;
    p.step = kStep;
    p.launchTime = 1.3;
    p.launchHeight = 90;
    p.riseTime = 0.5;
    p.noise = 0.7;
    p.seed = 7;
    p.end = emu::FarEnd::Beyond;
    p.faults = faults;
    return p;
}

emu::CableParams ended(emu::CableParams p, double length, emu::FarEnd end)
{
    p.length = length;
    p.end = end;
    return p;
}

QVector<double> fileSamples(const QByteArray &instrument)
{
    QVector<double> y{double(quint8(instrument.at(1)))};
    for (const char c : instrument)
        y.append(quint8(c));
    return y;
}

Trace traceOf(const emu::CableParams &params)
{
    Trace trace;
    trace.distanceStep = float(params.step);
    const QVector<double> y = fileSamples(emu::drawCable(params).samples);
    for (int i = 0; i < y.size(); ++i)
        trace.points.append(QPointF(i * params.step, y.at(i)));
    return trace;
}

} // namespace

Q_DECLARE_METATYPE(emu::CableParams)

class TestEvents : public QObject
{
    Q_OBJECT

private slots:
    // Ground truth is where each discontinuity lies; events are read at their
    // toes, in metres from the launch's toe, within one step.
    void readsTheCable_data()
    {
        QTest::addColumn<emu::CableParams>("params");
        QTest::addColumn<QString>("expected"); // metres kind; ... | end
        QTest::newRow("open fault, open end")
            << ended(cable({{120, 0.4, 0}}), 300, emu::FarEnd::Open)
            << QStringLiteral("120 open; 300 end_open; 480 echo | 300");
        emu::CableParams negative = ended(cable({{80, -0.3, 0}}), 250, emu::FarEnd::Short);
        negative.launchHeight = -80;
        QTest::newRow("negative launch, short fault, shorted end")
            << negative << QStringLiteral("80 short; 250 end_short; 420 echo | 250");
        emu::CableParams clipped = cable({});
        clipped.launchHeight = 160;
        clipped.launchWidth = 5;
        QTest::newRow("clipped flat launch, no end in view")
            << clipped << QStringLiteral(" | none");
        emu::CableParams tails = ended(cable({{200, -0.35, 0}}), 380, emu::FarEnd::Open);
        tails.baseline = 90;
        tails.tilt = 0.06;
        tails.drift = 3;
        tails.acTime = 120;
        tails.tailShare = 0.2;
        tails.tailTime = 12;
        tails.riseTime = 1.5;
        tails.dispersion = 0.01;
        QTest::newRow("tilt, drift, coupling, tails, spreading")
            << tails << QStringLiteral("200 short; 380 end_open | 380");
        QTest::newRow("strong reflection just after the launch")
            << ended(cable({{20, 0.6, 0}}), 200, emu::FarEnd::Short)
            << QStringLiteral("20 open; 200 end_short; 380 echo | 200");
        QTest::newRow("short section: one event at its toe, splice as minor")
            << ended(cable({{100, -0.3, 3}, {300, 0.09, 0}}), 420, emu::FarEnd::Open)
            << QStringLiteral("100 short; 300 minor_high; 420 end_open | 420");
        QTest::newRow("strong fault with a weaker one behind it, cable runs on")
            << cable({{100, 0.6, 0}, {180, -0.15, 0}})
            << QStringLiteral("100 open; 180 short | none");
        QTest::newRow("overlapping reflections that look complete, end behind them")
            << ended(cable({{100, 0.69, 0}, {101.5, 0.5, 0}}), 300, emu::FarEnd::Open)
            << QStringLiteral("100 open; 300 end_open | 300");
        emu::CableParams spread = ended(cable({}), 360, emu::FarEnd::Open);
        spread.dispersion = 0.03;
        QTest::newRow("end spread low by a long cable")
            << spread << QStringLiteral("360 end_open | 360");
        emu::CableParams lossy = ended(cable({}), 440, emu::FarEnd::Open);
        lossy.attenuation = 1.5 / lossy.samples;
        QTest::newRow("far end of a lossy cable comes back at a quarter")
            << lossy << QStringLiteral("440 end_open | 440");
        QTest::newRow("half reflection near the instrument, cable runs on")
            << cable({{60, 0.5, 0}}) << QStringLiteral("60 open | none");
        QTest::newRow("echo of the end off a reflector hidden in a fault's tail")
            << ended(cable({{100, 0.5, 0}, {110, 0.12, 0}}), 260, emu::FarEnd::Open)
            << QStringLiteral("100 open; 260 end_open; 410 echo; 420 echo | 260");
        QTest::newRow("strong echo of the end off a strong fault before it")
            << ended(cable({{60, 0.85, 0}}), 200, emu::FarEnd::Open)
            << QStringLiteral("60 open; 200 end_open; 340 echo | 200");
        emu::CableParams echo = cable({{90, 0.3, 0}});
        echo.sourceReflection = 0.8;
        QTest::newRow("second trip off the instrument is an echo")
            << echo << QStringLiteral("90 open; 180 echo | none");
        emu::CableParams slow = ended(cable({{150, -0.6, 0}}), 420, emu::FarEnd::Open);
        slow.tailShare = 0.3;
        slow.tailTime = 30;
        slow.acTime = 60;
        QTest::newRow("a strong reflection's slow recovery is no event")
            << slow << QStringLiteral("150 short; 420 end_open | 420");
        emu::CableParams high = ended(cable({{150, -0.5, 0}}), 340, emu::FarEnd::Open);
        high.baseline = 225;
        high.launchHeight = -90;
        high.launchWidth = 4;
        QTest::newRow("clipped reflection read at its toe")
            << high << QStringLiteral("150 short; 340 end_open | 340");
    }

    void readsTheCable()
    {
        QFETCH(emu::CableParams, params);
        QFETCH(QString, expected);
        const EventAnalysis a = detectEvents(fileSamples(emu::drawCable(params).samples), kStep);
        QVERIFY(a.launchFound);
        // The file repeats the instrument's second sample first: time t lies at t + 1 steps.
        QVERIFY(std::abs(a.launchToe - (params.launchTime + 1) * kStep) <= kStep / 2);
        QStringList found;
        for (const TraceEvent &e : a.events) {
            // Reported rounded to the nearest expected whole step of 20 m.
            found << QStringLiteral("%1 %2")
                         .arg(std::round(e.distance / 10) * 10)
                         .arg(eventKindKey(e.kind));
            QVERIFY2(std::abs(e.distance - std::round(e.distance / 10) * 10) <= kStep,
                     qPrintable(QString::number(e.distance)));
            QVERIFY(e.uncertainty >= kStep / 2 && e.uncertainty < 3 * kStep);
            QVERIFY(e.peak > e.distance);
        }
        const QString end =
            a.end ? QString::number(std::round(*a.end / 10) * 10) : QStringLiteral("none");
        QCOMPARE(found.join(QStringLiteral("; ")) + QStringLiteral(" | ") + end, expected);
    }

    // Changes are told by where the cable model put each discontinuity.
    void comparesTwoTraces_data()
    {
        QTest::addColumn<emu::CableParams>("older");
        QTest::addColumn<emu::CableParams>("newer");
        QTest::addColumn<QString>("expected"); // metres change [shift]; ...
        QTest::addColumn<double>("bump");      // where the difference is largest; 0: only noise
        QTest::addColumn<int>("sign");         // of the largest difference, newer minus older
        const emu::CableParams before = ended(cable({{120, 0.4, 0}}), 300, emu::FarEnd::Open);
        emu::CableParams again = before;
        again.seed = 8;
        QTest::newRow("the same cable, other noise")
            << before << again << QStringLiteral("120 same; 300 same; 480 same") << 0.0 << 0;
        QTest::newRow("a short appeared at 200 m")
            << before << ended(cable({{120, 0.4, 0}, {200, -0.3, 0}}), 300, emu::FarEnd::Open)
            << QStringLiteral("120 same; 200 appeared; 300 same; 400 appeared; 480 same") << 200.0
            << -1;
        QTest::newRow("the fault vanished")
            << before << ended(cable({}), 300, emu::FarEnd::Open)
            << QStringLiteral("120 vanished; 300 same; 480 vanished") << 120.0 << -1;
        QTest::newRow("a fault 8 m further")
            << ended(cable({{120, -0.4, 0}}), 0, emu::FarEnd::Beyond)
            << ended(cable({{128, -0.4, 0}}), 0, emu::FarEnd::Beyond)
            << QStringLiteral("130 moved +8") << 120.0 << 0;
        QTest::newRow("an open at 120 m became a short: no pair across kinds")
            << ended(cable({{120, 0.4, 0}}), 0, emu::FarEnd::Beyond)
            << ended(cable({{120, -0.4, 0}}), 0, emu::FarEnd::Beyond)
            << QStringLiteral("120 vanished; 120 appeared") << 120.0 << -1;
        QTest::newRow("the cable cut 50 m shorter")
            << ended(cable({}), 300, emu::FarEnd::Open) << ended(cable({}), 250, emu::FarEnd::Open)
            << QStringLiteral("250 moved -50") << 250.0 << 1;
        emu::CableParams coarser = again;
        coarser.step = 1.5 * kStep;
        QTest::newRow("a coarser step: resampled")
            << before << coarser << QStringLiteral("120 same; 300 same; 480 same") << -1.0 << 0;
        emu::CableParams flat = before;
        flat.launchHeight = 0;
        QTest::newRow("no launch in the newer: not compared")
            << before << flat << QStringLiteral("not comparable") << -1.0 << 0;
    }

    void comparesTwoTraces()
    {
        QFETCH(emu::CableParams, older);
        QFETCH(emu::CableParams, newer);
        QFETCH(double, bump);
        const TraceComparison c = compareTraces(traceOf(older), traceOf(newer));
        QStringList found;
        for (const EventPair &pair : c.pairs) {
            // Rounded to the model's tens of metres; a shift to the step.
            QString text = QStringLiteral("%1 %2")
                               .arg(std::lround(pair.distance / 10) * 10)
                               .arg(eventChangeKey(pair.change));
            if (pair.change == EventChange::Moved)
                text += QStringLiteral(" %1%2")
                            .arg(pair.shift > 0 ? "+" : "")
                            .arg(std::lround(pair.shift / 2) * 2);
            found << text;
        }
        QTEST(c.comparable ? found.join(QStringLiteral("; ")) : QStringLiteral("not comparable"),
              "expected");
        QCOMPARE(c.difference.isEmpty(), !c.comparable);
        QCOMPARE(c.resampled, c.comparable && older.step != newer.step);
        if (!c.comparable || bump < 0)
            return;
        QCOMPARE(c.gridStep, std::max(older.step, newer.step));
        const QPointF largest = *std::max_element(
            c.difference.cbegin(), c.difference.cend(),
            [](const QPointF &a, const QPointF &b) { return std::abs(a.y()) < std::abs(b.y()); });
        // Noise alone: two draws of 0.7 levels each, and 8-bit rounding.
        if (bump == 0)
            QVERIFY2(std::abs(largest.y()) < 6, qPrintable(QString::number(largest.y())));
        else // the change, from its toe to about two rise times on
            QVERIFY2(largest.x() >= bump - kStep && largest.x() <= bump + 4 * kStep,
                     qPrintable(QString::number(largest.x())));
        QFETCH(int, sign);
        QVERIFY2(sign * largest.y() >= 0, qPrintable(QString::number(largest.y())));
    }

    void literalTrace_data()
    {
        QTest::addColumn<QVector<double>>("samples");
        QTest::addColumn<QString>("expected");
        QVector<double> spike(250, 128.0);
        spike[100] = 155;
        QTest::newRow("no launch: levels, not shares")
            << spike << QStringLiteral("198.0 m ± 1.3 m Open 27 levels");
        QVector<double> bump(250, 128.0);
        for (int i = 0; i < bump.size(); ++i)
            bump[i] += i % 2 ? 0.5 : -0.5;
        bump[3] = bump[4] = 218;
        bump[100] = bump[101] = 88;
        bump[150] = 134;
        QTest::newRow("a bump under a tenth of the launch behind the end")
            << bump
            << QStringLiteral("194.0 m ± 1.3 m Cable end (short) 45.3 %; "
                              "294.0 m ± 1.5 m Minor, higher 6.1 %");
        QVector<double> broken(250, 128.0);
        broken[100] = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("not a number") << broken << QString();
        QTest::newRow("too short") << QVector<double>(20, 128.0) << QString();
    }

    void literalTrace()
    {
        QFETCH(QVector<double>, samples);
        QFETCH(QString, expected);
        const EventAnalysis a = detectEvents(samples, 2.0);
        QStringList found;
        for (const TraceEvent &e : a.events)
            found << eventDistanceText(e) + QLatin1Char(' ') + eventKindText(e.kind) +
                         QLatin1Char(' ') + eventStrengthText(a, e);
        QCOMPARE(found.join(QStringLiteral("; ")), expected);
        QCOMPARE(
            eventsJson(QStringLiteral("f"), 2, a).value(QLatin1String("events")).toArray().size(),
            a.events.size());
    }

    void distanceText_data()
    {
        QTest::addColumn<double>("distance");
        QTest::addColumn<double>("uncertainty");
        QTest::addColumn<QString>("expected");
        QTest::newRow("metres") << 176.77 << 5.6 << QStringLiteral("177 m ± 6 m");
        QTest::newRow("leading one keeps two digits")
            << 176.77 << 1.4 << QStringLiteral("176.8 m ± 1.4 m");
        QTest::newRow("decimetres") << 12.345 << 0.37 << QStringLiteral("12.3 m ± 0.4 m");
        QTest::newRow("tens of metres") << 4321.0 << 56.0 << QStringLiteral("4321 m ± 60 m");
    }

    void distanceText()
    {
        QFETCH(double, distance);
        QFETCH(double, uncertainty);
        TraceEvent e;
        e.distance = distance;
        e.uncertainty = uncertainty;
        QTEST(eventDistanceText(e), "expected");
    }
};

QTEST_GUILESS_MAIN(TestEvents)
#include "tst_events.moc"
