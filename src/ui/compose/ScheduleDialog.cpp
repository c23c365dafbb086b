#include "ui/compose/ScheduleDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <ctime>

#include "core/TimeUtil.h"
#include "store/SmsRecord.h"
#include "ui/shell/Accessibility.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

QComboBox* List(QWidget* parent, const char* name, const QString& accessible, const QStringList& entries) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessible);
    box->addItems(entries);
    return box;
}

QStringList Numbers(int from, int to, bool twoDigits = false) {
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << (twoDigits ? QString("%1").arg(i, 2, 10, QChar('0')) : QString::number(i));
    return list;
}

QStringList Texts(int firstId, int count) {
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << Text(firstId + i);
    return list;
}

// Offset from UTC of a time in local time, "+01:00".
QString UtcOffset(int64_t t) {
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm local{};
    localtime_r(&tt, &local);
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    return QString("%1%2:%3")
        .arg(offset < 0 ? '-' : '+')
        .arg(minutes / 60, 2, 10, QChar('0'))
        .arg(minutes % 60, 2, 10, QChar('0'));
}

}  // namespace

ScheduleDialog::ScheduleDialog(int64_t now, QWidget* parent) : QDialog(parent), now_(now) {
    setObjectName("scheduleDialog");
    setWindowTitle(Text(kTextScheduleTitle));
    setAccessibleName(Text(kTextScheduleTitle));
    Build();
    SetChoices(LoadSchedulingChoices(now_));
    const UploadChoice upload = LoadUploadChoice();
    upload_->setChecked(upload.checked);
    upload_->setEnabled(upload.enabled);
    uploadDays_->setEnabled(upload.enabled);
    uploadLabel_->setEnabled(upload.enabled);
    uploadDays_->setCurrentIndex(upload.daysIndex);
    UpdatePreview();
}

void ScheduleDialog::Build() {
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(Text(kTextScheduleTitle), this);
    heading->setStyleSheet("font-weight: bold;");
    layout->addWidget(heading);
    BuildStartRow(layout);
    QButtonGroup* modeGroup = BuildModeRow(layout);
    pages_ = new QStackedWidget(this);
    pages_->addWidget(new QWidget(this));  // once only: nothing more to choose
    pages_->addWidget(BuildDailyPage());
    pages_->addWidget(BuildWeeklyPage());
    pages_->addWidget(BuildMonthlyPage());
    layout->addWidget(pages_);
    BuildEndAndUploadRows(layout);
    BuildPreviewAndButtons(layout);
    ConnectChanges(modeGroup);
}

// The start: month, day, hour and minute, each with "none chosen" first.
void ScheduleDialog::BuildStartRow(QVBoxLayout* layout) {
    auto* start = new QHBoxLayout;
    auto* startLabel = new QLabel(Mnemonic(Text(kTextStartTime), 's'), this);
    month_ = List(this, "monthList", Text(kIdFirstMonthName), Texts(kIdFirstMonthName, 13));
    day_ = List(this, "dayList", Text(kIdDayHeading), QStringList(Text(kIdDayHeading)) + Numbers(1, 31));
    hour_ = List(this, "hourList", Text(kIdHourHeading), QStringList(Text(kIdHourHeading)) + Numbers(0, 23, true));
    minute_ =
        List(this, "minuteList", Text(kIdMinuteHeading), QStringList(Text(kIdMinuteHeading)) + Numbers(0, 59, true));
    startLabel->setBuddy(month_);
    month_->setAccessibleDescription(Text(kTextA11yScheduleStart));
    start->addWidget(startLabel);
    for (QComboBox* box : {month_, day_, hour_, minute_})
        start->addWidget(box);
    start->addStretch();
    layout->addLayout(start);
}

QButtonGroup* ScheduleDialog::BuildModeRow(QVBoxLayout* layout) {
    auto* modeRow = new QHBoxLayout;
    auto* modeGroup = new QButtonGroup(this);
    const std::array<std::pair<int, const char*>, 4> modeTexts{{{kTextOnceOnly, "onceRadio"},
                                                                {kTextDaily, "dailyRadio"},
                                                                {kTextWeekly, "weeklyRadio"},
                                                                {kTextMonthly, "monthlyRadio"}}};
    const char modeKeys[] = "odwm";
    for (size_t i = 0; i < modes_.size(); ++i) {
        modes_[i] = new QRadioButton(Mnemonic(Text(modeTexts[i].first), modeKeys[i]), this);
        modes_[i]->setObjectName(modeTexts[i].second);
        modes_[i]->setAccessibleName(Text(modeTexts[i].first));
        modeGroup->addButton(modes_[i], static_cast<int>(i));
        modeRow->addWidget(modes_[i]);
    }
    modeRow->addStretch();
    layout->addLayout(modeRow);

    return modeGroup;
}

QWidget* ScheduleDialog::BuildDailyPage() {
    auto* daily = new QWidget(this);
    auto* dailyGrid = new QGridLayout(daily);
    auto* dailyGroup = new QButtonGroup(daily);
    everyDays_ = new QRadioButton(Mnemonic(Text(kTextEvery), 'v'), daily);
    everyDays_->setObjectName("everyDaysRadio");
    everyWeekday_ = new QRadioButton(Mnemonic(Text(kTextEveryWeekday), 'k'), daily);
    everyWeekday_->setObjectName("everyWeekdayRadio");
    dailyGroup->addButton(everyDays_);
    dailyGroup->addButton(everyWeekday_);
    dayCount_ = List(daily, "everyDaysList", Text(kTextDays), Numbers(1, 14));
    dailyGrid->addWidget(everyDays_, 0, 0);
    dailyGrid->addWidget(dayCount_, 0, 1);
    dailyGrid->addWidget(new QLabel(Text(kTextDays), daily), 0, 2);
    dailyGrid->addWidget(everyWeekday_, 1, 0, 1, 3);
    dailyGrid->setColumnStretch(3, 1);

    return daily;
}

QWidget* ScheduleDialog::BuildWeeklyPage() {
    auto* weekly = new QWidget(this);
    auto* weeklyGrid = new QGridLayout(weekly);
    weeks_ = List(weekly, "weeksList", Text(kTextWeeksOn), Numbers(1, 4));
    weeklyGrid->addWidget(new QLabel(Text(kTextEvery), weekly), 0, 0);
    weeklyGrid->addWidget(weeks_, 0, 1);
    weeklyGrid->addWidget(new QLabel(Text(kTextWeeksOn), weekly), 0, 2, 1, 2);
    for (size_t i = 0; i < weekdays_.size(); ++i) {
        weekdays_[i] = new QCheckBox(Text(kIdFirstWeekdayName + static_cast<int>(i)), weekly);
        weekdays_[i]->setObjectName(QString("weekdayCheck%1").arg(i));
        weeklyGrid->addWidget(weekdays_[i], 1 + static_cast<int>(i) / 4, static_cast<int>(i) % 4);
        connect(weekdays_[i], &QCheckBox::toggled, this, &ScheduleDialog::UpdatePreview);
    }

    return weekly;
}

QWidget* ScheduleDialog::BuildMonthlyPage() {
    auto* monthly = new QWidget(this);
    auto* monthlyGrid = new QGridLayout(monthly);
    auto* monthlyGroup = new QButtonGroup(monthly);
    byDay_ = new QRadioButton(Mnemonic(Text(kTextDayRadio), 'a'), monthly);
    byDay_->setObjectName("monthlyDayRadio");
    byWeekday_ = new QRadioButton(Mnemonic(Text(kTextThe), 'h'), monthly);
    byWeekday_->setObjectName("monthlyTheRadio");
    monthlyGroup->addButton(byDay_);
    monthlyGroup->addButton(byWeekday_);
    dayOfMonth_ = List(monthly, "dayOfMonthList", Text(kTextDayRadio), Numbers(1, 30));
    dayMonths_ = List(monthly, "dayMonthsList", Text(kTextMonths), Numbers(1, 12));
    nth_ = List(monthly, "nthList", Text(kTextThe), Texts(kIdFirstNth, 4));
    weekday_ = List(monthly, "weekdayList", Text(kTextThe), Texts(kIdFirstWeekdayName, 7));
    weekdayMonths_ = List(monthly, "weekdayMonthsList", Text(kTextMonths), Numbers(1, 12));
    monthlyGrid->addWidget(byDay_, 0, 0);
    monthlyGrid->addWidget(dayOfMonth_, 0, 1);
    monthlyGrid->addWidget(new QLabel(Text(kTextOfEvery), monthly), 0, 3);
    monthlyGrid->addWidget(dayMonths_, 0, 4);
    monthlyGrid->addWidget(new QLabel(Text(kTextMonths), monthly), 0, 5);
    monthlyGrid->addWidget(byWeekday_, 1, 0);
    monthlyGrid->addWidget(nth_, 1, 1);
    monthlyGrid->addWidget(weekday_, 1, 2);
    monthlyGrid->addWidget(new QLabel(Text(kTextOfEvery), monthly), 1, 3);
    monthlyGrid->addWidget(weekdayMonths_, 1, 4);
    monthlyGrid->addWidget(new QLabel(Text(kTextMonths), monthly), 1, 5);
    return monthly;
}

void ScheduleDialog::BuildEndAndUploadRows(QVBoxLayout* layout) {
    auto* endRow = new QHBoxLayout;
    endAfter_ = List(this, "endAfterList", Text(kTextEndAfter), Numbers(1, 12));
    auto* endLabel = new QLabel(Mnemonic(Text(kTextEndAfter), 'e'), this);
    endLabel->setBuddy(endAfter_);
    endAfter_->setAccessibleDescription(Text(kTextA11yScheduleEndAfter));
    endRow->addWidget(endLabel);
    endRow->addWidget(endAfter_);
    endRow->addWidget(new QLabel(Text(kTextRecurrence), this));
    endRow->addStretch();
    layout->addLayout(endRow);

    auto* uploadRow = new QHBoxLayout;
    upload_ = new QCheckBox(Mnemonic(Text(kTextScheduleUploadWithin), 'u'), this);
    upload_->setAccessibleDescription(Text(kTextA11yScheduleUpload));
    upload_->setObjectName("uploadCheck");
    uploadDays_ = List(this, "uploadDaysList", Text(kTextScheduleUploadWithin), Numbers(1, 7));
    uploadLabel_ = new QLabel(Text(kTextUploadDays), this);
    uploadRow->addWidget(upload_);
    uploadRow->addWidget(uploadDays_);
    uploadRow->addWidget(uploadLabel_);
    uploadRow->addStretch();
    layout->addLayout(uploadRow);
}

void ScheduleDialog::BuildPreviewAndButtons(QVBoxLayout* layout) {
    auto* previewLabel = new QLabel(Mnemonic(Text(kTextPreview), 'n'), this);
    preview_ = new QListWidget(this);
    preview_->setObjectName("previewList");
    preview_->setAccessibleName(Text(kTextPreview));
    preview_->setMinimumHeight(120);
    previewLabel->setBuddy(preview_);
    layout->addWidget(previewLabel);
    layout->addWidget(preview_);
    hint_ = new QLabel(this);
    hint_->setObjectName("scheduleHint");
    hint_->setStyleSheet("color: #b00000;");
    layout->addWidget(hint_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Text(kTextOk));
    buttons->button(QDialogButtonBox::Ok)->setObjectName("scheduleOk");
    buttons->button(QDialogButtonBox::Cancel)->setText(Text(kTextCancel));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("scheduleCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &ScheduleDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ScheduleDialog::reject);
    layout->addWidget(buttons);
}

// Every choice that changes the occurrences refreshes the preview.
void ScheduleDialog::ConnectChanges(QButtonGroup* modeGroup) {
    connect(modeGroup, &QButtonGroup::idClicked, this, &ScheduleDialog::UpdateMode);
    connect(month_, &QComboBox::currentIndexChanged, this, &ScheduleDialog::RefillDays);
    for (QComboBox* box : {day_, hour_, minute_, dayCount_, weeks_, dayOfMonth_, dayMonths_, nth_, weekday_,
                           weekdayMonths_, endAfter_, uploadDays_})
        connect(box, &QComboBox::currentIndexChanged, this, &ScheduleDialog::UpdatePreview);
    for (QAbstractButton* b :
         std::initializer_list<QAbstractButton*>{everyDays_, everyWeekday_, byDay_, byWeekday_, upload_})
        connect(b, &QAbstractButton::toggled, this, &ScheduleDialog::UpdatePreview);
}

void ScheduleDialog::SetChoices(const ScheduleChoices& c) {
    const QSignalBlocker block(month_);
    month_->setCurrentIndex(c.monthIndex);
    RefillDays();
    day_->setCurrentIndex(std::min(c.dayIndex, day_->count() - 1));
    hour_->setCurrentIndex(c.hourIndex);
    minute_->setCurrentIndex(c.minuteIndex);
    modes_[static_cast<size_t>(c.mode) - 1]->setChecked(true);
    dayCount_->setCurrentIndex(c.everyDaysIndex);
    (c.everyWeekday ? everyWeekday_ : everyDays_)->setChecked(true);
    weeks_->setCurrentIndex(c.weeksIndex);
    for (size_t i = 0; i < weekdays_.size(); ++i)
        weekdays_[i]->setChecked(c.weekdays[i]);
    (c.monthlyByWeekday ? byWeekday_ : byDay_)->setChecked(true);
    dayOfMonth_->setCurrentIndex(c.dayOfMonthIndex);
    dayMonths_->setCurrentIndex(c.dayMonthsIndex);
    nth_->setCurrentIndex(c.nthIndex);
    weekday_->setCurrentIndex(c.weekdayIndex);
    weekdayMonths_->setCurrentIndex(c.weekdayMonthsIndex);
    endAfter_->setCurrentIndex(c.endAfterIndex);
    UpdateMode();
}

ScheduleChoices ScheduleDialog::Choices() const {
    ScheduleChoices c;
    c.monthIndex = month_->currentIndex();
    c.dayIndex = day_->currentIndex();
    c.hourIndex = hour_->currentIndex();
    c.minuteIndex = minute_->currentIndex();
    for (size_t i = 0; i < modes_.size(); ++i)
        if (modes_[i]->isChecked())
            c.mode = static_cast<RecurrenceMode>(i + 1);
    c.everyDaysIndex = dayCount_->currentIndex();
    c.everyWeekday = everyWeekday_->isChecked();
    c.weeksIndex = weeks_->currentIndex();
    for (size_t i = 0; i < weekdays_.size(); ++i)
        c.weekdays[i] = weekdays_[i]->isChecked();
    c.monthlyByWeekday = byWeekday_->isChecked();
    c.dayOfMonthIndex = dayOfMonth_->currentIndex();
    c.dayMonthsIndex = dayMonths_->currentIndex();
    c.nthIndex = nth_->currentIndex();
    c.weekdayIndex = weekday_->currentIndex();
    c.weekdayMonthsIndex = weekdayMonths_->currentIndex();
    c.endAfterIndex = endAfter_->currentIndex();
    return c;
}

UploadChoice ScheduleDialog::Upload() const {
    UploadChoice u;
    u.enabled = upload_->isEnabled();
    u.checked = upload_->isChecked();
    u.daysIndex = uploadDays_->currentIndex();
    return u;
}

void ScheduleDialog::UpdateMode() {
    for (size_t i = 0; i < modes_.size(); ++i)
        if (modes_[i]->isChecked())
            pages_->setCurrentIndex(static_cast<int>(i));
    endAfter_->setEnabled(!modes_[0]->isChecked());
    UpdatePreview();
}

void ScheduleDialog::RefillDays() {
    const int keep = day_->currentIndex();
    const int days = DaysInMonth(month_->currentIndex(), LocalYear(now_));
    const QSignalBlocker block(day_);
    while (day_->count() > days + 1)
        day_->removeItem(day_->count() - 1);
    while (day_->count() < days + 1)
        day_->addItem(QString::number(day_->count()));
    day_->setCurrentIndex(std::min(keep, days));
    UpdatePreview();
}

QStringList ScheduleDialog::PreviewLines() const {
    QStringList lines;
    for (int i = 0; i < preview_->count(); ++i)
        lines << preview_->item(i)->text();
    return lines;
}

void ScheduleDialog::UpdatePreview() {
    if (!preview_)
        return;
    preview_->clear();
    const ScheduleChoices c = Choices();
    const bool noDay = c.mode == RecurrenceMode::Weekly &&
                       std::none_of(c.weekdays.begin(), c.weekdays.end(), [](bool b) { return b; });
    hint_->setText(noDay ? Text(kTextNoWeekday) : QString());
    if (noDay)
        return;
    const std::vector<int64_t> times = OccurrenceTimes(c, ScheduleStartTime(c, now_));
    QString previousOffset;
    for (size_t i = 0; i < times.size() && i < static_cast<size_t>(kMaxOccurrences); ++i) {
        QString line = Q(FormatSmsTime(ClampTime(times[i])));
        const QString offset = UtcOffset(times[i]);
        // The offset is shown on the first line and wherever daylight saving changes it.
        if (i == 0 || offset != previousOffset)
            line += FormatText(kTextPreviewDstChange, {S(offset)});
        previousOffset = offset;
        preview_->addItem(line);
    }
}

void ScheduleDialog::accept() {
    const ScheduleResult r = AcceptSchedule(Choices(), Upload(), now_);
    if (r.status == ScheduleStatus::NoWeekdayChecked)
        return;  // stays open: a weekly schedule needs a day
    result_ = r;
    QDialog::accept();
}

}  // namespace quillon
