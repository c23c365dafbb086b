// Temporary stub: the real store follows.
#include "store/MessageStore.h"

#include <atomic>

namespace quillon {

const char* const kSmsLayout =
    "SMS[_B[ID:I,Time:I,Stat:I,Type:I,RefID:I,To:S,ToInfo:S,Msg:S,ApiMsgID:S,SavedStat:I,SenderID:S,Delay:I,"
    "QueryTime:I,StatQryTm:I,Charge:S]]";
const char* const kNextSmsIdLayout = "NextSMSID[ID:I]";
const char* const kGroupLayout = "GROUP[_B[GID:I,Cnt:I,Name:S]]";
const char* const kNextGroupIdLayout = "NextGroupID[ID:I]";
const char* const kContactsLayout = "CONTACTS[_B[CID:I,Name:S,Surname:S,Title:S,Custom:S,Mobile:S]]";
const char* const kContactGroupMapLayout = "CONTACT_GROUP_MAP[CID:I,GID:I]";
const char* const kNextContactIdLayout = "NextContactID[ID:I]";

MessageStore::MessageStore(const std::string& dataDir) : dataDir_(dataDir), path_(dataDir + "/SMS.db") {}
MessageStore::~MessageStore() = default;
bool MessageStore::DatabaseFileExists() const {
    return false;
}
bool MessageStore::Commit() {
    return false;
}
std::string MessageStore::MovedAsideReport() const {
    return "";
}
int32_t MessageStore::AllocateSmsId() {
    return 0;
}
int32_t MessageStore::AllocateGroupId() {
    return 0;
}
int32_t MessageStore::AllocateContactId() {
    return 0;
}
int32_t MessageStore::PeekNextContactId() {
    return 0;
}
int32_t MessageStore::AddSms(int32_t, int32_t, int32_t, int32_t, const std::string&, const std::string&,
                             const std::string&, int32_t, const std::string&) {
    return 0;
}
bool MessageStore::SetSmsStatus(int32_t, int32_t) {
    return false;
}
void MessageStore::UpdateSms(int32_t, int32_t, const std::string&, const std::string&) {}
void MessageStore::RestoreEditedSms() {}
void MessageStore::FailInterruptedSms() {}
int32_t MessageStore::CopySms(int32_t, bool, int32_t) {
    return -1;
}
int32_t MessageStore::CopySmsForRecipient(int32_t, int32_t, const std::string&) {
    return -1;
}
void MessageStore::DeleteSms(int32_t) {}
int32_t MessageStore::CountOutbox() {
    return 0;
}
std::string MessageStore::BuildToInfo(const std::string&) {
    return "";
}
bool MessageStore::CopySmsToClipboard(int32_t) {
    return false;
}
std::optional<std::string> MessageStore::ClipboardTextOfSms(int32_t) {
    return std::nullopt;
}
bool MessageStore::GetSms(int32_t, SmsRecord&) {
    return false;
}
std::vector<SmsRecord> MessageStore::LoadAllSms() {
    return {};
}
std::vector<SmsRecord> MessageStore::SelectSms(const SmsSelection&) {
    return {};
}
int32_t MessageStore::SmsRowCount() {
    return 0;
}
bool MessageStore::BeginEditSms(int32_t) {
    return false;
}
bool MessageStore::SetSmsApiMsgID(int32_t, const std::string&) {
    return false;
}
bool MessageStore::SetSmsQuerySchedule(int32_t, int32_t, int32_t) {
    return false;
}
bool MessageStore::SetSmsCharge(int32_t, const std::string&) {
    return false;
}
bool MessageStore::SetSmsStatusAndCharge(int32_t, int32_t, const std::string&) {
    return false;
}
bool MessageStore::PutSms(const SmsRecord&) {
    return false;
}
std::vector<std::string> MessageStore::RecipientNumbers(const std::string&) {
    return {};
}
std::string MessageStore::SendingFormOfRecipients(const std::string&) {
    return "";
}
int32_t MessageStore::AddGroup(const std::string&) {
    return -1;
}
void MessageStore::RenameGroup(int32_t, const std::string&) {}
void MessageStore::DeleteGroup(int32_t) {}
int32_t MessageStore::FindOrAddGroup(const std::string&) {
    return 0;
}
std::optional<std::string> MessageStore::GetGroupName(int32_t) {
    return std::nullopt;
}
int32_t MessageStore::FindGroupRow(int32_t) {
    return -1;
}
std::vector<GroupRecord> MessageStore::ListGroups() {
    return {};
}
std::vector<GroupListEntry> MessageStore::GroupListWithCounts() {
    return {};
}
int32_t MessageStore::AddContact(const ContactRecord&) {
    return 0;
}
void MessageStore::UpdateContact(int32_t, const ContactRecord&) {}
void MessageStore::DeleteContact(int32_t, bool, int32_t) {}
bool MessageStore::LoadContact(int32_t, ContactRecord& contact) {
    contact.Clear();
    return false;
}
std::optional<std::string> MessageStore::GetContactDisplayName(int32_t) {
    return std::nullopt;
}
std::optional<std::string> MessageStore::GetContactMobile(int32_t, size_t) {
    return std::nullopt;
}
bool MessageStore::GetContactNameParts(int32_t, std::string&, std::string&, std::string&) {
    return false;
}
bool MessageStore::ContactMobileExists(const std::string&) {
    return false;
}
std::vector<ContactRow> MessageStore::ListContacts() {
    return {};
}
int32_t MessageStore::ContactCount() {
    return 0;
}
void MessageStore::AddMembership(int32_t, int32_t) {}
void MessageStore::AddMembershipIfMissing(int32_t, int32_t) {}
bool MessageStore::IsMember(int32_t, int32_t) {
    return false;
}
bool MessageStore::RemoveMembership(int32_t, int32_t) {
    return false;
}
bool MessageStore::MoveContactToGroup(int32_t, int32_t, int32_t) {
    return false;
}
int32_t MessageStore::CountContactGroups(int32_t) {
    return 0;
}
int32_t MessageStore::GetFirstGroupOfContact(int32_t) {
    return 0;
}
std::vector<int32_t> MessageStore::GroupsOfContact(int32_t) {
    return {};
}
std::vector<int32_t> MessageStore::MembersOfGroup(int32_t) {
    return {};
}

StoreTransaction::StoreTransaction(MessageStore& store) : store_(store), lock_(store.SmsLock()) {}
StoreTransaction::~StoreTransaction() = default;
bool StoreTransaction::Commit() {
    return false;
}
void StoreTransaction::Rollback() {}

namespace {
std::atomic<MessageStore*> gStore{nullptr};
}
MessageStore* TheStore() {
    return gStore.load();
}
void SetTheStore(MessageStore* store) {
    gStore.store(store);
}
void SetClipboardSink(ClipboardSink) {}
std::string ApplyNumberPrefix(const std::string& number, const std::string&) {
    return number;
}
std::string CutUtf8(const std::string& text, size_t maxBytes) {
    return text.substr(0, maxBytes);
}

}  // namespace quillon
