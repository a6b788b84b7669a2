#include "tools/rkunzip/unzip_run.h"

#include "platform/drive_map.h"
#include "tools/common/command_line.h"
#include "tools/common/exit_codes.h"
#include "tools/common/list_file.h"
#include "tools/common/messages.h"
#include "tools/common/password_input.h"
#include "tools/common/stop_signals.h"
#include "tools/rkunzip/archive_test.h"
#include "tools/rkunzip/central_directory.h"
#include "tools/rkunzip/entry_decryption.h"
#include "tools/rkunzip/entry_selection.h"
#include "tools/rkunzip/extraction.h"
#include "tools/rkunzip/files_in_flight.h"
#include "tools/rkunzip/listing.h"
#include "tools/rkunzip/named_output.h"
#include "tools/rkunzip/unix_listing.h"

#include <cerrno>
#include <cstdio>
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
    std::string problem = "the path has no mapping to a folder here";
    if (host && WriteNamedFile(*host, text, problem))
        return kExitOk;
    Report("can't write listing file '" + listingWindows + "': " + problem);
    return kExitFailed;
}

} // namespace

int RunUnzip(const std::vector<std::string>& args) {
    SetToolName("rkunzip");
    // The passwords' descriptor is read whole and closed first of all;
    // encrypted entries are read with the passwords in the order given.
    const Result<Passwords> passwords = ReadGivenPasswords();
    if (!passwords) {
        Report(passwords.reason());
        return kExitUsage;
    }
    DecryptWith(*passwords);
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
    // Where the entries lie and their whole names, read beside libzip;
    // without it entries are read through libzip alone.
    const DirectoryFacts facts = DirectoryFactsOfFile(open.host).value_or(DirectoryFacts{});
    if (command.listingFile)
        return WriteListing(ListingText(open.archive, &facts.namesWithNul), *command.listingFile);
    // Entries sharing their data would let a small archive inflate one
    // stream over and over: none of it is read.
    if (facts.overlapping) {
        Report("can't read zip archive '" + command.archive +
               "': entries share their data (overlapping entries), refused");
        return kExitFailed;
    }
    if (command.test)
        return TestArchive(open.archive, open.host, facts, command.archive);
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
        Extract(open.archive, open.host, facts, command, selection, destination);
    for (const auto& problem : outcome.problems)
        Report(problem);
    if (outcome.problems.empty())
        return kExitOk;
    // Wrong or missing passwords alone give their own code; any other
    // failure beside them gives the usual one.
    return outcome.wrongPassword == outcome.problems.size() ? kExitWrongPassword : kExitPartial;
}

} // namespace rk::tools
