#include "tools/common/command_line.h"

#include <zip.h>

namespace rk::tools {

namespace {

bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h" || arg == "-?";
}

// As libzip's own tools: "-V" or "--version".
bool IsVersion(const std::string& arg) {
    return arg == "--version" || arg == "-V";
}

bool EndsWithSeparator(const std::string& text) {
    return !text.empty() && (text.back() == '\\' || text.back() == '/');
}

// "-w" followed by any of "h" and "s".
bool ParseHiddenSystem(const std::string& arg, ZipCommand& command) {
    if (arg.size() < 3 || arg.compare(0, 2, "-w") != 0)
        return false;
    for (size_t i = 2; i < arg.size(); ++i) {
        if (arg[i] == 'h')
            command.includeHidden = true;
        else if (arg[i] == 's')
            command.includeSystem = true;
        else
            return false;
    }
    return true;
}

// "-J" followed by any of "h", "r" and "s"; "-J" alone means all three.
bool ParseKeepAttributes(const std::string& arg, UnzipCommand& command) {
    if (arg.compare(0, 2, "-J") != 0)
        return false;
    if (arg.size() == 2) {
        command.restoreHidden = command.restoreReadOnly = command.restoreSystem = false;
        return true;
    }
    for (size_t i = 2; i < arg.size(); ++i) {
        if (arg[i] == 'h')
            command.restoreHidden = false;
        else if (arg[i] == 'r')
            command.restoreReadOnly = false;
        else if (arg[i] == 's')
            command.restoreSystem = false;
        else
            return false;
    }
    return true;
}

bool IsNoPromptOption(const std::string& arg) {
    // -^^ (and the single -^) never prompt; -yp stores long names; -yo never
    // asks before replacing. None needs doing on this system.
    return arg == "-^^" || arg == "-^";
}

} // namespace

Result<ZipCommand> ParseZipCommand(const std::vector<std::string>& args) {
    ZipCommand command;
    bool modeSeen = false;
    bool archiveSeen = false;
    auto fail = [](std::string error) { return Result<ZipCommand>::Failure(std::move(error)); };
    for (const auto& arg : args) {
        if (IsHelp(arg) || IsVersion(arg)) {
            command.help = IsHelp(arg);
            command.version = IsVersion(arg);
            return command;
        }
        if (!archiveSeen && arg.size() > 1 && arg[0] == '-') {
            ZipMode mode = ZipMode::Add;
            bool isMode = true;
            if (arg == "-a")
                mode = ZipMode::Add;
            else if (arg == "-a+")
                mode = ZipMode::AddAndClear;
            else if (arg == "-i")
                mode = ZipMode::Incremental;
            else
                isMode = false;
            if (isMode) {
                if (modeSeen && command.mode != mode)
                    return fail("options " + arg +
                                " and an earlier action option exclude each other");
                command.mode = mode;
                modeSeen = true;
            } else if (arg == "-r") {
                command.recurse = true;
            } else if (arg == "-P") {
                command.pathStyle = PathStyle::Full;
            } else if (arg == "-p") {
                command.pathStyle = PathStyle::Relative;
            } else if (arg == "-yp" || IsNoPromptOption(arg) || ParseHiddenSystem(arg, command)) {
                // Accepted with nothing to do, or read into the command.
            } else if (arg.compare(0, 3, "-g@") == 0) {
                if (arg.size() == 3)
                    return fail("option -g@ needs the file of gone names right after it");
                command.goneNamesFile = arg.substr(3);
            } else if (arg.compare(0, 3, "-x@") == 0) {
                if (arg.size() == 3)
                    return fail("option -x@ needs the exclusion file right after it");
                command.exclusionFiles.push_back(arg.substr(3));
            } else if (arg.compare(0, 2, "-x") == 0 && arg.size() > 2) {
                command.exclusionPatterns.push_back(arg.substr(2));
            } else {
                return fail("unknown option '" + arg + "'");
            }
            continue;
        }
        if (!archiveSeen) {
            command.archive = arg;
            archiveSeen = true;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '@')
            command.sources.push_back({arg.substr(1), true});
        else if (arg == "@")
            return fail("'@' needs the list file right after it");
        else
            command.sources.push_back({arg, false});
    }
    if (!archiveSeen || command.archive.empty())
        return fail("no archive named");
    if (command.sources.empty())
        return fail("no files named to add (give patterns or @listfile)");
    if (command.goneNamesFile && command.mode != ZipMode::Add)
        return fail("option -g@ goes with -a only (-a+ and -i record what is gone themselves)");
    return command;
}

Result<UnzipCommand> ParseUnzipCommand(const std::vector<std::string>& args,
                                       bool (*isFolder)(const std::string&)) {
    UnzipCommand command;
    bool archiveSeen = false;
    std::vector<std::string> operands;
    auto fail = [](std::string error) { return Result<UnzipCommand>::Failure(std::move(error)); };
    for (const auto& arg : args) {
        if (IsHelp(arg) || IsVersion(arg)) {
            command.help = IsHelp(arg);
            command.version = IsVersion(arg);
            return command;
        }
        if (!archiveSeen && arg.size() > 1 && arg[0] == '-') {
            if (arg == "-d") {
                command.recreateFolders = true;
            } else if (arg == "-o-") {
                command.replaceExisting = false;
            } else if (arg == "-o") {
                command.replaceExisting = true;
            } else if (arg == "-t") {
                command.test = true;
            } else if (arg == "-yo" || IsNoPromptOption(arg) || ParseKeepAttributes(arg, command)) {
                // Accepted with nothing to do, or read into the command.
            } else if (arg.compare(0, 3, "-R@") == 0) {
                if (arg.size() == 3)
                    return fail("option -R@ needs the record file right after it");
                command.pointRecordFile = arg.substr(3);
            } else if (arg.compare(0, 2, "-@") == 0) {
                if (arg.size() == 2)
                    return fail("option -@ needs the listing file right after it");
                command.listingFile = arg.substr(2);
            } else {
                return fail("unknown option '" + arg + "'");
            }
            continue;
        }
        if (!archiveSeen) {
            command.archive = arg;
            archiveSeen = true;
            continue;
        }
        operands.push_back(arg);
    }
    if (!archiveSeen || command.archive.empty())
        return fail("no archive named");
    // A point record is written for every archive named.
    if (command.pointRecordFile && !command.listingFile) {
        for (const auto& operand : operands)
            if (operand.empty() || operand[0] == '@' || EndsWithSeparator(operand))
                return fail("a point record (-R@) takes only archives");
        command.moreArchives = std::move(operands);
        operands.clear();
    }
    for (size_t i = 0; i < operands.size(); ++i) {
        const std::string& operand = operands[i];
        const bool last = i + 1 == operands.size();
        if (operand.size() > 1 && operand[0] == '@') {
            command.listFiles.push_back(operand.substr(1));
        } else if (operand == "@") {
            return fail("'@' needs the list file right after it");
        } else if (EndsWithSeparator(operand) ||
                   (last && isFolder != nullptr && isFolder(operand))) {
            if (command.destination)
                return fail("two destination folders named: '" + *command.destination + "' and '" +
                            operand + "'");
            command.destination = operand;
        } else {
            command.names.push_back(operand);
        }
    }
    if (command.listingFile &&
        (command.destination || !command.names.empty() || !command.listFiles.empty()))
        return fail("a listing (-@) takes only the archive");
    if (command.pointRecordFile && (command.listingFile || command.destination ||
                                    !command.names.empty() || !command.listFiles.empty()))
        return fail("a point record (-R@) takes only archives");
    if (command.test && (command.pointRecordFile || command.listingFile || command.destination ||
                         !command.names.empty() || !command.listFiles.empty()))
        return fail("a test (-t) takes only the archive");
    return command;
}

std::string VersionText(std::string_view tool) {
    return std::string(tool) + " (Ravelkeep) " RK_VERSION_TEXT ", libzip " + zip_libzip_version() +
           "\n";
}

std::string ZipUsage() {
    return R"(Usage: rkzip ACTION [OPTIONS] ARCHIVE PATTERN|@LISTFILE...

Adds files to a zip archive. Paths are Windows path text ("C:\Data\*.*");
drives map to host folders as RAVELKEEP_DRIVES says.

Actions (one):
  -a        add the named files (create the archive when missing, replace
            entries of the same name)
  -a+       as -a, then clear the archive attribute of every file added
  -i        incremental: add only files whose archive attribute is set, then
            clear it. When no file has it, an empty archive is still written
            (exit 0), so every run leaves an archive.
Options:
  -r        recurse into the subfolders of each folder pattern
  -P        store each file's full path without the drive
            (C:\Data\a\f.txt is stored as Data/a/f.txt)
  -p        store each file's path below the folder of its pattern (default)
  -whs      include hidden and system files (-wh, -ws: only one kind)
  -yp, -^^  accepted; no effect here (long names, never prompting)
  -g@FILE   with -a: the names gone during the period the new archive stands
            for (a consolidation of several backups), one listed name per
            line (as rkunzip's listings write them), carried into the
            archive's deletion record
  -x@FILE   exclusion patterns, one per line (*.tmp, C:\.cache\*, a full path),
            matched without regard to case against the full path and the
            name; a line starting with ; is a comment; a missing file means
            no exclusions
  -xPATTERN one exclusion pattern
Operands:
  PATTERN   a folder followed by a wildcard name (C:\Data\*.*), a file, or a
            folder (taken as folder\*.*)
  @LISTFILE one pattern per line

The archive attribute: the folder holding the archive keeps a record
(.rkzip-state) of the change stamp (change time, size, inode) of every file
backed up into it; a file has the attribute when the record has no stamp for it
or the stamp differs. -a+ and -i record stamps only once the archive is safely
on disk. A file that could not be read, or changed while it was read, keeps
its attribute.

The deletion record: -a+ and -i also keep in the record the names of every
file and folder they found, and write into each archive they make one entry
under the reserved name ./ravelkeep-deleted.txt (no file's name can begin
with "./"): the kind of run and the names found by the run before and gone
now, one listed name per line. rkunzip never lists or extracts it; other zip
tools show it as one small file.

Symbolic links are stored as links, never followed. Entries are stored
uncompressed when deflating would not shrink them.

Exit codes: 0 every file stored; 1 archive written but some files could not
be read (each named on standard error); 2 usage error; 3 nothing written (the
reason on standard error; an existing archive is left as it was).
)";
}

std::string UnzipUsage() {
    return R"(Usage: rkunzip [OPTIONS] ARCHIVE [@LISTFILE] [NAME...] [DESTINATION\]
       rkunzip -@LISTING ARCHIVE
       rkunzip -t ARCHIVE
       rkunzip -R@RECORD ARCHIVE...

Extracts a zip archive, writes the names it holds to a listing file, or tests
that every entry reads back with its recorded size and CRC (-t). Paths
are Windows path text; drives map to host folders as RAVELKEEP_DRIVES says.

Options:
  -d          recreate the stored folders under the destination (without it,
              every file goes straight into the destination)
  -o-         never replace a file that exists already (the default); what
              lies below a path that exists as a file or as a link made
              before the run exists already too, as when archives are
              extracted newest first (Ravelkeep's consolidation then keeps
              such a version as NAME~yyyy_mm_dd_hh_nn_ss, the date and time
              of the backup that holds it)
  -o          replace existing files
  -J[hrs]     do not restore the hidden (h), read-only (r) or system (s)
              attribute; -J alone means all three
  -t          test: read every entry back as extracting the whole archive
              with -d would, with the same refusals, and check its size and
              CRC; writes nothing; each entry that fails is named
  -yo, -^^    accepted; no effect here (never prompting)
  -@LISTING   write the archive's file names to LISTING, one per line (CR LF),
              in their listed form (below), in double quotes when the name
              holds a comma or starts or ends with a space; such a file is
              accepted back as @LISTFILE. LISTING is written under a new
              name and renamed into place, readable by its owner only; a
              symbolic link, another user's file or anything but a file at
              that name is left as it is and the listing refused
  -R@RECORD   write the point record of each archive named to RECORD, for
              restoring the state of one moment. For each archive: a line
              "A<TAB>ARCHIVE" (as named); a line
              "F<TAB>SIZE<TAB>TIME<TAB>NAME" for each file and link it
              holds (size in bytes, time in seconds since 1970 UTC); when
              it has a deletion record, a line "R<TAB>KIND" (root,
              incremental, consolidated) and a line "X<TAB>NAME" for each
              name the record holds (a folder's name ends with "\").
              NAME in its listed form, never quoted; LF line
              ends; written as -@ writes a listing
Operands:
  @LISTFILE   extract only the names listed, one per line, each taken
              literally (no wildcards, nothing trimmed but the line end;
              letter case ignored)
  NAME        extract only names matching this pattern (* and ?)
  DESTINATION a folder, written with a trailing backslash (or an existing
              folder as the last operand); the current folder when none

Listed names: a name is listed with "\" between its folders (Data\a b\f.txt)
unless it holds a backslash, a double quote, a control character (a line
break, a tab) or bytes that are not UTF-8. Such a name is listed in its
escaped form, which starts with "\": the name with "\" between folders, each
of those bytes and "%" written as "%" and two hexadecimal digits. So a file
whose one name is coll\x.txt is listed as \coll%5Cx.txt, the folder coll
holding x.txt as coll\x.txt, and a name with the byte E9 of Latin-1 as
\caf%E9.txt. No plain name starts with "\", so the two forms never name the
same file.

Names of archives made on Unix are restored byte for byte, a backslash in
them as part of the name; names of archives made on DOS or Windows without
the UTF-8 flag are read as code page 437, with "\" between folders unless
the name already uses "/" (then "\" is part of a name, as in Shift-JIS).
Some DOS and Windows writers mark a folder by its attribute alone.

Entries named with "..", absolute names, drive-letter names of archives made
on DOS or Windows, or that would be written through a symbolic link, are
refused; so are names holding a NUL byte, file entries without a name, and
an entry below a path the archive holds as a file or link (or a file at a
path it holds as a folder). Nothing is ever written outside the destination.
Symbolic links are recreated as links. Folders made by the run are open to
their owner only while it writes; they get their stored mode (the permission
bits alone, not writable by others unless the umask lets new folders be) and
time once their files are written. A file being written carries the extended
attribute user.rkunzip.unfinished: a later run writes again a file a killed
run left with it, and never replaces a file without it unless -o is given.
The temporary files a killed run left in a folder (.rkunzip-*.tmp, carrying
that attribute and locked by no living run) are removed by the next run that
writes into that folder.

Every entry ends at the size it declares: data running past it or ending
short fails the entry, and nothing past that size is written. Archives whose
entries share their data are refused whole. A restore stops, naming the
file, when writing that file would leave less than 64 MiB (or a twentieth of
a smaller file system) free on the destination's file system. Times come from the extra fields holding UTC
(extended timestamp, then the Unix fields, then NTFS), else from the DOS time
as local time.

Exit codes: 0 everything extracted, listed or tested sound; 1 some entries
refused, unreadable or failing the test (each named on standard error); 2 usage error; 3 the archive could
not be read or the destination or listing not written.
)";
}

} // namespace rk::tools
