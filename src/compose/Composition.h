// What the compose pane puts together — kind, text, recipients — and how it becomes outbox rows:
// sent at once, scheduled (one row per occurrence), or rewriting the stored row being edited. The
// pane is a view over this model: it forwards the user's actions and shows the results.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "addressbook/ExternalBook.h"
#include "compose/ContactSelection.h"
#include "compose/HexImport.h"
#include "compose/MessageLength.h"
#include "compose/MessageQueuer.h"
#include "compose/RecentRecipients.h"
#include "compose/Schedule.h"
#include "compose/ToList.h"
#include "core/AppSettings.h"

namespace quillon {

class MessageStore;

// A plain AddSms on `store` with the worker's SenderID and Charge: for a program without a running
// worker, which sends the row on its next cycle. The worker's own queuer is WorkerQueuer.
MessageQueuer StoreOnlyQueuer(MessageStore* store);

// Told what the pane has to show after the model changed on its own account.
class CompositionObserver {
public:
    virtual ~CompositionObserver() = default;
    // Expand the group holding the contact and select its item in the tree.
    virtual void ShowContactInTree(int32_t /*cid*/) {}
    // Rows were added or rewritten: recount the outbox tab caption.
    virtual void OutboxChanged() {}
    // The composition was reset or loaded: refresh every control from the model.
    virtual void CompositionChanged() {}
};

enum class ComposeStatus {
    kDone,          // rows stored (or the edited row rewritten) and the composition reset
    kNoText,        // Send does nothing while there is no text
    kNoRecipients,  // the "No destination mobile numbers selected" box; nothing changed
    kNotAllowed,    // Schedule while editing a stored message or without text
    kCancelled,     // the schedule dialog was cancelled; nothing stored
    kStoreFailed,   // the store refused the row(s); nothing stored and the composition kept
    kTooLong,       // longer than the gateway takes (one SMS, or kMaxSmsParts with SpanSMS); nothing stored
};

struct ComposeResult {
    ComposeStatus status = ComposeStatus::kDone;
    std::vector<int32_t> storedIds;  // new rows, or the edited row's ID after an update
    bool updated = false;            // the edited row was rewritten rather than a row added

    bool Ok() const { return status == ComposeStatus::kDone; }
    // The message box to show: caption and text string ids, 0 when none.
    int CaptionId() const;
    int TextId() const;
};

// Runs the schedule dialog: true with the result on OK, false when cancelled.
using ScheduleDialogRunner = std::function<bool(ScheduleResult& result)>;

class Composition {
public:
    // `store` may be null only for tests that never queue. `settings` holds the recent table and
    // SpanSMS. Without a queuer, rows go to the store only (StoreOnlyQueuer).
    Composition(MessageStore* store, AppSettings& settings, MessageQueuer queuer = {});

    void SetObserver(CompositionObserver* observer) { observer_ = observer; }
    void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }

    // ---- what the user puts together ----
    int32_t Kind() const { return kind_; }
    // A new kind recounts the text (which may then be too long to send) but never cuts it.
    void SetKind(int32_t kind);
    const std::string& Text() const { return text_; }
    // Every change of the text box: the length rules may cut the text (see Length()).
    const LengthState& SetText(const std::string& text, size_t selectionEnd);
    // The text box got the focus: a text beyond the limit keeps its longest leading part that fits.
    const LengthState& ApplyLengthLimit();
    // Reads a file as the hex text of a file kind. A file too long for the message limit is refused
    // (TooLongForSms) and the text left as it was.
    bool ImportFile(const std::string& path, HexImportFailure& failure);
    const LengthState& Length() const { return length_; }
    size_t CaretPos() const { return caretPos_; }
    void SetCaretPos(size_t pos) { caretPos_ = pos; }
    const std::string& FilePath() const { return filePath_; }
    void SetFilePath(const std::string& path) { filePath_ = path; }

    ToList& To() { return toList_; }
    const ToList& To() const { return toList_; }
    ContactSelection& Contacts() { return contacts_; }
    const ContactSelection& Contacts() const { return contacts_; }
    RecentRecipients& Recent() { return recent_; }
    const RecentRecipients& Recent() const { return recent_; }
    std::vector<OutlookEntry>& OutlookEntries() { return outlookEntries_; }
    const std::vector<OutlookEntry>& OutlookEntries() const { return outlookEntries_; }
    // Replaces the external entries with the leaves of a freshly read tree (none selected).
    void SetOutlookEntries(const ExternalBookTree& tree);
    bool OutlookEntriesLoaded() const { return outlookLoaded_; }
    // Reads the external book through LoadExternalBook (force: read again even when unchanged) and
    // takes its leaves as the external entries; after a failure there are none, and the result
    // names the box to show.
    ExternalBookResult LoadOutlookEntries(bool force);

    // Sizes the contact selection to the store's next free contact id + 1 (flags kept).
    void SizeContactSelection();
    // "Recipients Selected".
    int CountRecipients() const;

    // ---- editing a stored row ----
    bool Editing() const { return editing_; }
    int32_t EditedId() const { return editedId_; }
    int SendButtonCaptionId() const;  // "Send >>" or, while editing, "Update >>"
    bool ScheduleEnabled() const { return length_.textPresent && !editing_; }

    // ---- the operations ----
    // Builds the recipient list text and returns the number of entries (adding to the recent list).
    int CollectRecipients();
    const std::string& RecipientText() const { return recipientText_; }

    ComposeResult SendComposed();
    ComposeResult ScheduleComposed(const ScheduleDialogRunner& runDialog);
    void ResetComposition();
    // Loads a stored row back: for editing (the row goes to Editing) or as a new composition.
    // False when no row has that id (the composition is left reset).
    bool LoadStoredMessage(int32_t id, bool forEdit);

    // "Search >>": finds the next contact or external entry. `loadExternal` reads the external book
    // when the walk reaches it and nothing is loaded yet (it may decline by returning false).
    QuickSearch::Match QuickSearchNext(const std::string& fieldText, const std::function<bool()>& loadExternal);
    void QuickSearchTextChanged() { quickSearch_.TextChanged(); }
    // The address book changed: the next search reads the contacts again (a search also does so when
    // their number changed).
    void ContactsChanged() { searchContacts_.clear(); }

private:
    int64_t Now() const;

    MessageStore* store_;
    AppSettings& settings_;
    MessageQueuer queuer_;
    CompositionObserver* observer_ = nullptr;
    std::function<int64_t()> clock_;

    int32_t kind_ = 0;
    std::string text_;
    size_t caretPos_ = 0;
    LengthState length_;
    std::string filePath_;

    ToList toList_;
    ContactSelection contacts_;
    RecentRecipients recent_;
    std::vector<OutlookEntry> outlookEntries_;
    bool outlookLoaded_ = false;
    QuickSearch quickSearch_;
    std::vector<ContactRow> searchContacts_;  // the contacts as the last search read them

    bool editing_ = false;
    int32_t editedId_ = -1;
    std::string recipientText_;
};

}  // namespace quillon
