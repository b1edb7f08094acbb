// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/labelbook.h"

#include <QDialog>

#include <optional>

class QLineEdit;
class QPlainTextEdit;

// Asks for the cable name and note of one or more record files.
class LabelDialog : public QDialog
{
    Q_OBJECT

public:
    // `what` names the files; `cables` are offered as the name is typed.
    LabelDialog(const QString &what, const CableLabel &current, const QStringList &cables,
                QWidget *parent = nullptr);
    CableLabel label() const;

    // The label given, an empty one to remove it, or nothing when cancelled.
    static std::optional<CableLabel> ask(QWidget *parent, const QString &what,
                                         const CableLabel &current, const QStringList &cables);

private:
    QLineEdit *m_cable = nullptr;
    QPlainTextEdit *m_note = nullptr;
};
