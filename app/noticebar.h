// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QPushButton;

// A line across the top of the window for what went wrong while the user
// looked elsewhere: it stays until closed or replaced, asks nothing, and may
// offer one action.
class NoticeBar : public QFrame
{
    Q_OBJECT
public:
    explicit NoticeBar(QWidget *parent = nullptr);

    // Shows `text`; with an `actionText` the action button is offered too.
    void showNotice(const QString &text, const QString &actionText = QString());
    void setActionText(const QString &text);
    QString text() const;
    QString actionText() const;

signals:
    void actionTriggered();
    void closed();

private:
    QLabel *m_icon;
    QLabel *m_text;
    QPushButton *m_action;
};
