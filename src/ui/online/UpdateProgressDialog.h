// "Checking for updates ...": the four-step window of the shutdown, with the byte count of the
// download and a Cancel button that only raises the flag the check reads between steps and blocks.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <atomic>

#include "ui/shell/ShutdownWindow.h"

namespace quillon {

class UpdateProgressDialog : public ShutdownWindow {
    Q_OBJECT
public:
    explicit UpdateProgressDialog(QWidget* parent = nullptr);

    const std::atomic<bool>& CancelFlag() const { return cancelled_; }
    bool Cancelled() const { return cancelled_.load(); }
    void ShowBytes(uint64_t bytes);
    QLabel* BytesLabel() const { return bytes_; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::atomic<bool> cancelled_{false};
    QLabel* bytes_;
    QPushButton* cancel_;
};

}  // namespace quillon
