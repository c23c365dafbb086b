#include "ui/outbox/StatusLegendDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "outbox/OutboxText.h"
#include "store/MessageStatus.h"
#include "ui/outbox/StatusIcons.h"
#include "ui/shell/UiText.h"

namespace quillon {

StatusLegendDialog::StatusLegendDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("statusLegendDialog");
    setWindowTitle(Text(kTextOutboxLegendTitle));
    setAccessibleName(Text(kTextOutboxLegendTitle));
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(kStatusCount, 2, this);
    table_->setObjectName("statusLegendTable");
    table_->setAccessibleName(Text(kTextOutboxLegendTitle));
    table_->setHorizontalHeaderLabels({Text(kIdOutboxColumnStatus), Text(kTextOutboxLegendDescription)});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setTabKeyNavigation(false);  // Tab goes on to the buttons
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setIconSize(QSize(kStatusIconSize, kStatusIconSize));
    for (int32_t code = 0; code < kStatusCount; ++code) {
        auto* status = new QTableWidgetItem(StatusIcon(code), Q(StatusDisplayName(code)));
        table_->setItem(code, 0, status);
        table_->setItem(code, 1, new QTableWidgetItem(Q(StatusExplanation(code))));
    }
    table_->resizeColumnToContents(0);
    table_->setColumnWidth(0, table_->columnWidth(0) + 12);
    table_->setColumnWidth(1, 620 - table_->columnWidth(0));
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->resizeRowsToContents();
    layout->addWidget(table_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Text(kTextOk));
    buttons->button(QDialogButtonBox::Cancel)->setText(Text(kTextCancel));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(680, 440);
}

}  // namespace quillon
