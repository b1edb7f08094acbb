// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/reportdialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>

namespace {

const QString kTechnicianKey = QStringLiteral("Report/technician");
const QString kSiteKey = QStringLiteral("Report/site");

} // namespace

ReportFields ReportFields::remembered()
{
    QSettings settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"));
    return {QString(), settings.value(kTechnicianKey).toString(),
            settings.value(kSiteKey).toString()};
}

void ReportFields::remember() const
{
    QSettings settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"));
    settings.setValue(kTechnicianKey, technician);
    settings.setValue(kSiteKey, site);
}

ReportDialog::ReportDialog(const QString &title, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(title);
    const ReportFields last = ReportFields::remembered();
    auto *layout = new QFormLayout(this);
    m_technician = new QLineEdit(last.technician);
    m_technician->setObjectName(QStringLiteral("reportTechnicianEd"));
    m_site = new QLineEdit(last.site);
    m_site->setObjectName(QStringLiteral("reportSiteEd"));
    m_note = new QPlainTextEdit;
    m_note->setObjectName(QStringLiteral("reportNoteEd"));
    m_note->setTabChangesFocus(true);
    m_note->setPlaceholderText(tr("May be left empty"));
    layout->addRow(tr("&Technician:"), m_technician);
    layout->addRow(tr("&Site:"), m_site);
    layout->addRow(tr("&Note:"), m_note);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(buttons);
    resize(440, sizeHint().height());
}

ReportFields ReportDialog::fields() const
{
    return {m_note->toPlainText(), m_technician->text().simplified(), m_site->text().simplified()};
}

std::optional<ReportFields> ReportDialog::ask(QWidget *parent, const QString &title)
{
    ReportDialog dialog(title, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const ReportFields fields = dialog.fields();
    fields.remember();
    return fields;
}
