// Downloads, uploads and the serial number on an emulated instrument.
#include "apptestsupport.h"

#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/emulatedstack.h"
#include "protocol/frame.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QBluetoothAddress kInstrument(QStringLiteral("00:1A:7D:DA:71:13"));

QByteArray sceneJson(const QString &instrumentOptions)
{
    return QStringLiteral(R"({
      "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
      "devices": [
        {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
         "services": [ {"name": "Serial Port", "channel": 1, "instrument": %1} ]}
      ]
    })")
        .arg(instrumentOptions)
        .toUtf8();
}

QStringList tdrFiles(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*.tdr")}, QDir::Files | QDir::Hidden, QDir::Name);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool runAsRoot(const QStringList &command)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// A tmpfs of its own, for what permissions cannot show to root: a read-only
// or a full file system. Skips the test where mounting is not possible.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(const QString &options)
    {
        m_ok = runAsRoot({QStringLiteral("mount"), QStringLiteral("-t"), QStringLiteral("tmpfs"),
                          QStringLiteral("-o"), options, QStringLiteral("tmpfs"), m_dir.path()});
    }
    ~SmallFileSystem()
    {
        if (m_ok)
            runAsRoot({QStringLiteral("umount"), m_dir.path()});
    }
    bool mounted() const { return m_ok; }
    QString path() const { return m_dir.path(); }
    bool remountReadOnly()
    {
        return runAsRoot({QStringLiteral("mount"), QStringLiteral("-o"),
                          QStringLiteral("remount,ro"), m_dir.path()});
    }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

} // namespace

class RecordsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void downloadOneAtATime();
    void sameRecordTwiceGivesOneFile();
    void roundTripThroughFiles();
    void uploadSkipsBadFiles_data();
    void uploadSkipsBadFiles();
    void uploadStopsAtLastSlot();
    void uploadCancelledStillRefreshesList();
    void serialNumberReachesInstrument();
    void serialDialogCancelled_data();
    void serialDialogCancelled();
    void lostAndSpoiltAnswersAreRepeated_data();
    void lostAndSpoiltAnswersAreRepeated();
    void silentInstrumentEndsTheChain();
    void progressFollowsDownload();
    void cancelKeepsWhatArrived();
    void closingMidChainLeavesWholeFiles();
    void failedSaveLeavesFilesAlone_data();
    void failedSaveLeavesFilesAlone();

private:
    void start(const QString &instrumentOptions);
    void listRecords();
    void selectRecords(const QList<int> &rows);
    void selectFiles(const QStringList &names);
    void uploadFrom(int slot);
    emu::EmulatedInstrument *instrument() const;

    QTemporaryDir m_config;
    QTemporaryDir *m_work = nullptr;
    MainWindow *m_window = nullptr;
    MainWindowProbe *m_probe = nullptr;
};

void RecordsTest::init()
{
    isolateSettings(m_config.path());
    m_work = new QTemporaryDir;
    QDir::setCurrent(m_work->path());
}

void RecordsTest::cleanup()
{
    delete m_probe;
    delete m_window;
    m_probe = nullptr;
    m_window = nullptr;
    QDir::setCurrent(QDir::tempPath());
    delete m_work;
    m_work = nullptr;
}

void RecordsTest::start(const QString &instrumentOptions)
{
    QVERIFY(installScene(sceneJson(instrumentOptions)));
    m_window = new MainWindow;
    QVERIFY(m_window->init());
    m_probe = new MainWindowProbe(*m_window);
    m_probe->queue().setAnswerTimeout(300);
    m_probe->action("actionScan")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    m_probe->action("actionConnect")->setChecked(true);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-105")));
    QTRY_VERIFY(m_probe->queue().isEmpty());
}

void RecordsTest::listRecords()
{
    const int before = m_probe->log().count(QStringLiteral("KV-105: 41"));
    m_probe->action("actionGet_List")->trigger();
    QTRY_VERIFY(m_probe->queue().isEmpty());
    QTRY_VERIFY(m_probe->log().count(QStringLiteral("KV-105: 41")) > before);
    QTRY_VERIFY(m_probe->list("recordsLst")->isEnabled());
}

void RecordsTest::selectRecords(const QList<int> &rows)
{
    QListWidget *records = m_probe->list("recordsLst");
    records->clearSelection();
    for (int row : rows)
        records->item(row)->setSelected(true);
}

void RecordsTest::selectFiles(const QStringList &names)
{
    QListWidget *files = m_probe->list("filesLst");
    files->clearSelection();
    for (const QString &name : names) {
        const auto found = files->findItems(name, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        found.first()->setSelected(true);
    }
}

void RecordsTest::uploadFrom(int slot)
{
    answerNextDialog([slot](QWidget *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        QVERIFY(input);
        QCOMPARE(input->windowTitle(), QStringLiteral("Enter target record number"));
        QCOMPARE(input->labelText(), QStringLiteral("Record Number:"));
        QCOMPARE(input->intMinimum(), 0);
        QCOMPARE(input->intMaximum(), 99);
        input->setIntValue(slot);
        input->accept();
    });
    m_probe->action("actionUpload_Selected")->trigger();
}

emu::EmulatedInstrument *RecordsTest::instrument() const
{
    return bt::emulatedStack()->instrument(kInstrument, 1);
}

void RecordsTest::downloadOneAtATime()
{
    start(QStringLiteral(R"({"records": 5, "seed": 11, "chunk": "random", "delayMs": 2})"));
    listRecords();
    selectRecords({0, 2, 4});
    const int logStart = m_probe->log().size();
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_VERIFY(m_probe->queue().isEmpty());
    QTRY_COMPARE(tdrFiles(m_work->path()).size(), 3);

    // Each request goes out only after the answer to the one before.
    const QStringList lines = m_probe->log().mid(logStart).split(QLatin1Char('\n'));
    QStringList order;
    for (const QString &line : lines) {
        if (line.startsWith(m_probe->localName() + QStringLiteral(": 4005")))
            order << QStringLiteral("ask");
        else if (line.startsWith(QStringLiteral("KV-105: 401b01")))
            order << QStringLiteral("answer");
    }
    QCOMPARE(order.join(QLatin1Char(' ')), QStringLiteral("ask answer ask answer ask answer"));

    // Every file is the image of the instrument's block under the identity.
    for (int number : {1, 3, 5}) {
        TDRRecord expected = protocol::emptyRecord();
        protocol::applyIdentity(expected, *protocol::parseIdentity(protocol::frameBytes(
                                              QStringLiteral("420e00692102183030313233341e"))));
        QVERIFY(protocol::applyRecordBlock(expected, instrument()->recordBlock(number)));
        const QString name = protocol::recordFileName(expected, quint8(number));
        QVERIFY2(name.startsWith(QStringLiteral("#%1 20").arg(number, 3, 10, QLatin1Char('0'))),
                 qPrintable(name));
        QVERIFY(name.endsWith(QStringLiteral("sn001234.tdr")));
        const QByteArray content = readAll(m_work->path() + QLatin1Char('/') + name);
        QCOMPARE(content.size(), 37775);
        QCOMPARE(content, protocol::recordBytes(expected));
    }
    QCOMPARE(m_probe->list("filesLst")->count(), 3);
}

void RecordsTest::sameRecordTwiceGivesOneFile()
{
    start(QStringLiteral(R"({"records": 3, "seed": 5, "delayMs": 1})"));
    listRecords();
    selectRecords({1});
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_COMPARE(tdrFiles(m_work->path()).size(), 1);
    QTRY_VERIFY(m_probe->queue().isEmpty());
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_VERIFY(m_probe->queue().isEmpty());
    QCOMPARE(m_probe->log().count(QStringLiteral(": 40050002")), 2);
    QCOMPARE(tdrFiles(m_work->path()).size(), 1);
}

void RecordsTest::roundTripThroughFiles()
{
    start(QStringLiteral(R"({"records": 6, "seed": 21, "chunk": "random", "delayMs": 1})"));
    listRecords();
    m_probe->list("recordsLst")->selectAll();
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_COMPARE(tdrFiles(m_work->path()).size(), 6);
    QTRY_VERIFY(m_probe->queue().isEmpty());

    const QStringList files = tdrFiles(m_work->path());
    selectFiles(files);
    uploadFrom(40);
    QTRY_VERIFY(m_probe->queue().isEmpty());
    QTRY_COMPARE(m_probe->list("recordsLst")->count(), 12);

    // Files list in name order, which is record order: slot 40 + i holds record 1 + i.
    for (int i = 0; i < 6; ++i) {
        const QByteArray original = instrument()->recordBlock(1 + i);
        const QByteArray copy = instrument()->recordBlock(40 + i);
        QCOMPARE(copy.size(), 283);
        QCOMPARE(quint8(copy.at(3)), quint8(40 + i));
        // The documented lossy fields: the record number, bytes 14 and 15
        // (rebuilt from the distance step), and bytes 25 to 28 (the value the
        // file holds, not the block's). The step divisor comes back as it was
        // for the divisors the instrument uses.
        for (int offset = 0; offset < 282; ++offset) {
            if (offset == 3 || offset == 14 || offset == 15 || (offset >= 25 && offset <= 28))
                continue;
            QVERIFY2(
                original.at(offset) == copy.at(offset),
                qPrintable(QStringLiteral("record %1 differs at byte %2").arg(1 + i).arg(offset)));
        }
    }

    // Downloading the copies gives the same files under their new numbers,
    // apart from value25, which the upload carried divided by 10000.
    const int before = tdrFiles(m_work->path()).size();
    QListWidget *records = m_probe->list("recordsLst");
    records->clearSelection();
    for (int row = 0; row < records->count(); ++row) {
        if (records->item(row)->text().startsWith(QStringLiteral("#04")))
            records->item(row)->setSelected(true);
    }
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_COMPARE(tdrFiles(m_work->path()).size(), before + 6);
}

void RecordsTest::uploadSkipsBadFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    TDRRecord good = protocol::emptyRecord();
    good.range = 100;
    good.distanceStep = 1.4989623f;
    const QByteArray image = protocol::recordBytes(good);
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("not a record file");
    QTest::newRow("100 bytes") << image.left(100) << QStringLiteral("not a record file");
    TDRRecord zeroStep = good;
    zeroStep.distanceStep = 0.0f;
    QTest::newRow("zero step") << protocol::recordBytes(zeroStep)
                               << QStringLiteral("bad distance step");
    TDRRecord badRange = good;
    badRange.range = 150;
    QTest::newRow("unknown range")
        << protocol::recordBytes(badRange) << QStringLiteral("unknown range");
}

void RecordsTest::uploadSkipsBadFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    start(QStringLiteral(R"({"records": 2, "seed": 2, "delayMs": 1})"));
    listRecords();
    selectRecords({0});
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_COMPARE(tdrFiles(m_work->path()).size(), 1);
    QTRY_VERIFY(m_probe->queue().isEmpty());
    const QString good = tdrFiles(m_work->path()).first();

    QFile bad(m_work->path() + QStringLiteral("/#000 bad.tdr"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(content);
    bad.close();
    // Refreshed by choosing the same directory again (the dialog is cancelled).
    answerNextDialog([](QWidget *dialog) { qobject_cast<QDialog *>(dialog)->reject(); });
    m_probe->action("actionSelect_Dir")->trigger();
    const QString infoBefore = m_probe->deviceInfo();
    const QByteArray identityBefore = protocol::recordBytes(m_probe->record()).left(17);

    selectFiles({QStringLiteral("#000 bad.tdr"), good});
    uploadFrom(7);
    QTRY_VERIFY(m_probe->queue().isEmpty());
    QVERIFY2(m_probe->status().contains(QStringLiteral("#000 bad.tdr")),
             qPrintable(m_probe->status()));
    QVERIFY2(m_probe->status().contains(reason), qPrintable(m_probe->status()));
    // The good file went to slot 7, the bad one nowhere.
    QCOMPARE(m_probe->log().count(QStringLiteral(": 431b01")), 1);
    QCOMPARE(quint8(instrument()->recordBlock(7).at(3)), quint8(7));
    QVERIFY(instrument()->recordBlock(8).isEmpty());
    QCOMPARE(protocol::recordBytes(m_probe->record()).left(17), identityBefore);
    QCOMPARE(m_probe->deviceInfo(), infoBefore);
}

void RecordsTest::uploadStopsAtLastSlot()
{
    start(QStringLiteral(R"({"records": 3, "seed": 4, "delayMs": 1})"));
    listRecords();
    m_probe->list("recordsLst")->selectAll();
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_COMPARE(tdrFiles(m_work->path()).size(), 3);
    QTRY_VERIFY(m_probe->queue().isEmpty());
    selectFiles(tdrFiles(m_work->path()));
    uploadFrom(98);
    QTRY_VERIFY(m_probe->queue().isEmpty());
    QCOMPARE(m_probe->log().count(QStringLiteral(": 431b01")), 2);
    QVERIFY(!instrument()->recordBlock(98).isEmpty());
    QVERIFY(!instrument()->recordBlock(99).isEmpty());
    QVERIFY(instrument()->recordBlock(100).isEmpty());
    QVERIFY2(m_probe->status().contains(
                 QStringLiteral("Files left out, there is no record slot after 99: 1.")),
             qPrintable(m_probe->status()));
}

void RecordsTest::uploadCancelledStillRefreshesList()
{
    start(QStringLiteral(R"({"records": 2, "seed": 4, "delayMs": 1})"));
    listRecords();
    answerNextDialog([](QWidget *dialog) { qobject_cast<QDialog *>(dialog)->reject(); });
    const int lists = m_probe->log().count(QStringLiteral(": 41040045"));
    m_probe->action("actionUpload_Selected")->setEnabled(true);
    m_probe->action("actionUpload_Selected")->trigger();
    QTRY_VERIFY(m_probe->queue().isEmpty());
    QCOMPARE(m_probe->log().count(QStringLiteral(": 41040045")), lists + 1);
    QCOMPARE(m_probe->log().count(QStringLiteral(": 431b01")), 0);
}

void RecordsTest::serialNumberReachesInstrument()
{
    start(QStringLiteral(R"({"records": 1, "delayMs": 1})"));
    QString shownDefault;
    answerNextDialog([&](QWidget *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        QVERIFY(input);
        QCOMPARE(input->windowTitle(), QStringLiteral("Set Decice Serial Number "));
        QCOMPARE(input->labelText(), QStringLiteral("Serial Number:"));
        shownDefault = input->textValue();
        input->setTextValue(QStringLiteral("654321"));
        input->accept();
    });
    m_probe->action("actionSet_Serial")->trigger();
    QTRY_VERIFY(m_probe->deviceInfo().contains(QStringLiteral("sn:654321")));
    QCOMPARE(shownDefault, QStringLiteral("001234"));
    QCOMPARE(instrument()->serial(), QStringLiteral("654321"));
    const QString log = m_probe->log();
    const int set = log.indexOf(QStringLiteral(": 440a00363534333231"));
    QVERIFY(set > 0);
    QVERIFY(log.indexOf(QStringLiteral(": 4205000047"), set) > set);
}

void RecordsTest::serialDialogCancelled_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("dialog cancelled") << false;
    QTest::newRow("text cleared and accepted") << true;
}

void RecordsTest::serialDialogCancelled()
{
    QFETCH(bool, accept);
    start(QStringLiteral(R"({"records": 1, "delayMs": 1})"));
    answerNextDialog([accept](QWidget *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        input->setTextValue(QString());
        if (accept)
            input->accept();
        else
            input->reject();
    });
    const QString logBefore = m_probe->log();
    m_probe->action("actionSet_Serial")->trigger();
    QVERIFY(m_probe->queue().isEmpty());
    QCOMPARE(m_probe->log(), logBefore);
}

void RecordsTest::lostAndSpoiltAnswersAreRepeated_data()
{
    QTest::addColumn<QString>("options");
    QTest::newRow("every third answer lost")
        << QStringLiteral(R"({"records": 5, "seed": 9, "dropEvery": 3, "delayMs": 1})");
    QTest::newRow("every second answer spoilt")
        << QStringLiteral(R"({"records": 5, "seed": 9, "corruptEvery": 2, "delayMs": 1})");
}

void RecordsTest::lostAndSpoiltAnswersAreRepeated()
{
    QFETCH(QString, options);
    start(options);
    listRecords();
    QTRY_COMPARE(m_probe->list("recordsLst")->count(), 5);
    m_probe->list("recordsLst")->selectAll();
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(m_probe->queue().isEmpty(), 20000);
    QCOMPARE(tdrFiles(m_work->path()).size(), 5);
    QVERIFY(m_probe->status().startsWith(QStringLiteral("Connected to")));
}

void RecordsTest::silentInstrumentEndsTheChain()
{
    start(QStringLiteral(R"({"records": 4, "delayMs": 1})"));
    listRecords();
    m_probe->list("recordsLst")->selectAll();
    // From now on the instrument keeps quiet.
    m_probe->queue().setAnswerTimeout(100);
    instrument()->setSilent(true);
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(m_probe->queue().isEmpty(), 5000);
    QCOMPARE(m_probe->log().count(QStringLiteral(": 40050001")), 3); // sent, then twice again
    QCOMPARE(m_probe->status(),
             QStringLiteral("The instrument does not answer. Commands not carried out: 4."));
    QVERIFY(!m_window->findChild<QProgressBar *>(QStringLiteral("chainProgress"))->isVisible());
    QVERIFY(tdrFiles(m_work->path()).isEmpty());
}

void RecordsTest::progressFollowsDownload()
{
    start(QStringLiteral(R"({"records": 10, "seed": 1, "delayMs": 5})"));
    listRecords();
    auto *progress = m_window->findChild<QProgressBar *>(QStringLiteral("chainProgress"));
    QAction *cancel = m_window->findChild<QAction *>(QStringLiteral("actionCancel"));
    QVERIFY(!cancel->isEnabled());
    m_window->show();
    QList<int> seen;
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int v) { seen << v; });
    m_probe->list("recordsLst")->selectAll();
    m_probe->action("actionLoad_Selected")->trigger();
    QVERIFY(progress->isVisible());
    QCOMPARE(progress->maximum(), 10);
    QVERIFY(cancel->isEnabled());
    QTRY_COMPARE(tdrFiles(m_work->path()).size(), 10);
    QTRY_VERIFY(!progress->isVisible());
    QCOMPARE(seen, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    QVERIFY(!cancel->isEnabled());
}

void RecordsTest::cancelKeepsWhatArrived()
{
    start(QStringLiteral(R"({"records": 10, "seed": 1, "delayMs": 20})"));
    listRecords();
    auto *progress = m_window->findChild<QProgressBar *>(QStringLiteral("chainProgress"));
    QAction *cancel = m_window->findChild<QAction *>(QStringLiteral("actionCancel"));
    bool cancelled = false;
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int v) {
        // The user's click lands while the next request is on its way.
        if (v == 3 && !cancelled) {
            cancelled = true;
            QTimer::singleShot(0, cancel, &QAction::trigger);
        }
    });
    m_probe->list("recordsLst")->selectAll();
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_VERIFY(cancelled);
    QTRY_VERIFY(m_probe->queue().isEmpty());
    // The fourth request was in flight when Cancel came: its record is saved too.
    QTRY_COMPARE(tdrFiles(m_work->path()).size(), 4);
    QCOMPARE(m_probe->log().count(QStringLiteral(": 4005")), 4);
    QCOMPARE(m_probe->status(),
             QStringLiteral("Download cancelled. Records saved: 4, not saved: 6."));
    QVERIFY(!progress->isVisible());
    QVERIFY(!cancel->isEnabled());
    QTest::qWait(100);
    QCOMPARE(m_probe->log().count(QStringLiteral(": 4005")), 4);
}

void RecordsTest::closingMidChainLeavesWholeFiles()
{
    start(QStringLiteral(R"({"records": 10, "seed": 3, "delayMs": 15, "chunk": 7})"));
    listRecords();
    m_probe->list("recordsLst")->selectAll();
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_COMPARE(tdrFiles(m_work->path()).size(), 2);
    delete m_probe;
    delete m_window;
    m_probe = nullptr;
    m_window = nullptr;
    QTest::qWait(100); // answers still on their way find no window
    const QStringList names = QDir(m_work->path()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY(!names.isEmpty());
    for (const QString &name : names) {
        QVERIFY2(name.endsWith(QLatin1String(".tdr")), qPrintable(name));
        QCOMPARE(QFileInfo(m_work->path() + QLatin1Char('/') + name).size(), 37775);
    }
}

void RecordsTest::failedSaveLeavesFilesAlone_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("read-only file system") << true;
    QTest::newRow("full file system") << false;
}

void RecordsTest::failedSaveLeavesFilesAlone()
{
    QFETCH(bool, readOnly);
    SmallFileSystem fs(QStringLiteral("size=60k"));
    if (!fs.mounted())
        QSKIP("cannot mount a tmpfs here");
    start(QStringLiteral(R"({"records": 3, "seed": 31, "delayMs": 1})"));
    listRecords();

    // First a good download into the small file system, to have files to protect.
    answerNextDialog([&](QWidget *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(fileDialog);
        fileDialog->setDirectory(fs.path());
        QMetaObject::invokeMethod(fileDialog, "accept");
    });
    m_probe->action("actionSelect_Dir")->trigger();
    QCOMPARE(m_probe->workDir(), fs.path());
    selectRecords({0});
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_COMPARE(tdrFiles(fs.path()).size(), 1);
    QTRY_VERIFY(m_probe->queue().isEmpty());
    const QString existing = fs.path() + QLatin1Char('/') + tdrFiles(fs.path()).first();
    const QByteArray before = readAll(existing);

    if (readOnly) {
        QVERIFY(fs.remountReadOnly());
    } else {
        QFile filler(fs.path() + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

    m_probe->list("recordsLst")->selectAll();
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_VERIFY(m_probe->queue().isEmpty());
    QCOMPARE(readAll(existing), before);
    QCOMPARE(tdrFiles(fs.path()).size(), 1);
    QVERIFY2(m_probe->status().contains(QStringLiteral("could not be saved")),
             qPrintable(m_probe->status()));
    // No temporary leftovers either.
    QDir dir(fs.path());
    const QStringList all = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : all)
        QVERIFY2(name.endsWith(QLatin1String(".tdr")) || name == QLatin1String("filler"),
                 qPrintable(name));
    m_window->close();
}

QTEST_MAIN(RecordsTest)
#include "tst_records.moc"
