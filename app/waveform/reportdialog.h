// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <optional>

class QLineEdit;
class QPlainTextEdit;

// What the person making a report writes on every page.
struct ReportFields
{
    QString note;
    QString technician;
    QString site;

    // The technician and site given last ("Report/technician", "Report/site").
    static ReportFields remembered();
    void remember() const;
};

// Asks for a report's technician, site and note.
class ReportDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ReportDialog(const QString &title, QWidget *parent = nullptr);
    ReportFields fields() const;

    // The fields, remembered for next time; nothing when cancelled.
    static std::optional<ReportFields> ask(QWidget *parent, const QString &title);

private:
    QLineEdit *m_technician = nullptr;
    QLineEdit *m_site = nullptr;
    QPlainTextEdit *m_note = nullptr;
};
