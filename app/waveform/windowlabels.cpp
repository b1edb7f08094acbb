// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's cable labels: on the list's items, in the line above the
// plot, the filter that finds files by them, and labelling files.
#include "app/waveform/waveformwindow.h"

#include "app/waveform/labeldialog.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

QWidget *WaveformWindow::buildLabelUi(QLayout *listLayout)
{
    m_filter = new QLineEdit;
    m_filter->setObjectName(QStringLiteral("waveFilterEd"));
    m_filter->setPlaceholderText(tr("Filter by name, cable, note or event"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, &WaveformWindow::applyFilter);
    listLayout->addWidget(m_filter);

    m_labelAction = new QAction(tr("&Label Cable..."), this);
    m_labelAction->setObjectName(QStringLiteral("actionLabel_Cable"));
    m_labelAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    m_labelAction->setToolTip(tr("Say which cable the selected files measured"));
    m_labelAction->setEnabled(false);
    connect(m_labelAction, &QAction::triggered, this, &WaveformWindow::labelSelectedInteractive);
    if (QMenu *fileMenu = menuBar()->actions().value(0)->menu()) {
        fileMenu->insertAction(m_exportCsvAction, m_labelAction);
        fileMenu->insertSeparator(m_exportCsvAction);
    }
    m_list->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_list->addAction(m_labelAction);
    connect(m_list, &QListWidget::itemSelectionChanged, this,
            [this] { m_labelAction->setEnabled(!m_list->selectedItems().isEmpty()); });

    m_labelLine = new QLabel;
    m_labelLine->setObjectName(QStringLiteral("waveLabelLbl"));
    m_labelLine->setTextFormat(Qt::PlainText);
    m_labelLine->setWordWrap(true);
    m_labelLine->setStyleSheet(QStringLiteral("background: #e7f5ff; color: #1c3d5a; border-bottom: "
                                              "1px solid #a5d8ff; padding: 4px 10px;"));
    m_labelLine->hide();
    return m_labelLine;
}

// One book per folder, kept: sorting by cable asks for labels many times, and a
// book reads its file again only when the file changed.
LabelBook &WaveformWindow::labelBookOf(const QString &path)
{
    const QString folder = QDir::cleanPath(QFileInfo(path).absolutePath());
    if (folder == m_labels.directory())
        return m_labels;
    auto it = m_otherLabels.find(folder);
    if (it == m_otherLabels.end())
        it = m_otherLabels.insert(folder, LabelBook(folder));
    return *it;
}

CableLabel WaveformWindow::labelOf(const QString &path)
{
    return labelBookOf(path).label(path);
}

CableLabel WaveformWindow::traceLabel(int index)
{
    const QString path = m_tracePaths.value(index);
    return path.isEmpty() ? CableLabel() : labelOf(path);
}

void WaveformWindow::decorate(QListWidgetItem *item)
{
    const QString path = itemPath(item);
    const QFileInfo info(path);
    const CableLabel label = labelOf(path);
    const QString summary = summaryOf(path).text;
    item->setData(SummaryDelegate::kCableRole, label.cable);
    item->setData(SummaryDelegate::kNoteRole, label.note);
    // A file added from elsewhere says which folder it is in.
    const bool added = info.absolutePath() != m_directory;
    item->setData(SummaryDelegate::kSummaryRole,
                  added ? tr("in %1 · %2").arg(info.dir().dirName(), summary) : summary);
    QStringList tip{QDir::toNativeSeparators(path)};
    if (!label.cable.isEmpty())
        tip << tr("Cable: %1").arg(label.cable);
    if (!label.note.isEmpty())
        tip << tr("Note: %1").arg(label.note);
    if (!summary.isEmpty())
        tip << tr("Main event: %1").arg(summary);
    item->setToolTip(tip.join(QLatin1Char('\n')));
}

// Every word must be found in the name, the cable, the note or the main event.
void WaveformWindow::applyFilter()
{
    const QStringList words = filterWords(m_filter->text());
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        item->setHidden(
            !matchesWords(words, {item->text(), item->data(SummaryDelegate::kCableRole).toString(),
                                  item->data(SummaryDelegate::kNoteRole).toString(),
                                  item->data(SummaryDelegate::kSummaryRole).toString()}));
    }
}

void WaveformWindow::updateLabelLine()
{
    const int index = selectedTraceIndex();
    const CableLabel label = index < 0 ? CableLabel() : traceLabel(index);
    QString text =
        label.cable.isEmpty() ? tr("Cable not labelled") : tr("Cable: %1").arg(label.cable);
    if (!label.note.isEmpty())
        text += QStringLiteral(" — ") + label.note.section(QLatin1Char('\n'), 0, 0);
    // With several traces the line says whose label it is.
    if (m_measurement.traces().size() > 1)
        text = protocol::traceShortName(m_measurement.traces().at(index)) + QStringLiteral(": ") +
               text;
    m_labelLine->setText(text);
    m_labelLine->setToolTip(label.note);
    m_labelLine->setVisible(!label.isEmpty());
}

bool WaveformWindow::labelFiles(const QStringList &names, const CableLabel &label)
{
    // Files added from other folders are labelled in their own folder's book.
    QMap<QString, QStringList> byFolder;
    for (const QString &name : names)
        byFolder[QFileInfo(pathFor(name)).absolutePath()].append(pathFor(name));
    QString error;
    for (auto it = byFolder.cbegin(); it != byFolder.cend() && error.isEmpty(); ++it)
        error = labelBookOf(it.value().constFirst()).setLabel(it.value(), label);
    if (!error.isEmpty()) {
        statusBar()->showMessage(error);
        return false;
    }
    statusBar()->showMessage(
        label.isEmpty() ? tr("Label removed from %n file(s)", "", names.size())
                        : tr("Labelled %n file(s) \"%1\"", "", names.size()).arg(label.cable));
    fillList();
    updateLabelLine();
    return true;
}

void WaveformWindow::labelSelectedInteractive()
{
    QStringList names;
    for (int row = 0; row < m_list->count(); ++row)
        if (m_list->item(row)->isSelected() && !m_list->item(row)->isHidden())
            names.append(itemPath(m_list->item(row)));
    if (names.isEmpty())
        return;
    if (!m_labels.problem().isEmpty()) {
        QMessageBox::warning(this, tr("Cable Label"),
                             tr("The labels cannot be changed: %1").arg(m_labels.problem()));
        return;
    }
    const QListWidgetItem *current = m_list->currentItem();
    const QString first =
        current && names.contains(itemPath(current)) ? itemPath(current) : names.first();
    const std::optional<CableLabel> label = LabelDialog::ask(
        this, names.size() == 1 ? QFileInfo(first).fileName() : tr("%n files", "", names.size()),
        labelOf(first), m_labels.cables());
    if (label && !labelFiles(names, *label))
        QMessageBox::warning(this, tr("Cable Label"), statusBar()->currentMessage());
}
