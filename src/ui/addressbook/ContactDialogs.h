// The address book's small dialogs: a group's name, a contact's details, where to delete a contact
// from, and which group to copy or move contacts to.
#pragma once

#include <QDialog>
#include <vector>

#include "addressbook/GroupList.h"
#include "store/ContactRecord.h"

class QButtonGroup;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace quillon {

// "ADD NEW GROUP" (no name given) or "EDIT GROUP NAME".
class GroupDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxName = 21;
    explicit GroupDialog(const QString& currentName, QWidget* parent = nullptr);
    QString Name() const;
    QLineEdit* NameField() const { return name_; }

private:
    void UpdateOk();
    QLineEdit* name_;
    QDialogButtonBox* buttons_;
};

// "ADD NEW MEMBER" or "EDIT MEMBER DETAILS": the five texts and a check box per group (the
// catch-all group is not offered).
class ContactDialog : public QDialog {
    Q_OBJECT
public:
    ContactDialog(bool isNew, const ContactRecord& contact, const std::vector<int32_t>& memberOf,
                  const std::vector<GroupListEntry>& groups, QWidget* parent = nullptr);
    // The fields read with their limits; the ticked groups from the last row to the first.
    ContactRecord Record() const;
    QLineEdit* Field(int n) const { return fields_[n]; }  // 0 name .. 4 mobile
    QListWidget* GroupList() const { return groups_; }

private:
    void UpdateOk();
    QLineEdit* fields_[5];
    QListWidget* groups_;
    QDialogButtonBox* buttons_;
};

// "Delete contact from ...": every group, or the current group only.
class DeleteChoiceDialog : public QDialog {
    Q_OBJECT
public:
    explicit DeleteChoiceDialog(QWidget* parent = nullptr);
    bool Entirely() const;
    QRadioButton* ThisGroupOnly() const { return thisGroup_; }

private:
    QRadioButton* allGroups_;
    QRadioButton* thisGroup_;
};

// The keyboard way to copy or move contacts: a list of the groups to pick one from.
class GroupPickerDialog : public QDialog {
    Q_OBJECT
public:
    GroupPickerDialog(const QString& title, const std::vector<GroupListEntry>& groups, QWidget* parent = nullptr);
    int32_t ChosenGid() const;  // 0 when none
    QListWidget* List() const { return list_; }

private:
    QListWidget* list_;
};

}  // namespace quillon
