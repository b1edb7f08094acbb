#include "app/aboutdialog.h"
#include "resources/resources.h"

#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QResource>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

#include <functional>

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void cannotGrowBeyondMaximum();
    void buildLineCarriesCompilerStamp();
    void closeEndsExecAndReopens_data();
    void closeEndsExecAndReopens();
    void picturesComeFromResources();
    void textsFitTheirLabels_data();
    void textsFitTheirLabels();

    void resourcePictureSizes_data();
    void resourcePictureSizes();
    void applicationIconHoldsThreeImages();

private:
    static QString plainText(const QString &html);
};

namespace {

template<typename T> T *child(const QWidget &parent, const char *name)
{
    return parent.findChild<T *>(QLatin1String(name));
}

// Runs exec() while `action` is triggered from inside its event loop. A watchdog ends a
// dialog that did not close so that a fault fails the test instead of hanging it.
int execWith(AboutDialog &dialog, const std::function<void()> &action, bool *watchdogFired)
{
    *watchdogFired = false;
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        QVERIFY(dialog.isVisible());
        action();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dialog, [&dialog, watchdogFired] {
        *watchdogFired = true;
        dialog.done(-1);
    });
    watchdog.start(10000);
    return dialog.exec();
}

} // namespace

void TestAboutDialog::initTestCase()
{
    varnelInitResources();
    // The offscreen platform defaults to a 12 pt font; desktops (X11 themes, Windows) use
    // 9 pt, which is what the fixed geometries are laid out for.
    QFont font = QApplication::font();
    font.setPointSize(9);
    QApplication::setFont(font);
}

QString TestAboutDialog::plainText(const QString &html)
{
    QTextDocument doc;
    doc.setHtml(html);
    return doc.toPlainText();
}

void TestAboutDialog::cannotGrowBeyondMaximum()
{
    AboutDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.resize(900, 900);
    QCOMPARE(dialog.size(), QSize(350, 566));
    // The widgets keep their places: there is no layout to move them.
    QCOMPARE(child<QPushButton>(dialog, "btClose")->geometry(), QRect(10, 390, 93, 28));
}

void TestAboutDialog::buildLineCarriesCompilerStamp()
{
    AboutDialog dialog;
    const QString text = child<QLabel>(dialog, "lbBuilt")->text();

    static const QRegularExpression format(QRegularExpression::anchoredPattern(
        QStringLiteral("Built on: ([A-Z][a-z]{2} [ 0-9]\\d \\d{4} \\d\\d:\\d\\d:\\d\\d)\n\n")));
    const QRegularExpressionMatch match = format.match(text);
    QVERIFY2(match.hasMatch(), qPrintable(text));

    // The stamp is a real moment, and it cannot lie in the future.
    const QString stamp = match.captured(1).simplified();
    const QDateTime built = QLocale::c().toDateTime(stamp, QStringLiteral("MMM d yyyy HH:mm:ss"));
    QVERIFY2(built.isValid(), qPrintable(stamp));
    QVERIFY(built <= QDateTime::currentDateTime().addDays(1));
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
    auto *close = child<QPushButton>(dialog, "btClose");
    const auto finish = [&] {
        if (useEscape)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            QTest::mouseClick(close, Qt::LeftButton);
    };

    QStringList firstTexts;
    for (int round = 0; round < 2; ++round) {
        bool watchdogFired = false;
        const int result = execWith(dialog, finish, &watchdogFired);
        QVERIFY2(!watchdogFired, "the dialog stayed open");
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());

        QStringList texts;
        const auto labels = dialog.findChildren<QLabel *>();
        for (const QLabel *label : labels)
            texts << label->objectName() + QLatin1Char('=') + label->text();
        if (round == 0)
            firstTexts = texts;
        else
            QCOMPARE(texts, firstTexts);
    }
}

void TestAboutDialog::picturesComeFromResources()
{
    AboutDialog dialog;
    const QPixmap picture = child<QLabel>(dialog, "label")->pixmap(Qt::ReturnByValue);
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.size(), QSize(64, 64));
    const QPixmap logo = child<QLabel>(dialog, "label_2")->pixmap(Qt::ReturnByValue);
    QVERIFY(!logo.isNull());
    QCOMPARE(logo.size(), QSize(100, 32));
    QVERIFY(!dialog.windowIcon().isNull());
    QVERIFY(dialog.windowIcon().availableSizes().contains(QSize(64, 64)));
}

void TestAboutDialog::textsFitTheirLabels_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("contact block") << "lbCompany";
    QTest::newRow("disclaimer") << "lbCopyright";
}

void TestAboutDialog::textsFitTheirLabels()
{
    QFETCH(QString, name);

    AboutDialog dialog;
    auto *label = dialog.findChild<QLabel *>(name);
    QVERIFY(label);
    const int needed = label->heightForWidth(label->width());
    QVERIFY2(
        needed <= label->height(),
        qPrintable(QStringLiteral("%1 px needed, %2 px there").arg(needed).arg(label->height())));
}

void TestAboutDialog::resourcePictureSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    const QSize icon(32, 32);
    QTest::newRow("folder") << ":/buttons/ico/ico2/dir01.png" << icon;
    QTest::newRow("open folder") << ":/buttons/ico/ico2/dir02.png" << icon;
    QTest::newRow("download") << ":/buttons/ico/ico2/load.png" << icon;
    QTest::newRow("computer adapter") << ":/buttons/ico/ico2/s&c.png" << icon;
    QTest::newRow("large logo") << ":/buttons/ico/ico2/logo300.png" << QSize(300, 150);
    QTest::newRow("upload") << ":/buttons/ico/ico2/rec.png" << icon;
    QTest::newRow("instrument") << ":/buttons/ico/ico2/ref.png" << icon;
    QTest::newRow("scan") << ":/buttons/ico/ico2/blu.png" << icon;
    QTest::newRow("refresh") << ":/buttons/ico/ico2/refresh01.png" << icon;
    QTest::newRow("list refresh") << ":/buttons/ico/ico2/refresh02.png" << QSize(32, 33);
    QTest::newRow("small logo") << ":/buttons/ico/ico2/logo_100.png" << QSize(100, 32);
    QTest::newRow("connected") << ":/buttons/ico/ico2/connekt.png" << icon;
    QTest::newRow("disconnected") << ":/buttons/ico/ico2/disconnekt.png" << icon;
    QTest::newRow("cancel transfer") << ":/buttons/ico/ico2/cancel.png" << icon;
    QTest::newRow("waveform view") << ":/buttons/ico/ico2/wave.png" << icon;
    QTest::newRow("application 16") << ":/buttons/ico/varnel_16.png" << QSize(16, 16);
    QTest::newRow("application 64") << ":/buttons/ico/varnel_64.png" << QSize(64, 64);
    QTest::newRow("application 32") << ":/buttons/ico/varnel.png" << icon;
    QTest::newRow("spare trace") << ":/buttons/ico/tdr.png" << icon;
    QTest::newRow("spare cable") << ":/buttons/ico/cable.png" << icon;
}

void TestAboutDialog::resourcePictureSizes()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(path + QLatin1String(": ") + reader.errorString()));
    QCOMPARE(image.size(), size);
    // A drawn picture, not an empty or filled canvas: it has both clear and opaque pixels.
    // The logos and icons all leave their corners (nearly) transparent.
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QVERIFY(qAlpha(argb.pixel(0, 0)) < 8);
    int opaque = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            opaque += qAlpha(argb.pixel(x, y)) > 200;
    QVERIFY2(opaque > argb.width() * argb.height() / 10, qPrintable(QString::number(opaque)));
}

void TestAboutDialog::applicationIconHoldsThreeImages()
{
    const QString path = QStringLiteral(":/buttons/ico/varnel_reader.ico");
    QVERIFY(QResource(path).compressionAlgorithm() != QResource::NoCompression);
    QImageReader reader(path);
    if (!QImageReader::supportedImageFormats().contains("ico"))
        QSKIP("this Qt has no ICO image plugin");
    QCOMPARE(reader.imageCount(), 3);
    QList<QSize> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QVERIFY(image.hasAlphaChannel());
        sizes << image.size();
    }
    QCOMPARE(sizes, (QList<QSize>{{32, 32}, {16, 16}, {64, 64}}));
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
