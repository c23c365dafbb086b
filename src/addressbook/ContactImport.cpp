#include "addressbook/ContactImport.h"

#include <chrono>

#include "addressbook/ExternalBook.h"
#include "addressbook/ExternalBookParts.h"
#include "core/StringIds.h"
#include "core/StringTable.h"
#include "core/TextUtil.h"
#include "store/MessageStore.h"

namespace quillon {

namespace {

// A transaction ends after this many rows or this long, whichever comes first: large enough for
// speed, short enough that the ui thread is never kept from the store for long.
constexpr int kBatchRows = 10000;
constexpr auto kBatchTime = std::chrono::milliseconds(100);
constexpr int kProgressRows = 500;

// Adds one contact under the import's rules; counts it in the report.
class ImportSink {
public:
    ImportSink(MessageStore& store, const ContactImportOptions& options, ImportReport& report)
        : store_(store), options_(options), report_(report), batch_(new StoreTransaction(store)) {
        store_.Book().BeginContactIdRun();
    }
    ~ImportSink() {
        store_.Book().EndContactIdRun();
        delete batch_;
    }

    // False when the store refused the contact.
    bool Add(ContactRecord contact, const std::vector<std::string>& groupNames) {
        if (contact.Mobile.empty()) {
            ++report_.discarded;
            return true;
        }
        AddressBook& book = store_.Book();
        contact.groups.clear();
        if (options_.autoCreateGroups)
            for (const auto& name : groupNames)
                if (!name.empty())
                    if (int32_t gid = book.FindOrAddGroup(name); gid > 0)
                        contact.groups.push_back(gid);
        if (contact.groups.empty())
            contact.groups = options_.groups;
        if (options_.preventDuplicates && book.ContactMobileExists(contact.Mobile)) {
            ++report_.duplicates;
            return true;
        }
        if (book.AddContact(contact) <= 0)
            return false;
        ++report_.inserted;
        if (++rowsInBatch_ >= kBatchRows || std::chrono::steady_clock::now() - batchStart_ > kBatchTime)
            return Flush();
        return true;
    }

    bool Flush() {
        bool ok = store_.Book().EndContactIdRun();
        ok = batch_->Commit() && ok;
        delete batch_;
        batch_ = new StoreTransaction(store_);
        store_.Book().BeginContactIdRun();
        rowsInBatch_ = 0;
        batchStart_ = std::chrono::steady_clock::now();
        return ok;
    }

private:
    MessageStore& store_;
    const ContactImportOptions& options_;
    ImportReport& report_;
    StoreTransaction* batch_;
    int rowsInBatch_ = 0;
    std::chrono::steady_clock::time_point batchStart_ = std::chrono::steady_clock::now();
};

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load();
}

ImportReport ImportCsv(MessageStore& store, const ContactImportOptions& options, const ImportProgress& progress,
                       const std::atomic<bool>* cancel) {
    ImportReport report;
    CsvContactReader reader;
    switch (reader.Open(options.path, options.separator, cancel)) {
        case CsvContactReader::OpenStatus::kOk:
            break;
        case CsvContactReader::OpenStatus::kCannotOpen:
            report.status = ImportStatus::kCannotOpen;
            return report;
        case CsvContactReader::OpenStatus::kNoHeader:
            report.status = ImportStatus::kNoHeader;
            return report;
        case CsvContactReader::OpenStatus::kNoMobileColumn:
            report.status = ImportStatus::kNoMobileColumn;
            report.encoding = reader.Encoding();
            return report;
        case CsvContactReader::OpenStatus::kCancelled:
            report.status = ImportStatus::kCancelled;
            return report;
    }
    report.encoding = reader.Encoding();
    ImportSink sink(store, options, report);
    CsvContactRow row;
    int64_t rows = 0;
    CsvContactReader::RowStatus status;
    while ((status = reader.Next(row)) != CsvContactReader::RowStatus::kEnd) {
        if (++rows % kProgressRows == 0) {
            if (Cancelled(cancel)) {
                report.status = ImportStatus::kCancelled;
                break;
            }
            if (progress)
                progress(reader.Position(), reader.FileSize());
        }
        if (status == CsvContactReader::RowStatus::kShort) {
            ++report.discarded;
            continue;
        }
        ContactRecord c;
        c.Name = std::move(row.Name);
        c.Surname = std::move(row.Surname);
        c.Title = std::move(row.Title);
        c.Custom = std::move(row.Custom);
        c.Mobile = std::move(row.Mobile);
        if (!sink.Add(std::move(c), {row.group})) {
            report.status = ImportStatus::kStoreFailed;
            break;
        }
    }
    if (!sink.Flush() && report.status == ImportStatus::kOk)
        report.status = ImportStatus::kStoreFailed;
    if (reader.ReadFailed() && report.status == ImportStatus::kOk)
        report.status = ImportStatus::kReadFailed;
    return report;
}

ImportReport ImportVCard(MessageStore& store, const ContactImportOptions& options, const ImportProgress& progress,
                         const std::atomic<bool>* cancel) {
    ImportReport report;
    std::string text, detail;
    if (options.path.empty() || external::ReadWholeFile(options.path, text, detail) != external::ReadStatus::kOk) {
        report.status = ImportStatus::kCannotOpen;
        return report;
    }
    if (!IsValidUtf8(text)) {
        text = Windows1252ToUtf8(text);
        report.encoding = TextEncoding::kWindows1252;
    }
    const std::vector<VCardEntry> cards = ParseVCards(text);
    text.clear();
    if (cards.empty()) {
        report.status = ImportStatus::kNoCards;
        return report;
    }
    ImportSink sink(store, options, report);
    for (size_t i = 0; i < cards.size(); ++i) {
        const VCardEntry& card = cards[i];
        if ((i + 1) % kProgressRows == 0) {
            if (Cancelled(cancel)) {
                report.status = ImportStatus::kCancelled;
                break;
            }
            if (progress)
                progress(i, cards.size());
        }
        if (card.group)
            continue;  // a group card names members; the members' own cards carry them
        ContactRecord c;
        c.Name = CutUtf8(card.given.empty() && card.family.empty() ? card.name : card.given, CsvContactRow::kMaxName);
        c.Surname = CutUtf8(card.family, CsvContactRow::kMaxSurname);
        c.Title = CutUtf8(card.prefix, CsvContactRow::kMaxTitle);
        c.Custom = CutUtf8(card.note, CsvContactRow::kMaxCustom);
        c.Mobile = CutUtf8(card.mobile, CsvContactRow::kMaxMobile);
        std::vector<std::string> groups;
        for (const auto& category : card.categories)
            groups.push_back(CutUtf8(category, CsvContactRow::kMaxGroup));
        if (!sink.Add(std::move(c), groups)) {
            report.status = ImportStatus::kStoreFailed;
            break;
        }
    }
    if (!sink.Flush() && report.status == ImportStatus::kOk)
        report.status = ImportStatus::kStoreFailed;
    return report;
}

}  // namespace

ImportFormat FormatOfPath(const std::string& path) {
    const std::string lower = AsciiLower(path);
    auto endsWith = [&](const std::string& suffix) {
        return lower.size() >= suffix.size() && lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    return endsWith(".vcf") || endsWith(".vcard") ? ImportFormat::kVCard : ImportFormat::kCsv;
}

ImportReport ImportContacts(MessageStore& store, const ContactImportOptions& options, const ImportProgress& progress,
                            const std::atomic<bool>* cancel) {
    return options.format == ImportFormat::kVCard ? ImportVCard(store, options, progress, cancel)
                                                  : ImportCsv(store, options, progress, cancel);
}

std::string ImportReportText(const ImportReport& report) {
    std::string text = FormatResourceString(kTextImportReport, {report.inserted, report.discarded});
    text += FormatResourceString(kTextImportDuplicates, {report.duplicates});
    if (report.encoding == TextEncoding::kWindows1252)
        text += "\n\n" + FormatResourceString(kTextImportWindows1252);
    int reason = 0;
    switch (report.status) {
        case ImportStatus::kOk:
            break;
        case ImportStatus::kCannotOpen:
            reason = kTextImportCannotOpen;
            break;
        case ImportStatus::kNoHeader:
            reason = kTextImportNoHeader;
            break;
        case ImportStatus::kNoMobileColumn:
            reason = kTextImportNoMobileColumn;
            break;
        case ImportStatus::kNoCards:
            reason = kTextImportNoCards;
            break;
        case ImportStatus::kReadFailed:
            reason = kTextImportReadFailed;
            break;
        case ImportStatus::kStoreFailed:
            reason = kTextImportStoreFailed;
            break;
        case ImportStatus::kCancelled:
            reason = kTextImportCancelled;
            break;
    }
    if (reason)
        text += "\n\n" + FormatResourceString(reason);
    return text;
}

}  // namespace quillon
