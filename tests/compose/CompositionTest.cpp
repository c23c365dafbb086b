// The composition model against a real store: recipient list text, send, schedule, edit, reset.
#include "compose/Composition.h"

#include <gtest/gtest.h>

#include <tuple>

#include "addressbook/ExternalBook.h"
#include "core/AppSettings.h"
#include "store/MessageStore.h"
#include "store/StoreTestUtil.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::TempDir;

struct RecordingObserver : CompositionObserver {
    std::vector<int32_t> shown;
    int outboxChanges = 0;
    void ShowContactInTree(int32_t cid) override { shown.push_back(cid); }
    void OutboxChanged() override { ++outboxChanges; }
};

// A schedule dialog that is accepted with these occurrences and lead time.
ScheduleDialogRunner Dialog(std::vector<int32_t> times, int32_t uploadDays = 0) {
    return [=](ScheduleResult& result) {
        result.occurrenceTimes = times;
        result.uploadDays = uploadDays;
        return true;
    };
}

class CompositionTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = Settings();
        Settings().sender_id = "Acme";
        settings.SpanSMS = true;
        RecentRecipients(settings).ClearRecent();
        model.SetObserver(&observer);
        model.SetClock([] { return int64_t{1700000000}; });
    }
    void TearDown() override { Settings() = saved; }

    int32_t Contact(const std::string& name, const std::string& surname, const std::string& mobile) {
        return store.Book().AddContact({name, surname, "", "", mobile, {1}});
    }
    SmsRecord Get(int32_t id) {
        SmsRecord r;
        EXPECT_TRUE(store.Outbox().GetSms(id, r)) << id;
        return r;
    }
    void Type(const std::string& number) { model.To().EndEdit(model.To().BeginEdit(), number); }

    AppSettings saved;
    TempDir dir;
    MessageStore store{dir.Path()};
    AppSettings settings;
    RecordingObserver observer;
    Composition model{&store, settings};
};

TEST_F(CompositionTest, RecipientListTextKeepsEntryOrderAndFeedsTheRecentList) {
    int32_t cid = 0;
    for (int i = 0; i < 12; ++i)
        cid = Contact("Ann", "Smith" + std::to_string(i), "08300000" + std::to_string(i));
    ASSERT_EQ(cid, 12);
    RecentRecipients& recent = model.Recent();
    recent.AddRecent("Old", "", "0710000000");
    recent.SetSelected(0, true);

    Type("0821");
    Type("0832");
    model.SizeContactSelection();
    ASSERT_TRUE(model.Contacts().Select(12, true));
    ASSERT_TRUE(model.Contacts().Select(3, true));
    ExternalBookTree tree{"root", "", false, {{"Book", "", false, {{"Ext One", "0740000000", true, {}}}}}};
    model.SetOutlookEntries(tree);
    model.OutlookEntries()[0].selected = true;
    EXPECT_EQ(model.CountRecipients(), 6);

    EXPECT_EQ(model.CollectRecipients(), 6);
    EXPECT_EQ(model.RecipientText(), ",0821,0832,A3,A12,0710000000,0740000000");
    // Added in collection order, so the external entry is now the most recent.
    std::vector<std::string> labels;
    for (int i = 0; i < recent.Count(); ++i)
        labels.push_back(recent.Label(i));
    EXPECT_EQ(labels,
              (std::vector<std::string>{"Ext One (0740000000)", "Ann Smith11 (0830000011)", "Ann Smith2 (083000002)",
                                        "Direct (0832)", "Direct (0821)", "Old (0710000000)"}));
}

TEST_F(CompositionTest, SelectedRecentEntryIsSentEvenWhenNewEntriesPushItOut) {
    RecentRecipients& recent = model.Recent();
    for (int i = 0; i < 10; ++i)
        recent.AddRecent("Direct", "", "07000000" + std::to_string(i));
    recent.SetSelected(9, true);  // the oldest: 070000000
    Type("0821");
    model.SetText("Hello", 5);
    ComposeResult r = model.SendComposed();
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(Get(r.storedIds[0]).To, ",0821,070000000");
}

TEST_F(CompositionTest, SendStoresOnePendingRowAndResets) {
    model.SetKind(1);
    model.SetText("Hi <<FIRSTNAME>>", 16);
    model.SetFilePath("/tmp/x.vcf");
    Type("0821");
    ComposeResult r = model.SendComposed();
    ASSERT_TRUE(r.Ok());
    ASSERT_EQ(r.storedIds.size(), 1u);
    EXPECT_EQ(Get(r.storedIds[0]).Time, 1700000000);
    EXPECT_EQ(test::Fields(Get(r.storedIds[0])),
              "0|1|" + std::to_string(r.storedIds[0]) + "|,0821|0821|Hi <<FIRSTNAME>>||0|Acme|0|0|0|?");
    EXPECT_EQ(observer.outboxChanges, 1);

    // Reset: the same composition cannot go twice, the kind stays.
    EXPECT_EQ(model.Text() + model.FilePath(), "");
    EXPECT_EQ(model.Length().counterText, "0 (1)");
    EXPECT_EQ(model.To().Rows(), (std::vector<std::string>{""}));
    EXPECT_EQ(model.CountRecipients(), 0);
    EXPECT_EQ(model.Kind(), 1);
    EXPECT_EQ(model.SendComposed().status, ComposeStatus::kNoText);
    EXPECT_EQ(store.Outbox().SmsRowCount(), 1);
}

TEST_F(CompositionTest, NoRecipientLeavesTheCompositionAsItWas) {
    model.SetText("Hello", 5);
    ComposeResult r = model.SendComposed();
    EXPECT_EQ(r.status, ComposeStatus::kNoRecipients);
    EXPECT_EQ(std::make_pair(r.CaptionId(), r.TextId()), std::make_pair(1331, 1332));
    EXPECT_EQ(model.Text(), "Hello");
    EXPECT_EQ(store.Outbox().SmsRowCount(), 0);
    EXPECT_EQ(model.ScheduleComposed([](ScheduleResult&) { return true; }).status, ComposeStatus::kNoRecipients);
    Type("0821");
    EXPECT_TRUE(model.SendComposed().Ok());
}

TEST_F(CompositionTest, ScheduleStoresARowPerOccurrenceSharingTheFirstId) {
    store.Outbox().AddSms(3, 0, 0, 0, ",1", "earlier", "", 0, "?");  // ids of the schedule are not 1
    model.SetText("Weekly", 6);
    Type("0821");
    ComposeResult r = model.ScheduleComposed(Dialog({1800000000, 1800086400, 1800172800}, 2));
    ASSERT_TRUE(r.Ok());
    ASSERT_EQ(r.storedIds.size(), 3u);
    const std::string first = std::to_string(r.storedIds[0]);
    EXPECT_NE(first, "1");
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Get(r.storedIds[i]).Time, 1800000000 + static_cast<int32_t>(i) * 86400);
        EXPECT_EQ(test::Fields(Get(r.storedIds[i])), "6|0|" + first + "|,0821|0821|Weekly||0|Acme|172800|0|0|?");
    }
    EXPECT_EQ(model.Text(), "");

    // Without a lead time the rows are Scheduled and stay local.
    model.SetText("Once", 4);
    Type("0832");
    r = model.ScheduleComposed(Dialog({1800000000}, 0));
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(test::Fields(Get(r.storedIds[0])),
              "4|0|" + std::to_string(r.storedIds[0]) + "|,0832|0832|Once||0|Acme|0|0|0|?");
}

TEST_F(CompositionTest, CancelledOrFailedScheduleStoresNothing) {
    model.SetText("Later", 5);
    Type("0821");
    EXPECT_EQ(model.ScheduleComposed([](ScheduleResult&) { return false; }).status, ComposeStatus::kCancelled);
    EXPECT_EQ(store.Outbox().SmsRowCount(), 0);
    EXPECT_EQ(model.Text(), "Later");
    EXPECT_EQ(model.Recent().Number(0), "0821");  // what collecting added stays

    // The store refuses the second row: the first is taken back too.
    int calls = 0;
    Composition failing(&store, settings,
                        [&](int32_t stat, int32_t time, int32_t type, int32_t refId, const std::string& to,
                            const std::string& msg, int32_t delay) -> int32_t {
                            if (++calls == 2)
                                return 0;
                            return store.Outbox().AddSms(stat, time, type, refId, to, msg, "", delay, "?");
                        });
    failing.SetText("Later", 5);
    failing.To().AddNumber("0821");
    ComposeResult r = failing.ScheduleComposed(Dialog({1800000000, 1800086400}));
    EXPECT_EQ(r.status, ComposeStatus::kStoreFailed);
    EXPECT_TRUE(r.storedIds.empty());
    EXPECT_EQ(store.Outbox().SmsRowCount(), 0);
    EXPECT_EQ(failing.Text(), "Later");
}

TEST_F(CompositionTest, NothingTooLongForTheGatewayIsStored) {
    settings.SpanSMS = false;
    Type("0821");
    // Typed as Text it fits one SMS; as Unicode (UCS-2, 70 a part) it no longer does and is not cut.
    model.SetText(std::string(100, 'a'), 100);
    model.SetKind(2);
    EXPECT_EQ(model.Text().size(), 100u);
    EXPECT_FALSE(model.Length().sendEnabled);
    ComposeResult r = model.SendComposed();
    EXPECT_EQ(r.status, ComposeStatus::kTooLong);
    EXPECT_NE(r.TextId(), 0);
    EXPECT_EQ(model.ScheduleComposed(Dialog({1800000000})).status, ComposeStatus::kTooLong);
    EXPECT_EQ(store.Outbox().SmsRowCount(), 0);
    EXPECT_EQ(model.To().Numbers().size(), 1u);  // the composition is kept for the user to shorten

    // A file too large for one SMS is refused before anything changes; with long messages it goes.
    const std::string card = dir.File("card.vcf");
    test::WriteFile(card, std::string(141, 'v'));
    model.SetKind(6);
    HexImportFailure failure{};
    EXPECT_FALSE(model.ImportFile(card, failure));
    EXPECT_EQ(failure, HexImportFailure::TooLongForSms);
    EXPECT_EQ(model.Text().size(), 100u);
    settings.SpanSMS = true;
    ASSERT_TRUE(model.ImportFile(card, failure));
    EXPECT_EQ(model.Length().counterText, "141 (2)");
    EXPECT_TRUE(model.SendComposed().Ok());
}

TEST_F(CompositionTest, EditingRewritesTheSameRow) {
    const int32_t ann = Contact("Ann", "Lee", "0831112222");
    const int32_t scheduled =
        store.Outbox().AddSms(4, 1800000000, 0, 0, ",0821,A" + std::to_string(ann) + ",0832", "Old", "S", 86400, "?");
    const int32_t onServer = store.Outbox().AddSms(7, 1800000000, 0, 0, ",0821", "Old", "S", 86400, "?");

    ASSERT_TRUE(model.LoadStoredMessage(scheduled, true));
    EXPECT_EQ(std::make_tuple(model.Editing(), model.EditedId(), model.SendButtonCaptionId()),
              std::make_tuple(true, scheduled, 1335));
    EXPECT_FALSE(model.ScheduleEnabled());
    EXPECT_EQ(model.ScheduleComposed([](ScheduleResult&) { return true; }).status, ComposeStatus::kNotAllowed);
    EXPECT_EQ(std::make_pair(Get(scheduled).Stat, Get(scheduled).SavedStat), std::make_pair(5, 4));
    EXPECT_EQ(model.Text(), "Old");
    EXPECT_EQ(model.To().Rows(), (std::vector<std::string>{"0821", "0832", ""}));
    EXPECT_TRUE(model.Contacts().IsSelected(ann));
    EXPECT_EQ(observer.shown, (std::vector<int32_t>{ann}));
    EXPECT_EQ(model.CountRecipients(), 3);

    model.SetKind(2);
    model.SetText("New text", 8);
    model.To().Select(1);
    model.To().DeleteSelected();
    ComposeResult r = model.SendComposed();
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.updated);
    EXPECT_EQ(r.storedIds, (std::vector<int32_t>{scheduled}));
    // Still waits for its time: made Pending it would go at once.
    EXPECT_EQ(Get(scheduled).Time, 1800000000);
    EXPECT_EQ(test::Fields(Get(scheduled)), "4|2|" + std::to_string(scheduled) + "|,0821,A" + std::to_string(ann) +
                                                "|0821,Ann Lee|New text||4|S|86400|0|0|?");
    EXPECT_EQ(store.Outbox().SmsRowCount(), 2);
    EXPECT_EQ(std::make_tuple(model.Editing(), model.EditedId(), model.SendButtonCaptionId()),
              std::make_tuple(false, -1, 1334));

    // A row that was scheduled on the server stays server-scheduled.
    ASSERT_TRUE(model.LoadStoredMessage(onServer, true));
    ASSERT_TRUE(model.SendComposed().Ok());
    EXPECT_EQ(Get(onServer).Stat, 6);
}

TEST_F(CompositionTest, ClearingOrLoadingAnotherMessageRestoresTheEditedRow) {
    const int32_t a = store.Outbox().AddSms(3, 0, 0, 0, ",0821", "A", "", 0, "?");
    const int32_t b = store.Outbox().AddSms(4, 1800000000, 0, 0, ",0832", "B", "", 0, "?");
    ASSERT_TRUE(model.LoadStoredMessage(a, true));
    EXPECT_EQ(Get(a).Stat, 5);
    ASSERT_TRUE(model.LoadStoredMessage(b, true));
    EXPECT_EQ(std::make_pair(Get(a).Stat, Get(b).Stat), std::make_pair(3, 5));
    model.ResetComposition();
    EXPECT_EQ(Get(b).Stat, 4);
    EXPECT_FALSE(model.Editing());
    EXPECT_EQ(model.To().Rows(), (std::vector<std::string>{""}));
}

TEST_F(CompositionTest, ResendLoadsAsANewComposition) {
    const int32_t ann = Contact("Ann", "Lee", "0831112222");
    const int32_t sent =
        store.Outbox().AddSms(3, 0, 6, 0, ",A" + std::to_string(ann) + ",,0821,A999", "BEEF", "", 0, "R0.30");
    ASSERT_TRUE(model.LoadStoredMessage(sent, false));
    EXPECT_FALSE(model.Editing());
    EXPECT_EQ(Get(sent).Stat, 3);
    EXPECT_EQ(std::make_pair(model.Kind(), model.Text()), std::make_pair(6, std::string("BEEF")));
    // An empty entry is skipped; a contact id beyond the table is not selected.
    EXPECT_EQ(model.To().Rows(), (std::vector<std::string>{"0821", ""}));
    EXPECT_EQ(model.Contacts().SelectedCids(), (std::vector<int32_t>{ann}));
    EXPECT_EQ(store.Outbox().SmsRowCount(), 1);
    ComposeResult r = model.SendComposed();
    ASSERT_TRUE(r.Ok());
    EXPECT_NE(r.storedIds[0], sent);
    EXPECT_EQ(std::make_pair(Get(r.storedIds[0]).To, Get(r.storedIds[0]).Type),
              std::make_pair(",0821,A" + std::to_string(ann), 6));

    EXPECT_FALSE(model.LoadStoredMessage(4242, true));
    EXPECT_FALSE(model.Editing());
    EXPECT_EQ(model.Text(), "");
}

TEST_F(CompositionTest, EditedRowDeletedMeanwhileIsStoredAfreshOnTheNextSend) {
    const int32_t id = store.Outbox().AddSms(0, 0, 0, 0, ",0821", "Text", "", 0, "?");
    ASSERT_TRUE(model.LoadStoredMessage(id, true));
    store.Outbox().DeleteSms(id);
    ComposeResult r = model.SendComposed();
    EXPECT_EQ(r.status, ComposeStatus::kStoreFailed);
    EXPECT_FALSE(model.Editing());
    EXPECT_EQ(model.Text(), "Text");
    EXPECT_EQ(store.Outbox().SmsRowCount(), 0);
    r = model.SendComposed();
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(Get(r.storedIds[0]).To, ",0821");
}

TEST_F(CompositionTest, QuickSearchShowsTheContactAndReadsTheExternalBookOnDemand) {
    Contact("Bob", "Roe", "0820000001");
    const int32_t joanne = Contact("Joanne", "Lee", "0820000002");
    int loads = 0;
    auto load = [&]() {
        ++loads;
        model.SetOutlookEntries(ExternalBookTree{"root", "", false, {{"Annie", "0711", true, {}}}});
        return true;
    };
    EXPECT_EQ(model.QuickSearchNext("ann", load).cid, joanne);
    EXPECT_EQ(observer.shown.back(), joanne);
    EXPECT_EQ(loads, 0);
    EXPECT_EQ(model.QuickSearchNext("ann", load).kind, QuickSearch::Match::Kind::External);
    EXPECT_EQ(model.QuickSearchNext("ann", load).cid, joanne);
    EXPECT_EQ(loads, 1);  // read once, when the contacts ran out
}

TEST_F(CompositionTest, ExternalEntriesComeFromTheExternalBook) {
    test::WriteFile(dir.File("book.vcf"),
                    "BEGIN:VCARD\nFN:Vee\nTEL;TYPE=cell:0820000009\nEND:VCARD\n"
                    "BEGIN:VCARD\nFN:Home\nTEL;TYPE=home:0210000000\nEND:VCARD\n");
    Settings().MAPI_AddressBook = false;
    TheExternalBook().Options().vcardPath = dir.File("book.vcf");
    ExternalBookResult r = model.LoadOutlookEntries(true);
    ASSERT_TRUE(r.Ok()) << r.detail;
    ASSERT_EQ(model.OutlookEntries().size(), 1u);
    EXPECT_EQ(model.OutlookEntries()[0].number, "0820000009");

    TheExternalBook().Options().vcardPath = dir.File("gone.vcf");
    r = model.LoadOutlookEntries(true);
    EXPECT_EQ(r.TextId(), 1506);
    EXPECT_TRUE(model.OutlookEntries().empty());
    EXPECT_TRUE(model.OutlookEntriesLoaded());
    TheExternalBook().Options().vcardPath.clear();
}

}  // namespace
}  // namespace quillon
