#include "ui/online/UpdateProgressDialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>

#include "ui/shell/UiText.h"

namespace quillon {

UpdateProgressDialog::UpdateProgressDialog(QWidget* parent)
    : ShutdownWindow(
          kTextUpdateProgressTitle,
          {kTextUpdateStepContacting, kTextUpdateStepLooking, kTextUpdateStepDownloading, kTextUpdateStepInstalling},
          parent) {
    setObjectName("updateProgressDialog");
    setAccessibleName(Text(kTextUpdateProgressTitle));
    auto* row = new QHBoxLayout;
    bytes_ = new QLabel(this);
    bytes_->setObjectName("updateBytes");
    bytes_->setAccessibleName(Text(kTextUpdateStepDownloading));
    row->addWidget(bytes_, 1);
    cancel_ = new QPushButton(Text(kTextCancel), this);
    cancel_->setObjectName("updateCancel");
    cancel_->setAccessibleName(Text(kTextCancel));
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    row->addWidget(cancel_);
    Body()->addSpacing(8);
    Body()->addLayout(row);
    cancel_->setFocus();
}

void UpdateProgressDialog::ShowBytes(uint64_t bytes) {
    bytes_->setText(FormatText(kTextDownloadedKb, {static_cast<long long>(bytes / 1024)}));
}

// Closing the window is a Cancel; the check itself takes it down.
void UpdateProgressDialog::closeEvent(QCloseEvent* event) {
    if (cancel_->isEnabled())
        cancelled_ = true;
    event->ignore();
}

void UpdateProgressDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && cancel_->isEnabled()) {
        cancelled_ = true;
        return;
    }
    ShutdownWindow::keyPressEvent(event);
}

}  // namespace quillon
