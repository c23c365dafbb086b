// "UPLOAD CSV FILE" and "EXPORT CONTACTS": the dialogs that choose what to import or export, and
// the run of either on a worker thread behind a progress window with Cancel.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>
#include <vector>

#include "addressbook/ContactExport.h"
#include "addressbook/ContactImport.h"
#include "addressbook/GroupList.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace quillon {

class ContactImportDialog : public QDialog {
    Q_OBJECT
public:
    // `groups` as the group list holds them (the catch-all first group is not offered); `gid` is ticked.
    ContactImportDialog(const std::vector<GroupListEntry>& groups, int32_t gid, QWidget* parent = nullptr);
    ContactImportOptions Options() const;

    QLineEdit* PathField() const { return path_; }
    QComboBox* SeparatorBox() const { return separator_; }
    QListWidget* GroupList() const { return groups_; }
    QCheckBox* PreventDuplicates() const { return preventDuplicates_; }
    QCheckBox* AutoGroups() const { return autoGroups_; }

private:
    void Browse();
    void UpdateOk();
    QComboBox* separator_;
    QListWidget* groups_;
    QLineEdit* path_;
    QCheckBox* preventDuplicates_;
    QCheckBox* autoGroups_;
    QDialogButtonBox* buttons_;
};

class ContactExportDialog : public QDialog {
    Q_OBJECT
public:
    ContactExportDialog(const std::vector<GroupListEntry>& groups, std::vector<int32_t> selection,
                        QWidget* parent = nullptr);
    ContactExportOptions Options() const;

    QLineEdit* PathField() const { return path_; }
    QRadioButton* SelectionChoice() const { return selection_; }
    QRadioButton* GroupsChoice() const { return groupsChoice_; }
    QListWidget* GroupList() const { return groups_; }
    QCheckBox* WithGroups() const { return withGroups_; }
    QCheckBox* VCard() const { return vcard_; }

private:
    void Browse();
    void Update();
    std::vector<int32_t> selectionIds_;
    QRadioButton* selection_;
    QRadioButton* groupsChoice_;
    QListWidget* groups_;
    QLineEdit* path_;
    QCheckBox* withGroups_;
    QCheckBox* vcard_;
    QDialogButtonBox* buttons_;
};

// Runs `job` on a worker thread while a progress window with Cancel shows its progress; returns
// when the job has ended. `job` gets a progress callback and the cancel flag.
using ProgressJob =
    std::function<void(const std::function<void(uint64_t, uint64_t)>& progress, const std::atomic<bool>* cancel)>;
void RunWithProgress(QWidget* parent, const QString& label, const ProgressJob& job);

}  // namespace quillon
