// The viewer's files: the folder it lists and follows, opening files and
// folders, and files dropped onto it.
#include "app/waveformwindow.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
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

void WaveformWindow::setDirectory(const QString &dir)
{
    const QString cleaned = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    if (cleaned == m_directory) {
        // The main window may hand over its folder each time it opens this one.
        refresh();
        return;
    }
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_directory = cleaned;
    if (QFileInfo(cleaned).isDir())
        m_watcher.addPath(cleaned);
    m_folderLabel->setText(QDir::toNativeSeparators(cleaned));
    m_folderLabel->setToolTip(QDir::toNativeSeparators(cleaned));
    setWindowTitle(tr("Waveforms - %1").arg(QDir::toNativeSeparators(cleaned)));
    // Files of another folder are no longer what the list shows.
    m_shownPaths.clear();
    refresh();
    plotPaths({});
}

void WaveformWindow::refresh()
{
    QStringList names;
    if (!m_directory.isEmpty()) {
        QDir dir(m_directory);
        // Regular files only, as the main window lists them: a link could
        // lead to a FIFO, whose read would never return.
        names =
            dir.entryList({QStringLiteral("*.tdr")}, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                          QDir::Name | QDir::IgnoreCase);
        // A folder that came back (or appeared) is followed again.
        if (dir.exists() && !m_watcher.directories().contains(m_directory))
            m_watcher.addPath(m_directory);
    }

    QStringList shownNames;
    for (const QString &path : qAsConst(m_shownPaths))
        if (QFileInfo(path).absolutePath() == m_directory)
            shownNames.append(QFileInfo(path).fileName());

    m_fillingList = true;
    m_list->clear();
    for (const QString &name : qAsConst(names)) {
        auto *item = new QListWidgetItem(name, m_list);
        item->setToolTip(QDir::toNativeSeparators(pathFor(name)));
        if (shownNames.contains(name))
            item->setSelected(true);
    }
    m_fillingList = false;

    // Shown files that were rewritten or removed are read again.
    bool stale = false;
    for (const QString &path : qAsConst(m_shownPaths))
        stale = stale || stampOf(path) != m_shownStamps.value(path);
    if (stale)
        plotPaths(m_shownPaths);
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
