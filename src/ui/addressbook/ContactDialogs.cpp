#include "ui/addressbook/ContactDialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/addressbook/OkCancelButtons.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

// Holds a character other than a leading blank.
bool HasText(const QString& text) {
    for (QChar c : text)
        if (c != ' ')
            return true;
    return false;
}

QLabel* Heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

}  // namespace

// ---------------------------------------------------------------- group

GroupDialog::GroupDialog(const QString& currentName, QWidget* parent) : QDialog(parent) {
    setObjectName("groupDialog");
    const QString heading = Text(currentName.isEmpty() ? kTextAbAddGroupHeading : kTextAbEditGroupHeading);
    setWindowTitle(heading);
    setAccessibleName(heading);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Heading(heading, this));
    auto* form = new QFormLayout;
    name_ = new QLineEdit(currentName.left(kMaxName), this);
    name_->setObjectName("groupName");
    name_->setMaxLength(kMaxName);
    name_->setAccessibleName(Text(kTextAbGroupName));
    auto* label = new QLabel(Text(kTextAbGroupName), this);
    label->setBuddy(name_);
    form->addRow(label, name_);
    layout->addLayout(form);
    buttons_ = OkCancelButtons(this);
    layout->addWidget(buttons_);
    connect(name_, &QLineEdit::textChanged, this, &GroupDialog::UpdateOk);
    UpdateOk();
}

QString GroupDialog::Name() const {
    return name_->text().left(kMaxName);
}

void GroupDialog::UpdateOk() {
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(HasText(name_->text()));
}

// ---------------------------------------------------------------- contact

ContactDialog::ContactDialog(bool isNew, const ContactRecord& c, const std::vector<int32_t>& memberOf,
                             const std::vector<GroupListEntry>& groups, QWidget* parent)
    : QDialog(parent) {
    setObjectName("contactDialog");
    const QString heading = Text(isNew ? kTextAbAddMemberHeading : kTextAbEditMemberHeading);
    setWindowTitle(heading);
    setAccessibleName(heading);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Heading(heading, this));
    auto* form = new QFormLayout;
    const int labels[5] = {kTextAbName, kTextAbSurname, kTextAbTitle, kTextAbCustom, kTextAbMobile};
    const int limits[5] = {32, 32, 8, 32, 16};
    const char* names[5] = {"contactName", "contactSurname", "contactTitle", "contactCustom", "contactMobile"};
    const std::string* values[5] = {&c.Name, &c.Surname, &c.Title, &c.Custom, &c.Mobile};
    for (int i = 0; i < 5; ++i) {
        fields_[i] = new QLineEdit(this);
        fields_[i]->setObjectName(names[i]);
        fields_[i]->setMaxLength(limits[i]);
        fields_[i]->setText(Q(*values[i]));
        fields_[i]->setAccessibleName(Text(labels[i]));
        auto* label = new QLabel(Text(labels[i]), this);
        label->setBuddy(fields_[i]);
        form->addRow(label, fields_[i]);
        connect(fields_[i], &QLineEdit::textChanged, this, &ContactDialog::UpdateOk);
    }
    layout->addLayout(form);
    auto* groupsLabel = new QLabel(Text(kTextAbMembership), this);
    layout->addWidget(groupsLabel);
    groups_ = new QListWidget(this);
    groups_->setObjectName("contactGroups");
    groups_->setAccessibleName(Text(kTextAbMembership));
    groupsLabel->setBuddy(groups_);
    for (size_t i = 1; i < groups.size(); ++i) {
        auto* item = new QListWidgetItem(Q(groups[i].Name), groups_);
        item->setData(Qt::UserRole, groups[i].GID);
        bool member = std::find(memberOf.begin(), memberOf.end(), groups[i].GID) != memberOf.end();
        item->setCheckState(member ? Qt::Checked : Qt::Unchecked);
    }
    connect(groups_, &QListWidget::itemChanged, this, &ContactDialog::UpdateOk);
    layout->addWidget(groups_);
    layout->addWidget(new QLabel(Text(kTextAbRequired), this));
    buttons_ = OkCancelButtons(this);
    layout->addWidget(buttons_);
    UpdateOk();
}

ContactRecord ContactDialog::Record() const {
    ContactRecord c;
    std::string* targets[5] = {&c.Name, &c.Surname, &c.Title, &c.Custom, &c.Mobile};
    for (int i = 0; i < 5; ++i)
        *targets[i] = S(fields_[i]->text().left(fields_[i]->maxLength()));
    for (int row = groups_->count() - 1; row >= 0; --row)
        if (groups_->item(row)->checkState() == Qt::Checked)
            c.groups.push_back(groups_->item(row)->data(Qt::UserRole).toInt());
    return c;
}

void ContactDialog::UpdateOk() {
    bool ticked = false;
    for (int row = 0; row < groups_->count(); ++row)
        ticked = ticked || groups_->item(row)->checkState() == Qt::Checked;
    buttons_->button(QDialogButtonBox::Ok)
        ->setEnabled(ticked && HasText(fields_[0]->text()) && HasText(fields_[4]->text()));
}

// ---------------------------------------------------------------- delete choice

DeleteChoiceDialog::DeleteChoiceDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("deleteChoiceDialog");
    setWindowTitle(Text(kTextAbDeleteFromCaption));
    setAccessibleName(Text(kTextAbDeleteFromCaption));
    auto* layout = new QVBoxLayout(this);
    allGroups_ = new QRadioButton(Text(kTextAbAllGroups), this);
    allGroups_->setObjectName("allGroups");
    allGroups_->setChecked(true);
    thisGroup_ = new QRadioButton(Text(kTextAbThisGroupOnly), this);
    thisGroup_->setObjectName("thisGroupOnly");
    layout->addWidget(allGroups_);
    layout->addWidget(thisGroup_);
    layout->addWidget(OkCancelButtons(this, Text(kTextAbDelete)));
}

bool DeleteChoiceDialog::Entirely() const {
    return allGroups_->isChecked();
}

// ---------------------------------------------------------------- group picker

GroupPickerDialog::GroupPickerDialog(const QString& title, const std::vector<GroupListEntry>& groups, QWidget* parent)
    : QDialog(parent) {
    setObjectName("groupPickerDialog");
    setWindowTitle(title);
    setAccessibleName(title);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(Text(kTextAbChooseGroup), this);
    layout->addWidget(label);
    list_ = new QListWidget(this);
    list_->setObjectName("groupPickerList");
    list_->setAccessibleName(Text(kTextAbChooseGroup));
    label->setBuddy(list_);
    for (size_t i = 1; i < groups.size(); ++i) {
        auto* item = new QListWidgetItem(Q(groups[i].displayText), list_);
        item->setData(Qt::UserRole, groups[i].GID);
    }
    if (list_->count() > 0)
        list_->setCurrentRow(0);
    connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
    layout->addWidget(list_);
    layout->addWidget(OkCancelButtons(this));
}

int32_t GroupPickerDialog::ChosenGid() const {
    QListWidgetItem* item = list_->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

}  // namespace quillon
