// The Russian interface: the committed .ts is complete for the current
// sources, the checker that says so catches what it should, and the built
// .qm really reaches the windows under the contexts they look texts up in.
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
#include <QXmlStreamReader>

namespace {

const QString kSourceDir = QStringLiteral(VARNEL_SOURCE_DIR);
const QString kTsFile = kSourceDir + QStringLiteral("/translations/Varnel_Reader_ru.ts");
const QString kChecker = kSourceDir + QStringLiteral("/tools/check-translations.sh");

const QByteArray kOneAdapter = R"({
  "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
  "devices": []
})";

struct TsMessage
{
    QString context;
    QString source;
    QString comment;
    bool numerus = false;
    QStringList translations; // one, or one per plural form
};

QList<TsMessage> readTs(const QString &path, QString *error)
{
    QList<TsMessage> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    TsMessage message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            message = TsMessage();
            message.context = context;
            message.numerus =
                xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
        } else if (name == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (name == QLatin1String("comment")) {
            message.comment = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            if (!message.numerus)
                message.translations << xml.readElementText();
            else
                while (xml.readNextStartElement())
                    message.translations << xml.readElementText();
            messages << message;
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return messages;
}

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

// A minimal source tree and .ts for the checker: one class W whose tr()
// calls are `calls`, and the <message> elements given.
bool writeFakeProject(const QString &root, const QString &calls, const QString &messages)
{
    if (!QDir().mkpath(root + QStringLiteral("/app")))
        return false;
    QFile source(root + QStringLiteral("/app/w.cpp"));
    QFile ts(root + QStringLiteral("/w_ru.ts"));
    if (!source.open(QIODevice::WriteOnly) || !ts.open(QIODevice::WriteOnly))
        return false;
    source.write(QStringLiteral("#include <QObject>\nclass W : public QObject\n{\n    Q_OBJECT\n"
                                "    void f()\n    {\n%1\n    }\n};\n")
                     .arg(calls)
                     .toUtf8());
    ts.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
                            "<TS version=\"2.1\" language=\"ru_RU\">\n<context>\n"
                            "    <name>W</name>\n%1\n</context>\n</TS>\n")
                 .arg(messages)
                 .toUtf8());
    return true;
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
    void checkerLeavesTheFileAlone();

    void builtTranslationMatchesSource_data();
    void builtTranslationMatchesSource();
    void recordCountPlurals_data();
    void recordCountPlurals();
    void traceErrorsReachTheirContext();
    void mainWindowLabelsFit_data();
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
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        QSKIP("the checker needs python3");
    const CheckRun run = runChecker({});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
}

void TranslationTest::checkerLeavesTheFileAlone()
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        QSKIP("the checker needs python3");
    QTemporaryDir tree;
    QVERIFY(tree.isValid());
    // A stale entry lupdate would drop and a new text it would add.
    QVERIFY(writeFakeProject(
        tree.path(), QStringLiteral("tr(\"Scan\");"),
        QStringLiteral("<message><source>Gone</source><translation>Нет</translation></message>")));
    QFile ts(tree.filePath(QStringLiteral("w_ru.ts")));
    QVERIFY(ts.open(QIODevice::ReadOnly));
    const QByteArray before = ts.readAll();
    ts.close();

    const CheckRun run = runChecker(
        {QStringLiteral("--source-dir"), tree.path(), QStringLiteral("--ts"), ts.fileName()});
    QVERIFY2(run.exitCode == 1, qPrintable(run.output));
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QCOMPARE(ts.readAll(), before);
}

void TranslationTest::builtTranslationMatchesSource_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<bool>("numerus");
    QTest::addColumn<QStringList>("translations");

    QString error;
    const QList<TsMessage> messages = readTs(kTsFile, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!messages.isEmpty());
    int index = 0;
    for (const TsMessage &m : messages) {
        const QString row = QStringLiteral("%1 %2: %3")
                                .arg(++index, 3, 10, QLatin1Char('0'))
                                .arg(m.context, m.source.left(40).replace(QLatin1Char('\n'), ' '));
        QTest::newRow(qPrintable(row))
            << m.context << m.source << m.comment << m.numerus << m.translations;
    }
}

// A .qm left behind by an edit of the .ts would show old texts.
void TranslationTest::builtTranslationMatchesSource()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, comment);
    QFETCH(bool, numerus);
    QFETCH(QStringList, translations);

    const QByteArray ctx = context.toUtf8();
    const QByteArray src = source.toUtf8();
    const QByteArray disambiguation = comment.toUtf8();
    const char *comm = comment.isEmpty() ? nullptr : disambiguation.constData();
    if (!numerus) {
        QCOMPARE(translations.size(), 1);
        QCOMPARE(m_translator.translate(ctx.constData(), src.constData(), comm), translations[0]);
        return;
    }
    // Russian plural forms: one (1, 21), few (2-4, 22), many (5-20, 11).
    QCOMPARE(translations.size(), 3);
    const QList<QPair<int, int>> samples{{1, 0}, {21, 0}, {2, 1}, {23, 1}, {5, 2}, {11, 2}, {0, 2}};
    for (const auto &sample : samples)
        QCOMPARE(m_translator.translate(ctx.constData(), src.constData(), comm, sample.first),
                 translations[sample.second]);
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

void TranslationTest::mainWindowLabelsFit_data()
{
    QTest::addColumn<QString>("object");
    QTest::newRow("working directory") << "label_3";
    QTest::newRow("device info") << "label_4";
    QTest::newRow("file list") << "label_5";
    QTest::newRow("records list") << "label_6";
    QTest::newRow("computer heading") << "label";
    QTest::newRow("instrument heading") << "label_2";
}

void TranslationTest::mainWindowLabelsFit()
{
    QFETCH(QString, object);
    QVERIFY(installScene(kOneAdapter));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *label = window.findChild<QLabel *>(object);
    QVERIFY(label);
    const QSize needed = label->minimumSizeHint();
    QVERIFY2(label->width() >= needed.width() && label->height() >= needed.height(),
             qPrintable(QStringLiteral("\"%1\" needs %2x%3 px, has %4x%5")
                            .arg(label->text())
                            .arg(needed.width())
                            .arg(needed.height())
                            .arg(label->width())
                            .arg(label->height())));
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
