#include "tools/rkunzip/unzip_run.h"

#include "platform/drive_map.h"
#include "tools/common/command_line.h"
#include "tools/common/exit_codes.h"
#include "tools/common/list_file.h"
#include "tools/common/messages.h"
#include "tools/common/stop_signals.h"
#include "tools/rkunzip/entry_selection.h"
#include "tools/rkunzip/extraction.h"
#include "tools/rkunzip/files_in_flight.h"
#include "tools/rkunzip/listing.h"
#include "tools/rkunzip/unix_listing.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <vector>
#include <zip.h>

namespace rk::tools {

namespace {

bool NamesFolder(const std::string& windows) {
    const auto host = rk::platform::ToHostPath(windows);
    struct stat info {};
    return host && stat(host->c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int Usage(const std::string& error) {
    Report(error);
    std::fputs("Try 'rkunzip --help' for the command line.\n", stderr);
    return kExitUsage;
}

// Owns an open archive.
struct OpenArchive {
    zip_t* archive = nullptr;
    std::string host;
    ~OpenArchive() {
        if (archive != nullptr)
            zip_discard(archive);
    }
};

bool OpenForReading(const std::string& windows, OpenArchive& open) {
    const auto host = rk::platform::ToHostPath(windows);
    if (!host) {
        Report("can't open zip archive '" + windows +
               "': the path has no mapping to a folder here");
        return false;
    }
    open.host = *host;
    int code = 0;
    open.archive = zip_open(host->c_str(), ZIP_RDONLY, &code);
    if (open.archive == nullptr) {
        Report("can't open zip archive '" + windows + "': " + ZipErrorText(code));
        return false;
    }
    return true;
}

int WriteListing(const std::string& text, const std::string& listingWindows) {
    const auto host = rk::platform::ToHostPath(listingWindows);
    if (host) {
        std::ofstream out(*host, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (out)
            return kExitOk;
    }
    Report("can't write listing file '" + listingWindows + "': " +
           (host ? ErrnoText(errno) : std::string("the path has no mapping to a folder here")));
    return kExitFailed;
}

// Reads every entry to its end: libzip checks the size and the CRC there.
int TestArchive(zip_t* archive, const std::string& archiveWindows) {
    std::vector<char> buffer(256 * 1024);
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    std::size_t failed = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* name = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
        const std::string shown = name != nullptr ? name : "entry " + std::to_string(i);
        zip_file_t* reader = zip_fopen_index(archive, index, 0);
        std::string problem;
        if (reader == nullptr) {
            problem = zip_strerror(archive);
        } else {
            zip_int64_t n = 0;
            while ((n = zip_fread(reader, buffer.data(), buffer.size())) > 0) {
            }
            if (n < 0)
                problem = zip_file_strerror(reader);
            zip_fclose(reader);
        }
        if (!problem.empty()) {
            Report("test of '" + shown + "' failed: " + problem);
            ++failed;
        }
    }
    if (failed != 0) {
        Report(std::to_string(failed) + " of the " + std::to_string(count) + " entries of '" +
               archiveWindows + "' do not read back correctly");
        return kExitPartial;
    }
    return kExitOk;
}

} // namespace

int RunUnzip(const std::vector<std::string>& args) {
    SetToolName("rkunzip");
    const auto parsed = ParseUnzipCommand(args, &NamesFolder);
    if (!parsed)
        return Usage(parsed.reason());
    const UnzipCommand& command = *parsed;
    if (command.help) {
        std::fputs(UnzipUsage().c_str(), stdout);
        return kExitOk;
    }
    if (command.version) {
        std::fputs(VersionText("rkunzip").c_str(), stdout);
        return kExitOk;
    }

    EntrySelection selection;
    for (const auto& listFile : command.listFiles) {
        const auto host = rk::platform::ToHostPath(listFile);
        int error = ENOENT;
        const auto names = host ? ReadListFile(*host, ListLines::Names, &error) : std::nullopt;
        if (!names) {
            Report("can't read list file '" + listFile + "': " + ErrnoText(error));
            return kExitFailed;
        }
        for (const auto& name : *names)
            selection.AddListedName(name);
    }
    for (const auto& name : command.names)
        selection.AddPattern(name);
    // A list file naming nothing selects nothing.
    const bool selectsNothing = selection.empty() && !command.listFiles.empty();

    if (command.listingFile) {
        // Archives made on Unix are listed from their central directory
        // alone; any other goes through libzip.
        if (const auto host = rk::platform::ToHostPath(command.archive))
            if (const auto text = UnixListingOfFile(*host))
                return WriteListing(*text, *command.listingFile);
    }
    OpenArchive open;
    if (!OpenForReading(command.archive, open))
        return kExitFailed;
    if (command.listingFile)
        return WriteListing(ListingText(open.archive), *command.listingFile);
    if (command.test)
        return TestArchive(open.archive, command.archive);
    if (selectsNothing)
        return kExitOk;

    // A stopped extraction removes the files it was writing.
    WatchStopSignals(&RemoveFilesInFlight);
    const std::string destinationText = command.destination.value_or(".");
    const auto destinationHost = rk::platform::ToHostPath(destinationText);
    Destination destination;
    std::string error = "the path has no mapping to a folder here";
    if (!destinationHost || !destination.Open(*destinationHost, error)) {
        Report("can't open destination folder '" + destinationText + "': " + error);
        return kExitFailed;
    }
    const ExtractionOutcome outcome =
        Extract(open.archive, open.host, command, selection, destination);
    for (const auto& problem : outcome.problems)
        Report(problem);
    return outcome.problems.empty() ? kExitOk : kExitPartial;
}

} // namespace rk::tools
