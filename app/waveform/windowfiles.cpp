// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's files: the folder it lists (from a record store) and follows,
// opening files and folders, and files dropped onto it.
#include "app/waveform/waveformwindow.h"

#include "records/recordstore.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QSet>
#include <QStackedWidget>
#include <QUrl>

namespace {

// What tells a rewritten file from the one that was read.
QPair<QDateTime, qint64> stampOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {info.lastModified(), info.size()};
}

QString cleanedPath(const QString &dir)
{
    return QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
}

// By name, case ignored, ascending; case only breaks ties.
bool nameBefore(const QString &a, const QString &b)
{
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

// The local *.tdr files and folders among dropped URLs.
QStringList droppedPaths(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        const QFileInfo info(url.toLocalFile());
        if (url.isLocalFile() &&
            (info.isDir() || info.suffix().compare(QLatin1String("tdr"), Qt::CaseInsensitive) == 0))
            paths.append(info.absoluteFilePath());
    }
    return paths;
}

} // namespace

FileSummary WaveformWindow::summaryOf(const QString &name)
{
    const QString path = pathFor(name);
    const QPair<QDateTime, qint64> stamp = stampOf(path);
    const auto cached = m_summaries.constFind(path);
    if (cached != m_summaries.constEnd() && cached->first == stamp)
        return cached->second;
    const FileSummary summary = summarizeFile(path);
    m_summaries.insert(path, {stamp, summary});
    return summary;
}

// By name; by date, newest first; or by the distance to the main event,
// nearest first. Records without one come last; the name breaks ties.
bool WaveformWindow::listedBefore(const QString &a, const QString &b)
{
    const int key = m_sortBox->currentIndex();
    if (key == SortByDate) {
        const QString first = summaryOf(a).when;
        const QString second = summaryOf(b).when;
        if (first != second)
            return first > second;
    } else if (key == SortByFault) {
        const double first = summaryOf(a).distance;
        const double second = summaryOf(b).distance;
        if (first != second)
            return first < second;
    }
    return nameBefore(a, b);
}

QListWidgetItem *WaveformWindow::newItem(const QString &name)
{
    auto *item = new QListWidgetItem(name);
    const QString summary = summaryOf(name).text;
    item->setData(SummaryDelegate::kSummaryRole, summary);
    QString tip = QDir::toNativeSeparators(pathFor(name));
    if (!summary.isEmpty())
        tip += QLatin1Char('\n') + tr("Main event: %1").arg(summary);
    item->setToolTip(tip);
    return item;
}

void WaveformWindow::follow(RecordStore *store)
{
    connect(store, &RecordStore::filesChanged, this, [this, store] {
        // The main window's folder, listed anew or another one, is followed.
        if (store != m_sharedStore)
            fillList();
        else if (m_store == store && cleanedPath(store->directory()) == m_directory)
            fillList();
        else
            setDirectory(store->directory());
    });
    connect(store, &RecordStore::fileAdded, this, [this, store](const QString &name) {
        if (store == m_store)
            fileAdded(name);
    });
    connect(store, &RecordStore::fileRemoved, this, [this, store](const QString &name) {
        if (store == m_store)
            fileRemoved(name);
    });
}

RecordStore *WaveformWindow::storeFor(const QString &directory)
{
    if (m_sharedStore && cleanedPath(m_sharedStore->directory()) == directory) {
        m_ownStore.reset();
        return m_sharedStore;
    }
    if (!m_ownStore) {
        m_ownStore = std::make_unique<RecordStore>();
        follow(m_ownStore.get());
    }
    return m_ownStore.get();
}

void WaveformWindow::setDirectory(const QString &dir)
{
    const QString cleaned = cleanedPath(dir);
    RecordStore *store = storeFor(cleaned);
    if (cleaned == m_directory && store == m_store) {
        // The main window hands over its folder each time it opens this one;
        // the store keeps the list current.
        replotIfStale();
        return;
    }
    m_store = store;
    const bool otherFolder = cleaned != m_directory;
    if (otherFolder) {
        m_directory = cleaned;
        m_folderLabel->setText(QDir::toNativeSeparators(cleaned));
        m_folderLabel->setToolTip(QDir::toNativeSeparators(cleaned));
        setWindowTitle(tr("Waveforms - %1").arg(QDir::toNativeSeparators(cleaned)));
        // Files of another folder are no longer what the list shows.
        m_shownPaths.clear();
    }
    if (cleanedPath(store->directory()) != cleaned)
        store->setDirectory(cleaned); // lists it: filesChanged fills the list
    else
        fillList();
    if (otherFolder)
        plotPaths({});
}

void WaveformWindow::refresh()
{
    if (m_store)
        m_store->rescan();
    replotIfStale();
}

void WaveformWindow::fillList()
{
    QStringList names = m_store ? m_store->files() : QStringList();
    std::sort(names.begin(), names.end(),
              [this](const QString &a, const QString &b) { return listedBefore(a, b); });
    QSet<QString> shownNames;
    for (const QString &path : qAsConst(m_shownPaths))
        if (QFileInfo(path).absolutePath() == m_directory)
            shownNames.insert(QFileInfo(path).fileName());

    m_fillingList = true;
    m_list->clear();
    for (const QString &name : qAsConst(names)) {
        QListWidgetItem *item = newItem(name);
        m_list->addItem(item);
        if (shownNames.contains(name))
            item->setSelected(true);
    }
    m_fillingList = false;
    replotIfStale();
}

int WaveformWindow::rowFor(const QString &name)
{
    int low = 0;
    int high = m_list->count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (listedBefore(m_list->item(middle)->text(), name))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void WaveformWindow::fileAdded(const QString &name)
{
    const int row = rowFor(name);
    if (row < m_list->count() && m_list->item(row)->text() == name)
        return;
    QListWidgetItem *item = newItem(name);
    m_fillingList = true;
    m_list->insertItem(row, item);
    // A shown file that comes back is selected again.
    item->setSelected(m_shownPaths.contains(pathFor(name)));
    m_fillingList = false;
    replotIfStale();
}

void WaveformWindow::fileRemoved(const QString &name)
{
    // A removed file no longer says where it was sorted: look for its name.
    const QList<QListWidgetItem *> found =
        m_list->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found.isEmpty())
        return;
    m_fillingList = true;
    delete found.first();
    m_fillingList = false;
    replotIfStale();
}

void WaveformWindow::replotIfStale()
{
    // Shown files that were rewritten or removed are read again.
    bool stale = false;
    for (const QString &path : qAsConst(m_shownPaths))
        stale = stale || stampOf(path) != m_shownStamps.value(path);
    if (stale)
        plotPaths(m_shownPaths);
    else if (m_stack->currentWidget() == m_placeholderPage)
        m_placeholder->setText(placeholderText());
}

QString WaveformWindow::placeholderText() const
{
    return m_list->count() == 0 ? tr("There are no *.tdr files in this folder yet.")
                                : tr("Select one or more files to see their waveforms.");
}

void WaveformWindow::fileChanged(const QString &path)
{
    if (m_shownPaths.contains(path))
        plotPaths(m_shownPaths);
}

QString WaveformWindow::pathFor(const QString &fileName) const
{
    const QFileInfo info(fileName);
    if (info.isAbsolute() || m_directory.isEmpty())
        return QDir::cleanPath(info.absoluteFilePath());
    return QDir::cleanPath(m_directory + QLatin1Char('/') + fileName);
}

void WaveformWindow::showFile(const QString &fileName)
{
    showFiles({fileName});
}

void WaveformWindow::showFiles(const QStringList &fileNames)
{
    QStringList paths;
    for (const QString &name : fileNames)
        paths.append(pathFor(name));
    if (!paths.isEmpty()) {
        const QString dir = QFileInfo(paths.first()).absolutePath();
        if (dir != m_directory)
            setDirectory(dir);
    }

    m_fillingList = true;
    m_list->clearSelection();
    QListWidgetItem *first = nullptr;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        if (paths.contains(pathFor(item->text()))) {
            item->setSelected(true);
            if (!first)
                first = item;
        }
    }
    if (first) {
        m_list->setCurrentItem(first, QItemSelectionModel::Current);
        m_list->scrollToItem(first);
    }
    m_fillingList = false;
    plotPaths(paths);
}

void WaveformWindow::selectionChanged()
{
    if (m_fillingList)
        return;
    QList<QListWidgetItem *> items = m_list->selectedItems();
    std::sort(items.begin(), items.end(), [this](QListWidgetItem *a, QListWidgetItem *b) {
        return m_list->row(a) < m_list->row(b);
    });
    QStringList paths;
    for (const QListWidgetItem *item : qAsConst(items))
        paths.append(pathFor(item->text()));
    plotPaths(paths);
}

QStringList WaveformWindow::listedFiles() const
{
    QStringList names;
    for (int row = 0; row < m_list->count(); ++row)
        names.append(m_list->item(row)->text());
    return names;
}

QStringList WaveformWindow::shownFiles() const
{
    QStringList names;
    for (const protocol::Trace &trace : m_measurement.traces())
        names.append(trace.fileName);
    return names;
}

int WaveformWindow::seriesCount() const
{
    return m_measurement.traces().size();
}

QString WaveformWindow::messageText() const
{
    return m_errors.join(QLatin1Char('\n'));
}

void WaveformWindow::openFilesInteractive()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Open Waveforms"), m_directory,
                                                            tr("TDR waveforms (*.tdr)"));
    if (!files.isEmpty())
        showFiles(files);
}

void WaveformWindow::openFolderInteractive()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Open Folder"), m_directory);
    if (!dir.isEmpty())
        setDirectory(dir);
}

void WaveformWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void WaveformWindow::dropEvent(QDropEvent *event)
{
    const QStringList paths = droppedPaths(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    // Files are shown, from the first one's folder; a folder alone opens as the list.
    QStringList files;
    for (const QString &path : paths)
        if (!QFileInfo(path).isDir())
            files.append(path);
    if (files.isEmpty())
        setDirectory(paths.first());
    else
        showFiles(files);
}
