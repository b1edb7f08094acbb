// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/fitting.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>

namespace {

class ToolBarFitter : public QObject
{
public:
    ToolBarFitter(QToolBar *bar, const QList<QAction *> &iconFirst)
        : QObject(bar), m_bar(bar), m_iconFirst(iconFirst)
    {
        bar->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_bar && !m_fitting &&
            (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest ||
             event->type() == QEvent::Show))
            fit();
        return false;
    }

private:
    QToolButton *button(QAction *action) const
    {
        return qobject_cast<QToolButton *>(m_bar->widgetForAction(action));
    }

    bool fits() const
    {
        m_bar->layout()->invalidate();
        return m_bar->layout()->sizeHint().width() <= m_bar->width();
    }

    void fit()
    {
        m_fitting = true;
        for (QAction *action : qAsConst(m_iconFirst))
            if (QToolButton *b = button(action))
                b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        for (QAction *action : qAsConst(m_iconFirst)) {
            if (fits())
                break;
            if (QToolButton *b = button(action))
                b->setToolButtonStyle(Qt::ToolButtonIconOnly); // the tooltip still names it
        }
        m_fitting = false;
    }

    QToolBar *m_bar;
    QList<QAction *> m_iconFirst;
    bool m_fitting = false;
};

class ElidingLabel : public QLabel
{
public:
    explicit ElidingLabel(const QString &text) : m_text(text)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setTextFormat(Qt::PlainText);
        setToolTip(text);
        setText(text);
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        setText(fontMetrics().elidedText(m_text, Qt::ElideRight, contentsRect().width()));
    }

private:
    QString m_text;
};

} // namespace

QLabel *elidingLabel(const QString &text)
{
    return new ElidingLabel(text);
}

void keepToolBarFitting(QToolBar *bar, const QList<QAction *> &iconFirst)
{
    new ToolBarFitter(bar, iconFirst);
}
