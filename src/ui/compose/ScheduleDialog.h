// The schedule dialog: when a composition goes out, once or repeatedly, with a preview of the
// delivery times. Its choices are remembered in SchedulingInfo when it is accepted.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "compose/Schedule.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QStackedWidget;
class QVBoxLayout;

namespace quillon {

class ScheduleDialog : public QDialog {
    Q_OBJECT
public:
    // `now`: the time the start is computed from (the clock at opening).
    explicit ScheduleDialog(int64_t now, QWidget* parent = nullptr);

    ScheduleChoices Choices() const;
    UploadChoice Upload() const;
    void SetChoices(const ScheduleChoices& choices);
    // What OK yielded.
    const ScheduleResult& Result() const { return result_; }
    // The preview lines: local date and time, with the UTC offset where it changes.
    QStringList PreviewLines() const;

    void accept() override;

private:
    void Build();
    void BuildStartRow(QVBoxLayout* layout);
    QButtonGroup* BuildModeRow(QVBoxLayout* layout);
    QWidget* BuildDailyPage();
    QWidget* BuildWeeklyPage();
    QWidget* BuildMonthlyPage();
    void BuildEndAndUploadRows(QVBoxLayout* layout);
    void BuildPreviewAndButtons(QVBoxLayout* layout);
    void ConnectChanges(QButtonGroup* modeGroup);
    void UpdateMode();
    void RefillDays();
    void UpdatePreview();

    int64_t now_;
    ScheduleResult result_;
    QComboBox* month_ = nullptr;
    QComboBox* day_ = nullptr;
    QComboBox* hour_ = nullptr;
    QComboBox* minute_ = nullptr;
    std::array<QRadioButton*, 4> modes_{};
    QStackedWidget* pages_ = nullptr;
    QRadioButton* everyDays_ = nullptr;
    QRadioButton* everyWeekday_ = nullptr;
    QComboBox* dayCount_ = nullptr;
    QComboBox* weeks_ = nullptr;
    std::array<QCheckBox*, 7> weekdays_{};
    QRadioButton* byDay_ = nullptr;
    QRadioButton* byWeekday_ = nullptr;
    QComboBox* dayOfMonth_ = nullptr;
    QComboBox* dayMonths_ = nullptr;
    QComboBox* nth_ = nullptr;
    QComboBox* weekday_ = nullptr;
    QComboBox* weekdayMonths_ = nullptr;
    QComboBox* endAfter_ = nullptr;
    QCheckBox* upload_ = nullptr;
    QComboBox* uploadDays_ = nullptr;
    QLabel* uploadLabel_ = nullptr;
    QListWidget* preview_ = nullptr;
    QLabel* hint_ = nullptr;
};

}  // namespace quillon
