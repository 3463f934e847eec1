// Which entries of an output folder are provably temporaries this program wrote, and the
// clean-up of those a killed run left behind. Deleting is the most dangerous thing the program
// does, so a name alone never decides: anything that merely looks like a temporary of ours is
// somebody's file and is left alone (and, in a source folder, collected like any other file).
#pragma once

#include <string>
#include <string_view>

namespace kel {

class OutputFolder;

// True when `name` has the exact form of a temporary a run writes: ".kelvarin-", 12 lower-case
// hex digits, "-", then an archive name in its disk form (4 digits, a 4-byte extension field,
// ".zip") or "files.txt", then ".tmp". Says nothing of what the entry is.
bool HasOwnTemporaryName(std::string_view name);

// True only when the entry `name` of `folder` is provably a temporary of this program: it has
// the exact name form above; it is itself a regular file (not a link) with one name; its owner
// is the user running (where the file system records no owner, this holds); and it is empty (a
// run killed before its first write) or begins as ours do: an archive's temporary with a Zip
// local header's signature, the index's temporary with an index line (an archive name in its
// listing form and a TAB). Looks through one handle opened on the entry itself, never through
// a link and never blocking on a FIFO. False whenever anything cannot be looked at. Never
// throws.
bool IsOwnTemporary(const OutputFolder& folder, const std::string& name) noexcept;

// Removes from `folder` every entry that IsOwnTemporary proves ours (a killed run's leftovers),
// each only while it is still the file that was checked. Does nothing unless `folder` holds its
// lock: without it, a temporary may be another run's live output. Returns how many were
// removed. Never throws.
int RemoveStaleTemporaries(const OutputFolder& folder) noexcept;

}  // namespace kel
