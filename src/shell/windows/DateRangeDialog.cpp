#include "DateRangeDialog.h"

#include "Pictures.h"
#include "shell/skin/ModSkin.h"

#include "engine/base/Settings.h"
#include "engine/fields/LineTime.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace backtrail::shell {

namespace {

constexpr auto kDayFormat = "yyyy-MM-dd";
// The days the fields show when the settings name none: the last week.
constexpr int kDefaultSpanDays = 6;

// The day of a stored bound ("2026-12-08", or a date and time) that the scan
// reads; no day when the scan would take that end as open.
QDate boundDay(const QString& text, bool isEnd)
{
    const QByteArray bytes = text.toUtf8();
    if (!engine::ParseRangeBound(std::string_view(bytes.constData(), std::size_t(bytes.size())), isEnd))
        return {};
    return QDate::fromString(text.left(10), QLatin1String(kDayFormat));
}

// A day field that takes a day typed over a selection of more than one part
// of it (all its text, after Ctrl+A or a click that selected it): the typing
// starts in the first part selected and goes on part by part. A plain date
// edit refuses such typing, as it would replace the separators. A "-" typed
// where a full part has already moved the typing on is passed over.
class DayField final : public QDateEdit
{
public:
    using QDateEdit::QDateEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const QString typed = event->text();
        const QLineEdit* line = lineEdit();
        const int at = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
        if (typed == u"-" && at > 0 && line->text().at(at - 1) == u'-') {
            event->accept();
            return;
        }
        if (!typed.isEmpty() && typed.front().isDigit() && line->hasSelectedText()
            && line->selectedText().contains(u'-')) {
            const int part = int(line->text().left(line->selectionStart()).count(u'-'));
            setSelectedSection(sectionAt(part));
        }
        QDateEdit::keyPressEvent(event);
    }
};

QDateEdit* dayField(QWidget* parent, const char* name)
{
    auto* field = new DayField(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setDisplayFormat(QLatin1String(kDayFormat));
    field->setCalendarPopup(true);
    field->setMinimumDate(QDate(1, 1, 1));
    field->setMaximumDate(QDate(9999, 12, 31));
    return field;
}

} // namespace

DateRangeDialog::DateRangeDialog(engine::SettingsStore& settingsStore, const WindowBranding& values, QWidget* parent,
                                 const QDate& logFirst, const QDate& logLast)
    : QDialog(parent)
    , store(settingsStore)
    , branding(values)
{
    setObjectName(QStringLiteral("frmDateRange"));
    setWindowTitle(QStringLiteral("Date Range"));
    setWindowIcon(ProgramIcon());
    setModal(true);

    auto* explain = new QLabel(QStringLiteral("Scan only the log lines written on these days:"), this);
    explain->setObjectName(QStringLiteral("lblExplain"));
    lblSince = new QLabel(QStringLiteral("From:"), this);
    lblSince->setObjectName(QStringLiteral("lblSince"));
    dtpSince = dayField(this, "dtpSince");
    lblSince->setBuddy(dtpSince);
    lblUntil = new QLabel(QStringLiteral("To:"), this);
    lblUntil->setObjectName(QStringLiteral("lblUntil"));
    dtpUntil = dayField(this, "dtpUntil");
    lblUntil->setBuddy(dtpUntil);
    chkAllDates = new QCheckBox(QStringLiteral("All dates"), this);
    chkAllDates->setObjectName(QStringLiteral("chkAllDates"));

    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("cmdButtons"));
    cmdOk = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &DateRangeDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DateRangeDialog::reject);

    auto* fields = new QGridLayout;
    fields->setColumnStretch(1, 1);
    fields->addWidget(lblSince, 0, 0);
    fields->addWidget(dtpSince, 0, 1);
    fields->addWidget(lblUntil, 1, 0);
    fields->addWidget(dtpUntil, 1, 1);
    fields->addWidget(chkAllDates, 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explain);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(chkAllDates, &QCheckBox::toggled, this, [this](bool all) { enableDays(!all); });
    Form_Load(logFirst, logLast);
}

void DateRangeDialog::Form_Load(const QDate& logFirst, const QDate& logLast)
{
    const engine::ScanSettings& current = engine::Globals();
    QDate since = boundDay(current.strDateSince, false);
    QDate until = boundDay(current.strDateUntil, true);
    // An open end shows the logs' day at that end, where it keeps the range in order.
    const bool logs = logFirst.isValid() && logLast.isValid() && logFirst <= logLast;
    if (logs && !since.isValid() && (!until.isValid() || logFirst <= until))
        since = logFirst;
    if (logs && !until.isValid() && logLast >= since)
        until = logLast;
    // Else a day next to the other one, so that Ok keeps a range that makes sense.
    const QDate today = QDate::currentDate();
    if (!until.isValid())
        until = since.isValid() ? std::max(since, today) : today;
    if (!since.isValid())
        since = until.addDays(-kDefaultSpanDays);
    dtpSince->setDate(since);
    dtpUntil->setDate(until);
    const bool all = boundDay(current.strDateSince, false).isNull() && boundDay(current.strDateUntil, true).isNull();
    chkAllDates->setChecked(all);
    enableDays(!all); // the box's toggle fires only when it changes
    if (branding.bUseSkin)
        ApplySkin(this);
}

void DateRangeDialog::enableDays(bool on)
{
    const std::initializer_list<QWidget*> days {lblSince, dtpSince, lblUntil, dtpUntil};
    for (QWidget* control : days)
        control->setEnabled(on);
}

void DateRangeDialog::accept()
{
    using namespace engine;
    QString since;
    QString until;
    if (!chkAllDates->isChecked()) {
        QDate first = dtpSince->date();
        QDate last = dtpUntil->date();
        if (first > last) {
            std::swap(first, last);
            dtpSince->setDate(first);
            dtpUntil->setDate(last);
        }
        since = first.toString(QLatin1String(kDayFormat));
        until = last.toString(QLatin1String(kDayFormat));
    }
    Globals().strDateSince = since;
    Globals().strDateUntil = until;
    const QString section = QString::fromLatin1(keys::kData);
    bool saved = store.write(section, QString::fromLatin1(keys::kDateSince), since);
    saved = store.write(section, QString::fromLatin1(keys::kDateUntil), until) && saved;
    if (!saved)
        QMessageBox::warning(this, branding.strProgramName,
                             QStringLiteral("The date range could not be saved; it holds until the program ends."));
    QDialog::accept();
}

} // namespace backtrail::shell
