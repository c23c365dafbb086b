// The OK and Cancel buttons of the address book's dialogs, with their texts from the string table
// and object names the tests find them by.
#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;

namespace quillon {

// Accepts or rejects `dialog`; `okText` empty: the table's "OK".
QDialogButtonBox* OkCancelButtons(QDialog* dialog, const QString& okText = {});

}  // namespace quillon
