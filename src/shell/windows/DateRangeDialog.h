#pragma once

#include "WindowBranding.h"

#include <QDialog>

class QCheckBox;
#include <QDate>
class QDateEdit;
class QLabel;
class QPushButton;

namespace backtrail::engine {
class SettingsStore;
}

namespace backtrail::shell {

/// The Date Range dialog: the first and last day whose log lines the scans
/// take, or all dates. It opens showing the range of the process-wide scan
/// settings; Ok puts the range in force for the next scan and writes it to
/// the store ("yyyy-MM-dd" of both days, or two empty texts for all dates).
/// A From day after the To day is taken as the range between them. Cancel
/// and the close box change nothing. An open end shows the logs' first or last
/// day when the dialog is given them (with all dates, both ends do).
class DateRangeDialog : public QDialog
{
    Q_OBJECT

public:
    /// Loads the dialog (objectName "frmDateRange"); the store must outlive it.
    DateRangeDialog(engine::SettingsStore& store, const WindowBranding& branding, QWidget* parent = nullptr,
                    const QDate& logFirst = {}, const QDate& logLast = {});

    /// Ok: sets and stores the range, then closes. When the store refuses it
    /// the user is told that the range holds until the program ends.
    void accept() override;

    QLabel* lblSince;
    QDateEdit* dtpSince;
    QLabel* lblUntil;
    QDateEdit* dtpUntil;
    QCheckBox* chkAllDates;
    QPushButton* cmdOk;
    QPushButton* cmdCancel;

private:
    void Form_Load(const QDate& logFirst, const QDate& logLast);
    void enableDays(bool on);

    engine::SettingsStore& store;
    WindowBranding branding;
};

} // namespace backtrail::shell
