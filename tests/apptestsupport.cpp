// SPDX-License-Identifier: GPL-3.0-or-later
#include "apptestsupport.h"

#include "app/noticebar.h"

#include <QApplication>
#include <QTimer>

QStringList MainWindowProbe::items(const char *listName) const
{
    QStringList texts;
    const QListWidget *widget = list(listName);
    for (int i = 0; i < widget->count(); ++i)
        texts << widget->item(i)->text();
    return texts;
}

QString MainWindowProbe::controlStates() const
{
    QString states;
    const auto add = [&](bool enabled, bool checked = false) {
        states += checked ? (enabled ? QLatin1Char('C') : QLatin1Char('c'))
                          : (enabled ? QLatin1Char('1') : QLatin1Char('0'));
    };
    const auto act = [&](const char *name) {
        QAction *a = action(name);
        // A hidden action reports itself disabled whatever it was set to.
        const bool visible = a->isVisible();
        a->setVisible(true);
        add(a->isEnabled(), a->isChecked());
        a->setVisible(visible);
    };
    act("actionScan");
    add(list("devicesLst")->isEnabled());
    act("actionConnect");
    act("actionGet_List");
    add(list("recordsLst")->isEnabled());
    act("actionLoad_Selected");
    add(list("filesLst")->isEnabled());
    act("actionUpload_Selected");
    act("actionSet_Serial");
    return states;
}

QTimer *answerNextDialog(std::function<void(QWidget *)> handle)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, handle] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        handle(dialog);
    });
    timer->start();
    return timer;
}

QString MainWindowProbe::notice() const
{
    return w.findChild<NoticeBar *>()->text();
}

QString MainWindowProbe::noticeAction() const
{
    return w.findChild<NoticeBar *>()->actionText();
}
