#include "ui/addressbook/OkCancelButtons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

#include "ui/shell/UiText.h"

namespace quillon {

QDialogButtonBox* OkCancelButtons(QDialog* dialog, const QString& okText) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(okText.isEmpty() ? Text(kTextOk) : okText);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setText(Text(kTextCancel));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace quillon
