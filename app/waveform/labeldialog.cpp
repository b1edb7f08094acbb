// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/labeldialog.h"

#include <QCompleter>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

LabelDialog::LabelDialog(const QString &what, const CableLabel &current, const QStringList &cables,
                         QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Cable Label"));
    auto *layout = new QFormLayout(this);
    auto *files = new QLabel(what);
    files->setTextFormat(Qt::PlainText);
    files->setWordWrap(true);
    layout->addRow(files);
    m_cable = new QLineEdit(current.cable);
    m_cable->setObjectName(QStringLiteral("labelCableEd"));
    m_cable->setPlaceholderText(tr("e.g. Feeder 3, phase L2"));
    auto *completer = new QCompleter(cables, m_cable);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_cable->setCompleter(completer);
    m_note = new QPlainTextEdit(current.note);
    m_note->setObjectName(QStringLiteral("labelNoteEd"));
    m_note->setTabChangesFocus(true);
    layout->addRow(tr("&Cable:"), m_cable);
    layout->addRow(tr("&Note:"), m_note);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton *remove = buttons->addButton(tr("&Remove Label"), QDialogButtonBox::ResetRole);
    remove->setEnabled(!current.isEmpty());
    connect(remove, &QPushButton::clicked, this, [this] {
        m_cable->clear();
        m_note->clear();
        accept();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(buttons);
    resize(420, sizeHint().height());
}

CableLabel LabelDialog::label() const
{
    return CableLabel{m_cable->text(), m_note->toPlainText()}.cleaned();
}

std::optional<CableLabel> LabelDialog::ask(QWidget *parent, const QString &what,
                                           const CableLabel &current, const QStringList &cables)
{
    LabelDialog dialog(what, current, cables, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.label();
}
