// SPDX-License-Identifier: GPL-3.0-or-later
// Cable labels kept beside the record files.
#include "records/labelbook.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// SHA-256 of the bytes "one", worked out elsewhere.
const char kOneKey[] = "7692c3ad3540bb803c020b3aee66cd8887123234ea0c6e7143c0add73ff431ed";

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(CableLabel)

class LabelBookTest : public QObject
{
    Q_OBJECT

    enum Change { Rename, EqualCopy, Rewrite, OtherFolder, Clear, AnotherReader };

private slots:
    void labelsFollowTheBytes_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("cable"); // what the changed file shows then
        QTest::newRow("renamed file keeps its label") << int(Rename) << "Feeder 3";
        QTest::newRow("equal bytes share the label") << int(EqualCopy) << "Feeder 3";
        QTest::newRow("changed bytes lose it") << int(Rewrite) << "";
        QTest::newRow("a copy in another folder has none") << int(OtherFolder) << "";
        QTest::newRow("an empty label clears it") << int(Clear) << "";
        QTest::newRow("another reader finds it on disk") << int(AnotherReader) << "Feeder 3";
    }
    void labelsFollowTheBytes()
    {
        QFETCH(int, change);
        QFETCH(QString, cable);
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.tdr"));
        QVERIFY(writeFile(a, "one"));
        LabelBook book(dir.path());
        QCOMPARE(book.setLabel({QStringLiteral("a.tdr")}, {QStringLiteral("Feeder 3"), {}}),
                 QString());
        // The record keeps its bytes; the label goes into a file of its own.
        QCOMPARE(readFile(a), QByteArray("one"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList({QStringLiteral("a.tdr"), QStringLiteral("varnel-labels.json")}));

        QString target = QStringLiteral("a.tdr");
        LabelBook other(dir.filePath(QStringLiteral("sub")));
        LabelBook *reader = &book;
        switch (Change(change)) {
        case Rename:
            target = QStringLiteral("b.tdr");
            QVERIFY(QFile::rename(a, dir.filePath(target)));
            break;
        case EqualCopy:
            target = QStringLiteral("c.tdr");
            QVERIFY(writeFile(dir.filePath(target), "one"));
            break;
        case Rewrite:
            QVERIFY(writeFile(a, "two"));
            break;
        case OtherFolder:
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
            QVERIFY(QFile::copy(a, dir.filePath(QStringLiteral("sub/a.tdr"))));
            reader = &other;
            break;
        case Clear:
            QCOMPARE(book.setLabel({target}, {}), QString());
            break;
        case AnotherReader:
            other.setDirectory(dir.path());
            reader = &other;
            break;
        }
        QCOMPARE(reader->label(target).cable, cable);
    }

    void aLabelFileThatCannotBeRead_data()
    {
        const QByteArray entry = QByteArray("{\"") + kOneKey + "\": {\"cable\": \"Old\"}";
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("link");     // the label file is a link to `content` elsewhere
        QTest::addColumn<QString>("shown"); // the cable read for "one"
        QTest::addColumn<bool>("writable");
        QTest::newRow("not JSON") << QByteArray("{\"labels\": {") << false << "" << false;
        QTest::newRow("a JSON array") << QByteArray("[]") << false << "" << false;
        QTest::newRow("labels not an object")
            << QByteArray("{\"labels\": [1]}") << false << "" << false;
        QTest::newRow("from a newer version, shown but kept")
            << "{\"version\": 2, \"labels\": " + entry + "}}" << false << "Old" << false;
        QTest::newRow("a link out of the folder")
            << "{\"labels\": " + entry + "}}" << true << "" << false;
        QTest::newRow("too large") << QByteArray(5 << 20, ' ') + "{}" << false << "" << false;
        QTest::newRow("entries of another shape are kept")
            << "{\"labels\": " + entry + ", \"odd\": 5, \"x\": {\"cable\": [1]}}}" << false << "Old"
            << true;
    }
    void aLabelFileThatCannotBeRead()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, link);
        QFETCH(QString, shown);
        QFETCH(bool, writable);
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("a.tdr")), "one"));
        const QString labels = dir.filePath(QStringLiteral("varnel-labels.json"));
        const QString outside = elsewhere.filePath(QStringLiteral("target.json"));
        QVERIFY(writeFile(link ? outside : labels, content));
        if (link)
            QVERIFY(QFile::link(outside, labels));

        LabelBook book(dir.path());
        QCOMPARE(book.label(QStringLiteral("a.tdr")).cable, shown);
        QCOMPARE(book.problem().isEmpty(), writable);
        const QString error = book.setLabel({QStringLiteral("a.tdr")}, {QStringLiteral("New"), {}});
        QCOMPARE(error.isEmpty(), writable);
        if (!writable) {
            QCOMPARE(readFile(link ? outside : labels), content);
            QCOMPARE(QFileInfo(labels).isSymLink(), link);
            return;
        }
        QCOMPARE(LabelBook(dir.path()).label(QStringLiteral("a.tdr")).cable, QStringLiteral("New"));
        const QByteArray written = readFile(labels);
        QVERIFY2(written.contains("\"odd\": 5") && written.contains("\"x\": {"), written);
    }

    void labelsAreOneLineAndBounded_data()
    {
        QTest::addColumn<CableLabel>("given");
        QTest::addColumn<CableLabel>("kept");
        QTest::newRow("line breaks and tabs in a name")
            << CableLabel{QStringLiteral(" A\nB\tC\u2028D "), {}}
            << CableLabel{QStringLiteral("A B C D"), {}};
        QTest::newRow("a long name is cut") << CableLabel{QString(300, QLatin1Char('x')), {}}
                                            << CableLabel{QString(120, QLatin1Char('x')), {}};
        QTest::newRow("a note keeps its lines, not its controls")
            << CableLabel{{}, QStringLiteral("one\r\ntwo") + QChar(0) + QChar(0x1b)}
            << CableLabel{{}, QStringLiteral("one\ntwo")};
        QTest::newRow("a long note is cut") << CableLabel{{}, QString(3000, QLatin1Char('n'))}
                                            << CableLabel{{}, QString(2000, QLatin1Char('n'))};
    }
    void labelsAreOneLineAndBounded()
    {
        QFETCH(CableLabel, given);
        QFETCH(CableLabel, kept);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("a.tdr")), "one"));
        QCOMPARE(LabelBook(dir.path()).setLabel({QStringLiteral("a.tdr")}, given), QString());
        const CableLabel read = LabelBook(dir.path()).label(QStringLiteral("a.tdr"));
        QCOMPARE(read.cable, kept.cable);
        QCOMPARE(read.note, kept.note);
    }
};

QTEST_GUILESS_MAIN(LabelBookTest)
#include "tst_labelbook.moc"
