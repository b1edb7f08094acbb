// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutdialog.h"

#include "ui_aboutdialog.h"

#include "resources/resources.h"

#include <QLabel>
#include <QPushButton>

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent), ui(new Ui::AboutDialog)
{
    // The main window builds this dialog among its members, before its own
    // constructor could register the icons.
    varnelInitResources();
    ui->setupUi(this);
    // The compiler's build stamp is wanted here: it tells which build the user runs.
    ui->lbBuilt->setText(tr("Built on: ") + QLatin1String(__DATE__) + QLatin1Char(' ') +
                         QLatin1String(__TIME__) + QLatin1String("\n\n"));
    // The version sits on the build line's empty second line, beside the form's own labels.
    auto *version = new QLabel(tr("Version %1").arg(QStringLiteral(VARNEL_VERSION)), this);
    version->setObjectName(QStringLiteral("lbVersion"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    version->setGeometry(20, 125, 310, 20);
    connect(ui->btClose, &QPushButton::clicked, this, &QDialog::close);
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
