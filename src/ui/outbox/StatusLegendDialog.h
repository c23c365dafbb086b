// The legend of the outbox's status images: one row per state, its image and name, and what it means.
#pragma once

#include <QDialog>

class QTableWidget;

namespace quillon {

class StatusLegendDialog : public QDialog {
    Q_OBJECT
public:
    explicit StatusLegendDialog(QWidget* parent = nullptr);
    QTableWidget* Table() const { return table_; }

private:
    QTableWidget* table_;
};

}  // namespace quillon
