#include "engine/utility_contract.h"

namespace rk {

namespace {

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

std::optional<std::string> CommandPieceProblem(std::string_view piece, bool quoted) {
    if (piece.find('"') != std::string_view::npos)
        return "it holds a double quote";
    if (piece.find_first_of("\r\n") != std::string_view::npos)
        return "it holds a line break";
    if (!quoted && piece.find_first_of(" \t") != std::string_view::npos)
        return "it holds a blank and has no space-free form";
    return std::nullopt;
}

std::optional<std::string> PieceRefusal(std::string_view what, std::string_view piece, bool quoted,
                                        std::string_view utility) {
    const auto problem = CommandPieceProblem(piece, quoted);
    if (!problem)
        return std::nullopt;
    return "the path of the " + std::string(what) + " \"" + std::string(piece) +
           "\" cannot be passed to the " + std::string(utility) + ": " + *problem;
}

std::optional<std::string> PieceRefusalSentence(std::string_view what, std::string_view piece,
                                                bool quoted, std::string_view utility) {
    auto refusal = PieceRefusal(what, piece, quoted, utility);
    if (refusal) {
        refusal->front() = 'T';
        *refusal += '.';
    }
    return refusal;
}

std::optional<std::string> ArchiveRefusal(std::string_view archivePath, std::string_view utility) {
    const auto problem = CommandPieceProblem(archivePath, true);
    if (!problem)
        return std::nullopt;
    return "it cannot be passed to the " + std::string(utility) + ": " + *problem;
}

std::string BackupCommandLine(BackupMode mode, std::string_view shortZipPath,
                              std::string_view shortExclusionPath, std::string_view archivePath,
                              std::string_view shortListPath) {
    std::string line(shortZipPath);
    line += ' ';
    line += mode == BackupMode::Root ? RootBackupOptions : IncrementalBackupOptions;
    line += shortExclusionPath;
    line += ' ';
    line += Quoted(archivePath);
    line += " @";
    line += shortListPath;
    return line;
}

std::string ListingCommandLine(std::string_view unzipPath, std::string_view listingPath,
                               std::string_view archivePath) {
    return Quoted(unzipPath) + " -@" + Quoted(listingPath) + " " + Quoted(archivePath);
}

std::string PointRecordCommandLine(std::string_view unzipPath, std::string_view recordPath,
                                   const std::vector<std::string>& archivePaths) {
    std::string line = Quoted(unzipPath) + " -R@" + Quoted(recordPath);
    for (const auto& archive : archivePaths)
        line += " " + Quoted(archive);
    return line;
}

std::string TestCommandLine(std::string_view unzipPath, std::string_view archivePath) {
    return Quoted(unzipPath) + " -t " + Quoted(archivePath);
}

std::string ExtractCommandLine(std::string_view unzipPath, std::string_view archivePath,
                               std::string_view destinationFolder) {
    return Quoted(unzipPath) + " " + std::string(ExtractOptions) + " " + Quoted(archivePath) + " " +
           Quoted(destinationFolder);
}

std::string ExtractListedCommandLine(std::string_view unzipPath, std::string_view archivePath,
                                     std::string_view listPath,
                                     std::string_view destinationFolder) {
    return Quoted(unzipPath) + " " + std::string(ExtractOptions) + " " + Quoted(archivePath) +
           " @" + Quoted(listPath) + " " + Quoted(destinationFolder);
}

std::string ConsolidateCommandLine(std::string_view shortZipPath, std::string_view archivePath,
                                   std::string_view sourceFolder) {
    return std::string(shortZipPath) + " " + std::string(ConsolidateOptions) + " " +
           Quoted(archivePath) + " " + Quoted(std::string(sourceFolder) + "*.*");
}

std::string ConsolidateCommandLine(std::string_view shortZipPath, std::string_view archivePath,
                                   std::string_view sourceFolder, std::string_view goneListPath) {
    return std::string(shortZipPath) + " " + std::string(ConsolidateOptions) + " -g@" +
           Quoted(goneListPath) + " " + Quoted(archivePath) + " " +
           Quoted(std::string(sourceFolder) + "*.*");
}

} // namespace rk
