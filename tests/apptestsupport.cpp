#include "apptestsupport.h"
#include "testsupport.h"

#include "bluetooth/emulator/emulatedstack.h"

#include <QApplication>
#include <QLabel>
#include <QSettings>
#include <QTest>
#include <QTimer>

QAction *MainWindowProbe::action(const char *name) const
{
    return w.findChild<QAction *>(QLatin1String(name));
}

QListWidget *MainWindowProbe::list(const char *name) const
{
    return w.findChild<QListWidget *>(QLatin1String(name));
}

QString MainWindowProbe::status() const
{
    return w.statusBar()->currentMessage();
}

QString MainWindowProbe::log() const
{
    return w.findChild<QTextEdit *>(QStringLiteral("messageEd"))->toPlainText();
}

QString MainWindowProbe::deviceInfo() const
{
    return w.findChild<QLabel *>(QStringLiteral("devnameLbl"))->text();
}

QString MainWindowProbe::folderText() const
{
    return w.findChild<QLabel *>(QStringLiteral("folderLbl"))->text();
}

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
    const auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    const auto act = [&](const char *name) {
        QAction *a = action(name);
        QString s = onOff(a->isEnabled());
        if (a->isCheckable() && a->isChecked())
            s += QStringLiteral(" checked");
        return s;
    };
    // A hidden action reports itself disabled whatever it was set to; show it
    // for a moment to read the setting.
    const auto hiddenAct = [&](const char *name) {
        QAction *a = action(name);
        const bool visible = a->isVisible();
        a->setVisible(true);
        const QString s = act(name);
        a->setVisible(visible);
        return s;
    };
    QStringList parts;
    parts << QStringLiteral("scan ") + act("actionScan")
          << QStringLiteral("devices ") + onOff(list("devicesLst")->isEnabled())
          << QStringLiteral("connect ") + act("actionConnect")
          << QStringLiteral("getList ") + act("actionGet_List")
          << QStringLiteral("records ") + onOff(list("recordsLst")->isEnabled())
          << QStringLiteral("load ") + act("actionLoad_Selected")
          << QStringLiteral("files ") + onOff(list("filesLst")->isEnabled())
          << QStringLiteral("upload ") + act("actionUpload_Selected")
          << QStringLiteral("serial ") + hiddenAct("actionSet_Serial");
    return parts.join(QStringLiteral(", "));
}

void isolateSettings(const QString &directory)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, directory);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, directory);
    QSettings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader")).clear();
}

emu::EmulatedStack *installScene(const QByteArray &json)
{
    QString error;
    emu::EmulatedStack *stack = testsupport::installEmulatedStack(json, &error);
    if (!stack)
        qWarning("scene rejected: %s", qPrintable(error));
    return stack;
}

void answerNextDialog(std::function<void(QWidget *)> handle)
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
}
