// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutdialog.h"

#include "ui_aboutdialog.h"

#include "resources/resources.h"

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
    connect(ui->btClose, &QPushButton::clicked, this, &QDialog::close);
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
