// SPDX-License-Identifier: GPL-3.0-or-later
// Cable labels of record files: showing, setting and clearing them. Each
// file's label lives beside it, in its own folder's label file.
#include "cli/cli.h"

#include "records/labelbook.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

LabelBook &Cli::labelBook(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    return m_labelBooks.try_emplace(folder, folder).first->second;
}

QJsonValue Cli::labelJson(const CableLabel &label)
{
    if (label.isEmpty())
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("cable"), label.cable},
                       {QStringLiteral("note"), label.note}};
}

void Cli::printLabel(const CableLabel &label)
{
    if (!label.cable.isEmpty())
        print(tr("  cable: %1").arg(label.cable));
    if (!label.note.isEmpty())
        print(
            tr("  note: %1")
                .arg(QString(label.note).replace(QLatin1Char('\n'), QLatin1String("\n        "))));
}

int Cli::label(const QStringList &files, const LabelChange &change)
{
    int status = ExitDone;
    QJsonArray array;
    for (const QString &given : files) {
        const QString path = QFileInfo(given).absoluteFilePath();
        LabelBook &book = labelBook(path);
        QJsonObject item{{QStringLiteral("file"), given}};
        QString error;
        if (LabelBook::contentKey(path).isEmpty()) {
            error = QFileInfo::exists(path) ? tr("cannot read %1").arg(given)
                                            : tr("no such file: %1").arg(given);
        } else if (change.clear || change.cable || change.note) {
            CableLabel label = book.label(path);
            if (change.clear)
                label = {};
            if (change.cable)
                label.cable = *change.cable;
            if (change.note)
                label.note = *change.note;
            error = book.setLabel({path}, label);
        } else if (!book.problem().isEmpty()) {
            // What could be read of them is shown all the same.
            printError(book.problem());
            status = ExitPartly;
        }
        if (!error.isEmpty()) {
            printError(error);
            status = ExitPartly;
            item.insert(QStringLiteral("error"), error);
        } else {
            const CableLabel label = book.label(path);
            item.insert(QStringLiteral("label"), labelJson(label));
            if (!m_options.json) {
                print(given);
                if (label.isEmpty())
                    print(tr("  no label"));
                printLabel(label);
            }
        }
        array.append(item);
    }
    if (m_options.json)
        printJson(array);
    return status;
}
