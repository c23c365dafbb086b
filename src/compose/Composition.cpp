#include "compose/Composition.h"

#include <climits>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>

#include "addressbook/ExternalBook.h"
#include "core/StringIds.h"
#include "core/StringTable.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "store/RecipientList.h"

namespace quillon {

namespace {

constexpr int32_t kSecondsPerDay = 86400;

int32_t Code(MessageStatus s) {
    return static_cast<int32_t>(s);
}

}  // namespace

MessageQueuer StoreOnlyQueuer(MessageStore* store) {
    return [store](int32_t stat, int32_t time, int32_t type, int32_t refId, const std::string& to,
                   const std::string& msg, int32_t delay) -> int32_t {
        if (!store)
            return 0;
        return store->Outbox().AddSms(stat, time, type, refId, to, msg, Settings().sender_id, delay, "?");
    };
}

int ComposeResult::CaptionId() const {
    if (status == ComposeStatus::kTooLong)
        return kTextTooLongCaption;
    return status == ComposeStatus::kNoRecipients ? kIdNotEnoughInfoCaption : 0;
}

int ComposeResult::TextId() const {
    if (status == ComposeStatus::kTooLong)
        return kTextTooLongText;
    return status == ComposeStatus::kNoRecipients ? kIdNoDestination : 0;
}

Composition::Composition(MessageStore* store, AppSettings& settings, MessageQueuer queuer)
    : store_(store), settings_(settings), queuer_(std::move(queuer)), recent_(settings) {
    if (!queuer_)
        queuer_ = StoreOnlyQueuer(store_);
    length_ = RecountMessageLength("", kind_, settings_.SpanSMS, false);
}

int64_t Composition::Now() const {
    return clock_ ? clock_() : static_cast<int64_t>(std::time(nullptr));
}

const LengthState& Composition::SetText(const std::string& text, size_t selectionEnd) {
    length_ = CountMessageLength(text_, text, selectionEnd, kind_, settings_.SpanSMS, editing_);
    text_ = length_.text;
    return length_;
}

const LengthState& Composition::ApplyLengthLimit() {
    length_ = quillon::ApplyLengthLimit(text_, caretPos_, kind_, settings_.SpanSMS, editing_);
    text_ = length_.text;
    return length_;
}

void Composition::SetKind(int32_t kind) {
    kind_ = kind;
    length_ = RecountMessageLength(text_, kind_, settings_.SpanSMS, editing_);
}

bool Composition::ImportFile(const std::string& path, HexImportFailure& failure) {
    std::string hex;
    if (!ImportFileAsHex(path, hex, failure))
        return false;
    if (!FitsLimit(CountMessage(hex, kind_), settings_.SpanSMS)) {
        failure = HexImportFailure::TooLongForSms;
        return false;
    }
    filePath_ = path;
    text_ = hex;
    length_ = RecountMessageLength(text_, kind_, settings_.SpanSMS, editing_);
    return true;
}

void Composition::SetOutlookEntries(const ExternalBookTree& tree) {
    outlookEntries_ = OutlookEntriesFromTree(tree);
    outlookLoaded_ = true;
}

ExternalBookResult Composition::LoadOutlookEntries(bool force) {
    ExternalBookResult result;
    SetOutlookEntries(LoadExternalBook(force, &result));
    return result;
}

void Composition::SizeContactSelection() {
    searchContacts_.clear();
    if (store_)
        contacts_.Resize(static_cast<size_t>(std::max<int32_t>(store_->Book().PeekNextContactId(), 0)) + 1);
}

int Composition::CountRecipients() const {
    return quillon::CountRecipients(toList_, contacts_, recent_, outlookEntries_);
}

int Composition::SendButtonCaptionId() const {
    return editing_ ? kIdUpdateCaption : kIdSendCaption;
}

int Composition::CollectRecipients() {
    recipientText_.clear();
    int count = 0;
    auto append = [this, &count](const std::string& entry) {
        recipientText_ += ',';
        recipientText_ += entry;
        ++count;
    };

    // The selected recent entries are taken before anything is added to the recent list: adding
    // moves the slots down, and the last one would drop out with its selection.
    std::vector<std::string> recentNumbers;
    for (int i = 0; i < recent_.Count(); ++i)
        if (recent_.InUse(i) && recent_.Selected(i))
            recentNumbers.push_back(recent_.Number(i));

    const std::string direct = LoadResourceString(kIdDirect);
    for (const auto& number : toList_.Numbers()) {
        append(number);
        recent_.AddRecent(direct, "", number);
    }
    for (int32_t cid : contacts_.SelectedCids()) {
        std::string name, surname, mobile;
        if (store_ && store_->Book().GetContactNameParts(cid, name, surname, mobile))
            recent_.AddRecent(name, surname, mobile);
        append("A" + std::to_string(cid));
    }
    for (const auto& number : recentNumbers)
        append(number);
    for (const auto& entry : outlookEntries_) {
        if (!entry.selected)
            continue;
        append(entry.number);
        recent_.AddRecent(entry.name, "", entry.number);
    }
    return count;
}

ComposeResult Composition::SendComposed() {
    ComposeResult result;
    if (!length_.textPresent) {
        result.status = ComposeStatus::kNoText;
        return result;
    }
    if (!FitsLimit(CountMessage(text_, kind_), settings_.SpanSMS)) {
        result.status = ComposeStatus::kTooLong;
        return result;
    }
    if (CollectRecipients() < 1) {
        result.status = ComposeStatus::kNoRecipients;
        return result;
    }
    if (editing_) {
        bool exists = false;
        if (store_) {
            std::lock_guard<std::recursive_mutex> lock(store_->SmsLock());
            SmsRecord row;
            exists = store_->Outbox().GetSms(editedId_, row);
            if (exists)
                store_->Outbox().UpdateSms(editedId_, kind_, recipientText_, text_);
        }
        if (!exists) {
            // The row went away while it was open (deleted from the outbox): keep the text and the
            // recipients, and let the next Send store them as a new message.
            editing_ = false;
            editedId_ = -1;
            result.status = ComposeStatus::kStoreFailed;
            if (observer_)
                observer_->CompositionChanged();
            return result;
        }
        result.updated = true;
        result.storedIds.push_back(editedId_);
    } else {
        int32_t id =
            queuer_(Code(MessageStatus::Pending), static_cast<int32_t>(Now()), kind_, 0, recipientText_, text_, 0);
        if (id < 1) {
            result.status = ComposeStatus::kStoreFailed;
            return result;
        }
        result.storedIds.push_back(id);
    }
    ResetComposition();
    if (observer_)
        observer_->OutboxChanged();
    return result;
}

ComposeResult Composition::ScheduleComposed(const ScheduleDialogRunner& runDialog) {
    ComposeResult result;
    if (editing_ || !length_.textPresent) {
        result.status = ComposeStatus::kNotAllowed;
        return result;
    }
    if (!FitsLimit(CountMessage(text_, kind_), settings_.SpanSMS)) {
        result.status = ComposeStatus::kTooLong;
        return result;
    }
    if (CollectRecipients() < 1) {
        result.status = ComposeStatus::kNoRecipients;
        return result;
    }
    ScheduleResult schedule;
    if (!runDialog || !runDialog(schedule) || schedule.occurrenceTimes.empty()) {
        result.status = ComposeStatus::kCancelled;
        return result;
    }
    const int32_t days = schedule.uploadDays;
    const int32_t delay = days * kSecondsPerDay;
    const int32_t stat = days > 0 ? Code(MessageStatus::DelayScheduled) : Code(MessageStatus::Scheduled);

    // One schedule is stored whole or not at all.
    std::unique_ptr<StoreTransaction> tx;
    if (store_)
        tx = std::make_unique<StoreTransaction>(*store_);
    int32_t firstId = 0;
    for (int32_t time : schedule.occurrenceTimes) {
        int32_t id = queuer_(stat, time, kind_, firstId, recipientText_, text_, delay);
        if (id < 1) {
            if (tx)
                tx->Rollback();
            result.status = ComposeStatus::kStoreFailed;
            result.storedIds.clear();
            return result;
        }
        if (firstId == 0)
            firstId = id;
        result.storedIds.push_back(id);
    }
    if (tx && !tx->Commit()) {
        result.status = ComposeStatus::kStoreFailed;
        result.storedIds.clear();
        return result;
    }
    tx.reset();
    ResetComposition();
    if (observer_)
        observer_->OutboxChanged();
    return result;
}

void Composition::ResetComposition() {
    if (editing_) {
        if (store_)
            store_->Outbox().RestoreEditedSms();
        editing_ = false;
        editedId_ = -1;
    }
    text_.clear();
    length_ = RecountMessageLength("", kind_, settings_.SpanSMS, false);
    caretPos_ = 0;
    toList_.Reset();
    recipientText_.clear();
    recipientText_.shrink_to_fit();
    contacts_.Clear();
    recent_.ClearSelection();
    for (auto& e : outlookEntries_)
        e.selected = false;
    filePath_.clear();
    if (observer_)
        observer_->CompositionChanged();
}

bool Composition::LoadStoredMessage(int32_t id, bool forEdit) {
    contacts_.Resize(0);
    SizeContactSelection();
    ResetComposition();

    SmsRecord row;
    bool found = false;
    if (store_) {
        std::lock_guard<std::recursive_mutex> lock(store_->SmsLock());
        found = store_->Outbox().GetSms(id, row);
        if (found && forEdit)
            found = store_->Outbox().BeginEditSms(id);
    }
    if (!found) {
        return false;
    }
    if (forEdit) {
        editing_ = true;
        editedId_ = id;
    }
    kind_ = row.Type;
    text_ = row.Msg;
    length_ = RecountMessageLength(text_, kind_, settings_.SpanSMS, editing_);

    int32_t firstContact = -1;
    for (const RecipientListEntry& entry : ParseRecipientList(row.To)) {
        if (entry.text.empty())
            continue;
        if (entry.IsContact()) {
            if (contacts_.Select(*entry.contactId, true) && firstContact < 0)
                firstContact = *entry.contactId;
        } else {
            toList_.AddNumber(entry.text);
        }
    }
    if (firstContact >= 0 && observer_)
        observer_->ShowContactInTree(firstContact);
    if (observer_)
        observer_->CompositionChanged();
    return true;
}

QuickSearch::Match Composition::QuickSearchNext(const std::string& fieldText,
                                                const std::function<bool()>& loadExternal) {
    // Reading 10,000 contacts costs more than searching them: they are kept between presses.
    if (store_ && (searchContacts_.empty() ||
                   static_cast<size_t>(std::max<int32_t>(store_->Book().ContactCount(), 0)) != searchContacts_.size()))
        searchContacts_ = store_->Book().ListContacts();
    const std::vector<ContactRow>& contacts = searchContacts_;
    QuickSearch::ExternalSource external = [this, &loadExternal]() -> const std::vector<OutlookEntry>* {
        if (!outlookLoaded_ && loadExternal)
            loadExternal();
        return outlookLoaded_ ? &outlookEntries_ : nullptr;
    };
    QuickSearch::Match m = quickSearch_.Next(fieldText, contacts, external);
    if (m.kind == QuickSearch::Match::Kind::Contact && observer_)
        observer_->ShowContactInTree(m.cid);
    return m;
}

}  // namespace quillon
