// The options pane's note on where passwords are kept, with a warning when the gateway address is not
// encrypted or other users can read the data folder.
#pragma once

#include <QLabel>

namespace quillon {

class SecurityNote : public QLabel {
    Q_OBJECT
public:
    explicit SecurityNote(QWidget* parent = nullptr);
    // Reads the settings, the keyring's presence and the data folder's mode again.
    void Refresh();
};

}  // namespace quillon
