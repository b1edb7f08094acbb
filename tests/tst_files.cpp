// SPDX-License-Identifier: GPL-3.0-or-later
// The working directory: remembered across runs, chosen in a dialog, listed.
#include "apptestsupport.h"

#include "app/waveform/waveformwindow.h"
#include "protocol/tdrrecord.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHelpEvent>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

const QByteArray kScene = R"({
  "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ], "devices": []
})";

void touch(const QString &path, const QByteArray &content = QByteArray())
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QString savedDir()
{
    return QSettings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"))
        .value(QStringLiteral("Paths/savedir"))
        .toString();
}

void setSavedDir(const QString &dir)
{
    QSettings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"))
        .setValue(QStringLiteral("Paths/savedir"), dir);
}

void chooseDirectory(MainWindowProbe &probe, const QString &dir)
{
    answerNextDialog([dir](QWidget *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(fileDialog);
        QCOMPARE(fileDialog->fileMode(), QFileDialog::Directory);
        if (dir.isEmpty())
            return fileDialog->reject();
        fileDialog->setDirectory(dir);
        QMetaObject::invokeMethod(fileDialog, "accept");
    });
    probe.action("actionSelect_Dir")->trigger();
}

} // namespace

class FilesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        isolateSettings(m_config.path());
        QVERIFY(installScene(kScene));
    }
    void firstStartUsesCurrentDirectory();
    void listingRules();
    void chosenDirectoryIsListedAndStored();
    void waveformsOpenFromActionAndFileList();

private:
    QTemporaryDir m_config;
};

void FilesTest::firstStartUsesCurrentDirectory()
{
    QTemporaryDir cwd;
    QDir::setCurrent(cwd.path());
    touch(cwd.filePath(QStringLiteral("a.tdr")));
    {
        MainWindow window;
        MainWindowProbe probe(window);
        QCOMPARE(probe.folderText(), QDir::currentPath());
        QCOMPARE(probe.items("filesLst"), QStringList{QStringLiteral("a.tdr")});
        QVERIFY(savedDir().isEmpty()); // stored only when the window goes
    }
    QCOMPARE(savedDir(), QDir::currentPath());
}

void FilesTest::listingRules()
{
    QTemporaryDir dir;
    for (const char *name : {"b.tdr", "A.TDR", ".hidden.tdr", "notes.txt", "c.tdr.bak"})
        touch(dir.filePath(QLatin1String(name)));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.tdr")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("b.tdr")),
                        dir.filePath(QStringLiteral("link.tdr"))));
    setSavedDir(dir.path());

    MainWindow window;
    MainWindowProbe probe(window);
    QCOMPARE(probe.items("filesLst"),
             QStringList({QStringLiteral(".hidden.tdr"), QStringLiteral("A.TDR"),
                          QStringLiteral("b.tdr")}));
    QVERIFY(!probe.list("filesLst")->isEnabled());

    // Changes made by others are followed, a name that is not UTF-8 too: it is
    // listed, and opened, by its bytes.
    touch(dir.filePath(QStringLiteral("new.tdr")));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("b.tdr"))));
    FILE *odd = std::fopen((QFile::encodeName(dir.path()) + "/\xff\xfe.tdr").constData(), "w");
    QVERIFY(odd);
    std::fclose(odd);
    const QString oddName = QString(QChar(0xdcff)) + QChar(0xdcfe) + QStringLiteral(".tdr");
    QTRY_COMPARE(probe.items("filesLst"),
                 QStringList({".hidden.tdr", "A.TDR", "new.tdr", oddName}));
    QVERIFY(probe.session().store().describe(oddName).endsWith(
        QStringLiteral(" is empty: a TDR record has 37775 bytes.")));
    // The folder deleted and made again is followed again.
    QCOMPARE(QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-r"), dir.path()}), 0);
    QTRY_VERIFY(probe.items("filesLst").isEmpty());
    QVERIFY(QDir().mkpath(dir.path()));
    touch(dir.filePath(QStringLiteral("back.tdr")));
    QTRY_COMPARE(probe.items("filesLst"), QStringList{QStringLiteral("back.tdr")});
    chooseDirectory(probe, QString());
    QCOMPARE(probe.items("filesLst").size(), 1);
    const QString gone = dir.filePath(QStringLiteral("gone"));
    probe.session().store().setDirectory(gone);
    QCOMPARE(probe.folderText(), gone);
    QVERIFY(probe.items("filesLst").isEmpty());
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
        QVERIFY(probe.items("filesLst").isEmpty());
        chooseDirectory(probe, second.path());
        QCOMPARE(QDir(probe.folderText()).canonicalPath(), QDir(second.path()).canonicalPath());
        QCOMPARE(probe.items("filesLst").size(), 1);
        QCOMPARE(savedDir(), first.path());
    }
    QCOMPARE(QDir(savedDir()).canonicalPath(), QDir(second.path()).canonicalPath());
}

void FilesTest::waveformsOpenFromActionAndFileList()
{
    QTemporaryDir dir;
    TDRRecord record = protocol::emptyRecord();
    record.range = 100;
    record.distanceStep = 1.4989623f;
    touch(dir.filePath(QStringLiteral("a.tdr")), protocol::recordBytes(record));
    touch(dir.filePath(QStringLiteral("b.tdr")), protocol::recordBytes(record));
    setSavedDir(dir.path());
    MainWindow window;
    QVERIFY(window.init());
    MainWindowProbe probe(window);

    // Hovering a file tells what it holds and its main event, read only then.
    QListWidget *files = probe.list("filesLst");
    QVERIFY(files->item(0)->toolTip().isEmpty());
    QHelpEvent hover(QEvent::ToolTip, files->visualItemRect(files->item(0)).center(), QPoint());
    QCoreApplication::sendEvent(files->viewport(), &hover);
    QCOMPARE(files->item(0)->toolTip(), QStringLiteral("2000-00-00 00:00:00 · range 100 m · length "
                                                       "0 m · step 1.499 m · sn 000000\n"
                                                       "Main event: No events"));
    QVERIFY(files->item(1)->toolTip().isEmpty());

    // Opened from the file list, even while it is disabled, in a window of its own.
    emit files->itemActivated(files->item(1));
    WaveformWindow *viewer = nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows)
        viewer = viewer ? viewer : qobject_cast<WaveformWindow *>(widget);
    QVERIFY(viewer && !viewer->testAttribute(Qt::WA_QuitOnClose));
    QCOMPARE(viewer->listedFiles().size(), 2);
    QCOMPARE(viewer->shownFiles(), QStringList{QStringLiteral("b.tdr")});
    // It follows the working directory.
    QTemporaryDir other;
    chooseDirectory(probe, other.path());
    QCOMPARE(QDir(viewer->directory()).canonicalPath(), QDir(other.path()).canonicalPath());
    QVERIFY(viewer->listedFiles().isEmpty());
}

QTEST_MAIN(FilesTest)
#include "tst_files.moc"
