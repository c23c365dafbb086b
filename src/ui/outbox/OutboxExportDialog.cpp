#include "ui/outbox/OutboxExportDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "outbox/OutboxText.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {
constexpr int kMaxPath = 260;

// "Text Files (*.txt)\n*.txt\n..." (name, pattern, name, pattern) as Qt's filter list.
QString FileDialogFilter() {
    QStringList parts = Text(kIdExportFilter).split('\n', Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i];
    return filters.join(";;");
}
}  // namespace

OutboxExportDialog::OutboxExportDialog(bool haveSelection, QWidget* parent) : QDialog(parent) {
    setObjectName("exportDialog");
    setWindowTitle(Text(kTextOutboxExportTitle));
    setAccessibleName(Text(kTextOutboxExportTitle));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(Text(kTextOutboxExportTitle), this);
    heading->setStyleSheet("QLabel { font-weight: bold; }");
    layout->addWidget(heading);

    auto* grid = new QGridLayout;
    path_ = new QLineEdit(this);
    path_->setObjectName("exportPathEdit");
    path_->setMaxLength(kMaxPath);
    path_->setAccessibleName(Text(kTextOutboxExportFile).remove('&'));
    auto* label = new QLabel(Text(kTextOutboxExportFile), this);
    label->setBuddy(path_);
    auto* browse = new QPushButton(Text(kTextOutboxExportBrowse), this);
    browse->setObjectName("exportBrowseButton");
    grid->addWidget(label, 0, 0);
    grid->addWidget(path_, 0, 1);
    grid->addWidget(browse, 0, 2);
    layout->addLayout(grid);

    selected_ = new QRadioButton(Text(kTextOutboxExportSelected), this);
    selected_->setObjectName("exportSelectedRadio");
    all_ = new QRadioButton(Text(kTextOutboxExportAll), this);
    all_->setObjectName("exportAllRadio");
    layout->addWidget(selected_);
    layout->addWidget(all_);
    (haveSelection ? selected_ : all_)->setChecked(true);
    selected_->setEnabled(haveSelection);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText(Text(kTextOk));
    ok_->setObjectName("exportOkButton");
    buttons->button(QDialogButtonBox::Cancel)->setText(Text(kTextCancel));
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &OutboxExportDialog::Browse);
    connect(path_, &QLineEdit::textChanged, this, &OutboxExportDialog::UpdateOk);
    connect(selected_, &QRadioButton::toggled, this, &OutboxExportDialog::UpdateOk);
    UpdateOk();
    resize(460, sizeHint().height());
}

QString OutboxExportDialog::Path() const {
    return path_->text();
}

bool OutboxExportDialog::SelectedOnly() const {
    return selected_->isChecked();
}

void OutboxExportDialog::SetPath(const QString& path) {
    path_->setText(path.left(kMaxPath));
}

void OutboxExportDialog::Browse() {
    QFileDialog dialog(this, Text(kTextOutboxExportTitle));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(Text(kIdExportDefaultExtension).remove("*."));
    dialog.setNameFilter(FileDialogFilter());
    dialog.selectFile(path_->text().isEmpty() ? Text(kIdExportDefaultName) : path_->text());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        SetPath(dialog.selectedFiles().front());
}

void OutboxExportDialog::UpdateOk() {
    ok_->setEnabled(!path_->text().isEmpty());
}

}  // namespace quillon
