// A pane of the main window: a child widget shown under the header while its tab is current.
#pragma once

#include <QString>
#include <QWidget>

namespace quillon {

class BalanceLabel;

// Keyboard commands the main window hands to the current pane.
enum class PaneCommand { Send, SelectAll };

class Pane : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    virtual void Activate() {}    // the pane becomes current
    virtual void Deactivate() {}  // the pane stops being current
    virtual void FocusInitial() {}
    virtual BalanceLabel* Balance() { return nullptr; }
    // The outbox pane's status line (worker phase and progress).
    virtual void ShowStatusLine(const QString&) {}
    virtual QString StatusLine() const { return {}; }
    // The outbox: rebuild (kRefreshWholeOutbox) or one message's status changed.
    virtual void RefreshOutbox(int) {}
    // True when the pane took the command.
    virtual bool HandleCommand(PaneCommand) { return false; }
    // The compose pane: opens a stored message, for editing or as the start of a new one.
    virtual bool LoadStoredMessage(int /*id*/, bool /*forEdit*/) { return false; }
};

}  // namespace quillon
