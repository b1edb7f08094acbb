// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/noticebar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

NoticeBar::NoticeBar(QWidget *parent)
    : QFrame(parent), m_icon(new QLabel(this)), m_text(new QLabel(this)),
      m_action(new QPushButton(this))
{
    setObjectName(QStringLiteral("noticeBar"));
    setFrameShape(QFrame::StyledPanel);
    // As tall as its text: the form below keeps the window's height.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xce));
    colours.setColor(QPalette::WindowText, QColor(0x3b, 0x2f, 0x00));
    setPalette(colours);

    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    m_icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    m_text->setObjectName(QStringLiteral("noticeText"));
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_action->setObjectName(QStringLiteral("noticeAction"));
    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("noticeClose"));
    close->setAutoRaise(true);
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setToolTip(tr("Close"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->addWidget(m_icon, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_action);
    layout->addWidget(close, 0, Qt::AlignTop);

    connect(m_action, &QPushButton::clicked, this, &NoticeBar::actionTriggered);
    connect(close, &QToolButton::clicked, this, [this] {
        hide();
        emit closed();
    });
    hide();
}

void NoticeBar::showNotice(const QString &text, const QString &actionText)
{
    m_text->setText(text);
    setActionText(actionText);
    show();
}

void NoticeBar::setActionText(const QString &text)
{
    m_action->setText(text);
    m_action->setVisible(!text.isEmpty());
}

QString NoticeBar::text() const
{
    return isHidden() ? QString() : m_text->text();
}

QString NoticeBar::actionText() const
{
    return m_action->isHidden() ? QString() : m_action->text();
}
