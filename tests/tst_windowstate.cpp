// SPDX-License-Identifier: GPL-3.0-or-later
// Window places kept across runs, and corrected onto the screens there are.
#include "apptestsupport.h"

#include "app/waveform/windowstate.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>
#include <QTest>

#include <memory>

namespace {

// A window as the viewer is built: a splitter and a table with columns.
std::unique_ptr<QMainWindow> window()
{
    auto w = std::make_unique<QMainWindow>();
    auto *splitter = new QSplitter;
    splitter->addWidget(new QWidget);
    splitter->addWidget(new QTableWidget(2, 3));
    w->setCentralWidget(splitter);
    w->resize(400, 300);
    return w;
}

} // namespace

class WindowStateTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { isolateSettings(m_config.path()); }
    void fit_data();
    void fit();
    void roundTrip();
    void savedPlaceOffScreenIsCorrected();

private:
    QTemporaryDir m_config;
};

void WindowStateTest::fit_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("expected");
    // Screens: 1920x1080 at the origin, 1280x1024 to its right.
    QTest::newRow("fits") << QRect(100, 100, 800, 600) << QRect(100, 100, 800, 600);
    QTest::newRow("over the right edge")
        << QRect(3000, 100, 800, 600) << QRect(2400, 100, 800, 600);
    QTest::newRow("on a screen that is gone")
        << QRect(5000, 5000, 800, 600) << QRect(1120, 480, 800, 600);
    QTest::newRow("taller than its screen")
        << QRect(100, -50, 800, 1200) << QRect(100, 0, 800, 1080);
    QTest::newRow("title bar above the top")
        << QRect(100, -300, 800, 600) << QRect(100, 0, 800, 600);
    QTest::newRow("mostly on the second")
        << QRect(1800, 100, 800, 600) << QRect(1920, 100, 800, 600);
    QTest::newRow("wider than both") << QRect(-100, 0, 4000, 700) << QRect(0, 0, 1920, 700);
}

void WindowStateTest::fit()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, expected);
    QCOMPARE(fitOntoScreens(frame, {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)}),
             expected);
}

void WindowStateTest::roundTrip()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect place(screen.left() + 30, screen.top() + 40, 420, 310);
    QList<int> sizes; // as the splitter fits 100:320 into its width
    {
        auto first = window();
        keepWindowState(first.get(), QStringLiteral("Test"));
        first->setGeometry(place);
        first->show();
        first->findChild<QSplitter *>()->setSizes({100, 320});
        sizes = first->findChild<QSplitter *>()->sizes();
        first->findChild<QTableWidget *>()->horizontalHeader()->resizeSection(1, 123);
        first->close();
    }
    auto second = window();
    keepWindowState(second.get(), QStringLiteral("Test"));
    second->show();
    QCOMPARE(second->geometry(), place);
    QVERIFY(sizes.at(0) < sizes.at(1) / 2);
    QCOMPARE(second->findChild<QSplitter *>()->sizes(), sizes);
    QCOMPARE(second->findChild<QTableWidget *>()->horizontalHeader()->sectionSize(1), 123);
}

void WindowStateTest::savedPlaceOffScreenIsCorrected()
{
    QSettings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"))
        .setValue(QStringLiteral("Windows/Test/geometry"), QRect(9000, -700, 30000, 300));
    auto w = window();
    keepWindowState(w.get(), QStringLiteral("Test"));
    w->show();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(screen.contains(w->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                 .arg(w->x())
                                                                 .arg(w->y())
                                                                 .arg(w->width())
                                                                 .arg(w->height())));
    QCOMPARE(w->height(), 300);

    // Shrunk for this screen only: the size kept is the one asked for, until
    // the user picks another.
    const QString key = QStringLiteral("Windows/Test/geometry");
    QSettings settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"));
    w->close();
    QCOMPARE(settings.value(key).toRect().size(), QSize(30000, 300));
    w->show();
    w->resize(w->width() - 10, 280);
    w->close();
    QCOMPARE(settings.value(key).toRect().size(), QSize(w->width(), 280));
}

QTEST_MAIN(WindowStateTest)
#include "tst_windowstate.moc"
