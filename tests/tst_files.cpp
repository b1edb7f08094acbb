// The working directory: remembered across runs, chosen in a dialog, listed.
#include "apptestsupport.h"

#include "app/waveformwindow.h"
#include "protocol/tdrrecord.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

const QByteArray kScene = R"({
  "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
  "devices": []
})";

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

QString savedDir()
{
    QSettings settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"));
    return settings.value(QStringLiteral("Paths/savedir")).toString();
}

void setSavedDir(const QString &dir)
{
    QSettings settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"));
    settings.setValue(QStringLiteral("Paths/savedir"), dir);
}

QStringList listed(MainWindowProbe &probe)
{
    QStringList names;
    QListWidget *files = probe.list("filesLst");
    for (int i = 0; i < files->count(); ++i)
        names << files->item(i)->text();
    return names;
}

} // namespace

class FilesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstStartUsesCurrentDirectory();
    void listingRules();
    void chosenDirectoryIsListedAndStored();
    void cancelledDialogStillRefreshes();
    void missingSavedDirectory();
    void undecodableNamesAreReported();
    void waveformsOpenFromActionAndFileList();

private:
    QTemporaryDir m_config;
};

void FilesTest::init()
{
    isolateSettings(m_config.path());
    QVERIFY(installScene(kScene));
}

void FilesTest::firstStartUsesCurrentDirectory()
{
    QTemporaryDir cwd;
    QDir::setCurrent(cwd.path());
    touch(cwd.filePath(QStringLiteral("a.tdr")));
    QVERIFY(savedDir().isEmpty());
    {
        MainWindow window;
        MainWindowProbe probe(window);
        QCOMPARE(probe.session().store().directory(), QDir::currentPath());
        QCOMPARE(probe.folderText(), QDir::currentPath());
        QCOMPARE(listed(probe), QStringList{QStringLiteral("a.tdr")});
        QVERIFY(savedDir().isEmpty()); // stored only when the window goes
    }
    QCOMPARE(savedDir(), QDir::currentPath());
}

void FilesTest::listingRules()
{
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("b.tdr")));
    touch(dir.filePath(QStringLiteral("A.TDR")));
    touch(dir.filePath(QStringLiteral(".hidden.tdr")));
    touch(dir.filePath(QStringLiteral("notes.txt")));
    touch(dir.filePath(QStringLiteral("c.tdr.bak")));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.tdr")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("b.tdr")),
                        dir.filePath(QStringLiteral("link.tdr"))));
    setSavedDir(dir.path());

    MainWindow window;
    MainWindowProbe probe(window);
    QCOMPARE(listed(probe), QStringList({QStringLiteral(".hidden.tdr"), QStringLiteral("A.TDR"),
                                         QStringLiteral("b.tdr")}));
    QVERIFY(!probe.list("filesLst")->isEnabled());
}

void FilesTest::chosenDirectoryIsListedAndStored()
{
    QTemporaryDir first;
    QTemporaryDir second;
    touch(second.filePath(QStringLiteral("#001 2021-02-18 12_30_45 1.5m sn001234.tdr")));
    setSavedDir(first.path());
    {
        MainWindow window;
        QVERIFY(window.init());
        MainWindowProbe probe(window);
        QVERIFY(listed(probe).isEmpty());
        answerNextDialog([&](QWidget *dialog) {
            auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
            QVERIFY(fileDialog);
            QCOMPARE(fileDialog->fileMode(), QFileDialog::Directory);
            QVERIFY(fileDialog->testOption(QFileDialog::ShowDirsOnly));
            QCOMPARE(QDir(fileDialog->directory()).canonicalPath(),
                     QDir(first.path()).canonicalPath());
            fileDialog->setDirectory(second.path());
            QMetaObject::invokeMethod(fileDialog, "accept");
        });
        probe.action("actionSelect_Dir")->trigger();
        QCOMPARE(QDir(probe.session().store().directory()).canonicalPath(),
                 QDir(second.path()).canonicalPath());
        QCOMPARE(probe.folderText(), probe.session().store().directory());
        QCOMPARE(listed(probe).size(), 1);
        QCOMPARE(QDir(savedDir()).canonicalPath(), QDir(first.path()).canonicalPath());
    }
    QCOMPARE(QDir(savedDir()).canonicalPath(), QDir(second.path()).canonicalPath());
}

void FilesTest::cancelledDialogStillRefreshes()
{
    QTemporaryDir dir;
    setSavedDir(dir.path());
    MainWindow window;
    MainWindowProbe probe(window);
    QVERIFY(listed(probe).isEmpty());
    touch(dir.filePath(QStringLiteral("new.tdr")));
    answerNextDialog([](QWidget *dialog) { qobject_cast<QDialog *>(dialog)->reject(); });
    probe.action("actionSelect_Dir")->trigger();
    QCOMPARE(probe.session().store().directory(), dir.path());
    QCOMPARE(listed(probe), QStringList{QStringLiteral("new.tdr")});
}

void FilesTest::missingSavedDirectory()
{
    const QString gone = QDir::tempPath() + QStringLiteral("/varnel-no-such-dir-4711");
    setSavedDir(gone);
    MainWindow window;
    MainWindowProbe probe(window);
    QCOMPARE(probe.session().store().directory(), gone);
    QCOMPARE(probe.folderText(), gone);
    QVERIFY(listed(probe).isEmpty());
}

void FilesTest::undecodableNamesAreReported()
{
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("a.tdr")));
    // A name that is not UTF-8: Qt cannot list it, so the user is told.
    const QByteArray raw = QFile::encodeName(dir.path()) + "/\xff\xfe.tdr";
    FILE *file = std::fopen(raw.constData(), "w");
    QVERIFY(file);
    std::fclose(file);
    setSavedDir(dir.path());
    MainWindow window;
    MainWindowProbe probe(window);
    QCOMPARE(probe.items("filesLst"), QStringList{QStringLiteral("a.tdr")});
    QCOMPARE(probe.session().store().undecodableFiles(), 1);
    QCOMPARE(probe.status(), QStringLiteral("Files left out of the list, their names are not valid "
                                            "on this system: 1."));
}

void FilesTest::waveformsOpenFromActionAndFileList()
{
    QTemporaryDir dir;
    TDRRecord record = protocol::emptyRecord();
    record.range = 100;
    record.distanceStep = 1.4989623f;
    for (const QString &name : {QStringLiteral("a.tdr"), QStringLiteral("b.tdr")}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(protocol::recordBytes(record));
    }
    setSavedDir(dir.path());
    MainWindow window;
    QVERIFY(window.init());
    MainWindowProbe probe(window);

    // Always at hand, connected or not, even while the file list is disabled.
    QAction *view = probe.action("actionView_Waveforms");
    QVERIFY(view->isEnabled());
    QVERIFY(!probe.list("filesLst")->isEnabled());
    view->trigger();
    WaveformWindow *viewer = nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows) {
        if (auto *candidate = qobject_cast<WaveformWindow *>(widget))
            viewer = candidate;
    }
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QVERIFY(!viewer->testAttribute(Qt::WA_QuitOnClose));
    QCOMPARE(viewer->directory(), dir.path());
    QCOMPARE(viewer->listedFiles().size(), 2);

    QListWidget *files = probe.list("filesLst");
    emit files->itemActivated(files->item(1));
    QCOMPARE(viewer->shownFiles(), QStringList{QStringLiteral("b.tdr")});

    // It follows the working directory.
    QTemporaryDir other;
    answerNextDialog([&](QWidget *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        fileDialog->setDirectory(other.path());
        QMetaObject::invokeMethod(fileDialog, "accept");
    });
    probe.action("actionSelect_Dir")->trigger();
    QCOMPARE(QDir(viewer->directory()).canonicalPath(), QDir(other.path()).canonicalPath());
    QVERIFY(viewer->listedFiles().isEmpty());
}

QTEST_MAIN(FilesTest)
#include "tst_files.moc"
