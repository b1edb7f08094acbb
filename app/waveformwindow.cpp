#include "app/waveformwindow.h"

#include "protocol/logging.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsEllipseItem>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QSaveFile>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <cmath>
#include <functional>

using namespace QtCharts;

namespace {

constexpr double kLevelMax = 256; // samples are bytes; 256 keeps the top grid line labelled
constexpr int kMarkerZ = 60;      // above series, grid and legend

// Distinct on white and for the common forms of colour blindness, in the
// order a comparison usually grows.
const QColor kPalette[] = {
    QColor(0x1f, 0x5f, 0xbf), QColor(0xd9, 0x48, 0x0f), QColor(0x2b, 0x8a, 0x3e),
    QColor(0x70, 0x48, 0xe8), QColor(0xc2, 0x25, 0x5c), QColor(0x0b, 0x72, 0x85),
    QColor(0xe6, 0x77, 0x00), QColor(0x5c, 0x3d, 0x2e), QColor(0x49, 0x50, 0x57),
    QColor(0x86, 0x8e, 0x1c),
};
const QColor kCursorColour(0x21, 0x25, 0x29);
const QColor kReferenceColour(0x86, 0x8e, 0x96);
const QColor kGridColour(0xdd, 0xe1, 0xe6);
const QColor kMinorGridColour(0xf1, 0xf3, 0xf5);
const QColor kAxisColour(0x86, 0x8e, 0x96);
const QColor kTextColour(0x34, 0x3a, 0x40);

QString metres(double value)
{
    return QCoreApplication::translate("WaveformWindow", "%1 m")
        .arg(protocol::distanceText(value, 2));
}

// 1, 2 or 5 times a power of ten, giving about `ticks` intervals over `span`.
double niceInterval(double span, int ticks)
{
    if (!(span > 0))
        return 1;
    const double raw = span / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / magnitude;
    const double nice = fraction < 1.5 ? 1 : fraction < 3.5 ? 2 : fraction < 7.5 ? 5 : 10;
    return nice * magnitude;
}

// What tells a rewritten file from the one that was read.
QPair<QDateTime, qint64> stampOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {info.lastModified(), info.size()};
}

// Flat line icons drawn in code, so the tool bar looks the same on every
// platform and style.
enum class Glyph { Refresh, Fit, Reference, Clear, Table, Image };

QIcon glyphIcon(Glyph glyph)
{
    QIcon icon;
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
        const QColor ink =
            mode == QIcon::Normal ? QColor(0x34, 0x3a, 0x40) : QColor(0xad, 0xb5, 0xbd);
        const QColor accent = mode == QIcon::Normal ? QColor(0x1f, 0x5f, 0xbf) : ink;
        for (const int size : {16, 24, 32, 48}) {
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter p(&pixmap);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(size / 24.0, size / 24.0);
            QPen pen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            switch (glyph) {
            case Glyph::Refresh:
                p.drawArc(QRectF(4.5, 4.5, 15, 15), 70 * 16, 290 * 16);
                p.drawPolyline(QPolygonF({QPointF(11, 1.8), QPointF(15, 4.8), QPointF(11.5, 8.5)}));
                break;
            case Glyph::Fit:
                for (const QPointF &c :
                     {QPointF(4, 4), QPointF(20, 4), QPointF(20, 20), QPointF(4, 20)}) {
                    const double sx = c.x() < 12 ? 1 : -1;
                    const double sy = c.y() < 12 ? 1 : -1;
                    p.drawPolyline(QPolygonF({c + QPointF(0, 5 * sy), c, c + QPointF(5 * sx, 0)}));
                }
                p.setPen(QPen(accent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPolyline(QPolygonF({QPointF(7, 14), QPointF(10, 14), QPointF(12, 9),
                                          QPointF(14, 16), QPointF(17, 12)}));
                break;
            case Glyph::Reference:
                p.setPen(QPen(ink, 1.8, Qt::DashLine, Qt::FlatCap));
                p.drawLine(QPointF(8, 3), QPointF(8, 21));
                p.setPen(pen);
                p.drawLine(QPointF(17, 3), QPointF(17, 21));
                p.setPen(QPen(accent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawLine(QPointF(9.5, 12), QPointF(15.5, 12));
                p.drawPolyline(QPolygonF({QPointF(11.5, 10), QPointF(9.5, 12), QPointF(11.5, 14)}));
                p.drawPolyline(
                    QPolygonF({QPointF(13.5, 10), QPointF(15.5, 12), QPointF(13.5, 14)}));
                break;
            case Glyph::Clear:
                p.drawLine(QPointF(9, 3), QPointF(9, 21));
                p.setPen(QPen(QColor(mode == QIcon::Normal ? QColor(0xc9, 0x2a, 0x2a) : ink), 2,
                              Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(13.5, 9.5), QPointF(20.5, 16.5));
                p.drawLine(QPointF(20.5, 9.5), QPointF(13.5, 16.5));
                break;
            case Glyph::Table:
                p.drawRoundedRect(QRectF(4, 3, 16, 18), 1.5, 1.5);
                p.setPen(QPen(ink, 1.2));
                for (const double y : {8.0, 12.5, 17.0})
                    p.drawLine(QPointF(4, y), QPointF(20, y));
                p.drawLine(QPointF(11, 3), QPointF(11, 21));
                p.setPen(Qt::NoPen);
                p.setBrush(accent);
                p.drawRect(QRectF(4.6, 3.6, 14.8, 4));
                break;
            case Glyph::Image:
                p.drawRoundedRect(QRectF(3, 5, 18, 14), 1.5, 1.5);
                p.setPen(QPen(accent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPolyline(QPolygonF({QPointF(5, 15), QPointF(8.5, 15), QPointF(10.5, 9),
                                          QPointF(13, 16), QPointF(15, 12.5), QPointF(19, 12.5)}));
                break;
            }
            p.end();
            icon.addPixmap(pixmap, mode);
        }
    }
    return icon;
}

} // namespace

// The plot with the interaction a technician expects: drag a rectangle to
// zoom, click to place the cursor, right-click or Shift+click for the
// reference, wheel to zoom the distance axis around the pointer, arrow keys
// to step the cursor sample by sample.
class WaveformChartView : public QChartView
{
public:
    WaveformChartView(QChart *chart, QWidget *parent)
        : QChartView(chart, parent), m_band(QRubberBand::Rectangle, viewport())
    {
        setRenderHint(QPainter::Antialiasing);
        setFocusPolicy(Qt::StrongFocus);
        viewport()->setMouseTracking(true);
        viewport()->setCursor(Qt::CrossCursor);
        setFrameShape(QFrame::NoFrame);
        setBackgroundBrush(Qt::white);
    }

    std::function<void(double)> cursorPlaced;
    std::function<void(double)> referencePlaced;
    std::function<void(const std::optional<QPointF> &)> hovered;
    std::function<void(int)> stepped;
    std::function<void(const QPointF &, const QPointF &)> zoomRequested;
    std::function<void(double, double)> wheelZoomRequested; // centre, factor
    std::function<void()> resetRequested;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        event->accept();
        setFocus(Qt::MouseFocusReason);
        const std::optional<QPointF> value = valueAt(event->pos());
        if (!value)
            return;
        if (event->button() == Qt::RightButton ||
            (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier))) {
            referencePlaced(value->x());
        } else if (event->button() == Qt::LeftButton) {
            m_origin = event->pos();
            m_pressing = true;
        }
    }

    void mouseMoveEvent(QMouseEvent *event) override
    {
        event->accept();
        if (m_pressing &&
            (event->pos() - m_origin).manhattanLength() >= QApplication::startDragDistance()) {
            m_band.setGeometry(QRect(m_origin, event->pos()).normalized() & plotAreaInViewport());
            m_band.show();
        }
        hovered(valueAt(event->pos()));
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        event->accept();
        if (event->button() != Qt::LeftButton || !m_pressing)
            return;
        m_pressing = false;
        if (m_band.isVisible()) {
            m_band.hide();
            const QRect band = m_band.geometry();
            if (band.width() > 3 && band.height() > 3) {
                const std::optional<QPointF> a = valueAt(band.topLeft(), false);
                const std::optional<QPointF> b = valueAt(band.bottomRight(), false);
                if (a && b)
                    zoomRequested(*a, *b);
            }
            return;
        }
        if (const std::optional<QPointF> value = valueAt(event->pos()))
            cursorPlaced(value->x());
    }

    void mouseDoubleClickEvent(QMouseEvent *event) override { mousePressEvent(event); }

    void wheelEvent(QWheelEvent *event) override
    {
        event->accept();
        const std::optional<QPointF> value = valueAt(event->position().toPoint());
        const int delta = event->angleDelta().y();
        if (value && delta != 0)
            wheelZoomRequested(value->x(), std::pow(0.8, delta / 120.0));
    }

    void leaveEvent(QEvent *event) override
    {
        QChartView::leaveEvent(event);
        hovered(std::nullopt);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        const int step = (event->modifiers() & Qt::ShiftModifier) ? 10 : 1;
        switch (event->key()) {
        case Qt::Key_Left:
            stepped(-step);
            break;
        case Qt::Key_Right:
            stepped(step);
            break;
        case Qt::Key_Escape:
            m_pressing = false;
            m_band.hide();
            break;
        case Qt::Key_Home:
            resetRequested();
            break;
        default:
            QChartView::keyPressEvent(event);
            return;
        }
        event->accept();
    }

private:
    QRect plotAreaInViewport() const
    {
        return mapFromScene(chart()->mapToScene(chart()->plotArea()).boundingRect()).boundingRect();
    }

    // The value under a viewport position; nothing outside the plot area
    // unless `insideOnly` is false.
    std::optional<QPointF> valueAt(const QPoint &pos, bool insideOnly = true) const
    {
        if (chart()->series().isEmpty())
            return std::nullopt;
        const QPointF inChart = chart()->mapFromScene(mapToScene(pos));
        if (insideOnly && !chart()->plotArea().adjusted(-1, -1, 1, 1).contains(inChart))
            return std::nullopt;
        return chart()->mapToValue(inChart, chart()->series().constFirst());
    }

    QRubberBand m_band;
    QPoint m_origin;
    bool m_pressing = false;
};

WaveformWindow::WaveformWindow(QWidget *parent) : QMainWindow(parent)
{
    buildChart();
    buildUi();
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &WaveformWindow::refresh);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &WaveformWindow::fileChanged);
    plotPaths({});
}

WaveformWindow::~WaveformWindow() = default;

void WaveformWindow::buildChart()
{
    m_chart = new QChart;
    m_chart->setTheme(QChart::ChartThemeLight);
    m_chart->setBackgroundRoundness(0);
    m_chart->setBackgroundBrush(Qt::white);
    m_chart->setPlotAreaBackgroundBrush(Qt::white);
    m_chart->setPlotAreaBackgroundVisible(true);
    m_chart->setMargins(QMargins(8, 8, 16, 6));
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    m_chart->setDropShadowEnabled(false);
    m_chart->setBackgroundPen(Qt::NoPen);
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->setTitleBrush(kTextColour);

    QLegend *legend = m_chart->legend();
    legend->setAlignment(Qt::AlignBottom);
    legend->setMarkerShape(QLegend::MarkerShapeRectangle);
    legend->setLabelColor(kTextColour);

    const auto styleAxis = [](QValueAxis *axis, const QString &title) {
        QFont titleFont = axis->titleFont();
        titleFont.setPointSizeF(9.5);
        titleFont.setBold(false);
        axis->setTitleFont(titleFont);
        axis->setTitleText(title);
        axis->setTitleBrush(kTextColour);
        axis->setLabelsColor(kTextColour);
        axis->setLinePen(QPen(kAxisColour, 1));
        axis->setGridLinePen(QPen(kGridColour, 1));
        axis->setMinorGridLinePen(QPen(kMinorGridColour, 1));
        axis->setShadesVisible(false);
    };
    m_xAxis = new QValueAxis(this);
    styleAxis(m_xAxis, tr("Distance, m"));
    m_xAxis->setTickType(QValueAxis::TicksDynamic);
    m_xAxis->setTickAnchor(0);
    m_xAxis->setMinorTickCount(4);
    m_yAxis = new QValueAxis(this);
    styleAxis(m_yAxis, tr("Signal level"));
    m_yAxis->setTickType(QValueAxis::TicksDynamic);
    m_yAxis->setTickAnchor(0);
    m_yAxis->setTickInterval(32);
    m_yAxis->setMinorTickCount(1);
    m_yAxis->setLabelFormat(QStringLiteral("%d"));
    m_chart->addAxis(m_xAxis, Qt::AlignBottom);
    m_chart->addAxis(m_yAxis, Qt::AlignLeft);
    applyFullRange();

    connect(m_xAxis, &QValueAxis::rangeChanged, this, &WaveformWindow::updateMarkers);
    connect(m_yAxis, &QValueAxis::rangeChanged, this, [this](qreal min, qreal max) {
        m_yAxis->setTickInterval(qMax(1.0, niceInterval(max - min, 8))); // levels are whole
        updateMarkers();
    });
    connect(m_chart, &QChart::plotAreaChanged, this, &WaveformWindow::updateMarkers);

    const auto makeMarker = [this](Marker &marker, const QColor &colour, Qt::PenStyle style) {
        auto *line = new QGraphicsLineItem(m_chart);
        line->setPen(QPen(colour, 1.5, style));
        line->setZValue(kMarkerZ);
        auto *tag = new QGraphicsRectItem(m_chart);
        tag->setBrush(colour);
        tag->setPen(Qt::NoPen);
        tag->setZValue(kMarkerZ + 1);
        auto *text = new QGraphicsSimpleTextItem(tag);
        text->setBrush(Qt::white);
        QFont font = text->font();
        font.setPointSizeF(8.5);
        font.setBold(true);
        text->setFont(font);
        marker.line = line;
        marker.tag = tag;
        line->hide();
        tag->hide();
    };
    makeMarker(m_cursorMarker, kCursorColour, Qt::SolidLine);
    makeMarker(m_referenceMarker, kReferenceColour, Qt::DashLine);
}

void WaveformWindow::buildUi()
{
    setWindowTitle(tr("Waveforms"));
    setWindowIcon(QIcon(QStringLiteral(":/buttons/ico/ico2/wave.png")));
    resize(1180, 720);

    m_refreshAction = new QAction(glyphIcon(Glyph::Refresh), tr("&Refresh"), this);
    m_refreshAction->setShortcut(QKeySequence::Refresh);
    m_refreshAction->setToolTip(tr("Read the folder's files again"));
    connect(m_refreshAction, &QAction::triggered, this, &WaveformWindow::refresh);

    m_resetZoomAction = new QAction(glyphIcon(Glyph::Fit), tr("Reset &Zoom"), this);
    m_resetZoomAction->setShortcut(Qt::CTRL + Qt::Key_0);
    m_resetZoomAction->setToolTip(tr("Show the whole trace (Home)"));
    connect(m_resetZoomAction, &QAction::triggered, this, &WaveformWindow::resetZoom);

    m_referenceAction = new QAction(glyphIcon(Glyph::Reference), tr("Set &Reference"), this);
    m_referenceAction->setShortcut(Qt::CTRL + Qt::Key_R);
    m_referenceAction->setToolTip(
        tr("Put the reference at the cursor to measure the distance between two points"));
    connect(m_referenceAction, &QAction::triggered, this, &WaveformWindow::setReferenceAtCursor);

    m_clearCursorsAction = new QAction(glyphIcon(Glyph::Clear), tr("&Clear Cursors"), this);
    connect(m_clearCursorsAction, &QAction::triggered, this, &WaveformWindow::clearCursors);

    m_exportCsvAction = new QAction(glyphIcon(Glyph::Table), tr("Export &CSV..."), this);
    m_exportCsvAction->setToolTip(tr("Save the trace as distance and value columns"));
    connect(m_exportCsvAction, &QAction::triggered, this, &WaveformWindow::exportCsvInteractive);

    m_exportPngAction = new QAction(glyphIcon(Glyph::Image), tr("Export &Image..."), this);
    m_exportPngAction->setToolTip(tr("Save the plot as a PNG image"));
    connect(m_exportPngAction, &QAction::triggered, this, &WaveformWindow::exportPngInteractive);

    auto *closeAction = new QAction(tr("&Close"), this);
    closeAction->setShortcut(QKeySequence::Close);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);

    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->addAction(m_exportCsvAction);
    fileMenu->addAction(m_exportPngAction);
    fileMenu->addSeparator();
    fileMenu->addAction(m_refreshAction);
    fileMenu->addSeparator();
    fileMenu->addAction(closeAction);
    QMenu *viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->addAction(m_resetZoomAction);
    viewMenu->addAction(m_referenceAction);
    viewMenu->addAction(m_clearCursorsAction);

    QToolBar *toolBar = addToolBar(tr("Waveforms"));
    toolBar->setObjectName(QStringLiteral("waveformToolBar"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar->addAction(m_refreshAction);
    toolBar->addSeparator();
    toolBar->addAction(m_resetZoomAction);
    toolBar->addAction(m_referenceAction);
    toolBar->addAction(m_clearCursorsAction);
    toolBar->addSeparator();
    toolBar->addAction(m_exportCsvAction);
    toolBar->addAction(m_exportPngAction);

    // The file list.
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
    // Download names end in the serial number; the middle is what can go.
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setUniformItemSizes(true);
    m_list->setToolTip(tr("Select several files with Ctrl or Shift to overlay them"));
    connect(m_list, &QListWidget::itemSelectionChanged, this, &WaveformWindow::selectionChanged);
    listLayout->addWidget(m_folderLabel);
    listLayout->addWidget(m_list);

    // The plot, or the reason there is none.
    m_view = new WaveformChartView(m_chart, nullptr);
    m_view->setMinimumSize(420, 300);
    m_view->cursorPlaced = [this](double d) { setCursorDistance(d); };
    m_view->referencePlaced = [this](double d) { setReferenceDistance(d); };
    m_view->hovered = [this](const std::optional<QPointF> &v) { hovered(v); };
    m_view->stepped = [this](int n) { stepCursor(n); };
    m_view->resetRequested = [this] { resetZoom(); };
    m_view->zoomRequested = [this](const QPointF &a, const QPointF &b) {
        const double full = m_fullDistance;
        const double x0 = qBound(0.0, qMin(a.x(), b.x()), full);
        const double x1 = qBound(0.0, qMax(a.x(), b.x()), full);
        const double y0 = qBound(0.0, qMin(a.y(), b.y()), kLevelMax);
        const double y1 = qBound(0.0, qMax(a.y(), b.y()), kLevelMax);
        if (x1 - x0 > 1e-6 && y1 - y0 > 0.5) {
            setXRange(x0, x1);
            m_yAxis->setRange(y0, y1);
        }
    };
    m_view->wheelZoomRequested = [this](double centre, double factor) {
        const double full = m_fullDistance;
        double span = qMin(full, (m_xAxis->max() - m_xAxis->min()) * factor);
        span = qMax(span, 4 * double(m_traces.isEmpty() ? 1.0f : m_traces.first().distanceStep));
        const double share = (centre - m_xAxis->min()) / (m_xAxis->max() - m_xAxis->min());
        double x0 = centre - share * span;
        x0 = qBound(0.0, x0, full - span);
        setXRange(x0, x0 + span);
    };

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

    auto *plotPage = new QWidget;
    auto *plotLayout = new QVBoxLayout(plotPage);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    plotLayout->setSpacing(0);
    plotLayout->addWidget(m_banner);
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
    m_stack = new QStackedWidget;
    m_stack->addWidget(centredPage(m_placeholder, QStyle::SP_CustomBase));
    m_stack->addWidget(plotPage);
    m_stack->addWidget(centredPage(m_message, QStyle::SP_MessageBoxWarning));
    m_placeholder->setStyleSheet(QStringLiteral("color: #868e96; font-size: 11pt;"));

    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(listPanel);
    splitter->addWidget(m_stack);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({330, 870});
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);

    m_hover = new QLabel;
    statusBar()->addPermanentWidget(m_hover);
    statusBar()->showMessage(
        tr("Drag to zoom, wheel to zoom the distance, click to place the cursor, right-click to "
           "place the reference"));
}

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
    for (const QString &path : qAsConst(m_shownPaths)) {
        if (stampOf(path) != m_shownStamps.value(path))
            stale = true;
    }
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
    for (const protocol::Trace &trace : m_traces)
        names.append(trace.fileName);
    return names;
}

int WaveformWindow::seriesCount() const
{
    return m_chart->series().size();
}

QString WaveformWindow::messageText() const
{
    return m_errors.join(QLatin1Char('\n'));
}

QColor WaveformWindow::colourAt(int index) const
{
    constexpr int count = int(sizeof kPalette / sizeof kPalette[0]);
    return kPalette[index % count];
}

void WaveformWindow::plotPaths(const QStringList &paths)
{
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    m_shownPaths = paths;
    m_shownStamps.clear();
    m_traces.clear();
    m_errors.clear();
    for (const QString &path : paths) {
        m_shownStamps.insert(path, stampOf(path));
        if (QFileInfo::exists(path))
            m_watcher.addPath(path);
        protocol::TraceResult result = protocol::readTrace(path);
        if (result.ok()) {
            m_traces.append(result.trace);
        } else {
            qCInfo(lcApp) << "waveform not shown:" << result.error;
            m_errors.append(result.error);
        }
    }

    for (QAbstractSeries *series : m_chart->series()) {
        m_chart->removeSeries(series);
        delete series;
    }
    for (Marker *marker : {&m_cursorMarker, &m_referenceMarker}) {
        qDeleteAll(marker->dots);
        marker->dots.clear();
    }

    for (int i = 0; i < m_traces.size(); ++i) {
        const protocol::Trace &trace = m_traces.at(i);
        auto *series = new QLineSeries;
        series->setName(protocol::traceShortName(trace));
        series->replace(trace.points);
        series->setPen(QPen(colourAt(i), m_traces.size() == 1 ? 1.8 : 1.5));
        m_chart->addSeries(series);
        series->attachAxis(m_xAxis);
        series->attachAxis(m_yAxis);
        for (Marker *marker : {&m_cursorMarker, &m_referenceMarker}) {
            auto *dot = new QGraphicsEllipseItem(-4, -4, 8, 8, m_chart);
            dot->setBrush(Qt::white);
            dot->setPen(QPen(colourAt(i), 2));
            dot->setZValue(kMarkerZ + 2);
            dot->hide();
            marker->dots.append(dot);
        }
    }
    // One trace needs no legend: the title names it.
    m_chart->legend()->setVisible(m_traces.size() > 1);

    if (m_traces.isEmpty()) {
        if (m_errors.isEmpty()) {
            m_placeholder->setText(m_list->count() == 0
                                       ? tr("There are no *.tdr files in this folder yet.")
                                       : tr("Select one or more files to see their waveforms."));
            m_stack->setCurrentIndex(0);
        } else {
            m_message->setText(messageText());
            m_stack->setCurrentIndex(2);
        }
    } else {
        m_banner->setText(messageText());
        m_banner->setVisible(!m_errors.isEmpty());
        m_stack->setCurrentIndex(1);
    }

    applyFullRange();
    if (m_cursor)
        m_cursor = snap(*m_cursor);
    if (m_reference)
        m_reference = snap(*m_reference);
    updateTitle();
    updateMarkers();
    updateReadout();
    updateActions();
    if (!m_traces.isEmpty())
        setWindowTitle(tr("Waveforms - %1")
                           .arg(m_traces.size() == 1 ? m_traces.first().fileName
                                                     : QDir::toNativeSeparators(m_directory)));
}

void WaveformWindow::applyFullRange()
{
    double full = 0;
    for (const protocol::Trace &trace : qAsConst(m_traces))
        full = qMax(full, trace.maxDistance());
    if (!(full > 0))
        full = 100;
    m_fullDistance = full;
    setXRange(0, full);
    m_yAxis->setRange(0, kLevelMax);
}

void WaveformWindow::setXRange(double from, double to)
{
    // The axis lays its ticks out as soon as either the range or the interval
    // changes: the old interval over a much wider range means millions of
    // ticks. Whichever change keeps the tick count small goes first.
    const double interval = niceInterval(to - from, 10);
    const int decimals = interval >= 1 ? 0 : interval >= 0.1 ? 1 : 2;
    m_xAxis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
    if (interval > m_xAxis->tickInterval()) {
        m_xAxis->setTickInterval(interval);
        m_xAxis->setRange(from, to);
    } else {
        m_xAxis->setRange(from, to);
        m_xAxis->setTickInterval(interval);
    }
}

void WaveformWindow::zoomTo(double from, double to)
{
    setXRange(from, to);
}

void WaveformWindow::resetZoom()
{
    applyFullRange();
}

void WaveformWindow::updateTitle()
{
    QString head;
    QString detail;
    if (m_traces.size() == 1) {
        const protocol::Trace &trace = m_traces.first();
        head = protocol::traceShortName(trace);
        detail = protocol::traceSummary(trace);
        // A download's name already says when it was measured.
        const QString when =
            protocol::traceDateText(trace) + QLatin1Char(' ') + protocol::traceTimeText(trace);
        if (head.contains(when) && detail.startsWith(when + QStringLiteral(" · ")))
            detail = detail.mid(when.size() + 3);
    } else if (m_traces.size() > 1) {
        head = tr("%n records", "", m_traces.size());
        // What all the overlaid records share is said once.
        const auto same = [this](auto field) {
            for (const protocol::Trace &trace : qAsConst(m_traces))
                if (field(trace) != field(m_traces.first()))
                    return false;
            return true;
        };
        QStringList parts;
        const protocol::Trace &first = m_traces.first();
        if (same([](const protocol::Trace &t) { return protocol::traceDateText(t); }))
            parts << protocol::traceDateText(first);
        if (same([](const protocol::Trace &t) { return t.range; }))
            parts << tr("range %1 m").arg(first.range);
        if (same([](const protocol::Trace &t) { return t.distanceStep; }))
            parts << tr("step %1 m").arg(protocol::distanceText(double(first.distanceStep), 3));
        if (same([](const protocol::Trace &t) { return t.serialNumber; }))
            parts << tr("sn %1").arg(protocol::traceSerialText(first));
        detail = parts.join(QStringLiteral(" · "));
    }
    if (head.isEmpty()) {
        m_chart->setTitle(QString());
        return;
    }
    m_chart->setTitle(QStringLiteral("<div style='font-size:11.5pt; font-weight:600;'>%1</div>"
                                     "<div style='font-size:9.5pt; color:#495057;'>%2</div>")
                          .arg(head.toHtmlEscaped(), detail.toHtmlEscaped()));
}

void WaveformWindow::updateActions()
{
    const bool plotted = !m_traces.isEmpty();
    m_resetZoomAction->setEnabled(plotted);
    m_referenceAction->setEnabled(plotted);
    m_clearCursorsAction->setEnabled(plotted);
    m_exportCsvAction->setEnabled(plotted);
    m_exportPngAction->setEnabled(plotted);
}

double WaveformWindow::snap(double metres) const
{
    if (m_traces.isEmpty())
        return metres;
    const protocol::Trace &trace = m_traces.first();
    return trace.points.at(trace.indexAt(metres)).x();
}

void WaveformWindow::setCursorDistance(double metres)
{
    if (!std::isfinite(metres))
        return;
    m_cursor = snap(metres);
    updateMarkers();
    updateReadout();
}

void WaveformWindow::setReferenceDistance(double metres)
{
    if (!std::isfinite(metres))
        return;
    m_reference = snap(metres);
    updateMarkers();
    updateReadout();
}

void WaveformWindow::setReferenceAtCursor()
{
    if (m_cursor)
        setReferenceDistance(*m_cursor);
    else
        statusBar()->showMessage(tr("Place the cursor first: click on the plot."));
}

void WaveformWindow::clearCursors()
{
    m_cursor.reset();
    m_reference.reset();
    updateMarkers();
    updateReadout();
}

void WaveformWindow::stepCursor(int samples)
{
    if (m_traces.isEmpty())
        return;
    const protocol::Trace &trace = m_traces.first();
    int index = m_cursor ? trace.indexAt(*m_cursor) + samples
                         : trace.indexAt((m_xAxis->min() + m_xAxis->max()) / 2);
    index = qBound(0, index, trace.points.size() - 1);
    const double distance = trace.points.at(index).x();
    // Keep the stepped cursor in view.
    if (distance < m_xAxis->min() || distance > m_xAxis->max()) {
        const double span = m_xAxis->max() - m_xAxis->min();
        const double full = m_fullDistance;
        const double x0 = qBound(0.0, distance - span / 2, qMax(0.0, full - span));
        setXRange(x0, x0 + span);
    }
    setCursorDistance(distance);
}

void WaveformWindow::updateMarkers()
{
    updateMarker(m_cursorMarker, m_cursor, QString());
    updateMarker(m_referenceMarker, m_reference, tr("Ref"));
}

void WaveformWindow::updateMarker(Marker &marker, const std::optional<double> &distance,
                                  const QString &name)
{
    const auto series = m_chart->series();
    const bool visible = distance && !series.isEmpty() && *distance >= m_xAxis->min() - 1e-9 &&
                         *distance <= m_xAxis->max() + 1e-9;
    marker.line->setVisible(visible);
    marker.tag->setVisible(visible);
    for (QGraphicsItem *dot : qAsConst(marker.dots))
        dot->setVisible(false);
    if (!visible)
        return;

    const QRectF area = m_chart->plotArea();
    const double x = m_chart->mapToPosition(QPointF(*distance, 0), series.first()).x();
    static_cast<QGraphicsLineItem *>(marker.line)->setLine(x, area.top(), x, area.bottom());

    auto *tag = static_cast<QGraphicsRectItem *>(marker.tag);
    auto *text = static_cast<QGraphicsSimpleTextItem *>(tag->childItems().constFirst());
    text->setText(name.isEmpty() ? metres(*distance)
                                 : QStringLiteral("%1 %2").arg(name, metres(*distance)));
    const QRectF textRect = text->boundingRect();
    const QRectF box(0, 0, textRect.width() + 8, textRect.height() + 2);
    tag->setRect(box);
    text->setPos(4, 1);
    // The tag sits beside the line, inside the plot, on whichever side has room.
    const double left = x + box.width() + 2 <= area.right() ? x + 1 : x - box.width() - 1;
    const double top = area.top() + (name.isEmpty() ? 1 : box.height() + 3);
    tag->setPos(left, top);

    for (int i = 0; i < m_traces.size() && i < marker.dots.size() && i < series.size(); ++i) {
        const protocol::Trace &trace = m_traces.at(i);
        const QPointF point = trace.points.at(trace.indexAt(*distance));
        const QPointF at = m_chart->mapToPosition(point, series.at(i));
        QGraphicsItem *dot = marker.dots.at(i);
        dot->setPos(at);
        dot->setVisible(area.adjusted(-1, -1, 1, 1).contains(at));
    }
}

void WaveformWindow::updateReadout()
{
    if (m_traces.isEmpty()) {
        m_readoutPlain.clear();
        m_readout->clear();
        return;
    }
    if (!m_cursor) {
        m_readoutPlain = tr("Click on the plot to place the cursor; right-click or Shift+click "
                            "places the reference.");
        m_readout->setText(QStringLiteral("<span style='color:#868e96'>%1</span>")
                               .arg(m_readoutPlain.toHtmlEscaped()));
        return;
    }

    QStringList plain;
    QStringList rich;
    const int index = m_traces.first().indexAt(*m_cursor);
    plain << tr("Cursor: %1 (sample %2)").arg(metres(*m_cursor)).arg(index);
    rich << tr("<b>Cursor</b> %1 <span style='color:#868e96'>(sample %2)</span>")
                .arg(metres(*m_cursor))
                .arg(index);
    for (int i = 0; i < m_traces.size(); ++i) {
        const protocol::Trace &trace = m_traces.at(i);
        const int level = int(trace.points.at(trace.indexAt(*m_cursor)).y());
        const QString name = protocol::traceShortName(trace);
        if (m_traces.size() == 1) {
            plain << tr("level %1").arg(level);
            rich << tr("level <b>%1</b>").arg(level);
        } else {
            // The colour tells the traces apart; a download's record number is enough.
            const QString tag =
                name.startsWith(QLatin1Char('#')) ? name.section(QLatin1Char(' '), 0, 0) : name;
            plain << QStringLiteral("%1: %2").arg(name).arg(level);
            rich << QStringLiteral("<span style='color:%1'>&#9632;</span> %2: <b>%3</b>")
                        .arg(colourAt(i).name(), tag.toHtmlEscaped())
                        .arg(level);
        }
    }
    if (m_reference) {
        const double delta = *m_cursor - *m_reference;
        plain << tr("Reference: %1").arg(metres(*m_reference));
        plain << tr("Δ: %1").arg(metres(std::abs(delta)));
        rich << tr("<b>Ref</b> %1").arg(metres(*m_reference));
        rich << tr("<b>Δ %1</b>").arg(metres(std::abs(delta)));
    }
    m_readoutPlain = plain.join(QStringLiteral(" | "));
    m_readout->setText(rich.join(QStringLiteral("&nbsp;&nbsp;&nbsp;│&nbsp;&nbsp;&nbsp;")));
}

void WaveformWindow::hovered(const std::optional<QPointF> &value)
{
    if (!value || m_traces.isEmpty()) {
        m_hover->clear();
        return;
    }
    const protocol::Trace &trace = m_traces.first();
    const QPointF sample = trace.points.at(trace.indexAt(value->x()));
    m_hover->setText(tr("%1 · level %2").arg(metres(sample.x())).arg(int(sample.y())));
}

const protocol::Trace *WaveformWindow::currentTrace() const
{
    if (m_traces.isEmpty())
        return nullptr;
    if (const QListWidgetItem *item = m_list->currentItem()) {
        for (const protocol::Trace &trace : m_traces)
            if (trace.fileName == item->text() && item->isSelected())
                return &trace;
    }
    return &m_traces.first();
}

bool WaveformWindow::exportCsv(const QString &path)
{
    const protocol::Trace *trace = currentTrace();
    if (!trace)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        statusBar()->showMessage(tr("Cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    file.write(protocol::traceCsv(*trace).toUtf8());
    if (!file.commit()) {
        statusBar()->showMessage(tr("Cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    statusBar()->showMessage(tr("Saved %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

bool WaveformWindow::exportPng(const QString &path)
{
    if (m_traces.isEmpty())
        return false;
    const QPixmap image = m_view->grab();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        statusBar()->showMessage(tr("Cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    statusBar()->showMessage(tr("Saved %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void WaveformWindow::exportCsvInteractive()
{
    const protocol::Trace *trace = currentTrace();
    if (!trace)
        return;
    const QString suggested =
        pathFor(QFileInfo(trace->fileName).completeBaseName() + QStringLiteral(".csv"));
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export %1 as CSV").arg(trace->fileName), suggested, tr("CSV files (*.csv)"));
    if (!path.isEmpty() && !exportCsv(path))
        QMessageBox::warning(this, tr("Export CSV"), statusBar()->currentMessage());
}

void WaveformWindow::exportPngInteractive()
{
    const protocol::Trace *trace = currentTrace();
    if (!trace)
        return;
    const QString base =
        m_traces.size() == 1 ? QFileInfo(trace->fileName).completeBaseName() : tr("waveforms");
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export Image"), pathFor(base + QStringLiteral(".png")), tr("PNG images (*.png)"));
    if (!path.isEmpty() && !exportPng(path))
        QMessageBox::warning(this, tr("Export Image"), statusBar()->currentMessage());
}
