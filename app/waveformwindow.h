#pragma once

#include "protocol/trace.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QMainWindow>

#include <optional>

class QAction;
class QLabel;
class QListWidget;
class QStackedWidget;
class QGraphicsItem;

namespace QtCharts {
class QChart;
class QLineSeries;
class QValueAxis;
} // namespace QtCharts

class WaveformChartView;

// Shows the reflectograms of *.tdr files against distance: its own list of a
// directory's files, one or several traces overlaid, rubber-band zoom, a
// measuring cursor and a reference cursor, CSV and PNG export.
class WaveformWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit WaveformWindow(QWidget *parent = nullptr);
    ~WaveformWindow() override;

    // Lists the directory's *.tdr files (any case) and follows it for new,
    // changed and removed files.
    void setDirectory(const QString &dir);
    QString directory() const { return m_directory; }
    // A name of the directory or a path; a path elsewhere switches the
    // directory. A file that is not a record is shown as a message.
    void showFile(const QString &fileName);
    void showFiles(const QStringList &fileNames);

    QStringList listedFiles() const;
    QStringList shownFiles() const; // file names, in plotting order
    int seriesCount() const;
    QString messageText() const; // why something could not be shown; empty when all is well

    // The measuring cursor and the reference, in metres; both snap to samples.
    void setCursorDistance(double metres);
    void setReferenceDistance(double metres);
    std::optional<double> cursorDistance() const { return m_cursor; }
    std::optional<double> referenceDistance() const { return m_reference; }
    QString readoutText() const { return m_readoutPlain; }

    // Shows [from, to] of the distance axis, as a rubber-band zoom does.
    void zoomTo(double from, double to);

    bool exportCsv(const QString &path);
    bool exportPng(const QString &path);

    QtCharts::QChart *chart() const { return m_chart; }

public slots:
    void refresh();
    void resetZoom();
    void clearCursors();
    void setReferenceAtCursor();
    void exportCsvInteractive();
    void exportPngInteractive();

private:
    struct Marker
    {
        QGraphicsItem *line = nullptr;
        QGraphicsItem *tag = nullptr;
        QVector<QGraphicsItem *> dots;
    };

    void buildUi();
    void buildChart();
    void plotPaths(const QStringList &paths);
    void selectionChanged();
    void fileChanged(const QString &path);
    void applyFullRange();
    void setXRange(double from, double to);
    void updateTitle();
    void updateActions();
    void updateReadout();
    void updateMarkers();
    void updateMarker(Marker &marker, const std::optional<double> &distance, const QString &name);
    void hovered(const std::optional<QPointF> &value);
    void stepCursor(int samples);
    double snap(double metres) const;
    const protocol::Trace *currentTrace() const;
    QString pathFor(const QString &fileName) const;
    QColor colourAt(int index) const;

    QString m_directory;
    QStringList m_shownPaths;
    QHash<QString, QPair<QDateTime, qint64>> m_shownStamps; // modified, size
    double m_fullDistance = 0;
    QVector<protocol::Trace> m_traces;
    QStringList m_errors;
    std::optional<double> m_cursor;
    std::optional<double> m_reference;
    QString m_readoutPlain;
    bool m_fillingList = false;

    QFileSystemWatcher m_watcher;
    QListWidget *m_list = nullptr;
    QLabel *m_folderLabel = nullptr;
    QStackedWidget *m_stack = nullptr;
    QLabel *m_placeholder = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_banner = nullptr;
    QLabel *m_readout = nullptr;
    QLabel *m_hover = nullptr;
    WaveformChartView *m_view = nullptr;
    QtCharts::QChart *m_chart = nullptr;
    QtCharts::QValueAxis *m_xAxis = nullptr;
    QtCharts::QValueAxis *m_yAxis = nullptr;
    Marker m_cursorMarker;
    Marker m_referenceMarker;

    QAction *m_refreshAction = nullptr;
    QAction *m_resetZoomAction = nullptr;
    QAction *m_referenceAction = nullptr;
    QAction *m_clearCursorsAction = nullptr;
    QAction *m_exportCsvAction = nullptr;
    QAction *m_exportPngAction = nullptr;
};
