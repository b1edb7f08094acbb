// SPDX-License-Identifier: GPL-3.0-or-later
// The Russian interface: the committed .ts is complete for the current
// sources, and the built .qm reaches the windows under the contexts they
// look texts up in, with texts that fit.
#include "apptestsupport.h"

#include "app/aboutdialog.h"
#include "protocol/trace.h"
#include "resources/resources.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

namespace {

const QString kSourceDir = QStringLiteral(VARNEL_SOURCE_DIR);
const QString kChecker = kSourceDir + QStringLiteral("/tools/check-translations.sh");

const QByteArray kOneAdapter = R"({
  "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
  "devices": []
})";

struct CheckRun
{
    int exitCode = -1;
    QString output;
};

CheckRun runChecker(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUPDATE"), QStringLiteral(VARNEL_LUPDATE));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("bash"), QStringList{kChecker} + arguments);
    CheckRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.output = QString::fromUtf8(process.readAll());
    return run;
}

} // namespace

class TranslationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void committedTranslationIsComplete();

    void recordCountPlurals_data();
    void recordCountPlurals();
    void traceErrorsReachTheirContext();
    void mainWindowLabelsFit();
    void aboutDialogTextsFit_data();
    void aboutDialogTextsFit();

private:
    QTranslator m_translator;
    QTemporaryDir m_config;
};

void TranslationTest::initTestCase()
{
    varnelInitResources();
    // Desktop font size, which the fixed geometries are laid out for.
    QFont font = QApplication::font();
    font.setPointSize(9);
    QApplication::setFont(font);

    // The same lookup as at start-up: the default locale picks the file.
    QVERIFY2(m_translator.load(QLocale(QLocale::Russian, QLocale::RussianFederation),
                               QStringLiteral("Varnel_Reader"), QStringLiteral("_"),
                               QStringLiteral(VARNEL_BINARY_DIR), QStringLiteral(".qm")),
             "Varnel_Reader_ru.qm is not in the build directory; build the translations target");
    QVERIFY(QCoreApplication::installTranslator(&m_translator));
}

void TranslationTest::cleanupTestCase()
{
    QCoreApplication::removeTranslator(&m_translator);
}

void TranslationTest::init()
{
    isolateSettings(m_config.path());
}

void TranslationTest::committedTranslationIsComplete()
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("bash")).isEmpty())
        QSKIP("the checker needs bash and python3");
    const CheckRun run = runChecker({});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
}

void TranslationTest::recordCountPlurals_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1") << 1 << "1 запись";
    QTest::newRow("3") << 3 << "3 записи";
    QTest::newRow("5") << 5 << "5 записей";
    QTest::newRow("12") << 12 << "12 записей";
    QTest::newRow("22") << 22 << "22 записи";
}

void TranslationTest::recordCountPlurals()
{
    QFETCH(int, count);
    QFETCH(QString, expected);
    QCOMPARE(QCoreApplication::translate("WaveformWindow", "%n records", "", count), expected);
}

// The trace texts are looked up at run time under "Trace"; lupdate must have
// filed them there too, or they would silently stay English.
void TranslationTest::traceErrorsReachTheirContext()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const protocol::TraceResult missing =
        protocol::readTrace(dir.filePath(QStringLiteral("absent.tdr")));
    QVERIFY2(missing.error.startsWith(QStringLiteral("Не удалось прочитать absent.tdr")),
             qPrintable(missing.error));

    const protocol::TraceResult empty = protocol::readTrace(QByteArray(), QStringLiteral("x.tdr"));
    QVERIFY2(empty.error.startsWith(QStringLiteral("Файл x.tdr пуст")), qPrintable(empty.error));
}

void TranslationTest::mainWindowLabelsFit()
{
    QVERIFY(installScene(kOneAdapter));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const char *object : {"label", "label_2", "label_3", "label_4", "label_5", "label_6"}) {
        auto *label = window.findChild<QLabel *>(object);
        const QSize needed = label->minimumSizeHint();
        QVERIFY2(label->width() >= needed.width() && label->height() >= needed.height(),
                 qPrintable(QStringLiteral("\"%1\" needs %2x%3 px, has %4x%5")
                                .arg(label->text())
                                .arg(needed.width())
                                .arg(needed.height())
                                .arg(label->width())
                                .arg(label->height())));
    }
    // Longer labels must not have pushed the window beyond its designed width.
    QCOMPARE(window.width(), 669);
}

void TranslationTest::aboutDialogTextsFit_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("contact block") << "lbCompany";
    QTest::newRow("disclaimer") << "lbCopyright";
    QTest::newRow("build line") << "lbBuilt";
}

void TranslationTest::aboutDialogTextsFit()
{
    QFETCH(QString, name);
    AboutDialog dialog;
    auto *label = dialog.findChild<QLabel *>(name);
    QVERIFY(label);
    QVERIFY2(label->text().contains(QRegularExpression(QStringLiteral("[А-Яа-я]"))),
             qPrintable(label->text()));
    if (label->wordWrap()) {
        const int needed = label->heightForWidth(label->width());
        QVERIFY2(needed <= label->height(),
                 qPrintable(
                     QStringLiteral("%1 px needed, %2 px there").arg(needed).arg(label->height())));
    } else {
        // One line: only its length differs between the languages.
        const int needed = label->sizeHint().width();
        QVERIFY2(
            needed <= label->width(),
            qPrintable(QStringLiteral("%1 px wide, %2 px there").arg(needed).arg(label->width())));
    }
}

QTEST_MAIN(TranslationTest)
#include "tst_translation.moc"
