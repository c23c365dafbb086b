#include "outbox/OutboxExport.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "core/StringTable.h"
#include "outbox/OutboxText.h"
#include "store/MessageStore.h"

namespace quillon {

namespace {
constexpr const char* kHeader = "ID\tTime\tStatus\tType\tCharge\tTo\tMsg\r\n";

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f)
            std::fclose(f);
    }
};

bool Write(std::FILE* f, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), f) == text.size();
}

std::vector<int32_t> AllIds(MessageStore& store) {
    std::vector<int32_t> ids;
    std::lock_guard<std::recursive_mutex> lock(store.SmsLock());
    StoreDatabase::Query q(store.Database(), "SELECT \"ID\" FROM \"SMS\" ORDER BY \"ID\"");
    while (q.Step())
        ids.push_back(q.Int(0));
    return ids;
}
}  // namespace

std::string ExportField(const std::string& text) {
    if (text.find_first_of("\t\r\n\"") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string ExportLine(MessageStore& store, const SmsRecord& r) {
    std::string line = std::to_string(r.ID);
    for (const std::string& field : {FormatSmsTime(r.Time), StatusLabel(r.Stat), KindLabel(r.Type), r.Charge,
                                     store.Outbox().SendingFormOfRecipients(r.To), r.Msg}) {
        line += '\t';
        line += ExportField(field);
    }
    return line + "\r\n";
}

ExportResult ExportOutbox(MessageStore& store, const std::string& path, const std::vector<int32_t>* ids,
                          OutboxExportProgress* progress) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return ExportResult::CannotOpen;
    const std::vector<int32_t> all = ids ? std::vector<int32_t>() : AllIds(store);
    const std::vector<int32_t>& list = ids ? *ids : all;
    if (progress)
        progress->total = static_cast<int>(list.size());
    if (!Write(file.get(), kHeader))
        return ExportResult::WriteFailed;
    for (int32_t id : list) {
        if (progress && progress->cancel)
            return ExportResult::Cancelled;
        SmsRecord record;
        if (store.Outbox().GetSms(id, record) && !Write(file.get(), ExportLine(store, record)))
            return ExportResult::WriteFailed;
        if (progress)
            ++progress->done;
    }
    if (!Write(file.get(), LoadResourceString(kIdExportClosingNote)))
        return ExportResult::WriteFailed;
    std::FILE* f = file.release();
    return std::fclose(f) == 0 ? ExportResult::Ok : ExportResult::WriteFailed;
}

}  // namespace quillon
