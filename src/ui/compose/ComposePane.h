// The compose pane (the "SMS" tab): kind, text or file, the counter with its alphabet and charge, the
// recipients (typed numbers, the address book, the external book, recent ones) and Send, Schedule and
// Clear. A view over the Composition model: it forwards what the user does and shows the result.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "compose/Composition.h"
#include "ui/shell/Pane.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressDialog;
class QPushButton;
class QVBoxLayout;

namespace quillon {

class BalanceLabel;
class CommsWorker;
class MessageStore;
class RecipientTree;

class ComposePane : public Pane, private CompositionObserver {
    Q_OBJECT
public:
    ComposePane(MessageStore* store, CommsWorker* worker, QWidget* parent = nullptr);
    ~ComposePane() override;

    void Activate() override;
    void FocusInitial() override;
    BalanceLabel* Balance() override { return balance_; }
    bool HandleCommand(PaneCommand command) override;

    Composition& Model() { return model_; }
    RecipientTree* Tree() const { return tree_; }
    // Replaces the schedule dialog (tests and unattended runs): it fills the result and returns true
    // for OK.
    void SetScheduleRunner(ScheduleDialogRunner runner) { scheduleRunner_ = std::move(runner); }
    // The external book is being read on its own thread.
    bool LoadingExternalBook() const { return loader_.joinable() && !loadFinished_; }

    // The text the counter shows, e.g. "71 (2)", and its alphabet and charge lines.
    QString CounterText() const;

public slots:
    // A new composition to these groups and contacts (the address book's "send a message to").
    void StartMessageTo(const std::vector<int32_t>& groupIds, const std::vector<int32_t>& contactIds);
    // The outbox's "Edit message" (forEdit) and "Resend this SMS".
    bool LoadStoredMessage(int id, bool forEdit) override;
    void Send();
    void Schedule();
    void Reset();
    // Reads the external book on a thread of its own, with the wait window; force reads it again.
    void LoadExternalBook(bool force);
    // Replaces the look-alike characters that force UCS-2 with their GSM equivalents.
    void ReplaceLookalikes();

signals:
    void outboxChanged();  // rows were stored: recount the outbox tab caption

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    QWidget* BuildMessageSide();
    void BuildKindFileAndText(QWidget* side, QVBoxLayout* v);
    void BuildTokenButtons(QWidget* side, QVBoxLayout* v);
    void BuildCounterAndButtons(QWidget* side, QVBoxLayout* v);
    QWidget* BuildRecipientSide();
    void OnKindChanged();
    void OnTextChanged();
    void Browse();
    void ImportPath(const QString& path);
    void InsertToken(const std::string& token);
    void RefreshFromModel();
    void RefreshCounter();
    void RefreshToList();
    void RefreshRecipientCount();
    void OnToListEdited(int row, const QString& text);
    void QuickSearch();
    bool ConfirmCharge(int occurrences);
    void ReportCompose(const ComposeResult& result);
    void ExternalBookLoaded(int generation, ExternalBookTree tree, ExternalBookResult result);

    // CompositionObserver
    void ShowContactInTree(int32_t cid) override;
    void OutboxChanged() override;
    void CompositionChanged() override;

    MessageStore* store_;
    Composition model_;
    ScheduleDialogRunner scheduleRunner_;

    QComboBox* kind_ = nullptr;
    BalanceLabel* balance_ = nullptr;
    QLabel* pathLabel_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton* browse_ = nullptr;
    QLabel* messageLabel_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    std::vector<QPushButton*> tokenButtons_;
    QLabel* counter_ = nullptr;
    QLabel* alphabet_ = nullptr;
    QLabel* cost_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* replace_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* schedule_ = nullptr;
    QPushButton* clear_ = nullptr;
    QListWidget* toList_ = nullptr;
    RecipientTree* tree_ = nullptr;
    QLineEdit* search_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QLabel* recipientCount_ = nullptr;
    QPointer<QProgressDialog> wait_;
    bool refreshing_ = false;

    std::thread loader_;
    bool loadFinished_ = true;
    int loadGeneration_ = 0;
};

}  // namespace quillon
