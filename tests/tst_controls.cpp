// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls as a function of the session's phase and the
// window's own facts, with no window.
#include "app/controlstates.h"

#include <QTest>

using session::Phase;

Q_DECLARE_METATYPE(WindowFacts)

namespace {

// One character per control: scan, devices, connect, getList, records, load,
// selectNew, files, upload, serial, connectLast, cancel, progress.
QString text(const ControlStates &c)
{
    QString s;
    for (bool on : {c.scan, c.devices, c.connect, c.getList, c.records, c.load, c.selectNew,
                    c.files, c.upload, c.serial, c.connectLast, c.cancel, c.progress})
        s += on ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

WindowFacts facts(Phase phase, std::initializer_list<bool WindowFacts::*> set = {})
{
    WindowFacts f;
    f.phase = phase;
    for (bool WindowFacts::*member : set)
        f.*member = true;
    return f;
}

} // namespace

class ControlsTest : public QObject
{
    Q_OBJECT

private slots:
    void states_data();
    void states();
};

void ControlsTest::states_data()
{
    QTest::addColumn<WindowFacts>("facts");
    QTest::addColumn<QString>("expected");
    const auto chosen = {&WindowFacts::devicesShown, &WindowFacts::deviceChosen};
    QTest::newRow("start") << facts(Phase::Idle) << "1000000000100";
    QTest::newRow("scanning") << facts(Phase::Idle, {&WindowFacts::scanning}) << "0000000000000";
    QTest::newRow("scan ended with entries") << facts(Phase::Idle, chosen) << "1110000000100";
    QTest::newRow("connect request") << facts(Phase::Connecting, chosen) << "1100000000010";
    QTest::newRow("connecting, another entry made current")
        << facts(Phase::Connecting, {&WindowFacts::devicesShown, &WindowFacts::deviceChosen,
                                     &WindowFacts::attemptAbandonable})
        << "1110000000010";
    QTest::newRow("scan while connecting")
        << facts(Phase::Connecting, {&WindowFacts::scanning, &WindowFacts::attemptAbandonable})
        << "0000000000010";
    QTest::newRow("link up") << facts(Phase::Linked, chosen) << "1110000000000";
    QTest::newRow("identity answer") << facts(Phase::Identified, chosen) << "0011000001000";
    QTest::newRow("record list answer") << facts(Phase::Listed, chosen) << "0011101101000";
    QTest::newRow("records selected")
        << facts(Phase::Listed, {&WindowFacts::recordsSelected}) << "0011111101000";
    QTest::newRow("files selected")
        << facts(Phase::Listed, {&WindowFacts::filesSelected}) << "0011101111000";
    QTest::newRow("slot question open")
        << facts(Phase::Listed, {&WindowFacts::filesSelected, &WindowFacts::uploadAsking})
        << "0011101101000";
    QTest::newRow("transferring") << facts(Phase::Transferring, {&WindowFacts::recordsSelected})
                                  << "0011111101011";
    QTest::newRow("cancel requested")
        << facts(Phase::Transferring, {&WindowFacts::cancelRequested}) << "0011101101001";
    QTest::newRow("link down, no entry chosen")
        << facts(Phase::Idle, {&WindowFacts::devicesShown}) << "1100000000100";
}

void ControlsTest::states()
{
    QFETCH(WindowFacts, facts);
    QFETCH(QString, expected);
    QCOMPARE(text(controlStates(facts)), expected);
}

QTEST_GUILESS_MAIN(ControlsTest)
#include "tst_controls.moc"
