#include "ui/addressbook/ImportExportDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

#include "ui/addressbook/OkCancelButtons.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

constexpr int kMaxPath = 260;

// A checkable list of every group but the catch-all first one.
QListWidget* GroupChecklist(const std::vector<GroupListEntry>& groups, int32_t ticked, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName("groupChecklist");
    for (size_t i = 1; i < groups.size(); ++i) {
        auto* item = new QListWidgetItem(Q(groups[i].Name), list);
        item->setData(Qt::UserRole, groups[i].GID);
        item->setCheckState(groups[i].GID == ticked ? Qt::Checked : Qt::Unchecked);
    }
    return list;
}

// The GIDs of the ticked rows, first to last (reversed: last to first).
std::vector<int32_t> TickedGids(const QListWidget* list, bool reversed) {
    std::vector<int32_t> gids;
    for (int i = 0; i < list->count(); ++i) {
        int row = reversed ? list->count() - 1 - i : i;
        if (list->item(row)->checkState() == Qt::Checked)
            gids.push_back(list->item(row)->data(Qt::UserRole).toInt());
    }
    return gids;
}

// The caption of a check box whose text is too long for one line: wrapped to the dialog's width
// instead of widening the dialog past the screen at large scales. A click on it ticks the box.
class CheckCaption : public QLabel {
public:
    CheckCaption(QCheckBox* box, QWidget* parent) : QLabel(box->text(), parent), box_(box) {
        setWordWrap(true);
        setBuddy(box);
        box->setAccessibleName(box->text());
        box->setText({});
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && box_->isEnabled())
            box_->toggle();
        QLabel::mouseReleaseEvent(event);
    }

private:
    QCheckBox* box_;
};

// The box and its wrapped caption side by side, the box level with the first line.
QHBoxLayout* WrappedCheckBox(QCheckBox* box, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(box, 0, Qt::AlignTop);
    row->addWidget(new CheckCaption(box, parent), 1);
    return row;
}

QLineEdit* MakePathField(QDialog* dialog, const QString& label, QGridLayout* grid, int row, QPushButton** browse) {
    auto* path = new QLineEdit(dialog);
    path->setObjectName("pathField");
    path->setMaxLength(kMaxPath);
    path->setAccessibleName(label);
    auto* caption = new QLabel(label, dialog);
    caption->setBuddy(path);
    *browse = new QPushButton(Text(kTextImpBrowse), dialog);
    (*browse)->setObjectName("browseButton");
    grid->addWidget(caption, row, 0);
    grid->addWidget(path, row, 1);
    grid->addWidget(*browse, row, 2);
    return path;
}

}  // namespace

// ---------------------------------------------------------------- import

ContactImportDialog::ContactImportDialog(const std::vector<GroupListEntry>& groups, int32_t gid, QWidget* parent)
    : QDialog(parent) {
    setObjectName("importDialog");
    setWindowTitle(Text(kTextImpTitle));
    setAccessibleName(Text(kTextImpTitle));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    QPushButton* browse = nullptr;
    path_ = MakePathField(this, Text(kTextImpFile), grid, 0, &browse);
    separator_ = new QComboBox(this);
    separator_->setObjectName("separatorBox");
    separator_->setAccessibleName(Text(kTextImpSeparator));
    separator_->addItem(Text(kTextImpComma), int(','));
    separator_->addItem(Text(kTextImpSemicolon), int(';'));
    separator_->addItem(Text(kTextImpTab), int('\t'));
    auto* sepLabel = new QLabel(Text(kTextImpSeparator), this);
    sepLabel->setBuddy(separator_);
    grid->addWidget(sepLabel, 1, 0);
    grid->addWidget(separator_, 1, 1);
    layout->addLayout(grid);
    preventDuplicates_ = new QCheckBox(Text(kTextImpPreventDuplicates), this);
    preventDuplicates_->setObjectName("preventDuplicates");
    autoGroups_ = new QCheckBox(Text(kTextImpAutoGroups), this);
    autoGroups_->setObjectName("autoGroups");
    layout->addWidget(preventDuplicates_);
    layout->addLayout(WrappedCheckBox(autoGroups_, this));
    auto* groupsLabel = new QLabel(Text(kTextImpGroups), this);
    layout->addWidget(groupsLabel);
    groups_ = GroupChecklist(groups, gid, this);
    groups_->setAccessibleName(Text(kTextImpGroups));
    groupsLabel->setBuddy(groups_);
    layout->addWidget(groups_);
    buttons_ = OkCancelButtons(this);
    layout->addWidget(buttons_);
    connect(browse, &QPushButton::clicked, this, &ContactImportDialog::Browse);
    connect(path_, &QLineEdit::textChanged, this, &ContactImportDialog::UpdateOk);
    connect(groups_, &QListWidget::itemChanged, this, &ContactImportDialog::UpdateOk);
    UpdateOk();
    resize(560, 420);
}

ContactImportOptions ContactImportDialog::Options() const {
    ContactImportOptions o;
    o.path = S(path_->text());
    o.format = FormatOfPath(o.path);
    o.separator = static_cast<char>(separator_->currentData().toInt());
    o.groups = TickedGids(groups_, true);
    o.preventDuplicates = preventDuplicates_->isChecked();
    o.autoCreateGroups = autoGroups_->isChecked();
    return o;
}

void ContactImportDialog::Browse() {
    QString file = QFileDialog::getOpenFileName(this, Text(kTextImpTitle), path_->text(), Text(kTextImpFilter));
    if (!file.isEmpty())
        path_->setText(file);
}

void ContactImportDialog::UpdateOk() {
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(!path_->text().isEmpty() && !TickedGids(groups_, false).empty());
}

// ---------------------------------------------------------------- export

ContactExportDialog::ContactExportDialog(const std::vector<GroupListEntry>& groups, std::vector<int32_t> selection,
                                         QWidget* parent)
    : QDialog(parent), selectionIds_(std::move(selection)) {
    setObjectName("exportDialog");
    setWindowTitle(Text(kTextExpTitle));
    setAccessibleName(Text(kTextExpTitle));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    QPushButton* browse = nullptr;
    path_ = MakePathField(this, Text(kTextImpFile), grid, 0, &browse);
    layout->addLayout(grid);
    selection_ = new QRadioButton(Text(kTextExpSelection), this);
    selection_->setObjectName("exportSelection");
    groupsChoice_ = new QRadioButton(Text(kTextExpGroups), this);
    groupsChoice_->setObjectName("exportGroups");
    layout->addWidget(selection_);
    layout->addWidget(groupsChoice_);
    groups_ = GroupChecklist(groups, 0, this);
    groups_->setAccessibleName(Text(kTextExpGroups));
    layout->addWidget(groups_);
    withGroups_ = new QCheckBox(Text(kTextExpWithGroups), this);
    withGroups_->setObjectName("withGroups");
    vcard_ = new QCheckBox(Text(kTextExpVCard), this);
    vcard_->setObjectName("vcard");
    layout->addWidget(withGroups_);
    layout->addWidget(vcard_);
    buttons_ = OkCancelButtons(this);
    layout->addWidget(buttons_);
    if (selectionIds_.empty()) {
        selection_->setEnabled(false);
        groupsChoice_->setChecked(true);
    } else {
        selection_->setChecked(true);
    }
    connect(browse, &QPushButton::clicked, this, &ContactExportDialog::Browse);
    connect(path_, &QLineEdit::textChanged, this, &ContactExportDialog::Update);
    connect(groups_, &QListWidget::itemChanged, this, &ContactExportDialog::Update);
    connect(selection_, &QRadioButton::toggled, this, &ContactExportDialog::Update);
    connect(vcard_, &QCheckBox::toggled, this, &ContactExportDialog::Update);
    Update();
    resize(560, 420);
}

ContactExportOptions ContactExportDialog::Options() const {
    ContactExportOptions o;
    o.path = S(path_->text());
    o.selection = selection_->isChecked();
    o.contacts = selectionIds_;
    o.groups = TickedGids(groups_, false);
    o.withGroups = withGroups_->isChecked();
    o.vcard = vcard_->isChecked();
    return o;
}

void ContactExportDialog::Browse() {
    const QString proposed = path_->text().isEmpty() ? Text(kTextExpDefaultName) : path_->text();
    QString file = QFileDialog::getSaveFileName(this, Text(kTextExpTitle), proposed, Text(kTextExpFilter));
    if (!file.isEmpty())
        path_->setText(file);
}

void ContactExportDialog::Update() {
    const bool bySelection = selection_->isChecked();
    groups_->setEnabled(!bySelection);
    // One line per group only makes sense in a delimited file; a card lists its groups itself.
    withGroups_->setEnabled(!bySelection && !vcard_->isChecked());
    buttons_->button(QDialogButtonBox::Ok)
        ->setEnabled(!path_->text().isEmpty() && (bySelection || !TickedGids(groups_, false).empty()));
}

// ---------------------------------------------------------------- progress

void RunWithProgress(QWidget* parent, const QString& label, const ProgressJob& job) {
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    std::atomic<uint64_t> doneUnits{0}, totalUnits{0};
    QProgressDialog progress(label, Text(kTextCancel), 0, 1000, parent);
    progress.setObjectName("progressDialog");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setValue(0);
    QObject::connect(&progress, &QProgressDialog::canceled, [&cancel] { cancel = true; });

    std::thread worker([&] {
        job(
            [&](uint64_t d, uint64_t t) {
                doneUnits = d;
                totalUnits = t;
            },
            &cancel);
        done = true;
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done) {
            loop.quit();
            return;
        }
        uint64_t t = totalUnits;
        if (t > 0)
            progress.setValue(static_cast<int>(doneUnits * 1000 / t));
    });
    poll.start(50);
    if (!done)
        loop.exec();
    worker.join();
    progress.close();
}

}  // namespace quillon
