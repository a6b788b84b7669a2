#include "engine/archive_listing.h"

#include "core/file_checks.h"
#include "core/text.h"
#include "engine/job.h"
#include "engine/temporary_folders.h"
#include "engine/utility_contract.h"
#include "engine/utility_failure.h"
#include "platform/ascii_text.h"
#include "platform/file_system.h"

#include <functional>

namespace rk {

namespace {

// The hash of a name's key, the key made in `key` (kept from one name to the
// next).
std::size_t KeyHash(std::string_view name, std::string& key) {
    key.assign(name);
    for (char& c : key)
        c = platform::LowerAscii(c);
    return std::hash<std::string_view>{}(key);
}

} // namespace

std::size_t MergedFileList::SlotOf(std::string_view name, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot& held = slots_[slot];
        if (held.entry == 0 ||
            (held.hash == hash &&
             platform::SameIgnoringAsciiCase(entries_[held.entry - 1].FileName(), name)))
            return slot;
    }
}

void MergedFileList::Grow() {
    std::vector<Slot> old(slots_.empty() ? 64 : slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& held : old) {
        if (held.entry == 0)
            continue;
        std::size_t slot = held.hash & mask;
        while (slots_[slot].entry != 0)
            slot = (slot + 1) & mask;
        slots_[slot] = held;
    }
}

CStoredFile& MergedFileList::Entry(std::string_view name) {
    if ((entries_.size() + 1) * 2 > slots_.size())
        Grow();
    const std::size_t hash = KeyHash(name, key_);
    Slot& slot = slots_[SlotOf(name, hash)];
    if (slot.entry == 0) {
        // The new entry's name is its key until the caller names it.
        entries_.emplace_back().SetFileName(name);
        slot = {hash, static_cast<std::uint32_t>(entries_.size())};
    }
    return entries_[slot.entry - 1];
}

const CStoredFile* MergedFileList::Find(std::string_view name) const {
    if (slots_.empty())
        return nullptr;
    std::string key;
    const Slot& slot = slots_[SlotOf(name, KeyHash(name, key))];
    return slot.entry == 0 ? nullptr : &entries_[slot.entry - 1];
}

void ForEachListingField(std::string_view text,
                         const std::function<void(std::string_view field)>& take) {
    const auto isBreak = [](char c) { return c == ',' || c == '\r' || c == '\n'; };
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && text[at] == ' ')
            ++at;
        std::string_view field;
        if (at < text.size() && text[at] == '"') {
            const std::size_t close = text.find('"', at + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            field = text.substr(at + 1, end - at - 1);
            at = end;
            while (at < text.size() && !isBreak(text[at]))
                ++at;
        } else {
            const std::size_t start = at;
            while (at < text.size() && !isBreak(text[at]))
                ++at;
            field = text.substr(start, at - start);
        }
        // One field end: a comma, or a line end with CR LF counted once.
        if (at < text.size()) {
            const char end = text[at++];
            if (end == '\r' && at < text.size() && text[at] == '\n')
                ++at;
        }
        if (!field.empty())
            take(field);
    }
}

std::vector<std::string> ListingFields(std::string_view text) {
    std::vector<std::string> fields;
    ForEachListingField(text, [&fields](std::string_view field) { fields.emplace_back(field); });
    return fields;
}

ToolOutcome WriteArchiveListing(const Installation& installation, const std::string& archivePath,
                                const std::string& listingPath) {
    const struct {
        std::string_view what;
        std::string_view piece;
    } pieces[] = {{"unzip utility", installation.unzipUtility},
                  {"listing file", listingPath},
                  {"archive", archivePath}};
    for (const auto& piece : pieces) {
        if (auto refusal = PieceRefusal(piece.what, piece.piece, true, "unzip utility")) {
            ToolOutcome refused;
            refused.startError = std::move(*refusal);
            return refused;
        }
    }
    // The name is handed over free: what a run killed earlier left under it
    // (a file, or a link planted to make the utility write elsewhere) goes
    // first, and the listing folder is one nobody else can write into, so
    // nothing can be put in its place before the utility makes its file.
    DeleteFileQuietly(listingPath);
    ToolOutcome outcome =
        RunTool(ListingCommandLine(installation.unzipUtility, listingPath, archivePath));
    if (!platform::ProcessSucceeded(outcome))
        DeleteFileQuietly(listingPath);
    return outcome;
}

bool ListingMade(const ToolOutcome& outcome, const std::string& listingPath) {
    return platform::ProcessSucceeded(outcome) && PathExists(listingPath);
}

bool ReadArchiveListing(MergedFileList& files, const std::string& archivePath,
                        const std::string& listingPath) {
    const auto content = platform::ReadFile(listingPath);
    if (!content)
        return false;
    ForEachListingField(*content, [&](std::string_view name) {
        CStoredFile& entry = files.Entry(name);
        if (entry.FileName() != name)
            entry.SetFileName(name);
        entry.AddZipSource(archivePath);
    });
    return true;
}

void DeleteFileQuietly(const std::string& path) {
    platform::DeleteFile(path);
}

std::string ProgramListFilePath(const Installation& installation, std::string_view fileName) {
    const std::string& programFolder = installation.programFolder;
    // The names are fixed: they may go only where nobody else can plant or
    // replace a file under them.
    if (platform::FolderOnlyUserWrites(programFolder) && IsFolderWritable(programFolder))
        return programFolder + std::string(fileName);
    const std::string temporary = GetTempFolder();
    if (temporary.empty())
        return {};
    return AddBackslash(temporary) + std::string(fileName);
}

} // namespace rk
