// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/waveform/faultsummary.h"
#include "app/waveform/measurement.h"
#include "app/waveform/reportdialog.h"
#include "app/waveform/reportwriter.h"
#include "protocol/events.h"
#include "protocol/qtcompat.h"
#include "protocol/trace.h"
#include "records/labelbook.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QPainter;
class QLabel;
class QLineEdit;
class QComboBox;
class QListWidget;
class QListWidgetItem;
class QStackedWidget;
class EventTable;
class RecordStore;
class WaveformChartView;
class WaveformPlot;

// Shows the reflectograms of *.tdr files against distance: a list of a
// directory's files with their cable labels, one or several traces overlaid, rubber-band zoom and
// panning, a measuring cursor and a reference cursor, the events found on
// the selected trace, and CSV, PNG and PDF report export.
class WaveformWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The list shows `store`'s folder whenever the viewer is on that folder,
    // and follows it to another one; other folders get a store of their own.
    explicit WaveformWindow(RecordStore *store = nullptr, QWidget *parent = nullptr);
    ~WaveformWindow() override;

    // Lists the directory's *.tdr files (any case) and follows it for new,
    // changed and removed files.
    void setDirectory(const QString &dir);
    QString directory() const { return m_directory; }
    // Names in the directory or paths, shown instead of what is shown; a
    // file from another folder is added to the list, which stays. A file
    // that is not a record is shown as a message.
    void showFile(const QString &fileName);
    void showFiles(const QStringList &fileNames);
    // The files overlaid on what is shown, added to the list from anywhere.
    void addFiles(const QStringList &fileNames);
    // Takes the selected files that were added from other folders off the list.
    void removeAddedFiles();

    QStringList listedFiles() const; // names, as listed
    QStringList shownFiles() const;  // file names, in plotting order
    int seriesCount() const;         // traces plotted
    QString messageText() const;     // why something could not be shown; empty when all is well

    // The measuring cursor and the reference, in metres; both snap to samples.
    void setCursorDistance(double metres, bool exact = false);
    void setReferenceDistance(double metres);
    std::optional<double> cursorDistance() const { return m_measurement.cursor(); }
    std::optional<double> referenceDistance() const { return m_measurement.reference(); }
    QString readoutText() const { return m_measurement.readoutText(); }
    // Shows [from, to] of the distance axis, as a rubber-band zoom does.
    void zoomTo(double from, double to);

    // The events of the selected trace (the first, unless another is current).
    QVector<protocol::TraceEvent> events() const { return m_events.events; }

    bool exportCsv(const QString &path);
    bool exportPng(const QString &path);
    // One page per shown record, or one page of them overlaid.
    bool exportReport(const QString &path, const ReportFields &fields, bool overlay = false);
    // Labels the listed files (an empty label removes theirs); false, with
    // the reason in the status bar, when nothing could be changed.
    bool labelFiles(const QStringList &names, const CableLabel &label);

    QChart *chart() const;

public slots:
    void refresh();
    void resetZoom();
    void clearCursors();
    void setReferenceAtCursor();
    void openFilesInteractive();
    void addFilesInteractive();
    void openFolderInteractive();
    void exportCsvInteractive();
    void exportPngInteractive();
    void exportReportInteractive(bool overlay = false);
    void printReportInteractive();
    void labelSelectedInteractive();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildActions();
    void buildUi();
    void plotPaths(const QStringList &paths);
    void selectionChanged();
    void fileChanged(const QString &path);
    void follow(RecordStore *store);
    RecordStore *storeFor(const QString &directory);
    void fillList();
    void fileAdded(const QString &name);
    void fileRemoved(const QString &name);
    int rowFor(const QString &path);
    FileSummary summaryOf(const QString &path);            // cached while the file is unchanged
    bool listedBefore(const QString &a, const QString &b); // paths
    QListWidgetItem *newItem(const QString &path);
    static QString itemPath(const QListWidgetItem *item);
    void replotIfStale();
    QString placeholderText() const;
    void updateActions();
    void updateCursors();
    void updateEvents();
    // Above the plot: files that could not be read, traces that cannot be compared.
    void updateBanner(const QString &comparisonProblem);
    void stepCursor(int samples);
    int selectedTraceIndex() const;
    QString pathFor(const QString &fileName) const;
    bool saved(const QString &path, bool ok, const QString &error);
    ReportContent reportContent(const ReportFields &fields, int index);
    QVector<ReportWriter::Page> reportPages(const ReportFields &fields, bool overlay);
    QWidget *buildLabelUi(QLayout *listLayout);
    LabelBook &labelBookOf(const QString &path); // the label file of the file's own folder
    CableLabel labelOf(const QString &path);
    CableLabel traceLabel(int index);
    void decorate(QListWidgetItem *item);
    void applyFilter();
    void updateLabelLine();
    std::function<void(QPainter &, const QRectF &)> reportPlot();

    QString m_directory;
    QStringList m_addedPaths; // listed besides the folder's files
    QStringList m_shownPaths;
    QStringList m_tracePaths;                               // of the traces read, in plotting order
    QHash<QString, QPair<QDateTime, qint64>> m_shownStamps; // modified, size
    QStringList m_errors;
    Measurement m_measurement;
    protocol::EventAnalysis m_events;
    // The trace the selected one is compared with: unset, the first other one;
    // empty, none.
    std::optional<QString> m_compareWith;
    QStringList m_compareCandidates; // the compare box's traces
    bool m_fillingList = false;

    QPointer<RecordStore> m_sharedStore;
    std::unique_ptr<RecordStore> m_ownStore;
    RecordStore *m_store = nullptr;    // the one listed
    QFileSystemWatcher m_shownWatcher; // the shown files, rewritten in place

    WaveformPlot *m_plot = nullptr;
    QListWidget *m_list = nullptr;
    static constexpr int kPathRole =
        Qt::UserRole + 4; // a list item's file (after the delegate's roles)
    enum SortKey { SortByName, SortByDate, SortByFault, SortByCable }; // the sort box's rows
    QComboBox *m_sortBox = nullptr;
    QLineEdit *m_filter = nullptr;
    LabelBook m_labels;                      // of the listed folder
    QHash<QString, LabelBook> m_otherLabels; // of folders files were added from
    QLabel *m_labelLine = nullptr;
    QHash<QString, QPair<QPair<QDateTime, qint64>, FileSummary>> m_summaries; // by path
    QLabel *m_folderLabel = nullptr;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_placeholderPage = nullptr;
    QWidget *m_plotPage = nullptr;
    QWidget *m_messagePage = nullptr;
    QLabel *m_placeholder = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_banner = nullptr;
    QLabel *m_readout = nullptr;
    QLabel *m_hover = nullptr;
    WaveformChartView *m_view = nullptr;
    EventTable *m_eventTable = nullptr;

    QAction *m_openAction = nullptr;
    QAction *m_openFolderAction = nullptr;
    QAction *m_addAction = nullptr;
    QAction *m_removeAddedAction = nullptr;
    QAction *m_refreshAction = nullptr;
    QAction *m_resetZoomAction = nullptr;
    QAction *m_referenceAction = nullptr;
    QAction *m_clearCursorsAction = nullptr;
    QAction *m_exportCsvAction = nullptr;
    QAction *m_exportPngAction = nullptr;
    QAction *m_exportReportAction = nullptr;
    QAction *m_exportOverlayAction = nullptr;
    QAction *m_printAction = nullptr;
    QAction *m_labelAction = nullptr;
};
