#include "addressbook/ContactExport.h"

#include <cstdio>
#include <filesystem>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "store/MessageStore.h"

namespace quillon {

namespace {

constexpr int kProgressRows = 1000;

// vCard text: backslash, comma, semicolon and line breaks escaped.
std::string VCardText(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\' || c == ',' || c == ';') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            out += "\\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// A content line folded at 75 bytes, never inside a UTF-8 character.
void AppendFolded(std::string& out, const std::string& line) {
    size_t start = 0, limit = 75;
    while (line.size() - start > limit) {
        size_t cut = start + limit;
        while (cut > start && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line, start, cut - start);
        out += "\r\n ";
        start = cut;
        limit = 74;  // the folding blank counts
    }
    out.append(line, start, std::string::npos);
    out += "\r\n";
}

class ExportFile {
public:
    explicit ExportFile(const std::string& path) : path_(path), temp_(path + ".part") {
        file_ = std::fopen(temp_.c_str(), "wb");
    }
    ~ExportFile() {
        if (file_) {
            std::fclose(file_);
            std::remove(temp_.c_str());
        }
    }
    bool IsOpen() const { return file_ != nullptr; }
    bool Write(const std::string& text) {
        ok_ = ok_ && std::fwrite(text.data(), 1, text.size(), file_) == text.size();
        return ok_;
    }
    // Closes the file and puts it in place; false when anything failed.
    bool Finish() {
        bool ok = ok_ && std::fclose(file_) == 0;
        file_ = nullptr;
        std::error_code ec;
        if (ok)
            std::filesystem::rename(temp_, path_, ec);
        if (!ok || ec) {
            std::remove(temp_.c_str());
            return false;
        }
        return true;
    }

private:
    std::string path_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool ok_ = true;
};

// One line (or card) to write: a contact, and the group named on its line when there is one.
struct ExportItem {
    int32_t cid;
    int32_t gid;  // 0: no group column on this line
};

std::vector<ExportItem> ItemsToExport(AddressBook& book, const ContactExportOptions& options) {
    std::vector<ExportItem> items;
    if (options.selection) {
        for (int32_t cid : options.contacts)
            items.push_back({cid, 0});
    } else if (options.withGroups && !options.vcard) {
        for (int32_t gid : options.groups)
            for (int32_t cid : book.MembersOfGroup(gid))
                items.push_back({cid, gid});
    } else {
        std::set<int32_t> ids;
        for (int32_t gid : options.groups)
            for (int32_t cid : book.MembersOfGroup(gid))
                ids.insert(cid);
        for (int32_t cid : ids)
            items.push_back({cid, 0});
    }
    return items;
}

// Writes the items' lines (or cards) into the file, counting them in the report.
void WriteContacts(AddressBook& book, const ContactExportOptions& options, const std::vector<ExportItem>& items,
                   std::unordered_map<int32_t, std::string>& groupNames, ExportFile& file, ExportReport& report,
                   const ExportProgress& progress, const std::atomic<bool>* cancel) {
    const bool groupColumn = options.withGroups && !options.selection && !options.vcard;
    std::string chunk;
    // One contact's line or card; false once the export is to stop (cancelled, or the disk refused).
    auto add = [&](const ContactRecord& c, int32_t gid, const std::vector<int32_t>& groups) {
        if (options.vcard) {
            std::vector<std::string> names;
            for (int32_t g : groups)
                if (g != 1 && groupNames.count(g))
                    names.push_back(groupNames[g]);
            chunk += VCardOf(c, names);
        } else {
            chunk += CsvField(c.Name) + ',' + CsvField(c.Surname) + ',' + CsvField(c.Title) + ',' + CsvField(c.Custom) +
                     ',' + CsvField(c.Mobile);
            // A group whose name is gone leaves its lines without the sixth value.
            auto name = groupNames.find(gid);
            if (groupColumn && name != groupNames.end())
                chunk += ',' + CsvField(name->second);
            chunk += "\r\n";
        }
        if (++report.written % kProgressRows != 0)
            return true;
        if (cancel && cancel->load()) {
            report.status = ExportStatus::kCancelled;
            return false;
        }
        if (progress)
            progress(static_cast<uint64_t>(report.written), items.size());
        bool written = file.Write(chunk);
        chunk.clear();
        return written;
    };
    if (!options.selection && !groupColumn) {
        // Every member once, in id order: one pass over the contacts instead of a lookup each.
        std::unordered_set<int32_t> wanted;
        for (const auto& item : items)
            wanted.insert(item.cid);
        std::unordered_map<int32_t, std::vector<int32_t>> groupsOf;
        if (options.vcard)
            book.VisitMemberships([&](int32_t cid, int32_t gid) {
                if (wanted.count(cid))
                    groupsOf[cid].push_back(gid);
            });
        static const std::vector<int32_t> kNoGroups;
        bool going = true;
        book.VisitContacts([&](int32_t cid, const ContactRecord& c) {
            if (going && wanted.count(cid)) {
                auto g = groupsOf.find(cid);
                going = add(c, 0, g == groupsOf.end() ? kNoGroups : g->second);
            }
        });
    } else {
        ContactRecord c;
        for (const auto& item : items) {
            if (!book.LoadContact(item.cid, c))
                continue;  // deleted since it was chosen
            if (!add(c, item.gid, options.vcard ? book.GroupsOfContact(item.cid) : std::vector<int32_t>()))
                break;
        }
    }
    file.Write(chunk);
}

}  // namespace

std::string CsvField(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos)
        return value;
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string VCardOf(const ContactRecord& c, const std::vector<std::string>& groupNames) {
    std::string card = "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    std::string fn = c.Name;
    if (!c.Surname.empty())
        fn += (fn.empty() ? "" : " ") + c.Surname;
    if (fn.empty())
        fn = c.Mobile;
    AppendFolded(card, "FN:" + VCardText(fn));
    AppendFolded(card, "N:" + VCardText(c.Surname) + ";" + VCardText(c.Name) + ";;" + VCardText(c.Title) + ";");
    if (!c.Mobile.empty())
        AppendFolded(card, "TEL;TYPE=cell:" + VCardText(c.Mobile));
    if (!c.Custom.empty())
        AppendFolded(card, "NOTE:" + VCardText(c.Custom));
    if (!groupNames.empty()) {
        std::string list;
        for (const auto& name : groupNames)
            list += (list.empty() ? "" : ",") + VCardText(name);
        AppendFolded(card, "CATEGORIES:" + list);
    }
    card += "END:VCARD\r\n";
    return card;
}

ExportReport ExportContacts(MessageStore& store, const ContactExportOptions& options, const ExportProgress& progress,
                            const std::atomic<bool>* cancel) {
    ExportReport report;
    AddressBook& book = store.Book();
    const std::vector<ExportItem> items = ItemsToExport(book, options);
    // Ticked groups without members make no file (a selection always makes one, if only a header).
    if (items.empty() && !options.selection) {
        report.status = ExportStatus::kNothingToExport;
        return report;
    }
    std::unordered_map<int32_t, std::string> groupNames;
    for (const auto& g : book.ListGroups())
        groupNames[g.GID] = g.Name;

    ExportFile file(options.path);
    if (options.path.empty() || !file.IsOpen()) {
        report.status = ExportStatus::kCannotOpen;
        return report;
    }
    const bool groupColumn = options.withGroups && !options.selection && !options.vcard;
    if (!options.vcard)
        file.Write(std::string("FName,SName,Title,Custom,Mobile") + (groupColumn ? ",Group" : "") + "\r\n");
    WriteContacts(book, options, items, groupNames, file, report, progress, cancel);
    if (report.status == ExportStatus::kCancelled)
        return report;
    if (!file.Finish())
        report.status = ExportStatus::kWriteFailed;
    return report;
}

}  // namespace quillon
