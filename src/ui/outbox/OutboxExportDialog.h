// "EXPORT OUTBOX": where to write the outbox report, and whether the selected messages or all.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillon {

class OutboxExportDialog : public QDialog {
    Q_OBJECT
public:
    // Without a selection the "selected" choice is disabled and "all" is checked.
    OutboxExportDialog(bool haveSelection, QWidget* parent = nullptr);

    QString Path() const;
    bool SelectedOnly() const;
    void SetPath(const QString& path);
    void Browse();

private:
    void UpdateOk();

    QLineEdit* path_;
    QRadioButton* selected_;
    QRadioButton* all_;
    QPushButton* ok_;
};

}  // namespace quillon
