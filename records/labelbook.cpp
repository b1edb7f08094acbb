// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/labelbook.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSaveFile>

#include <algorithm>

const QString LabelBook::kFileName = QStringLiteral("varnel-labels.json");

namespace {

Q_LOGGING_CATEGORY(lcRecords, "varnel.records", QtInfoMsg)

const QString kFormat = QStringLiteral("varnel-labels");
const int kVersion = 1;
const qint64 kMaxFileBytes = 4 * 1024 * 1024;
const int kMaxCable = 120;
const int kMaxNote = 2000;
constexpr qint64 kRacyMs = 2000; // see keyOf()

const QString kLabelsKey = QStringLiteral("labels");
const QString kCableKey = QStringLiteral("cable");
const QString kNoteKey = QStringLiteral("note");
const QString kFileKey = QStringLiteral("file");

QString withoutControls(QString text, bool keepNewlines)
{
    for (QChar &c : text) {
        const bool newline = c == QLatin1Char('\n');
        if ((c.category() == QChar::Other_Control && !(newline && keepNewlines)) ||
            c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace

QStringList filterWords(const QString &filter)
{
    return filter.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool matchesWords(const QStringList &words, const QStringList &texts)
{
    const QString haystack = texts.join(QLatin1Char('\n'));
    for (const QString &word : words)
        if (!haystack.contains(word, Qt::CaseInsensitive))
            return false;
    return true;
}

CableLabel CableLabel::cleaned() const
{
    QString text = note;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return {withoutControls(cable, false).simplified().left(kMaxCable),
            withoutControls(text, true).trimmed().left(kMaxNote)};
}

LabelBook::LabelBook(const QString &directory)
{
    setDirectory(directory);
}

void LabelBook::setDirectory(const QString &directory)
{
    const QString cleaned = QDir::cleanPath(QDir(directory).absolutePath());
    if (cleaned == m_directory)
        return;
    m_directory = cleaned;
    m_loaded = false;
    m_keys.clear();
}

QString LabelBook::path() const
{
    return m_directory + QLatin1Char('/') + kFileName;
}

QString LabelBook::pathOf(const QString &file) const
{
    return QDir::cleanPath(QDir(m_directory).absoluteFilePath(file));
}

QString LabelBook::contentKey(const QString &path)
{
    // Only a plain file: reading a FIFO would wait for a writer.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

QString LabelBook::keyOf(const QString &path)
{
    const QFileInfo info(path);
    const Stamp stamp{info.lastModified(), info.size()};
    const auto cached = m_keys.constFind(path);
    if (cached != m_keys.constEnd() && cached->first == stamp)
        return cached->second;
    const QString key = contentKey(path);
    // File times move in coarse ticks and every record has the same size, so
    // a file rewritten within a tick of its last write keeps its stamp. Only
    // a stamp older than that can stand for the bytes next time.
    if (stamp.first.msecsTo(QDateTime::currentDateTime()) > kRacyMs)
        m_keys.insert(path, {stamp, key});
    return key;
}

void LabelBook::reload(bool always)
{
    const QFileInfo info(path());
    const Stamp stamp = info.exists() ? Stamp{info.lastModified(), info.size()} : Stamp{};
    if (m_loaded && !always && stamp == m_stamp)
        return;
    m_loaded = true;
    m_stamp = stamp;
    m_root = {};
    m_problem.clear();
    if (!info.exists() && !info.isSymLink())
        return;
    const QString shown = QDir::toNativeSeparators(path());
    // A link could lead the next write out of the folder.
    if (info.isSymLink() || !info.isFile()) {
        m_problem = tr("%1 is not a plain file").arg(shown);
    } else if (info.size() > kMaxFileBytes) {
        m_problem = tr("%1 is too large for a label file").arg(shown);
    } else {
        QFile file(path());
        if (!file.open(QIODevice::ReadOnly)) {
            m_problem = tr("cannot read %1: %2").arg(shown, file.errorString());
        } else {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
            if (!document.isObject())
                m_problem = tr("%1 is not a label file: %2")
                                .arg(shown, error.error != QJsonParseError::NoError
                                                ? error.errorString()
                                                : tr("not a JSON object"));
            else
                m_root = document.object();
        }
    }
    if (m_problem.isEmpty() && m_root.contains(kLabelsKey) && !m_root.value(kLabelsKey).isObject())
        m_problem = tr("%1 is not a label file: its labels are not an object").arg(shown);
    if (m_problem.isEmpty() && m_root.value(QStringLiteral("version")).toInt(kVersion) > kVersion)
        m_problem = tr("%1 was written by a newer version").arg(shown);
    if (!m_problem.isEmpty())
        qCWarning(lcRecords) << "labels:" << m_problem;
}

QJsonObject LabelBook::labels() const
{
    return m_root.value(kLabelsKey).toObject();
}

CableLabel LabelBook::label(const QString &file)
{
    reload(false);
    const QString key = keyOf(pathOf(file));
    if (key.isEmpty())
        return {};
    // Entries of another shape are skipped here and kept in the file.
    const QJsonObject entry = labels().value(key).toObject();
    return CableLabel{entry.value(kCableKey).toString(), entry.value(kNoteKey).toString()}
        .cleaned();
}

QString LabelBook::problem()
{
    reload(false);
    return m_problem;
}

QStringList LabelBook::cables()
{
    reload(false);
    QStringList names;
    const QJsonObject all = labels();
    for (auto it = all.constBegin(); it != all.constEnd(); ++it) {
        const QString cable =
            CableLabel{it.value().toObject().value(kCableKey).toString(), {}}.cleaned().cable;
        if (!cable.isEmpty() && !names.contains(cable))
            names.append(cable);
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QString LabelBook::setLabel(const QStringList &files, const CableLabel &label)
{
    // Read again first: another program may have labelled meanwhile.
    reload(true);
    if (!m_problem.isEmpty())
        return tr("The labels were not changed: %1").arg(m_problem);
    QStringList keys;
    for (const QString &file : files) {
        const QString key = keyOf(pathOf(file));
        if (key.isEmpty())
            return tr("The labels were not changed: cannot read %1")
                .arg(QDir::toNativeSeparators(pathOf(file)));
        keys.append(key);
    }

    QJsonObject all = labels();
    const CableLabel clean = label.cleaned();
    for (int i = 0; i < files.size(); ++i) {
        if (clean.isEmpty()) {
            all.remove(keys.at(i));
            continue;
        }
        QJsonObject entry = all.value(keys.at(i)).toObject();
        entry.insert(kCableKey, clean.cable);
        entry.insert(kNoteKey, clean.note);
        entry.insert(kFileKey, QFileInfo(pathOf(files.at(i))).fileName());
        entry.insert(QStringLiteral("labelled"),
                     QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
        all.insert(keys.at(i), entry);
    }
    // Files renamed since they were labelled: their entries get today's names.
    for (auto it = m_keys.constBegin(); it != m_keys.constEnd(); ++it) {
        const QFileInfo info(it.key());
        QJsonObject entry = all.value(it->second).toObject();
        if (entry.isEmpty() || !info.exists() || info.absolutePath() != m_directory ||
            Stamp{info.lastModified(), info.size()} != it->first)
            continue;
        entry.insert(kFileKey, info.fileName());
        all.insert(it->second, entry);
    }

    QJsonObject root = m_root;
    root.insert(QStringLiteral("about"),
                QStringLiteral("Cable labels of the *.tdr files in this folder, written by Varnel "
                               "Reader. Each key is the SHA-256 of a file's bytes; \"file\" is its "
                               "name when last labelled."));
    root.insert(QStringLiteral("format"), kFormat);
    root.insert(QStringLiteral("version"), kVersion);
    root.insert(kLabelsKey, all);
    QSaveFile out(path());
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0 || !out.commit())
        return tr("cannot write %1: %2").arg(QDir::toNativeSeparators(path()), out.errorString());
    reload(true);
    return {};
}
