// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/waveformwindow.h"

#include "app/waveform/chartview.h"
#include "app/waveform/eventtable.h"
#include "app/waveform/fitting.h"
#include "app/waveform/glyphs.h"
#include "app/waveform/waveformplot.h"
#include "app/waveform/windowstate.h"
#include "protocol/logging.h"
#include "records/recordstore.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtCharts/QValueAxis>

#include <cmath>

WaveformWindow::WaveformWindow(RecordStore *store, QWidget *parent)
    : QMainWindow(parent), m_sharedStore(store)
{
    m_plot = new WaveformPlot(this);
    buildActions();
    buildUi();
    setAcceptDrops(true);
    connect(&m_shownWatcher, &QFileSystemWatcher::fileChanged, this, &WaveformWindow::fileChanged);
    if (store)
        follow(store);
    plotPaths({});
    keepWindowState(this, QStringLiteral("WaveformWindow"));
}

WaveformWindow::~WaveformWindow() = default;

QChart *WaveformWindow::chart() const
{
    return m_plot->chart();
}

void WaveformWindow::buildActions()
{
    const auto action = [this](Glyph glyph, const QString &text, const QString &tip, auto slot) {
        auto *a = new QAction(glyphIcon(glyph), text, this);
        a->setToolTip(tip);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    m_openAction = action(Glyph::Open, tr("&Open..."), tr("Open one or more *.tdr files"),
                          &WaveformWindow::openFilesInteractive);
    m_openAction->setShortcut(QKeySequence::Open);
    m_openFolderAction = new QAction(tr("Open &Folder..."), this);
    connect(m_openFolderAction, &QAction::triggered, this, &WaveformWindow::openFolderInteractive);
    // Another measurement of the cable, from any folder, over what is shown.
    m_addAction = new QAction(tr("&Add Files..."), this);
    m_addAction->setToolTip(tr("Overlay *.tdr files from any folder on the shown traces"));
    m_addAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(m_addAction, &QAction::triggered, this, &WaveformWindow::addFilesInteractive);
    m_removeAddedAction = new QAction(tr("Re&move from List"), this);
    m_removeAddedAction->setToolTip(tr("Take the selected files added from other folders off "
                                       "the list"));
    connect(m_removeAddedAction, &QAction::triggered, this, &WaveformWindow::removeAddedFiles);
    m_refreshAction = action(Glyph::Refresh, tr("&Refresh"), tr("Read the folder's files again"),
                             &WaveformWindow::refresh);
    m_refreshAction->setShortcut(QKeySequence::Refresh);
    m_resetZoomAction = action(Glyph::Fit, tr("Reset &Zoom"), tr("Show the whole trace (Home)"),
                               &WaveformWindow::resetZoom);
    m_resetZoomAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    m_referenceAction =
        action(Glyph::Reference, tr("Set &Reference"),
               tr("Put the reference at the cursor to measure the distance between two points"),
               &WaveformWindow::setReferenceAtCursor);
    m_referenceAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_clearCursorsAction =
        action(Glyph::Clear, tr("&Clear Cursors"), QString(), &WaveformWindow::clearCursors);
    m_exportCsvAction = action(Glyph::Table, tr("Export &CSV..."),
                               tr("Save the trace as distance and value columns"),
                               &WaveformWindow::exportCsvInteractive);
    m_exportPngAction =
        action(Glyph::Image, tr("Export &Image..."), tr("Save the plot as a PNG image"),
               &WaveformWindow::exportPngInteractive);
    m_exportReportAction = action(Glyph::Report, tr("Export &Report..."),
                                  tr("Save a one-page PDF report of the trace and its events"),
                                  [this] { exportReportInteractive(); });
    // Several records give a page each; their overlay is one page on request.
    m_exportOverlayAction = new QAction(tr("Export &Overlay Report..."), this);
    m_exportOverlayAction->setToolTip(
        tr("Save a one-page PDF report of the shown traces overlaid"));
    connect(m_exportOverlayAction, &QAction::triggered, this,
            [this] { exportReportInteractive(true); });
    m_printAction = new QAction(tr("&Print Report..."), this);
    m_printAction->setShortcut(QKeySequence::Print);
    connect(m_printAction, &QAction::triggered, this, &WaveformWindow::printReportInteractive);

    auto *closeAction = new QAction(tr("&Close"), this);
    closeAction->setShortcut(QKeySequence::Close);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);

    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->addActions({m_openAction, m_openFolderAction, m_addAction, m_removeAddedAction});
    fileMenu->addSeparator();
    fileMenu->addActions(
        {m_exportCsvAction, m_exportPngAction, m_exportReportAction, m_exportOverlayAction});
    fileMenu->addAction(m_printAction);
    fileMenu->addSeparator();
    fileMenu->addAction(m_refreshAction);
    fileMenu->addSeparator();
    fileMenu->addAction(closeAction);
    QMenu *viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->addActions({m_resetZoomAction, m_referenceAction, m_clearCursorsAction});

    QToolBar *toolBar = addToolBar(tr("Waveforms"));
    toolBar->setObjectName(QStringLiteral("waveformToolBar"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar->addActions({m_openAction, m_refreshAction});
    toolBar->addSeparator();
    toolBar->addActions({m_resetZoomAction, m_referenceAction, m_clearCursorsAction});
    toolBar->addSeparator();
    toolBar->addActions({m_exportCsvAction, m_exportPngAction, m_exportReportAction});
    // Export Report keeps its text longest: a report is what leaves the site.
    keepToolBarFitting(toolBar,
                       {m_clearCursorsAction, m_referenceAction, m_resetZoomAction, m_refreshAction,
                        m_exportPngAction, m_exportCsvAction, m_openAction, m_exportReportAction});
}

void WaveformWindow::buildUi()
{
    setWindowTitle(tr("Waveforms"));
    setWindowIcon(QIcon(QStringLiteral(":/buttons/ico/ico2/wave.png")));
    resize(1180, 720);

    // The file list above the event table.
    auto *listPanel = new QWidget;
    auto *listLayout = new QVBoxLayout(listPanel);
    listLayout->setContentsMargins(6, 6, 0, 6);
    listLayout->setSpacing(4);
    m_folderLabel = new QLabel;
    m_folderLabel->setTextFormat(Qt::PlainText);
    m_folderLabel->setStyleSheet(QStringLiteral("color: #495057;"));
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("waveFilesLst"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Download names start with the date and time; the serial number at the
    // end is what can go.
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setUniformItemSizes(true);
    m_list->setItemDelegate(new SummaryDelegate(m_list));
    m_list->setToolTip(tr("Select several files with Ctrl or Shift to overlay them; File > Add "
                          "Files adds files from other folders"));
    m_list->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_list->addActions({m_addAction, m_removeAddedAction});
    connect(m_list, &QListWidget::itemSelectionChanged, this, &WaveformWindow::selectionChanged);
    connect(m_list, &QListWidget::currentItemChanged, this, &WaveformWindow::updateEvents);
    m_sortBox = new QComboBox;
    m_sortBox->setObjectName(QStringLiteral("waveSortCmb"));
    m_sortBox->addItems({tr("By name"), tr("By date, newest first"),
                         tr("By distance to the first fault"), tr("By cable")});
    m_sortBox->setToolTip(tr("The order of the files"));
    connect(m_sortBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &WaveformWindow::fillList);
    listLayout->addWidget(m_folderLabel);
    listLayout->addWidget(m_sortBox);
    QWidget *labelLine = buildLabelUi(listLayout);
    listLayout->addWidget(m_list);
    m_eventTable = new EventTable;
    connect(m_eventTable, &EventTable::eventActivated, this,
            [this](double metres) { setCursorDistance(metres, true); });
    connect(m_eventTable, &EventTable::markersToggled, m_plot, &WaveformPlot::setEventsVisible);
    connect(m_eventTable, &EventTable::compareChosen, this, [this](int index) {
        m_compareWith = m_compareCandidates.value(index);
        updateEvents();
    });
    auto *side = new QSplitter(Qt::Vertical);
    side->addWidget(listPanel);
    side->addWidget(m_eventTable);
    side->setChildrenCollapsible(false);

    // The plot, or the reason there is none.
    m_view = new WaveformChartView(m_plot->chart(), nullptr);
    m_view->setMinimumSize(420, 300);
    m_view->cursorPlaced = [this](double d) { setCursorDistance(d); };
    m_view->referencePlaced = [this](double d) { setReferenceDistance(d); };
    m_view->hovered = [this](const std::optional<QPointF> &v) {
        m_hover->setText(v ? m_measurement.hoverText(v->x()) : QString());
    };
    m_view->stepped = [this](int n) { stepCursor(n); };
    m_view->resetRequested = [this] { resetZoom(); };
    m_view->zoomRequested = [this](const QPointF &a, const QPointF &b) { m_plot->zoomTo(a, b); };
    m_view->wheelZoomRequested = [this](double c, double f) { m_plot->wheelZoom(c, f); };
    m_view->panRequested = [this](double dx, double dy) { m_plot->pan(dx, dy); };
    m_view->panStepRequested = [this](int x, int y) { m_plot->panStep(x, y); };

    m_banner = new QLabel;
    m_banner->setWordWrap(true);
    m_banner->setTextFormat(Qt::PlainText);
    m_banner->setStyleSheet(QStringLiteral(
        "background: #fff4e6; color: #7a3e00; border: 1px solid #ffc078; padding: 6px;"));
    m_banner->hide();
    m_readout = new QLabel;
    m_readout->setTextFormat(Qt::RichText);
    m_readout->setWordWrap(true); // many overlaid traces must not widen the window
    m_readout->setStyleSheet(
        QStringLiteral("background: #f8f9fa; border-top: 1px solid #dee2e6; padding: 6px 10px;"));
    QFont readoutFont = m_readout->font();
    readoutFont.setPointSizeF(readoutFont.pointSizeF() + 1);
    m_readout->setFont(readoutFont);
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_plotPage = new QWidget;
    auto *plotLayout = new QVBoxLayout(m_plotPage);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    plotLayout->setSpacing(0);
    plotLayout->addWidget(m_banner);
    plotLayout->addWidget(labelLine);
    plotLayout->addWidget(m_view, 1);
    plotLayout->addWidget(m_readout);

    const auto centredPage = [](QLabel *&label, QStyle::StandardPixmap icon) {
        auto *page = new QWidget;
        page->setAutoFillBackground(true);
        QPalette palette = page->palette();
        palette.setColor(QPalette::Window, Qt::white);
        page->setPalette(palette);
        auto *layout = new QVBoxLayout(page);
        layout->addStretch(2);
        if (icon != QStyle::SP_CustomBase) {
            auto *iconLabel = new QLabel;
            iconLabel->setPixmap(page->style()->standardIcon(icon).pixmap(48, 48));
            iconLabel->setAlignment(Qt::AlignCenter);
            layout->addWidget(iconLabel);
        }
        label = new QLabel;
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignCenter);
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setStyleSheet(QStringLiteral("color: #343a40; font-size: 11pt; margin: 0 40px;"));
        layout->addWidget(label);
        layout->addStretch(3);
        return page;
    };
    m_placeholderPage = centredPage(m_placeholder, QStyle::SP_CustomBase);
    m_messagePage = centredPage(m_message, QStyle::SP_MessageBoxWarning);
    m_placeholder->setStyleSheet(QStringLiteral("color: #868e96; font-size: 11pt;"));
    m_stack = new QStackedWidget;
    for (QWidget *page : {m_placeholderPage, m_plotPage, m_messagePage})
        m_stack->addWidget(page);

    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(side);
    splitter->addWidget(m_stack);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({330, 870});
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);

    m_hover = new QLabel;
    statusBar()->addPermanentWidget(m_hover);
    // Below the messages, which hide it while they show.
    statusBar()->addWidget(
        elidingLabel(tr("Drag to zoom, wheel to zoom the distance, click to place the cursor, "
                        "right-click to place the reference")),
        1);
}

void WaveformWindow::plotPaths(const QStringList &paths)
{
    if (!m_shownWatcher.files().isEmpty())
        m_shownWatcher.removePaths(m_shownWatcher.files());
    m_shownPaths = paths;
    m_tracePaths.clear();
    m_shownStamps.clear();
    m_errors.clear();
    QVector<protocol::Trace> traces;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        m_shownStamps.insert(path, {info.lastModified(), info.size()});
        if (info.isFile())
            m_shownWatcher.addPath(path);
        protocol::TraceResult result = protocol::readTrace(path);
        if (result.ok()) {
            // Distances count from the launch: the axis, the events, the
            // cursor and the exports read alike, and overlays line up there.
            traces.append(protocol::alignedAtLaunch(result.trace));
            m_tracePaths.append(path);
        } else {
            qCInfo(lcApp) << "waveform not shown:" << result.error;
            m_errors.append(result.error);
        }
    }
    m_measurement.setTraces(traces);
    m_plot->setTraces(traces);

    if (traces.isEmpty()) {
        if (m_errors.isEmpty()) {
            m_placeholder->setText(placeholderText());
            m_stack->setCurrentWidget(m_placeholderPage);
        } else {
            m_message->setText(messageText());
            m_stack->setCurrentWidget(m_messagePage);
        }
    } else {
        m_stack->setCurrentWidget(m_plotPage);
    }
    updateEvents();
    updateCursors();
    updateActions();
    if (!traces.isEmpty())
        setWindowTitle(tr("Waveforms - %1")
                           .arg(traces.size() == 1 ? traces.first().fileName
                                                   : QDir::toNativeSeparators(m_directory)));
}

int WaveformWindow::selectedTraceIndex() const
{
    const QVector<protocol::Trace> &traces = m_measurement.traces();
    if (traces.isEmpty())
        return -1;
    if (const QListWidgetItem *item = m_list->currentItem()) {
        for (int i = 0; i < traces.size(); ++i)
            if (m_tracePaths.value(i) == itemPath(item) && item->isSelected())
                return i;
    }
    return 0;
}

void WaveformWindow::updateActions()
{
    const bool plotted = !m_measurement.traces().isEmpty();
    for (QAction *action :
         {m_resetZoomAction, m_referenceAction, m_clearCursorsAction, m_exportCsvAction,
          m_exportPngAction, m_exportReportAction, m_printAction})
        action->setEnabled(plotted);
    m_exportOverlayAction->setEnabled(m_measurement.traces().size() > 1);
    m_removeAddedAction->setEnabled(!m_addedPaths.isEmpty());
}

void WaveformWindow::updateCursors()
{
    m_plot->setCursors(m_measurement.cursor(), m_measurement.reference());
    QVector<QColor> colours;
    for (int i = 0; i < m_measurement.traces().size(); ++i)
        colours.append(WaveformPlot::colourAt(i));
    m_readout->setText(m_measurement.readoutHtml(colours));
}

void WaveformWindow::resetZoom()
{
    m_plot->resetZoom();
}

void WaveformWindow::zoomTo(double from, double to)
{
    m_plot->zoomTo(from, to);
}

void WaveformWindow::setCursorDistance(double metres, bool exact)
{
    if (!m_measurement.setCursor(metres, exact))
        return;
    m_plot->ensureVisible(*m_measurement.cursor());
    updateCursors();
}

void WaveformWindow::setReferenceDistance(double metres)
{
    if (m_measurement.setReference(metres))
        updateCursors();
}

void WaveformWindow::setReferenceAtCursor()
{
    if (m_measurement.cursor())
        setReferenceDistance(*m_measurement.cursor());
    else
        statusBar()->showMessage(tr("Place the cursor first: click on the plot."));
}

void WaveformWindow::clearCursors()
{
    m_measurement.clear();
    updateCursors();
}

void WaveformWindow::stepCursor(int samples)
{
    const QValueAxis *axis = m_plot->xAxis();
    if (const std::optional<double> to =
            m_measurement.stepped(samples, (axis->min() + axis->max()) / 2))
        setCursorDistance(*to);
}
