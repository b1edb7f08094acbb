// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutdialog.h"
#include "resources/resources.h"

#include <QDirIterator>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void closeEndsExecAndReopens_data();
    void closeEndsExecAndReopens();
    void buildLineAndTextsFit();
    void everyResourcePictureLoads();
};

void TestAboutDialog::initTestCase()
{
    varnelInitResources();
    // Desktops use a 9 pt font, which the fixed geometries are laid out for.
    QFont font = QApplication::font();
    font.setPointSize(9);
    QApplication::setFont(font);
}

void TestAboutDialog::closeEndsExecAndReopens_data()
{
    QTest::addColumn<bool>("useEscape");
    QTest::newRow("Close button") << false;
    QTest::newRow("Escape key") << true;
}

void TestAboutDialog::closeEndsExecAndReopens()
{
    QFETCH(bool, useEscape);
    AboutDialog dialog;
    for (int round = 0; round < 2; ++round) {
        bool watchdogFired = false;
        QTimer::singleShot(0, &dialog, [&] {
            if (useEscape)
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                QTest::mouseClick(dialog.findChild<QPushButton *>("btClose"), Qt::LeftButton);
        });
        // A dialog that does not close fails the test instead of hanging it.
        QTimer::singleShot(10000, &dialog, [&] {
            watchdogFired = true;
            dialog.done(-1);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(!watchdogFired);
    }
}

void TestAboutDialog::buildLineAndTextsFit()
{
    AboutDialog dialog;
    const QString built = dialog.findChild<QLabel *>("lbBuilt")->text();
    static const QRegularExpression format(QRegularExpression::anchoredPattern(
        QStringLiteral("Built on: [A-Z][a-z]{2} [ 0-9]\\d \\d{4} \\d\\d:\\d\\d:\\d\\d\n\n")));
    QVERIFY2(format.match(built).hasMatch(), qPrintable(built));
    // The version goes below the build line's first line, inside the dialog.
    auto *builtLabel = dialog.findChild<QLabel *>("lbBuilt");
    auto *version = dialog.findChild<QLabel *>("lbVersion");
    QVERIFY(version && version->text().contains(QRegularExpression(
                           QStringLiteral("^Version \\d+\\.\\d+\\.\\d+$"))));
    QVERIFY(version->y() >= builtLabel->y() + builtLabel->fontMetrics().height());
    QVERIFY(dialog.rect().contains(version->geometry()));

    for (const char *name : {"lbCompany", "lbCopyright"}) {
        auto *label = dialog.findChild<QLabel *>(name);
        QVERIFY2(label->heightForWidth(label->width()) <= label->height(), name);
    }
}

void TestAboutDialog::everyResourcePictureLoads()
{
    int pictures = 0;
    QDirIterator it(QStringLiteral(":/buttons"), {QStringLiteral("*.png")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QImageReader reader(path);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(path + QLatin1String(": ") + reader.errorString()));
        // A drawn picture: a clear corner and a good share of opaque pixels.
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(qAlpha(argb.pixel(0, 0)) < 8, qPrintable(path));
        int opaque = 0;
        for (int y = 0; y < argb.height(); ++y)
            for (int x = 0; x < argb.width(); ++x)
                opaque += qAlpha(argb.pixel(x, y)) > 200;
        QVERIFY2(opaque > argb.width() * argb.height() / 10, qPrintable(path));
        ++pictures;
    }
    QVERIFY(pictures >= 20);
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
