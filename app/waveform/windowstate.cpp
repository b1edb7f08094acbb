// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/windowstate.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStyle>
#include <QVariant>

#include <algorithm>

QRect fitOntoScreens(const QRect &frame, const QVector<QRect> &screens)
{
    if (screens.isEmpty())
        return frame;
    QRect screen = screens.first();
    qint64 bestOverlap = 0;
    for (const QRect &candidate : screens) {
        const QRect overlap = candidate.intersected(frame);
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (area > bestOverlap) {
            bestOverlap = area;
            screen = candidate;
        }
    }
    QRect fitted(frame.topLeft(), frame.size().boundedTo(screen.size()));
    fitted.moveLeft(std::clamp(fitted.left(), screen.left(), screen.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), screen.top(), screen.bottom() - fitted.height() + 1));
    return fitted;
}

namespace {

QVector<QRect> availableScreens()
{
    QVector<QRect> areas;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens)
        areas.append(screen->availableGeometry());
    // The primary screen first: a window that is on no screen goes there.
    if (const QScreen *primary = QGuiApplication::primaryScreen()) {
        const int at = areas.indexOf(primary->availableGeometry());
        if (at > 0)
            areas.move(at, 0);
    }
    return areas;
}

} // namespace

QMargins expectedWindowFrame()
{
    // Before a window is shown its frame is unknown; a title bar's worth keeps
    // it on screen under any common window manager.
    const int bar = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return QMargins(4, bar + 8, 4, 4);
}

namespace {

// A saved size that today's screens (or a scale factor of this run) cannot
// hold, and the size the window got instead.
struct Shrunk
{
    QSize saved;
    QSize given;
};

Shrunk restore(QMainWindow *window, const QString &group)
{
    Shrunk shrunk;
    QSettings settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"));
    settings.beginGroup(group);
    const QRect saved = settings.value(QStringLiteral("geometry")).toRect();
    const QVariantList margins = settings.value(QStringLiteral("frame")).toList();
    const QMargins frame = margins.size() == 4
                               ? QMargins(margins.at(0).toInt(), margins.at(1).toInt(),
                                          margins.at(2).toInt(), margins.at(3).toInt())
                               : expectedWindowFrame();

    // No smaller than the layout allows is left to Qt: before the window is
    // shown its minimum may still be the one of the form.
    const QRect client = saved.isValid() ? saved : QRect(QPoint(), window->size());
    const QRect outer = client.marginsAdded(frame);
    const QVector<QRect> screens = availableScreens();
    QRect fitted = fitOntoScreens(outer, screens);
    if (saved.isValid()) {
        window->setGeometry(fitted.marginsRemoved(frame));
        if (fitted.size() != outer.size())
            shrunk = Shrunk{saved.size(), fitted.marginsRemoved(frame).size()};
    } else if (fitted.size() != outer.size()) {
        // First run on a small screen: the default size does not fit, and the
        // window is placed by us, in the middle.
        fitted.moveCenter(screens.first().center());
        window->setGeometry(fitOntoScreens(fitted, screens).marginsRemoved(frame));
    }
    if (settings.value(QStringLiteral("maximized")).toBool())
        window->setWindowState(window->windowState() | Qt::WindowMaximized);

    window->restoreState(settings.value(QStringLiteral("state")).toByteArray());
    const QList<QSplitter *> splitters = window->findChildren<QSplitter *>();
    const QVariantList splitterStates = settings.value(QStringLiteral("splitters")).toList();
    for (int i = 0; i < splitters.size() && i < splitterStates.size(); ++i)
        splitters.at(i)->restoreState(splitterStates.at(i).toByteArray());
    const QList<QHeaderView *> headers = window->findChildren<QHeaderView *>();
    const QVariantList headerStates = settings.value(QStringLiteral("columns")).toList();
    for (int i = 0; i < headers.size() && i < headerStates.size(); ++i)
        headers.at(i)->restoreState(headerStates.at(i).toByteArray());
    settings.endGroup();
    return shrunk;
}

void save(QMainWindow *window, const QString &group, const Shrunk &shrunk)
{
    QSettings settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"));
    settings.beginGroup(group);
    settings.setValue(QStringLiteral("maximized"), window->isMaximized());
    // A maximized window keeps the place it goes back to.
    QRect client = window->isMaximized() ? window->normalGeometry() : window->geometry();
    const QRect shown = client;
    // Shrunk only to fit this run's screen or scale, and left so by the user:
    // the next run on a larger screen gets the size back.
    if (shrunk.saved.isValid() && client.size() == shrunk.given)
        client.setSize(shrunk.saved);
    settings.setValue(QStringLiteral("geometry"), client);
    const QRect outer = window->frameGeometry();
    if (!window->isMaximized() && outer.contains(window->geometry()))
        settings.setValue(QStringLiteral("frame"),
                          QVariantList{shown.left() - outer.left(), shown.top() - outer.top(),
                                       outer.right() - shown.right(),
                                       outer.bottom() - shown.bottom()});
    settings.setValue(QStringLiteral("state"), window->saveState());
    QVariantList splitterStates;
    const QList<QSplitter *> splitters = window->findChildren<QSplitter *>();
    for (const QSplitter *splitter : splitters)
        splitterStates.append(splitter->saveState());
    settings.setValue(QStringLiteral("splitters"), splitterStates);
    QVariantList headerStates;
    const QList<QHeaderView *> headers = window->findChildren<QHeaderView *>();
    for (const QHeaderView *header : headers)
        headerStates.append(header->saveState());
    settings.setValue(QStringLiteral("columns"), headerStates);
    settings.endGroup();
}

class StateKeeper : public QObject
{
public:
    StateKeeper(QMainWindow *window, const QString &group, const Shrunk &shrunk)
        : QObject(window), m_window(window), m_group(group), m_shrunk(shrunk)
    {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Closing hides the window; a minimized window is hidden by the system.
        // A window destroyed while shown is hidden by ~QWidget, when it is no
        // longer a QMainWindow and its parts are gone: nothing to save then.
        if (event->type() == QEvent::Hide && !event->spontaneous() &&
            qobject_cast<QMainWindow *>(watched) == m_window)
            save(m_window, m_group, m_shrunk);
        return false;
    }

private:
    QMainWindow *m_window;
    QString m_group;
    Shrunk m_shrunk;
};

} // namespace

void keepWindowState(QMainWindow *window, const QString &name)
{
    const QString group = QStringLiteral("Windows/") + name;
    const Shrunk shrunk = restore(window, group);
    window->installEventFilter(new StateKeeper(window, group, shrunk));
}
