#pragma once
// The inputs of a restore run as the extract dialog and the windowless
// consolidation both give them: the default destination, and the request built from a
// source folder, a destination, two dates and an action.

#include "engine/extract_plan.h"
#include "restore/run/restore_run.h"

#include <QDate>

#include <string>
#include <vector>

namespace rk::restore {

// "Delete consolidated backups" as the dialog opens.
inline constexpr bool kDeleteReplacedByDefault = true;

// The destination the dialog opens with: a new folder in the temporary
// folder ("...\rk0", the first free number), not created; empty text when
// there is no safe temporary folder.
std::string DefaultDestination();

struct RestoreInputs {
    ExtractAction action = ExtractAction::ExtractPicked;
    std::string source;
    std::string destination;
    QDate start;
    QDate end;
    bool deleteReplaced = kDeleteReplacedByDefault;
    bool silent = false;
};

// The request of a run: the two days with their short date texts, and,
// when there is a destination, every archive of the source folder
// (JobArchiveNames), the list the dialog shows.
RestoreRequest MakeRestoreRequest(const RestoreInputs& inputs);

// Why a request cannot run for want of a destination: the temporary folder,
// the destination's default, was refused (why), or empty text.
std::string MissingDestinationProblem(const RestoreRequest& request);

} // namespace rk::restore
